#include "text/ErrorText.h"

#include <QTest>

class TestTextErrorText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullStopRule_data();
    void fullStopRule();
};

void TestTextErrorText::fullStopRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    // A stop is added only after a character whose code is above '.'.
    QTest::newRow("letter") << "database is locked" << "database is locked.";
    QTest::newRow("slash, just above") << "a/" << "a/.";
    QTest::newRow("Slovenian letter") << "Napaka pri branju ž" << "Napaka pri branju ž.";
    QTest::newRow("full stop") << "Already connected." << "Already connected.";
    QTest::newRow("exclamation mark, below") << "Stop!" << "Stop!";
    QTest::newRow("closing bracket, below") << "error (5)" << "error (5)";
    QTest::newRow("trailing space, below") << "odd " << "odd ";
    QTest::newRow("empty") << "" << "";
}

void TestTextErrorText::fullStopRule()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(kavrin::text::withFullStop(text), shown);
}

QTEST_MAIN(TestTextErrorText)
#include "TestTextErrorText.moc"
