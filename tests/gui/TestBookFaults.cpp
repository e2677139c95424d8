// A client book that is no database at start-up: the user reads why, the file stays as
// it was (it may be all the office has left of its clients), and the program opens.
#include "KavrinOsnovaForm.h"
#include "support/MessageBoxWatcher.h"
#include "support/WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <memory>

class TestBookFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void garbageBookIsReportedAndLeftAlone_data();
    void garbageBookIsReportedAndLeftAlone();
};

void TestBookFaults::garbageBookIsReportedAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    QByteArray noise(8192, '\0');
    for (char& byte : noise)
        byte = char(QRandomGenerator::global()->bounded(256));
    QTest::newRow("random bytes") << QByteArray("garbage").append(noise) << "file is not a database";
    // A valid header over pages of noise: SQLite only learns it is broken when it reads them.
    // Page size 4096, file format 1, no reserved bytes, the fixed payload fractions.
    QByteArray header = QByteArray("SQLite format 3", 16) + QByteArray("\x10\x00\x01\x01\x00\x40\x20\x20", 8);
    header.append(QByteArray(100 - header.size(), '\0'));
    QTest::newRow("SQLite header, noise after") << header.append(noise) << "malformed";
}

void TestBookFaults::garbageBookIsReportedAndLeftAlone()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    WorkingFolder folder;
    {
        QFile book(folder.file(QStringLiteral("Book.db")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        QCOMPARE(book.write(bytes), bytes.size());
    }

    MessageBoxWatcher boxes;
    auto window = std::make_unique<TKavrinOsnova>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes()[0].title, QStringLiteral("Kavrin - Prenos podatkov v računovodstvo"));
    QVERIFY2(boxes.boxes()[0].text.contains(reason), qPrintable(boxes.boxes()[0].text));
    QVERIFY(!window->Stranke.isActive());
    QVERIFY(window->isVisible());
    window.reset();

    QFile book(folder.file(QStringLiteral("Book.db")));
    QVERIFY(book.open(QIODevice::ReadOnly));
    QVERIFY2(book.readAll() == bytes, "the book was written to");
    // Nothing beside it either: no journal that a later start would roll into the file.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ QStringLiteral("Book.db") }));
}

QTEST_MAIN(TestBookFaults)
#include "TestBookFaults.moc"
