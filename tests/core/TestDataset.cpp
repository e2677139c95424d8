#include "store/Dataset.h"
#include "store/StoreError.h"

#include <QSignalSpy>
#include <QTest>

using namespace kavrin::store;

namespace {

// A copy opened straight from rows, as a select would give it.
class Copy : public Dataset
{
public:
    explicit Copy(bool fixedFields = true)
    {
        if (fixedFields)
            setFieldDefs({ { QStringLiteral("davcna"), FieldType::Text, 13 },
                           { QStringLiteral("naziv"), FieldType::Text, 20, true }, // as a char(n) cast gives
                           { QStringLiteral("aktiven"), FieldType::Boolean, 0 } });
    }
    Copy(int rows, bool fixedFields = true)
        : Copy(fixedFields)
    {
        open(rows);
    }
    void open(int rows)
    {
        QList<QVector<QVariant>> values;
        for (int i = 0; i < rows; ++i)
            values.append(
                { qlonglong(i + 1), QStringLiteral("SI%1").arg(i), QStringLiteral("name%1").arg(i), qlonglong(i % 2) });
        openCopy({ "Zapst", "Davcna", "Naziv", "Aktiven" }, values);
    }
    using Dataset::openCopy;
};

const char* stateName(Dataset::State state)
{
    switch (state) {
    case Dataset::State::Inactive:
        return "inactive";
    case Dataset::State::Browse:
        return "browse";
    case Dataset::State::Edit:
        return "edit";
    case Dataset::State::Insert:
        return "insert";
    }
    return "?";
}

// Runs a sequence such as "next next move:0 append edit post delete".
void run(Dataset& dataset, const QString& steps)
{
    for (const QString& step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step == u"first")
            dataset.first();
        else if (step == u"next")
            dataset.next();
        else if (step.startsWith(u"move:"))
            dataset.moveTo(step.mid(5).toInt());
        else if (step == u"append")
            dataset.append();
        else if (step == u"edit")
            dataset.setFieldText(QStringLiteral("naziv"), QStringLiteral("edited"));
        else if (step == u"post")
            dataset.post();
        else if (step == u"cancel")
            dataset.cancel();
        else if (step == u"delete")
            dataset.deleteRow();
        else
            QTest::qFail(qPrintable(QStringLiteral("unknown step ") + step), __FILE__, __LINE__);
    }
}

} // namespace

class TestDataset : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cursorRules_data();
    void cursorRules();
    void editBuffer();
    void appendEndsOpenEdit();
    void deleteOnEmptyCopy();
    void storedValues_data();
    void storedValues();
    void fieldsAndErrors();
    void suspensionIsCounted();
    void noticesForControls();
};

void TestDataset::cursorRules_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("eof");
    QTest::addColumn<int>("scrolls"); // afterScroll raised, opening included
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("state");

    QTest::newRow("open with rows") << 3 << "" << 0 << false << 1 << 3 << "browse";
    QTest::newRow("open empty") << 0 << "" << -1 << true << 0 << 0 << "browse";
    QTest::newRow("next to the last row") << 3 << "next next" << 2 << false << 3 << 3 << "browse";
    QTest::newRow("next runs into the end") << 3 << "next next next" << 2 << true << 4 << 3 << "browse";
    QTest::newRow("next at the end is no move") << 3 << "next next next next" << 2 << true << 4 << 3 << "browse";
    QTest::newRow("first after the end") << 3 << "next next next first" << 0 << false << 5 << 3 << "browse";
    QTest::newRow("one row: next ends") << 1 << "next" << 0 << true << 2 << 1 << "browse";
    QTest::newRow("first on empty") << 0 << "first" << -1 << true << 1 << 0 << "browse";
    QTest::newRow("next on empty") << 0 << "next first next" << -1 << true << 1 << 0 << "browse";
    QTest::newRow("grid click") << 3 << "move:2" << 2 << false << 2 << 3 << "browse";
    QTest::newRow("click on the current row") << 3 << "move:0" << 0 << false << 1 << 3 << "browse";
    QTest::newRow("click after the end clears eof") << 2 << "next next move:0" << 0 << false << 4 << 2 << "browse";
    QTest::newRow("append") << 2 << "append" << 2 << false << 2 << 2 << "insert";
    QTest::newRow("append on empty") << 0 << "append" << 0 << false << 1 << 0 << "insert";
    QTest::newRow("append post") << 0 << "append edit post" << 0 << false << 1 << 1 << "browse";
    QTest::newRow("append cancel") << 2 << "append cancel" << 1 << false << 3 << 2 << "browse";
    QTest::newRow("append cancel on empty") << 0 << "append cancel" << -1 << true << 2 << 0 << "browse";
    QTest::newRow("delete in insert state cancels") << 2 << "append delete" << 1 << false << 3 << 2 << "browse";
    QTest::newRow("unchanged insertion dropped by a move") << 2 << "append move:0" << 0 << false << 3 << 2 << "browse";
    QTest::newRow("changed insertion kept by a move") << 2 << "append edit move:0" << 0 << false << 3 << 3 << "browse";
    QTest::newRow("next from unchanged insertion") << 2 << "append next" << 1 << true << 3 << 2 << "browse";
    QTest::newRow("next from unchanged insertion on empty") << 0 << "append next" << -1 << true << 2 << 0 << "browse";
    QTest::newRow("delete first row") << 3 << "delete" << 0 << false << 2 << 2 << "browse";
    QTest::newRow("delete last row") << 3 << "move:2 delete" << 1 << false << 3 << 2 << "browse";
    QTest::newRow("delete the only row") << 1 << "delete" << -1 << true << 2 << 0 << "browse";
    QTest::newRow("delete while editing") << 2 << "edit delete" << 0 << false << 2 << 1 << "browse";
    QTest::newRow("edit on empty starts a row") << 0 << "edit" << 0 << false << 1 << 0 << "insert";
    QTest::newRow("edit and cancel") << 2 << "edit cancel" << 0 << false << 1 << 2 << "browse";
}

void TestDataset::cursorRules()
{
    QFETCH(int, rows);
    QFETCH(QString, steps);
    QFETCH(int, current);
    QFETCH(bool, eof);
    QFETCH(int, scrolls);
    QFETCH(int, records);
    QFETCH(QString, state);

    Copy copy;
    QSignalSpy scrolled(&copy, &Dataset::afterScroll);
    copy.open(rows);
    run(copy, steps);

    QCOMPARE(copy.currentRow(), current);
    QCOMPARE(copy.eof(), eof);
    QCOMPARE(scrolled.count(), scrolls);
    QCOMPARE(copy.recordCount(), records);
    QCOMPARE(QString::fromLatin1(stateName(copy.state())), state);
}

void TestDataset::editBuffer()
{
    Copy copy(3);
    QSignalSpy changed(&copy, &Dataset::rowChanged);
    copy.setFieldText(QStringLiteral("NAZIV"), QStringLiteral("Ana"));
    QCOMPARE(copy.state(), Dataset::State::Edit);
    QCOMPARE(copy.fieldText(QStringLiteral("naziv")), QStringLiteral("Ana"));
    QCOMPARE(copy.value(0, 1).toString(), QStringLiteral("Ana"));
    QCOMPARE(copy.value(1, 1).toString(), QStringLiteral("name1"));

    // A move posts the change into the copy.
    copy.next();
    QCOMPARE(copy.state(), Dataset::State::Browse);
    QCOMPARE(copy.value(0, 1).toString(), QStringLiteral("Ana"));

    // An edit that ends with the values it started with leaves the row alone.
    changed.clear();
    copy.setFieldText(QStringLiteral("naziv"), QStringLiteral("name1"));
    copy.next();
    QCOMPARE(changed.count(), 0);

    // Cancel drops the edit without moving.
    QSignalSpy scrolled(&copy, &Dataset::afterScroll);
    copy.setFieldBool(QStringLiteral("aktiven"), true);
    QCOMPARE(copy.fieldBool(QStringLiteral("aktiven")), true);
    copy.cancel();
    QCOMPARE(copy.fieldBool(QStringLiteral("aktiven")), false);
    QCOMPARE(scrolled.count(), 0);

    // The grid's way in: move to the row, then edit it.
    copy.setValue(1, 2, true);
    QCOMPARE(copy.currentRow(), 1);
    QCOMPARE(copy.value(1, 2).toBool(), true);
    copy.post();
    QCOMPARE(copy.fieldBool(QStringLiteral("aktiven")), true);
}

void TestDataset::appendEndsOpenEdit()
{
    Copy copy(2);
    copy.setFieldText(QStringLiteral("naziv"), QStringLiteral("changed"));
    copy.append();
    QCOMPARE(copy.value(0, 1).toString(), QStringLiteral("changed"));
    QCOMPARE(copy.currentRow(), 2);
    // The new row starts empty: nothing is copied from the row before.
    QCOMPARE(copy.fieldText(QStringLiteral("davcna")), QString());
    QCOMPARE(copy.fieldText(QStringLiteral("naziv")), QString());
    QCOMPARE(copy.fieldBool(QStringLiteral("aktiven")), false);
    copy.setFieldBool(QStringLiteral("aktiven"), true);
    copy.post();
    QCOMPARE(copy.recordCount(), 3);
    QCOMPARE(copy.currentRow(), 2);
    QCOMPARE(copy.fieldBool(QStringLiteral("aktiven")), true);
    QCOMPARE(copy.fieldText(QStringLiteral("davcna")), QString());
}

void TestDataset::deleteOnEmptyCopy()
{
    Copy copy(0);
    QSignalSpy scrolled(&copy, &Dataset::afterScroll);
    try {
        copy.deleteRow();
        QFAIL("delete on an empty copy went through");
    } catch (const StoreError& error) {
        QCOMPARE(error.message(), QStringLiteral("Cannot perform this operation on an empty dataset"));
    }
    QCOMPARE(scrolled.count(), 0);
    // An empty list reads as empty values, as the delete statement before it does.
    QCOMPARE(copy.fieldText(QStringLiteral("davcna")), QString());
    QCOMPARE(copy.fieldBool(QStringLiteral("aktiven")), false);
}

void TestDataset::storedValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("flag");

    QTest::newRow("surrounding spaces stay") << "davcna" << QVariant(" SI1  ") << " SI1  " << false;
    QTest::newRow("only spaces stay") << "davcna" << QVariant("   ") << "   " << false;
    QTest::newRow("cut to the field size") << "davcna" << QVariant("12345678901234567") << "1234567890123" << false;
    QTest::newRow("fixed length: cut, then trailing spaces go")
        << "naziv" << QVariant("Ana                 x") << "Ana" << false;
    QTest::newRow("fixed length: only spaces are empty") << "naziv" << QVariant("   ") << "" << false;
    QTest::newRow("boolean true") << "aktiven" << QVariant(true) << "True" << true;
    QTest::newRow("boolean from a number") << "aktiven" << QVariant(qlonglong(0)) << "False" << false;
    QTest::newRow("empty boolean") << "aktiven" << QVariant() << "" << false;
}

void TestDataset::storedValues()
{
    QFETCH(QString, field);
    QFETCH(QVariant, written);
    QFETCH(QString, text);
    QFETCH(bool, flag);

    Copy copy(2);
    copy.setValue(0, copy.fieldIndex(field), written);
    copy.next();
    copy.first();
    QCOMPARE(copy.fieldText(field), text);
    if (copy.fields().at(copy.fieldIndex(field)).type == FieldType::Boolean)
        QCOMPARE(copy.fieldBool(field), flag);
}

void TestDataset::fieldsAndErrors()
{
    // Without fixed fields the columns of the result are the fields.
    Copy loose(2, false);
    QCOMPARE(loose.fields().size(), 4);
    QCOMPARE(loose.fieldIndex(QStringLiteral("zapst")), 0);
    QCOMPARE(loose.fields().at(0).type, FieldType::Integer);
    QCOMPARE(loose.fieldText(QStringLiteral("NAZIV")), QStringLiteral("name0"));
    QVERIFY_THROWS_EXCEPTION(StoreError, loose.fieldText(QStringLiteral("nope")));

    // Fixed fields keep only their columns.
    Copy fixed(1);
    QCOMPARE(fixed.fields().size(), 3);
    QCOMPARE(fixed.fieldIndex(QStringLiteral("Zapst")), -1);
    fixed.close();
    fixed.setFieldDefs({ { QStringLiteral("missing"), FieldType::Text, 5 } });
    QVERIFY_THROWS_EXCEPTION(StoreError, fixed.openCopy({ "a" }, { { QVariant(1) } }));
    QVERIFY(!fixed.isActive());

    Copy closed(1);
    closed.close();
    QCOMPARE(closed.recordCount(), 0);
    QVERIFY(closed.eof());
    QVERIFY_THROWS_EXCEPTION(StoreError, closed.first());
    QVERIFY_THROWS_EXCEPTION(StoreError, closed.fieldText(QStringLiteral("naziv")));
    QVERIFY_THROWS_EXCEPTION(StoreError, closed.append());
}

void TestDataset::suspensionIsCounted()
{
    Copy copy(3);
    QSignalSpy scrolled(&copy, &Dataset::afterScroll);
    QSignalSpy reset(&copy, &Dataset::controlsReset);
    QSignalSpy current(&copy, &Dataset::currentChanged);
    QSignalSpy changed(&copy, &Dataset::rowChanged);
    QSignalSpy inserted(&copy, &Dataset::rowInserted);
    QSignalSpy removed(&copy, &Dataset::rowRemoved);

    copy.disableControls();
    copy.disableControls();
    QVERIFY(copy.controlsDisabled());
    run(copy, QStringLiteral("first next edit next append edit post delete"));
    copy.enableControls();
    QVERIFY(copy.controlsDisabled());
    QCOMPARE(reset.count(), 0);
    copy.enableControls();
    QVERIFY(!copy.controlsDisabled());

    QCOMPARE(reset.count(), 1);
    QCOMPARE(current.count() + changed.count() + inserted.count() + removed.count(), 0);
    QCOMPARE(scrolled.count(), 5); // first, next, next, append, delete
    copy.enableControls();
    QCOMPARE(reset.count(), 1);
    copy.first();
    QCOMPARE(current.count(), 1);
}

void TestDataset::noticesForControls()
{
    Copy copy(2);
    QSignalSpy current(&copy, &Dataset::currentChanged);
    QSignalSpy changed(&copy, &Dataset::rowChanged);
    QSignalSpy inserted(&copy, &Dataset::rowInserted);
    QSignalSpy removed(&copy, &Dataset::rowRemoved);
    QSignalSpy reset(&copy, &Dataset::controlsReset);

    copy.append();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().first().toInt(), 2);
    QCOMPARE(current.last().first().toInt(), 2);
    copy.setFieldText(QStringLiteral("naziv"), QStringLiteral("new"));
    QCOMPARE(changed.last().first().toInt(), 2);
    copy.cancel();
    QCOMPARE(removed.last().first().toInt(), 2);
    QCOMPARE(copy.rowCount(), 2);

    copy.deleteRow(); // row 1 was current after the cancel
    QCOMPARE(removed.last().first().toInt(), 1);
    QCOMPARE(current.last().first().toInt(), 0);
    QCOMPARE(copy.fieldText(QStringLiteral("davcna")), QStringLiteral("SI0"));

    copy.close();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(copy.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestDataset)
#include "TestDataset.moc"
