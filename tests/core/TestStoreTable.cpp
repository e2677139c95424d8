#include "store/Database.h"
#include "store/Query.h"
#include "store/StoreError.h"
#include "store/Table.h"
#include "store/BookTable.h"
#include "support/StoreBook.h"
#include "support/WorkingFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace kavrin::store;

namespace {

const QString bookStatement = QStringLiteral(
    "CREATE TABLE \"book\" (\"Zapst\" INTEGER CONSTRAINT \"Prvi\" PRIMARY KEY AUTOINCREMENT, "
    "\"Davcna\" VARCHAR(13) COLLATE sl, \"Naziv\" VARCHAR(20) COLLATE sl, \"Aktiven\" BOOLEAN DEFAULT 1)");

QVariant schemaVersion(const StoreBook& book)
{
    return book.scalar(QStringLiteral("PRAGMA schema_version"));
}

QStringList tableNames(const StoreBook& book)
{
    QStringList names;
    for (const QVariantList& row :
         book.rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")))
        names.append(row.at(0).toString());
    return names;
}

QList<QVariantList> bookIndexes(const StoreBook& book)
{
    QList<QVariantList> result;
    for (const QVariantList& index : book.rows(QStringLiteral("PRAGMA index_list(book)"))) {
        const QString name = index.at(1).toString();
        const QVariant column = book.scalar(QStringLiteral("SELECT name FROM pragma_index_info(?)"), { name });
        result.append({ name, index.at(2).toInt(), column });
    }
    std::sort(result.begin(), result.end(),
              [](const QVariantList& a, const QVariantList& b) { return a.at(0).toString() < b.at(0).toString(); });
    return result;
}

// Every object of the file and every row of every table.
QList<QVariantList> dump(const StoreBook& book)
{
    QList<QVariantList> result = book.rows(QStringLiteral("SELECT * FROM sqlite_master ORDER BY name"));
    for (const QString& table : tableNames(book)) {
        result.append({table});
        result.append(book.rows(QStringLiteral("SELECT * FROM \"%1\"").arg(table)));
    }
    return result;
}

} // namespace

class TestStoreTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstStartCreatesEmptyBook();
    void restartKeepsRowsUntouched();
    void alterationCarriesRowsByPosition_data();
    void alterationCarriesRowsByPosition();
    void failedAlterationLeavesTableWhole_data();
    void failedAlterationLeavesTableWhole();
    void bookFollowsWorkingDirectoryOfConnect();
    void heldTableFailsAfterRetries_data();
    void heldTableFailsAfterRetries();
};

void TestStoreTable::firstStartCreatesEmptyBook()
{
    WorkingFolder folder;
    StoreBook book;
    Table table(QStringLiteral("BAZA"), QStringLiteral("Book.dat"));
    kavrin::store::defineBookTable(table);
    QVERIFY(!table.exists());
    table.createTable();
    QVERIFY(table.exists());
    const QVariant created = schemaVersion(book);
    table.alterTable();
    QCOMPARE(schemaVersion(book), created);

    QVERIFY(QFile::exists(folder.file(QStringLiteral("Book.db"))));
    QCOMPARE(book.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'book'")).toString(),
             bookStatement);
    QList<QVariantList> columns;
    for (const QVariantList& column : book.rows(QStringLiteral("PRAGMA table_info(book)")))
        columns.append({ column.at(1), column.at(2), column.at(4), column.at(5) });
    const QList<QVariantList> expectedColumns { { "Zapst", "INTEGER", QVariant(), 1 },
                                                { "Davcna", "VARCHAR(13)", QVariant(), 0 },
                                                { "Naziv", "VARCHAR(20)", QVariant(), 0 },
                                                { "Aktiven", "BOOLEAN", "1", 0 } };
    QCOMPARE(columns.size(), expectedColumns.size());
    for (int i = 0; i < columns.size(); ++i) {
        QCOMPARE(columns[i][0].toString(), expectedColumns[i][0].toString());
        QCOMPARE(columns[i][1].toString(), expectedColumns[i][1].toString());
        QCOMPARE(columns[i][2].toString(), expectedColumns[i][2].toString());
        QCOMPARE(columns[i][3].toInt(), expectedColumns[i][3].toInt());
    }
    const QList<QVariantList> expectedIndexes { { "Davcna", 0, "Davcna" }, { "Naziv", 0, "Naziv" } };
    QCOMPARE(bookIndexes(book), expectedIndexes);
    QCOMPARE(tableNames(book), (QStringList { "book", "sqlite_sequence" }));

    Query list(QStringLiteral("BAZA"));
    list.addLine(QStringLiteral("select * from book order by naziv"));
    list.setActive(true);
    QCOMPARE(list.recordCount(), 0);
    QVERIFY(list.eof());

    // The first row gets number 1 and the default flag.
    book.exec(QStringLiteral("INSERT INTO book (Davcna) VALUES ('SI1')"));
    QCOMPARE(book.bookRows(), (QList<QVariantList> { { 1, "SI1", QVariant(), 1 } }));
}

void TestStoreTable::restartKeepsRowsUntouched()
{
    WorkingFolder folder;
    StoreBook book;
    book.start();
    for (const char* name : { "Ana", "Bor", "Cene", "Dana" })
        book.exec(QStringLiteral("INSERT INTO book (Davcna, Naziv, Aktiven) VALUES (?, ?, 0)"),
                  { QStringLiteral("SI-%1").arg(QLatin1String(name)), QLatin1String(name) });
    book.exec(QStringLiteral("DELETE FROM book WHERE Zapst IN (2, 4)"));
    const QList<QVariantList> before = book.bookRows();
    const QVariant version = schemaVersion(book);

    book.start();

    QCOMPARE(book.bookRows(), before);
    QCOMPARE(schemaVersion(book), version);
    QVERIFY(!tableNames(book).contains(QStringLiteral("book_backup")));
    // The number of a deleted last row is not given again.
    book.exec(QStringLiteral("INSERT INTO book (Naziv) VALUES ('Eva')"));
    QCOMPARE(book.scalar(QStringLiteral("SELECT max(Zapst) FROM book")).toInt(), 5);
}

void TestStoreTable::alterationCarriesRowsByPosition_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QList<QVariantList>>("expected");
    QTest::addColumn<int>("nextNumber");
    QTest::addColumn<QList<QVariantList>>("backup"); // no rows: no backup expected

    QTest::newRow("other names and types, an extra column")
        << QStringList { "CREATE TABLE Book (nr INTEGER, tax TEXT, name TEXT, active TEXT, extra TEXT)",
                         "INSERT INTO Book VALUES (5, 'SI1', 'Ana', 'True', 'x')",
                         "INSERT INTO Book VALUES (5, 'SI2', 'Bor', '0', 'y')",
                         "INSERT INTO Book VALUES ('abc', 'SI3', 'A name much longer than twenty', 'yes', NULL)",
                         "INSERT INTO Book VALUES (NULL, '   ', 'Cene  ', NULL, NULL)" }
        << QList<QVariantList> { { 5, "SI1", "Ana", 1 },
                                 { 6, "SI2", "Bor", 0 },
                                 { 7, "SI3", "A name much longer t", 1 },
                                 { 8, "   ", "Cene  ", QVariant() } }
        << 9
        << QList<QVariantList> { { 5, "SI1", "Ana", "True", "x" },
                                 { 5, "SI2", "Bor", "0", "y" },
                                 { "abc", "SI3", "A name much longer than twenty", "yes", QVariant() },
                                 { QVariant(), "   ", "Cene  ", QVariant(), QVariant() } };
    QTest::newRow("fewer columns, deleted numbers above the stored ones")
        << QStringList { "CREATE TABLE book (Zapst INTEGER PRIMARY KEY AUTOINCREMENT, Davcna TEXT)",
                         "INSERT INTO book VALUES (1, 'A')",
                         "INSERT INTO book VALUES (3, 'B')",
                         "INSERT INTO book VALUES (10, 'C')",
                         "DELETE FROM book WHERE Zapst = 10",
                         "CREATE INDEX Davcna ON book (Davcna)" }
        << QList<QVariantList> { { 1, "A", QVariant(), QVariant() }, { 3, "B", QVariant(), QVariant() } } << 11
        << QList<QVariantList> { { 1, "A" }, { 3, "B" } };
    QTest::newRow("an older backup is replaced")
        << QStringList { "CREATE TABLE book_backup (old TEXT)", "INSERT INTO book_backup VALUES ('stale')",
                         "CREATE INDEX Naziv ON book_backup (old)", "CREATE TABLE book (a, b, c, d)",
                         "INSERT INTO book VALUES (2, 'T', 'N', 1)" }
        << QList<QVariantList> { { 2, "T", "N", 1 } } << 3 << QList<QVariantList> { { 2, "T", "N", 1 } };
    QTest::newRow("only an index missing: rows stay, no backup")
        << QStringList { bookStatement, "CREATE INDEX \"Davcna\" ON \"book\" (\"Davcna\")",
                         "INSERT INTO book VALUES (4, 'T', 'N', 0)" }
        << QList<QVariantList> { { 4, "T", "N", 0 } } << 5 << QList<QVariantList> {};
}

void TestStoreTable::alterationCarriesRowsByPosition()
{
    QFETCH(QStringList, setup);
    QFETCH(QList<QVariantList>, expected);
    QFETCH(int, nextNumber);
    QFETCH(QList<QVariantList>, backup);

    QString reference;
    {
        WorkingFolder fresh;
        StoreBook book;
        book.start();
        reference = book.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'book'")).toString();
    }
    WorkingFolder folder;
    StoreBook book;
    for (const QString& statement : setup)
        book.exec(statement);

    book.start();

    QCOMPARE(
        book.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'book'")).toString(),
        reference);
    const QList<QVariantList> expectedIndexes { { "Davcna", 0, "Davcna" }, { "Naziv", 0, "Naziv" } };
    QCOMPARE(bookIndexes(book), expectedIndexes);
    QCOMPARE(book.bookRows(), expected);
    if (backup.isEmpty()) {
        QVERIFY(!tableNames(book).contains(QStringLiteral("book_backup")));
    } else {
        QCOMPARE(book.rows(QStringLiteral("SELECT * FROM book_backup")), backup);
        QCOMPARE(book.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                                            "tbl_name = 'book_backup'"))
                     .toInt(),
                 0);
    }
    // The rebuilt table now has the structure: the next start touches nothing.
    const QVariant version = schemaVersion(book);
    book.start();
    QCOMPARE(schemaVersion(book), version);

    book.exec(QStringLiteral("INSERT INTO book (Naziv) VALUES ('new')"));
    QCOMPARE(book.scalar(QStringLiteral("SELECT Zapst FROM book WHERE Naziv = 'new'")).toInt(), nextNumber);
}

void TestStoreTable::failedAlterationLeavesTableWhole_data()
{
    QTest::addColumn<QStringList>("obstacle");
    QTest::addColumn<QString>("message");

    QTest::newRow("backup name taken by a view, first step")
        << QStringList { "CREATE VIEW book_backup AS SELECT 1" } << "use DROP VIEW to delete view book_backup";
    QTest::newRow("index name taken by another table, last step")
        << QStringList { "CREATE TABLE other (x)", "CREATE INDEX Naziv ON other (x)" } << "index Naziv already exists";
}

void TestStoreTable::failedAlterationLeavesTableWhole()
{
    QFETCH(QStringList, obstacle);
    QFETCH(QString, message);

    WorkingFolder folder;
    StoreBook book;
    book.exec(QStringLiteral("CREATE TABLE book (nr INTEGER, tax TEXT, name TEXT)"));
    book.exec(QStringLiteral("CREATE INDEX byTax ON book (tax)"));
    book.exec(QStringLiteral("INSERT INTO book VALUES (1, 'SI1', 'Ana'), ('x', 'SI2', 'Bor')"));
    for (const QString& statement : obstacle)
        book.exec(statement);
    const QList<QVariantList> before = dump(book);

    try {
        book.start();
        QFAIL("the alteration went through");
    } catch (const StoreError& error) {
        QVERIFY2(error.message().contains(message), qPrintable(error.message()));
    }

    QCOMPARE(dump(book), before);
    // Nothing is left half done: the connection is usable and a later start succeeds.
    for (const char* drop : { "DROP VIEW IF EXISTS book_backup", "DROP TABLE IF EXISTS other" })
        book.exec(QLatin1String(drop));
    book.start();
    QCOMPARE(book.bookRows().size(), 2);
}

void TestStoreTable::bookFollowsWorkingDirectoryOfConnect()
{
    WorkingFolder first;
    const QString firstPath = QDir::currentPath();
    StoreBook book;
    book.start();
    book.exec(QStringLiteral("INSERT INTO book (Davcna) VALUES ('SI1')"));
    {
        // Moving the working directory does not move a connected database.
        WorkingFolder elsewhere;
        QCOMPARE(book.database().directory(), firstPath);
        QCOMPARE(book.database().filePath(), QDir(firstPath).filePath(QStringLiteral("Book.db")));
        Query lookup(QStringLiteral("BAZA"));
        lookup.addLine(QStringLiteral("select * from book where davcna = :dv1"));
        lookup.setParamText(0, QStringLiteral("SI1"));
        lookup.setActive(true);
        QCOMPARE(lookup.recordCount(), 1);
        lookup.setActive(false);
        QVERIFY(!QFile::exists(elsewhere.file(QStringLiteral("Book.db"))));

        // A start there binds anew: a separate, empty book.
        book.start();
        QCOMPARE(book.database().directory(), QDir::currentPath());
        QVERIFY(QFile::exists(elsewhere.file(QStringLiteral("Book.db"))));
        QCOMPARE(book.bookRows().size(), 0);
    }
    book.start();
    QCOMPARE(book.database().directory(), firstPath);
    QCOMPARE(book.bookRows().size(), 1);
}

void TestStoreTable::heldTableFailsAfterRetries_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("alter") << "alter";
    QTest::newRow("create") << "create";
    QTest::newRow("select") << "select";
    QTest::newRow("insert") << "insert";
}

void TestStoreTable::heldTableFailsAfterRetries()
{
    QFETCH(QString, operation);
    WorkingFolder folder;
    StoreBook book;
    book.start();

    {
        StoreLockHolder holder(book.database().filePath());
        QVERIFY2(holder.isHolding(), qPrintable(holder.errors()));
        Table table(QStringLiteral("BAZA"), operation == u"create" ? QStringLiteral("Other") : QStringLiteral("Book"));
        kavrin::store::defineBookTable(table);
        Query query(QStringLiteral("BAZA"));
        QElapsedTimer timer;
        timer.start();
        try {
            if (operation == u"alter") {
                table.alterTable();
            } else if (operation == u"create") {
                table.createTable();
            } else if (operation == u"select") {
                query.addLine(QStringLiteral("select * from book order by naziv"));
                query.setActive(true);
            } else {
                query.addLine(QStringLiteral("insert into book"));
                query.addLine(QStringLiteral("(naziv, aktiven, davcna)"));
                query.addLine(QStringLiteral("values (:naz1, :akt, :dv1)"));
                query.execSql();
            }
            QFAIL("the operation did not wait for the lock");
        } catch (const StoreError& error) {
            QCOMPARE(error.message(), QStringLiteral("database is locked"));
        }
        const qint64 waited = timer.elapsed();
        QVERIFY2(waited >= 1400 && waited < 4000, qPrintable(QString::number(waited)));
    }
    // Once the other process lets go, the same work goes through.
    book.start();
    QCOMPARE(book.bookRows().size(), 0);
}

QTEST_GUILESS_MAIN(TestStoreTable)
#include "TestStoreTable.moc"
