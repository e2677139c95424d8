#include "store/Sql.h"

#include <QSqlError>
#include <QSqlRecord>

namespace kavrin::store::sql {

StoreError errorOf(const QSqlError& error)
{
    // SQLite's own text ("database is locked", "no such table: book") is what the user reads.
    QString message = error.databaseText().trimmed();
    if (message.isEmpty())
        message = error.driverText().trimmed();
    if (message.isEmpty())
        message = QStringLiteral("Unknown database error");
    return StoreError(message);
}

QSqlQuery run(const QSqlDatabase& connection, const QString& text, const QList<QVariant>& values)
{
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    if (!query.prepare(text))
        throw errorOf(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw errorOf(query.lastError());
    return query;
}

bool nextRow(QSqlQuery& query, QVector<QVariant>& row)
{
    if (!query.next()) {
        // next() gives false both at the end and on a failure (a lock that stayed held).
        if (query.lastError().isValid())
            throw errorOf(query.lastError());
        query.finish();
        return false;
    }
    for (int column = 0; column < row.size(); ++column)
        row[column] = query.value(column);
    return true;
}

QList<QVector<QVariant>> readAll(QSqlQuery& query)
{
    QList<QVector<QVariant>> rows;
    QVector<QVariant> row(query.record().count());
    while (nextRow(query, row))
        rows.append(row);
    return rows;
}

QString quoted(const QString& name)
{
    QString text = name;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace kavrin::store::sql
