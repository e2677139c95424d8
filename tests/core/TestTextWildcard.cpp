#include "text/Wildcard.h"

#include <QTest>

class TestTextWildcard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void matches_data();
    void matches();
    void splitsMask_data();
    void splitsMask();
    void longNamesStayFast();
};

void TestTextWildcard::matches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");

    // "*" and "?"
    QTest::newRow("star takes a run") << "12345678_x.xml"
                                      << "12345678*.*" << true;
    QTest::newRow("star takes nothing") << "12345678.xml"
                                        << "12345678*.*" << true;
    QTest::newRow("prefix missing") << "x12345678.xml"
                                    << "12345678*.*" << false;
    QTest::newRow("err suffix") << "napaka.err"
                                << "*.err" << true;
    QTest::newRow("err suffix not at the end") << "napaka.err.txt"
                                               << "*.err" << false;
    QTest::newRow("star backtracks") << "a.err.err"
                                     << "*.err" << true;
    QTest::newRow("several stars") << "aXbYc"
                                   << "a*b*c" << true;
    QTest::newRow("several stars, wrong order") << "aXcYb"
                                                << "a*b*c" << false;
    QTest::newRow("question mark is one character") << "ab.txt"
                                                    << "a?.txt" << true;
    QTest::newRow("question mark is not none") << "a.txt"
                                               << "a?.txt" << false;
    QTest::newRow("question mark is not two") << "abc.txt"
                                              << "a?.txt" << false;
    QTest::newRow("question mark takes a letter outside the BMP")
        << QString::fromUcs4(U"a\U0001F600.txt", 6) << "a?.txt" << true;
    QTest::newRow("empty pattern matches only the empty name") << "a"
                                                               << "" << false;

    // ".*" and names without an extension
    QTest::newRow("no extension under *.*") << "12345678"
                                            << "12345678*.*" << true;
    QTest::newRow("no extension, star takes a run") << "ABC"
                                                    << "AB*.*" << true;
    QTest::newRow("no extension, prefix missing") << "XABC"
                                                  << "AB*.*" << false;
    QTest::newRow("no extension under *.err") << "napaka"
                                              << "*.err" << false;
    QTest::newRow("no extension, literal part must match") << "ABC"
                                                           << "ABD.*" << false;
    QTest::newRow("no extension, exact stem") << "ABC"
                                              << "ABC.*" << true;
    QTest::newRow("leading dot is no extension") << ".ABC"
                                                 << "?ABC.*" << true;
    QTest::newRow("trailing dot is an extension, empty") << "ABC."
                                                         << "ABC.*" << true;

    // letter case
    QTest::newRow("ascii case") << "NAPAKA.ERR"
                                << "*.err" << true;
    QTest::newRow("ascii case in the pattern") << "abc.xml"
                                               << "ABC*.*" << true;
    QTest::newRow("slovenian case") << "RAČUN.xml"
                                    << "račun*.*" << true;
    QTest::newRow("slovenian case, other way") << "žaba.txt"
                                               << "ŽABA.TXT" << true;
    QTest::newRow("c is not č") << "racun.xml"
                                << "račun*.*" << false;

    // everything else literal
    QTest::newRow("bracket is literal") << "[a].txt"
                                        << "[a]*" << true;
    QTest::newRow("bracket is no class") << "a.txt"
                                         << "[a]*" << false;
    QTest::newRow("parenthesis and plus") << "a(1)+.txt"
                                          << "a(1)+.txt" << true;
    QTest::newRow("plus is no repeat") << "aa.txt"
                                       << "a+.txt" << false;
    QTest::newRow("dot is no any-character") << "aXtxt"
                                             << "a.txt" << false;
    QTest::newRow("backslash is literal") << "a\\b"
                                          << "a\\b" << true;
    QTest::newRow("leading blanks kept") << "  a.err"
                                         << "  *.err" << true;
    QTest::newRow("leading blanks required") << "a.err"
                                             << "  *.err" << false;
}

void TestTextWildcard::matches()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);

    QCOMPARE(kavrin::text::matchesPattern(name, pattern), matches);
}

void TestTextWildcard::splitsMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("patterns");

    QTest::newRow("one") << "*.err" << QStringList { "*.err" };
    QTest::newRow("several in order") << "b*.*;*.err;a?" << QStringList { "b*.*", "*.err", "a?" };
    QTest::newRow("empty ones dropped") << ";*.err;;*.txt;" << QStringList { "*.err", "*.txt" };
    QTest::newRow("blanks kept") << "  *.err; x" << QStringList { "  *.err", " x" };
    QTest::newRow("same twice stays twice") << "*.err;*.err" << QStringList { "*.err", "*.err" };
    QTest::newRow("empty") << "" << QStringList {};
}

void TestTextWildcard::splitsMask()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, patterns);

    QCOMPARE(kavrin::text::splitMask(mask), patterns);
}

void TestTextWildcard::longNamesStayFast()
{
    // A backtracking matcher that recursed per star would take exponential time here.
    const QString name = QString(2000, u'a');
    const QString pattern = QStringLiteral("*a*a*a*a*a*a*a*a*a*a*b");
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!kavrin::text::matchesPattern(name, pattern));
    QVERIFY2(timer.elapsed() < 2000, "matching took too long");
}

QTEST_GUILESS_MAIN(TestTextWildcard)
#include "TestTextWildcard.moc"
