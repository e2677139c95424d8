#include "store/Query.h"
#include "support/StoreBook.h"
#include "support/WorkingFolder.h"

#include <QTest>

using namespace kavrin::store;

// Slovenian order and exact equality, as the statements see them through the table's columns.
class TestCollation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void orderByName_data();
    void orderByName();
    void taxNumberEquality_data();
    void taxNumberEquality();

private:
    void insert(const QString& taxNumber, const QString& name);

    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<StoreBook> m_book;
};

void TestCollation::init()
{
    m_folder = std::make_unique<WorkingFolder>();
    m_book = std::make_unique<StoreBook>();
    m_book->start();
}

void TestCollation::cleanup()
{
    m_book.reset();
    m_folder.reset();
}

void TestCollation::insert(const QString& taxNumber, const QString& name)
{
    Query insert(QStringLiteral("BAZA"));
    insert.addLine(QStringLiteral("insert into book"));
    insert.addLine(QStringLiteral("(naziv, aktiven, davcna)"));
    insert.addLine(QStringLiteral("values (:naz1, :akt, :dv1)"));
    insert.setParamText(0, name);
    insert.setParamBool(1, true);
    insert.setParamText(2, taxNumber);
    insert.execSql();
}

void TestCollation::orderByName_data()
{
    QTest::addColumn<QStringList>("sorted");

    QTest::newRow("c < č < d") << QStringList { "cvet", "čas", "dan" };
    QTest::newRow("s < š < t") << QStringList { "svet", "šola", "tla" };
    QTest::newRow("z < ž") << QStringList { "zvon", "žaba" };
    QTest::newRow("capitals among their letters") << QStringList { "Cvet", "Čas", "Dan" };
    QTest::newRow("lower case before upper case") << QStringList { "ana", "Ana", "anb" };
    QTest::newRow("accents after the plain letter") << QStringList { "e", "é", "f" };
}

void TestCollation::orderByName()
{
    QFETCH(QStringList, sorted);
    QStringList shuffled = sorted;
    std::reverse(shuffled.begin(), shuffled.end());
    for (const QString& name : shuffled)
        insert(QStringLiteral("SI"), name);

    Query list(QStringLiteral("BAZA"));
    list.addLine(QStringLiteral("select * from book order by naziv"));
    list.setActive(true);
    QStringList names;
    for (list.first(); !list.eof(); list.next())
        names.append(list.fieldText(QStringLiteral("naziv")));
    QCOMPARE(names, sorted);
}

void TestCollation::taxNumberEquality_data()
{
    QTest::addColumn<QString>("lookup");
    QTest::addColumn<QStringList>("found");

    QTest::newRow("exact") << "SI123" << QStringList { "SI123" };
    QTest::newRow("lower case finds only lower case") << "si123" << QStringList { "si123" };
    QTest::newRow("a prefix is not equal") << "SI12" << QStringList {};
    QTest::newRow("a soft hyphen is not ignored") << "SI1\u00AD23" << QStringList { "SI1\u00AD23" };
    QTest::newRow("č is not c") << "Č1" << QStringList {};
}

void TestCollation::taxNumberEquality()
{
    QFETCH(QString, lookup);
    QFETCH(QStringList, found);
    for (const char* taxNumber : { "SI123", "si123", "SI1234", "SI1\u00AD23", "C1", "c1" })
        insert(QString::fromUtf8(taxNumber), QStringLiteral("x"));

    Query query(QStringLiteral("BAZA"));
    query.addLine(QStringLiteral("select * from book where davcna = :dv1"));
    query.setParamText(0, lookup);
    query.setActive(true);
    QStringList taxNumbers;
    for (query.first(); !query.eof(); query.next())
        taxNumbers.append(query.fieldText(QStringLiteral("davcna")));
    QCOMPARE(taxNumbers, found);

    // The update reaches the same rows as the lookup.
    Query update(QStringLiteral("BAZA"));
    for (const char* line : { "update book", "set naziv = :naz1,", "    aktiven = :akt", "where davcna = :dv1" })
        update.addLine(QLatin1String(line));
    update.setParamText(0, QStringLiteral("changed"));
    update.setParamBool(1, false);
    update.setParamText(2, lookup);
    update.execSql();
    QCOMPARE(m_book->scalar(QStringLiteral("SELECT count(*) FROM book WHERE naziv = 'changed'")).toInt(), found.size());
}

QTEST_GUILESS_MAIN(TestCollation)
#include "TestCollation.moc"
