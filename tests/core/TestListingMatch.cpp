#include "ftp/ListingMatch.h"

#include <QTest>

using kavrin::ftp::matchListingLine;
using kavrin::text::ListingLine;

namespace {

const QString kPrefix = QStringLiteral("-rw-r--r--   1 ftp      ftp          1234 Mar 12 09:30 ");

} // namespace

class TestListingMatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void match_data();
    void match();
    void sortsIgnoringCase();
    void sortKeepsEqualLinesInOrder();
};

void TestListingMatch::match_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("taxNumber");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("name");

    const QString t = QStringLiteral("12345678");
    QTest::newRow("name begins with T") << kPrefix + "12345678_x.xml" << t << true << int(kPrefix.size())
                                        << "12345678_x.xml";
    QTest::newRow("T inside the name") << kPrefix + "racun_12345678.xml" << t << true << int(kPrefix.size() + 6)
                                       << "12345678.xml";
    QTest::newRow("T as the size") << "-rw-r--r-- 1 ftp ftp 12345678 Mar 12 09:30 12345678_x.xml" << t << true << 21
                                   << "12345678 Mar 12 09:30 12345678_x.xml";
    QTest::newRow("T as the owner") << "-rw-r--r-- 1 12345678 ftp 10 Mar 12 09:30 12345678_x.xml" << t << true << 13
                                    << "12345678 ftp 10 Mar 12 09:30 12345678_x.xml";
    QTest::newRow("other client's file") << kPrefix + "87654321_x.xml" << t << false << 0 << "";
    QTest::newRow("near miss in the last digit") << kPrefix + "12345679_x.xml" << t << false << 0 << "";

    QTest::newRow("Uvozeno in the name") << kPrefix + "Uvozeno-12345678_x.xml" << t << false << 0 << "";
    QTest::newRow("Uvozeno after the name") << kPrefix + "12345678_Uvozeno.xml" << t << false << 0 << "";
    QTest::newRow("Uvozeno as the owner")
        << "-rw-r--r-- 1 Uvozeno ftp 10 Mar 12 09:30 12345678_x.xml" << t << false << 0 << "";
    QTest::newRow("uvozeno in small letters")
        << kPrefix + "uvozeno-12345678_x.xml" << t << true << int(kPrefix.size() + 8) << "12345678_x.xml";
    QTest::newRow("UVOZENO in capitals") << kPrefix + "12345678_UVOZENO.xml" << t << true << int(kPrefix.size())
                                         << "12345678_UVOZENO.xml";

    const QString longName = t + QString(120, u'y');
    QTest::newRow("rest longer than 100")
        << kPrefix + longName << t << true << int(kPrefix.size()) << longName.left(100);
    const QString exact = t + QString(92, u'y');
    QTest::newRow("rest of exactly 100") << kPrefix + exact << t << true << int(kPrefix.size()) << exact;

    // Shorter than 8: C must equal T whole in its first 8, so T must end the line.
    const QString small = QStringLiteral("-rw-r--r-- 1 ftp ftp 99 Mar 12 09:30 ");
    QTest::newRow("short T ends the line") << small + "racun_1234"
                                           << "1234" << true << int(small.size() + 6) << "1234";
    QTest::newRow("short T first in the size column") << kPrefix + "racun_1234"
                                                      << "1234" << false << 0 << "";
    QTest::newRow("short T followed by more") << kPrefix + "1234_x.xml"
                                              << "1234" << false << 0 << "";
    QTest::newRow("short T within the last 8") << kPrefix + "1234567"
                                               << "1234" << false << 0 << "";

    // Longer than 8: only the first 8 count.
    const QString longT = QStringLiteral("SI12345678");
    QTest::newRow("long T occurring") << kPrefix + "SI12345678_x.xml" << longT << true << int(kPrefix.size())
                                      << "SI12345678_x.xml";
    QTest::newRow("long T absent, line begins with its first 8")
        << "SI123456-rest of the line" << longT << true << 0 << "SI123456-rest of the line";
    const QString longLine = "SI123456" + QString(150, u'z');
    QTest::newRow("long T absent, long line") << longLine << longT << true << 0 << longLine.left(100);
    QTest::newRow("long T absent elsewhere") << kPrefix + "SI123456_x.xml" << longT << false << 0 << "";
    QTest::newRow("long T absent, Uvozeno") << "SI123456 Uvozeno" << longT << false << 0 << "";

    QTest::newRow("empty T, empty line") << ""
                                         << "" << true << 0 << "";
    QTest::newRow("empty T, other line") << kPrefix + "12345678_x.xml"
                                         << "" << false << 0 << "";
    QTest::newRow("empty line") << "" << t << false << 0 << "";

    QTest::newRow("case matters") << kPrefix + "si12345678_x.xml" << longT << false << 0 << "";
    QTest::newRow("first occurrence wins")
        << kPrefix + "12345678_12345678.xml" << t << true << int(kPrefix.size()) << "12345678_12345678.xml";
    QTest::newRow("slovenian letters in the name")
        << kPrefix + "12345678_račun.xml" << t << true << int(kPrefix.size()) << "12345678_račun.xml";
    // The cut at 100 must not split a character outside the BMP in two.
    const QString astral = QStringLiteral("12345678_") + QString(90, u'b') + QString::fromUtf8("\xF0\x9F\x93\x84.xml");
    QTest::newRow("cut before a character outside the BMP")
        << kPrefix + astral << t << true << int(kPrefix.size()) << astral.left(99);
}

void TestListingMatch::match()
{
    QFETCH(QString, line);
    QFETCH(QString, taxNumber);
    QFETCH(bool, matches);
    QFETCH(int, from);
    QFETCH(QString, name);

    const auto result = matchListingLine(line, taxNumber);
    QCOMPARE(result.has_value(), matches);
    if (!result)
        return;
    QCOMPARE(result->name, name);
    QCOMPARE(result->from, qsizetype(from));
    QCOMPARE(result->length, name.size());
    QCOMPARE(line.mid(result->from, result->length), name);
}

static QList<ListingLine> lines(const QStringList& texts)
{
    QList<ListingLine> result;
    for (const QString& text : texts)
        result.append(ListingLine { text.toUtf8(), text, true });
    return result;
}

static QStringList texts(const QList<ListingLine>& lines)
{
    QStringList result;
    for (const ListingLine& line : lines)
        result.append(line.text);
    return result;
}

void TestListingMatch::sortsIgnoringCase()
{
    QList<ListingLine> listing = lines({ "d.xml", "Č.xml", "B.xml", "c.xml", "a.xml", "Z.xml", "ž.xml" });
    kavrin::ftp::sortListing(listing);
    QCOMPARE(texts(listing), QStringList({ "a.xml", "B.xml", "c.xml", "Č.xml", "d.xml", "Z.xml", "ž.xml" }));
}

void TestListingMatch::sortKeepsEqualLinesInOrder()
{
    QList<ListingLine> listing = lines({ "b", "ABC", "abc", "Abc", "a" });
    kavrin::ftp::sortListing(listing);
    QCOMPARE(texts(listing), QStringList({ "a", "ABC", "abc", "Abc", "b" }));

    listing = lines({ "abc", "ABC" });
    kavrin::ftp::sortListing(listing);
    QCOMPARE(texts(listing), QStringList({ "abc", "ABC" }));
}

QTEST_GUILESS_MAIN(TestListingMatch)
#include "TestListingMatch.moc"
