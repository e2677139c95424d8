#include "text/SafeName.h"

#include <QTest>

class TestTextSafeName : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void safeName_data();
    void safeName();
};

void TestTextSafeName::safeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");

    QTest::newRow("plain") << "12345678_x.xml" << true;
    QTest::newRow("slovenian letters") << "račun_ŠŽČ.xml" << true;
    QTest::newRow("inner blanks and dots") << "a b.c d.xml" << true;
    QTest::newRow("leading dot") << ".profile" << true;
    QTest::newRow("leading blank") << " a.xml" << true;
    QTest::newRow("device name inside a word") << "CONSOLE.txt" << true;
    QTest::newRow("COM0 is no device") << "COM0" << true;
    QTest::newRow("COM10 is no device") << "COM10.txt" << true;
    QTest::newRow("255 characters") << QString(255, u'a') << true;

    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("slash") << "../x.xml" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("backslash") << "..\\x.xml" << false;
    QTest::newRow("drive") << "C:x.xml" << false;
    QTest::newRow("stream") << "x.xml:evil" << false;
    QTest::newRow("NUL character") << (QStringLiteral("x") + QChar(0) + QStringLiteral(".xml")) << false;
    QTest::newRow("tab") << "x\t.xml" << false;
    QTest::newRow("newline") << "x.xml\n" << false;
    QTest::newRow("carriage return") << "x.xml\r" << false;
    QTest::newRow("unit separator") << "x\x1f" << false;
    QTest::newRow("wildcard") << "x*.xml" << false;
    QTest::newRow("question mark") << "x?.xml" << false;
    QTest::newRow("angle bracket") << "x<y" << false;
    QTest::newRow("pipe") << "x|y" << false;
    QTest::newRow("quote") << "x\"y" << false;
    QTest::newRow("trailing blank") << "x.xml " << false;
    QTest::newRow("trailing dot") << "x.xml." << false;
    QTest::newRow("CON") << "CON" << false;
    QTest::newRow("con with extension") << "con.xml" << false;
    QTest::newRow("NUL with two extensions") << "Nul.tar.gz" << false;
    QTest::newRow("PRN") << "prn" << false;
    QTest::newRow("AUX blank before the dot") << "AUX .txt" << false;
    QTest::newRow("COM1") << "COM1" << false;
    QTest::newRow("com9 with extension") << "com9.log" << false;
    QTest::newRow("LPT5") << "lpt5.txt" << false;
    QTest::newRow("COM superscript") << "COM\u00B9" << false;
    QTest::newRow("CONIN$") << "conin$" << false;
    QTest::newRow("256 characters") << QString(256, u'a') << false;
}

void TestTextSafeName::safeName()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);

    QCOMPARE(kavrin::text::isSafeLocalFileName(name), safe);
}

QTEST_GUILESS_MAIN(TestTextSafeName)
#include "TestTextSafeName.moc"
