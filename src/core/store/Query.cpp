#include "store/Query.h"

#include "store/Database.h"
#include "store/Sql.h"
#include "store/StoreError.h"

#include <QSqlRecord>

namespace kavrin::store {
namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The statement as SQLite takes it: every ":name" outside quotes becomes "?", and each
// "?" is told which parameter (by first appearance) it stands for.
struct Placeholders
{
    QString text;
    QStringList names;
    QList<int> uses;
};

Placeholders parsePlaceholders(const QString& sql)
{
    Placeholders result;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            // A doubled quote inside a literal toggles twice and so stays inside.
            if (c == quote)
                quote = QChar();
            result.text += c;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            result.text += c;
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < sql.size() && isNameChar(sql.at(i + 1))) {
            qsizetype end = i + 1;
            while (end < sql.size() && isNameChar(sql.at(end)))
                ++end;
            const QString name = sql.mid(i + 1, end - i - 1);
            qsizetype index = 0;
            while (index < result.names.size() && result.names.at(index).compare(name, Qt::CaseInsensitive) != 0)
                ++index;
            if (index == result.names.size())
                result.names.append(name);
            result.uses.append(int(index));
            result.text += QLatin1Char('?');
            i = end - 1;
            continue;
        }
        result.text += c;
    }
    return result;
}

Database& databaseNamed(const QString& name)
{
    Database* database = Database::find(name);
    if (database == nullptr)
        throw StoreError(QStringLiteral("Database %1 not found").arg(name));
    return *database;
}

QSqlQuery runStatement(const Database& database, const QString& sql, const QList<QVariant>& params)
{
    const Placeholders statement = parsePlaceholders(sql);
    QList<QVariant> values;
    for (int use : statement.uses)
        values.append(params.value(use));
    return sql::run(database.connection(), statement.text, values);
}

} // namespace

Query::Query(QString databaseName, QObject* parent)
    : Dataset(parent)
    , m_databaseName(std::move(databaseName))
{
}

Query::~Query()
{
    if (Database* database = Database::find(m_databaseName))
        database->detach(this);
}

void Query::clearSql()
{
    setActive(false);
    m_lines.clear();
    rebuildParams();
}

void Query::addLine(const QString& line)
{
    setActive(false);
    m_lines.append(line);
    rebuildParams();
}

void Query::setParamText(int index, const QString& value)
{
    if (index < 0 || index >= paramCount())
        throw StoreError(QStringLiteral("Parameter %1 not found").arg(index));
    // An empty text is stored as no value, so it is looked up as no value too.
    m_paramValues[index] = value.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value);
}

void Query::setParamBool(int index, bool value)
{
    if (index < 0 || index >= paramCount())
        throw StoreError(QStringLiteral("Parameter %1 not found").arg(index));
    m_paramValues[index] = value ? 1 : 0;
}

void Query::setActive(bool active)
{
    if (active == isActive())
        return;
    if (!active) {
        close();
        if (Database* database = Database::find(m_databaseName))
            database->detach(this);
        return;
    }
    Database& database = databaseNamed(m_databaseName);
    QSqlQuery query = runStatement(database, sql(), m_paramValues);
    QStringList columns;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        columns.append(record.fieldName(i));
    openCopy(columns, [&](QVector<QVariant>& row) { return sql::nextRow(query, row); });
    database.attach(this);
}

void Query::execSql()
{
    QSqlQuery query = runStatement(databaseNamed(m_databaseName), sql(), m_paramValues);
    query.finish();
}

void Query::rebuildParams()
{
    m_paramNames = parsePlaceholders(sql()).names;
    m_paramValues = QList<QVariant>(m_paramNames.size());
}

} // namespace kavrin::store
