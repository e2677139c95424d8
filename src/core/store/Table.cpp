#include "store/Table.h"

#include "store/Database.h"
#include "store/Sql.h"
#include "store/StoreError.h"
#include "store/Values.h"

#include <QSet>
#include <QSqlRecord>

#include <algorithm>
#include <optional>

namespace kavrin::store {
namespace {

using sql::quoted;

QString tableNameOf(QString name)
{
    // ".dat" is the extension of the table's data file, not part of its name.
    if (name.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive))
        name.chop(4);
    return name.toLower();
}

QSqlDatabase connectionOf(const QString& databaseName)
{
    Database* database = Database::find(databaseName);
    if (database == nullptr)
        throw StoreError(QStringLiteral("Database %1 not found").arg(databaseName));
    return database->connection();
}

// The CREATE statements that define the table, exactly as SQLite keeps them in
// sqlite_master: comparing these texts tells whether a stored table has this structure.
struct Schema
{
    QString table;
    QStringList indexes;
};

const TableFieldDef& fieldNamed(const QList<TableFieldDef>& fields, const QString& name, const QString& index)
{
    for (const TableFieldDef& field : fields) {
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return field;
    }
    throw StoreError(QStringLiteral("Index %1 names the field %2, which is not defined").arg(index, name));
}

QString indexColumns(const QList<TableFieldDef>& fields, const IndexDef& index)
{
    QStringList columns;
    for (const QString& name : index.fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        columns.append(quoted(fieldNamed(fields, name.trimmed(), index.name).name));
    if (columns.isEmpty())
        throw StoreError(QStringLiteral("Index %1 names no field").arg(index.name));
    return columns.join(QStringLiteral(", "));
}

QString defaultClause(const TableFieldDef& field)
{
    if (field.defaultValue.isEmpty() || field.type == TableFieldDef::Type::AutoInc)
        return {};
    if (field.type == TableFieldDef::Type::Boolean) {
        const QVariant value = values::storedBool(field.defaultValue);
        if (value.isNull())
            throw StoreError(QStringLiteral("%1 is no boolean default for %2").arg(field.defaultValue, field.name));
        return value.toBool() ? QStringLiteral(" DEFAULT 1") : QStringLiteral(" DEFAULT 0");
    }
    QString text = field.defaultValue;
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral(" DEFAULT '%1'").arg(text);
}

Schema schemaOf(const QString& table, const QList<TableFieldDef>& fields, const QList<IndexDef>& indexes)
{
    if (fields.isEmpty())
        throw StoreError(QStringLiteral("Table %1 has no fields defined").arg(table));
    const auto primary = std::find_if(indexes.begin(), indexes.end(),
                                      [](const IndexDef& index) { return index.options & int(IndexOption::Primary); });
    // SQLite numbers rows itself only for a single integer key column.
    QString inlineKeyField;
    if (primary != indexes.end()) {
        const QStringList keyFields = primary->fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (keyFields.size() == 1
            && fieldNamed(fields, keyFields.first().trimmed(), primary->name).type == TableFieldDef::Type::AutoInc)
            inlineKeyField = fieldNamed(fields, keyFields.first().trimmed(), primary->name).name;
    }

    QStringList columns;
    for (const TableFieldDef& field : fields) {
        QString column = quoted(field.name);
        switch (field.type) {
        case TableFieldDef::Type::AutoInc:
            if (field.name != inlineKeyField)
                throw StoreError(
                    QStringLiteral("The auto-increment field %1 must be the primary index").arg(field.name));
            column += QStringLiteral(" INTEGER CONSTRAINT %1 PRIMARY KEY AUTOINCREMENT").arg(quoted(primary->name));
            break;
        case TableFieldDef::Type::String:
            column += field.size > 0 ? QStringLiteral(" VARCHAR(%1)").arg(field.size) : QStringLiteral(" TEXT");
            column += QStringLiteral(" COLLATE sl");
            break;
        case TableFieldDef::Type::Boolean:
            column += QStringLiteral(" BOOLEAN");
            break;
        }
        column += defaultClause(field);
        columns.append(column);
    }
    if (primary != indexes.end() && inlineKeyField.isEmpty())
        columns.append(QStringLiteral("CONSTRAINT %1 PRIMARY KEY (%2)")
                           .arg(quoted(primary->name), indexColumns(fields, *primary)));

    Schema schema;
    schema.table = QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(table), columns.join(QStringLiteral(", ")));
    for (auto index = indexes.begin(); index != indexes.end(); ++index) {
        if (index == primary)
            continue;
        schema.indexes.append(
            QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                .arg(index->options & int(IndexOption::Unique) ? QStringLiteral("UNIQUE ") : QString(),
                     quoted(index->name), quoted(table), indexColumns(fields, *index)));
    }
    return schema;
}

// Name and CREATE statement of the stored table, matched regardless of letter case.
struct StoredTable
{
    QString name;
    QString sql;
    QStringList indexNames;
    QStringList indexes;
};

std::optional<StoredTable> storedTable(const QSqlDatabase& connection, const QString& table)
{
    QSqlQuery query = sql::run(connection,
                               QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ? "
                                              "COLLATE NOCASE"),
                               { table });
    const QList<QVector<QVariant>> rows = sql::readAll(query);
    if (rows.isEmpty())
        return std::nullopt;
    StoredTable stored { rows.first().at(0).toString(), rows.first().at(1).toString(), {}, {} };
    // Indexes SQLite makes for constraints have no statement and cannot be dropped.
    QSqlQuery indexQuery = sql::run(connection,
                                    QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                                                   "tbl_name = ? AND sql IS NOT NULL ORDER BY name"),
                                    { stored.name });
    for (const QVector<QVariant>& row : sql::readAll(indexQuery)) {
        stored.indexNames.append(row.at(0).toString());
        stored.indexes.append(row.at(1).toString());
    }
    return stored;
}

void exec(const QSqlDatabase& connection, const QString& text, const QList<QVariant>& values = {})
{
    sql::run(connection, text, values).finish();
}

// Runs work inside an exclusive transaction: another holder of the file makes BEGIN retry
// by the lock protocol and then fail; a failure of the work rolls everything back.
template<typename Work> void exclusively(const QSqlDatabase& connection, Work work)
{
    exec(connection, QStringLiteral("BEGIN EXCLUSIVE"));
    try {
        work();
        exec(connection, QStringLiteral("COMMIT"));
    } catch (const StoreError&) {
        try {
            exec(connection, QStringLiteral("ROLLBACK"));
        } catch (const StoreError&) {
            // SQLite may have rolled back already; the first failure is the one to report.
        }
        throw;
    }
}

qlonglong sequenceOf(const QSqlDatabase& connection, const QString& table)
{
    QSqlQuery exists
        = sql::run(connection, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'"));
    if (sql::readAll(exists).first().first().toLongLong() == 0)
        return 0;
    QSqlQuery query = sql::run(
        connection, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"), { table });
    const QList<QVector<QVariant>> rows = sql::readAll(query);
    return rows.isEmpty() ? 0 : rows.first().first().toLongLong();
}

bool isInteger(const QVariant& value)
{
    return value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int;
}

// Carries the rows of the stored table into the new one by position: the value of the
// stored column i goes into field i. A key that is no integer, or repeats one already
// carried, gets a new number above every carried one and the stored sequence.
void carryRows(const QSqlDatabase& connection, const StoredTable& from, const QString& to,
               const QList<TableFieldDef>& fields)
{
    QSqlQuery info = sql::run(connection, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(from.name)));
    QStringList columns;
    for (const QVector<QVariant>& row : sql::readAll(info))
        columns.append(quoted(row.at(1).toString()));
    QSqlQuery select = sql::run(
        connection, QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), quoted(from.name)));
    const QList<QVector<QVariant>> rows = sql::readAll(select);

    qlonglong lastNumber = std::max<qlonglong>(0, sequenceOf(connection, from.name));
    QList<QSet<qlonglong>> keptNumbers(fields.size());
    QList<QVector<bool>> kept(rows.size(), QVector<bool>(fields.size(), false));
    for (int field = 0; field < fields.size(); ++field) {
        if (fields.at(field).type != TableFieldDef::Type::AutoInc || field >= columns.size())
            continue;
        for (int row = 0; row < rows.size(); ++row) {
            const QVariant& value = rows.at(row).at(field);
            if (!isInteger(value) || keptNumbers[field].contains(value.toLongLong()))
                continue;
            keptNumbers[field].insert(value.toLongLong());
            kept[row][field] = true;
            lastNumber = std::max(lastNumber, value.toLongLong());
        }
    }

    QStringList names;
    QStringList marks;
    for (const TableFieldDef& field : fields) {
        names.append(quoted(field.name));
        marks.append(QStringLiteral("?"));
    }
    const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(quoted(to), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    bool numbered = false; // the new table has an auto-increment field
    for (int row = 0; row < rows.size(); ++row) {
        QList<QVariant> values;
        for (int field = 0; field < fields.size(); ++field) {
            const TableFieldDef& def = fields.at(field);
            const QVariant stored = field < columns.size() ? rows.at(row).at(field) : QVariant();
            switch (def.type) {
            case TableFieldDef::Type::AutoInc:
                numbered = true;
                values.append(kept.at(row).at(field) ? stored : QVariant(++lastNumber));
                break;
            case TableFieldDef::Type::String: {
                const QVariant text = values::storedText(stored, def.size, false);
                values.append(text.isNull() ? QVariant(QMetaType::fromType<QString>()) : text);
                break;
            }
            case TableFieldDef::Type::Boolean: {
                const QVariant flag = values::storedBool(stored);
                values.append(flag.isNull() ? QVariant(QMetaType::fromType<int>()) : QVariant(flag.toBool() ? 1 : 0));
                break;
            }
            }
        }
        exec(connection, insert, values);
    }
    numbered = numbered || std::any_of(fields.begin(), fields.end(), [](const TableFieldDef& field) {
                   return field.type == TableFieldDef::Type::AutoInc;
               });
    if (numbered) {
        // New numbers go on above the stored table's, deleted ones included.
        exec(connection, QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"), { to });
        if (lastNumber > 0)
            exec(connection, QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
                 { to, lastNumber });
    }
}

} // namespace

Table::Table(QString databaseName, QString tableName)
    : m_databaseName(std::move(databaseName))
    , m_tableName(tableNameOf(std::move(tableName)))
{
}

bool Table::exists() const
{
    return storedTable(connectionOf(m_databaseName), m_tableName).has_value();
}

void Table::createTable()
{
    const Schema schema = schemaOf(m_tableName, m_fields, m_indexes);
    const QSqlDatabase connection = connectionOf(m_databaseName);
    exclusively(connection, [&] {
        exec(connection, schema.table);
        for (const QString& index : schema.indexes)
            exec(connection, index);
    });
}

void Table::alterTable()
{
    const Schema schema = schemaOf(m_tableName, m_fields, m_indexes);
    const QSqlDatabase connection = connectionOf(m_databaseName);
    exclusively(connection, [&] {
        const std::optional<StoredTable> stored = storedTable(connection, m_tableName);
        if (!stored)
            throw StoreError(QStringLiteral("Table %1 does not exist").arg(m_tableName));
        QStringList wantedIndexes = schema.indexes;
        wantedIndexes.sort();
        QStringList storedIndexes = stored->indexes;
        storedIndexes.sort();
        if (stored->sql == schema.table) {
            if (storedIndexes == wantedIndexes)
                return;
            // Only the indexes differ: the rows stay where they are.
            for (const QString& name : stored->indexNames)
                exec(connection, QStringLiteral("DROP INDEX %1").arg(quoted(name)));
            for (const QString& index : schema.indexes)
                exec(connection, index);
            return;
        }

        const QString backup = backupName();
        exec(connection, QStringLiteral("DROP TABLE IF EXISTS %1").arg(quoted(backup)));
        exec(connection, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoted(stored->name), quoted(backup)));
        // The backup keeps its rows, not its index names, which the new table needs.
        for (const QString& name : stored->indexNames)
            exec(connection, QStringLiteral("DROP INDEX %1").arg(quoted(name)));
        exec(connection, schema.table);
        StoredTable backupTable = *stored;
        backupTable.name = backup;
        carryRows(connection, backupTable, m_tableName, m_fields);
        for (const QString& index : schema.indexes)
            exec(connection, index);
    });
}

QString Table::backupName() const
{
    return m_tableName + QStringLiteral("_backup");
}

} // namespace kavrin::store
