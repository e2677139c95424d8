#include "store/Database.h"
#include "store/Query.h"
#include "store/StoreError.h"
#include "support/StoreBook.h"
#include "support/WorkingFolder.h"

#include <QTest>

using namespace kavrin::store;

namespace {

void setLines(Query& query, const QStringList& lines)
{
    query.clearSql();
    for (const QString& line : lines)
        query.addLine(line);
}

const QStringList insertLines { "insert into book", "(naziv, aktiven, davcna)", "values (:naz1, :akt, :dv1)" };
const QStringList updateLines { "update book", "set naziv = :naz1,", "    aktiven = :akt", "where davcna = :dv1" };
const QStringList deleteLines { "delete from book", "where davcna = :dv1" };
const QStringList lookupLines { "select * from book where davcna = :dv1" };

void saveClient(const QStringList& lines, const QString& name, bool active, const QString& taxNumber)
{
    Query command(QStringLiteral("BAZA"));
    setLines(command, lines);
    command.setParamText(0, name);
    command.setParamBool(1, active);
    command.setParamText(2, taxNumber);
    command.execSql();
}

int lookupCount(const QString& taxNumber)
{
    Query lookup(QStringLiteral("BAZA"));
    setLines(lookup, lookupLines);
    lookup.setParamText(0, taxNumber);
    lookup.setActive(true);
    return lookup.recordCount();
}

void deleteClient(const QString& taxNumber)
{
    Query command(QStringLiteral("BAZA"));
    setLines(command, deleteLines);
    command.setParamText(0, taxNumber);
    command.execSql();
}

} // namespace

class TestStoreQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void parameterNames_data();
    void parameterNames();
    void parametersBindByPosition();
    void textChangeClosesQuery();
    void statementsActOnEveryRowWithTaxNumber();
    void emptyTextIsNoValue();
    void scratchListStatement();
    void resultIsPrivateCopy();
    void disconnectClosesResults();
    void failuresAreStoreErrors_data();
    void failuresAreStoreErrors();

private:
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<StoreBook> m_book;
};

void TestStoreQuery::init()
{
    m_folder = std::make_unique<WorkingFolder>();
    m_book = std::make_unique<StoreBook>();
    m_book->start();
}

void TestStoreQuery::cleanup()
{
    m_book.reset();
    m_folder.reset();
}

void TestStoreQuery::parameterNames_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("client list") << QStringList { "select * from book order by naziv" } << QStringList {};
    QTest::newRow("update") << updateLines << QStringList { "naz1", "akt", "dv1" };
    QTest::newRow("insert") << insertLines << QStringList { "naz1", "akt", "dv1" };
    QTest::newRow("delete") << deleteLines << QStringList { "dv1" };
    QTest::newRow("repeated name is one parameter")
        << QStringList { "select :a, :b,", ":a" } << QStringList { "a", "b" };
    QTest::newRow("repeat in other letter case") << QStringList { "select :Dv1, :dv1" } << QStringList { "Dv1" };
    QTest::newRow("quoted colon is text") << QStringList { "select ':x', :y" } << QStringList { "y" };
    QTest::newRow("doubled quote stays inside") << QStringList { "select 'it''s :no', :yes" } << QStringList { "yes" };
    QTest::newRow("names end at punctuation") << QStringList { "values (:naz1,:akt)" } << QStringList { "naz1", "akt" };
}

void TestStoreQuery::parameterNames()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, names);
    Query query(QStringLiteral("BAZA"));
    setLines(query, lines);
    QCOMPARE(query.paramNames(), names);
    QCOMPARE(query.paramCount(), names.size());
    QCOMPARE(query.sql(), lines.join(QLatin1Char('\n')));
}

void TestStoreQuery::parametersBindByPosition()
{
    Query query(QStringLiteral("BAZA"));
    setLines(query, { "select :a as one, ':x' as lit,", ":b as two, :a as three,", "typeof(:c) as kind, :c as flag" });
    QCOMPARE(query.paramCount(), 3);
    query.setParamText(0, QStringLiteral("first"));
    query.setParamText(1, QStringLiteral("second"));
    query.setParamBool(2, true);
    query.setActive(true);
    QCOMPARE(query.fieldText(QStringLiteral("ONE")), QStringLiteral("first"));
    QCOMPARE(query.fieldText(QStringLiteral("lit")), QStringLiteral(":x"));
    QCOMPARE(query.fieldText(QStringLiteral("two")), QStringLiteral("second"));
    QCOMPARE(query.fieldText(QStringLiteral("three")), QStringLiteral("first"));
    QCOMPARE(query.fieldText(QStringLiteral("kind")), QStringLiteral("integer"));
    QCOMPARE(query.fieldText(QStringLiteral("flag")), QStringLiteral("1"));

    query.setActive(false);
    query.setParamBool(2, false);
    query.setActive(true);
    QCOMPARE(query.fieldText(QStringLiteral("flag")), QStringLiteral("0"));
    QVERIFY_THROWS_EXCEPTION(StoreError, query.setParamText(3, QStringLiteral("none")));
}

void TestStoreQuery::textChangeClosesQuery()
{
    Query query(QStringLiteral("BAZA"));
    setLines(query, { "select :a as one" });
    query.setParamText(0, QStringLiteral("kept?"));
    query.setActive(true);
    QVERIFY(query.isActive());
    query.addLine(QStringLiteral(", :b as two"));
    QVERIFY(!query.isActive());
    QCOMPARE(query.paramNames(), (QStringList { "a", "b" }));
    // The rebuilt list starts without values.
    query.setActive(true);
    QCOMPARE(query.fieldText(QStringLiteral("one")), QString());
    query.clearSql();
    QVERIFY(!query.isActive());
    QCOMPARE(query.paramCount(), 0);
}

void TestStoreQuery::statementsActOnEveryRowWithTaxNumber()
{
    saveClient(insertLines, QStringLiteral("Ana"), true, QStringLiteral("SI1"));
    saveClient(insertLines, QStringLiteral("Ana bis"), true, QStringLiteral("SI1"));
    saveClient(insertLines, QStringLiteral("Bor"), false, QStringLiteral("SI2"));
    QCOMPARE(m_book->bookRows(),
             (QList<QVariantList> { { 1, "SI1", "Ana", 1 }, { 2, "SI1", "Ana bis", 1 }, { 3, "SI2", "Bor", 0 } }));
    QCOMPARE(lookupCount(QStringLiteral("SI1")), 2);
    QCOMPARE(lookupCount(QStringLiteral("SI3")), 0);

    saveClient(updateLines, QStringLiteral("Cene"), false, QStringLiteral("SI1"));
    QCOMPARE(m_book->bookRows(),
             (QList<QVariantList> { { 1, "SI1", "Cene", 0 }, { 2, "SI1", "Cene", 0 }, { 3, "SI2", "Bor", 0 } }));

    deleteClient(QStringLiteral("SI1"));
    QCOMPARE(m_book->bookRows(), (QList<QVariantList> { { 3, "SI2", "Bor", 0 } }));
    saveClient(insertLines, QStringLiteral("Dana"), true, QStringLiteral("SI4"));
    QCOMPARE(m_book->scalar(QStringLiteral("SELECT Zapst FROM book WHERE Davcna = 'SI4'")).toInt(), 4);
}

void TestStoreQuery::emptyTextIsNoValue()
{
    saveClient(insertLines, QString(), true, QString());
    saveClient(insertLines, QStringLiteral("Ana"), true, QStringLiteral("SI1"));
    QCOMPARE(m_book->scalar(QStringLiteral("SELECT count(*) FROM book WHERE Davcna IS NULL AND Naziv IS NULL")).toInt(),
             1);
    // No value equals nothing, not even another no value.
    QCOMPARE(lookupCount(QString()), 0);
    deleteClient(QString());
    saveClient(updateLines, QStringLiteral("x"), false, QString());
    QCOMPARE(m_book->bookRows(), (QList<QVariantList> { { 1, QVariant(), QVariant(), 1 }, { 2, "SI1", "Ana", 1 } }));

    Query list(QStringLiteral("BAZA"));
    list.addLine(QStringLiteral("select * from book order by naziv"));
    list.setActive(true);
    QCOMPARE(list.fieldText(QStringLiteral("davcna")), QString());
    QCOMPARE(list.fieldBool(QStringLiteral("naziv")), false);
}

void TestStoreQuery::scratchListStatement()
{
    saveClient(insertLines, QStringLiteral("XXrt"), true, QStringLiteral("SI1"));
    saveClient(insertLines, QStringLiteral("xxrt"), true, QStringLiteral("SI2"));
    saveClient(insertLines, QStringLiteral("XXrtX"), true, QStringLiteral("SI3"));

    Query files(QStringLiteral("BAZA"));
    files.setFieldDefs({ { QStringLiteral("NAZIV1"), FieldType::Text, 200, true } });
    files.addLine(QStringLiteral("select cast(naziv as char(200)) as NAZIV1 FROM book"));
    files.addLine(QStringLiteral("WHERE NAZIV = 'XXrt'"));
    files.setActive(true);
    QCOMPARE(files.recordCount(), 1);
    QCOMPARE(files.fields().size(), 1);
    QCOMPARE(files.fieldText(QStringLiteral("NAZIV1")), QStringLiteral("XXrt"));

    const QString longName = QString(210, QLatin1Char('n'));
    files.append();
    files.setFieldText(QStringLiteral("NAZIV1"), longName);
    files.post();
    files.append();
    files.setFieldText(QStringLiteral("NAZIV1"), QStringLiteral("SI2_a.txt  "));
    files.post();
    QStringList names;
    for (files.first(); !files.eof(); files.next())
        names.append(files.fieldText(QStringLiteral("NAZIV1")));
    QCOMPARE(names, (QStringList { "XXrt", longName.left(200), "SI2_a.txt" }));
    QCOMPARE(m_book->bookRows().size(), 3);

    files.setActive(false);
    files.setActive(true);
    QCOMPARE(files.recordCount(), 1);
}

void TestStoreQuery::resultIsPrivateCopy()
{
    saveClient(insertLines, QStringLiteral("Ana"), true, QStringLiteral("SI1"));
    saveClient(insertLines, QStringLiteral("Bor"), true, QStringLiteral("SI2"));
    const QList<QVariantList> stored = m_book->bookRows();

    Query list(QStringLiteral("BAZA"));
    list.setFieldDefs({ { QStringLiteral("davcna"), FieldType::Text, 13 },
                        { QStringLiteral("naziv"), FieldType::Text, 20 },
                        { QStringLiteral("aktiven"), FieldType::Boolean, 0 } });
    list.addLine(QStringLiteral("select * from book order by naziv"));
    list.setActive(true);
    QCOMPARE(list.fieldBool(QStringLiteral("aktiven")), true);
    list.setFieldText(QStringLiteral("naziv"), QStringLiteral("Changed"));
    list.setFieldBool(QStringLiteral("aktiven"), false);
    list.next();
    list.deleteRow();
    list.append();
    list.setFieldText(QStringLiteral("davcna"), QStringLiteral("SI9"));
    list.post();
    QCOMPARE(list.recordCount(), 2);
    list.first();
    QCOMPARE(list.fieldText(QStringLiteral("naziv")), QStringLiteral("Changed"));
    QCOMPARE(m_book->bookRows(), stored);

    list.setActive(false);
    list.setActive(true);
    QStringList names;
    for (list.first(); !list.eof(); list.next())
        names.append(list.fieldText(QStringLiteral("naziv")) + QLatin1Char('/')
                     + QString::number(list.fieldBool(QStringLiteral("aktiven"))));
    QCOMPARE(names, (QStringList { "Ana/1", "Bor/1" }));
}

void TestStoreQuery::disconnectClosesResults()
{
    Query list(QStringLiteral("BAZA"));
    list.addLine(QStringLiteral("select * from book order by naziv"));
    list.setActive(true);
    QVERIFY(list.isActive());
    m_book->database().setConnected(false);
    QVERIFY(!list.isActive());
    QVERIFY_THROWS_EXCEPTION(StoreError, list.setActive(true));
    m_book->database().setConnected(true);
    list.setActive(true);
    QVERIFY(list.isActive());
}

void TestStoreQuery::failuresAreStoreErrors_data()
{
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing table") << "BAZA"
                                   << "select * from nope" << true << "no such table: nope";
    QTest::newRow("missing column") << "BAZA"
                                    << "update book set nope = 1" << false << "no such column: nope";
    QTest::newRow("unknown database") << "OTHER"
                                      << "select 1" << true << "Database OTHER not found";
}

void TestStoreQuery::failuresAreStoreErrors()
{
    QFETCH(QString, databaseName);
    QFETCH(QString, sql);
    QFETCH(bool, select);
    QFETCH(QString, message);
    Query query(databaseName);
    query.addLine(sql);
    try {
        if (select)
            query.setActive(true);
        else
            query.execSql();
        QFAIL("no failure");
    } catch (const StoreError& error) {
        QCOMPARE(error.message(), message);
    }
    QVERIFY(!query.isActive());
}

QTEST_GUILESS_MAIN(TestStoreQuery)
#include "TestStoreQuery.moc"
