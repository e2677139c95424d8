#include "text/Windows1250.h"

#include <QStringDecoder>
#include <QTest>

using kavrin::text::decodeListingLine;
using kavrin::text::encodePart;
using kavrin::text::encodeRemoteName;

class TestTextCodePage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodes_data();
    void decodes();
    void everyByteIsOneCharacter();
    void agreesWithIcu();
    void slices_data();
    void slices();
    void remoteNames_data();
    void remoteNames();
};

void TestTextCodePage::decodes_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("utf8");

    QTest::newRow("ascii") << QByteArray("-rw-r--r-- 1 ftp ftp 12 Jan 1 12345678_x.xml")
                           << QStringLiteral("-rw-r--r-- 1 ftp ftp 12 Jan 1 12345678_x.xml") << false;
    QTest::newRow("windows-1250 small letters") << QByteArray("\xE8_\x9A_\x9E") << QStringLiteral("č_š_ž") << false;
    QTest::newRow("windows-1250 capitals") << QByteArray("\xC8\x8A\x8E") << QStringLiteral("ČŠŽ") << false;
    QTest::newRow("windows-1250 in a name")
        << QByteArray("12345678_ra\xE8un.xml") << QStringLiteral("12345678_račun.xml") << false;
    QTest::newRow("utf-8 letters") << QByteArray("\xC4\x8D\xC5\xA1\xC5\xBD") << QStringLiteral("čšŽ") << true;
    QTest::newRow("utf-8 in a name") << QByteArray("12345678_ra\xC4\x8Dun.xml") << QStringLiteral("12345678_račun.xml")
                                     << true;
    QTest::newRow("utf-8 outside the BMP")
        << QByteArray("\xF0\x9F\x98\x80") << QString::fromUcs4(U"\U0001F600", 1) << true;
    // Not UTF-8, so every byte is read as Windows-1250.
    QTest::newRow("lone continuation byte") << QByteArray("a\x8E"
                                                          "b")
                                            << QStringLiteral("aŽb") << false;
    QTest::newRow("sequence cut off at the end") << QByteArray("x\xC4") << QStringLiteral("xÄ") << false;
    QTest::newRow("valid utf-8 then an invalid byte") << QByteArray("\xC4\x8D\xE8") << QStringLiteral("ÄŤč") << false;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QStringLiteral("ŔŻ") << false;
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << QStringLiteral("í\u00A0€") << false;
    // The rule's known blind spot: these Windows-1250 bytes happen to be valid UTF-8.
    QTest::newRow("windows-1250 that is also utf-8") << QByteArray("\xE8\x9A\x9E") << QStringLiteral("\u869E") << true;
    QTest::newRow("empty") << QByteArray() << QString() << false;
}

void TestTextCodePage::decodes()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, text);
    QFETCH(bool, utf8);

    const auto line = kavrin::text::decodeListingLine(raw);
    QCOMPARE(line.text, text);
    QCOMPARE(line.utf8, utf8);
    QCOMPARE(line.raw, raw);
}

void TestTextCodePage::everyByteIsOneCharacter()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const auto line = decodeListingLine(all);
    QVERIFY(!line.utf8);
    QCOMPARE(line.text.size(), 256);
    for (int b = 0; b < 256; ++b) {
        const auto single = decodeListingLine(QByteArray(1, char(b)));
        QCOMPARE(single.text.size(), 1);
        QCOMPARE(single.text.at(0), line.text.at(b));
        if (b < 0x80)
            QCOMPARE(single.text.at(0).unicode(), char16_t(b));
        // Any slice of the text maps back to the same slice of bytes.
        QCOMPARE(encodePart(line, b, 256 - b), all.mid(b));
    }
}

void TestTextCodePage::agreesWithIcu()
{
    QStringDecoder icu("windows-1250");
    if (!icu.isValid())
        QSKIP("This Qt has no Windows-1250 decoder to compare with (built without ICU)");
    const QString sample = icu.decode(QByteArray("\xE8\x9A\x8E"));
    QCOMPARE(sample, QStringLiteral("čšŽ"));

    for (int b = 0; b < 256; ++b) {
        QStringDecoder one("windows-1250");
        const QString expected = one.decode(QByteArray(1, char(b)));
        const QString ours = decodeListingLine(QByteArray(1, char(b))).text;
        if (ours == QStringLiteral("\uFFFD")) {
            // An undefined byte: ICU may give a control character or the replacement one.
            QVERIFY2(expected.size() == 1 && (expected.at(0).unicode() < 0xA0 || expected.at(0).unicode() == 0xFFFD),
                     qPrintable(QStringLiteral("byte 0x%1").arg(b, 2, 16)));
            continue;
        }
        QVERIFY2(ours == expected, qPrintable(QStringLiteral("byte 0x%1").arg(b, 2, 16)));
    }
}

void TestTextCodePage::slices_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("windows-1250 name at the end")
        << QByteArray("-rw 1 ftp 10 12345678_\xE8\x9A.xml") << 13 << 100 << QByteArray("12345678_\xE8\x9A.xml");
    QTest::newRow("windows-1250 middle slice") << QByteArray("a\xE8"
                                                             "b\x81"
                                                             "c")
                                               << 1 << 3
                                               << QByteArray("\xE8"
                                                             "b\x81");
    QTest::newRow("utf-8 name at the end") << QByteArray("-rw 1 ftp 10 12345678_\xC4\x8D\xC5\xA1.xml") << 13 << 100
                                           << QByteArray("12345678_\xC4\x8D\xC5\xA1.xml");
    QTest::newRow("utf-8 slice after letters")
        << QByteArray("\xC4\x8D\xC5\xA1 12345678.xml") << 3 << 8 << QByteArray("12345678");
    QTest::newRow("utf-8 slice cut inside") << QByteArray("x\xC4\x8Dy") << 1 << 1 << QByteArray("\xC4\x8D");
}

void TestTextCodePage::slices()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, from);
    QFETCH(int, length);
    QFETCH(QByteArray, bytes);

    const auto line = decodeListingLine(raw);
    QCOMPARE(kavrin::text::encodePart(line, from, length), bytes);
    QCOMPARE(kavrin::text::encodePart(line, 0, line.text.size()), raw);
}

void TestTextCodePage::remoteNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << QStringLiteral("12345678_x.xml") << QByteArray("12345678_x.xml");
    QTest::newRow("slovenian letters") << QStringLiteral("račun_ČŠŽ.xml") << QByteArray("ra\xE8un_\xC8\x8A\x8E.xml");
    QTest::newRow("euro sign") << QStringLiteral("€") << QByteArray("\x80");
    QTest::newRow("not in the code page")
        << QStringLiteral("račun_日本.xml") << QByteArray("ra\xC4\x8Dun_\xE6\x97\xA5\xE6\x9C\xAC.xml");
    QTest::newRow("replacement character") << QStringLiteral("a\uFFFD") << QByteArray("a\xEF\xBF\xBD");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestTextCodePage::remoteNames()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    const QByteArray encoded = kavrin::text::encodeRemoteName(name);
    QCOMPARE(encoded, bytes);
    QCOMPARE(decodeListingLine(encoded).text, name);
}

QTEST_GUILESS_MAIN(TestTextCodePage)
#include "TestTextCodePage.moc"
