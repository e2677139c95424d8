#include "support/StoreBook.h"

#include "store/BookTable.h"
#include "store/StoreError.h"

#include <QDeadlineTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using kavrin::store::StoreError;
using kavrin::store::Table;

StoreBook::StoreBook(const QString& name)
    : m_database(name)
{
    m_database.setConnected(true);
}

void StoreBook::start()
{
    m_database.setConnected(false);
    m_database.setConnected(true);
    Table table(m_database.name(), QStringLiteral("Book.dat"));
    kavrin::store::defineBookTable(table);
    if (!table.exists())
        table.createTable();
    table.alterTable();
}

QList<QVariantList> StoreBook::rows(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query(m_database.connection());
    if (!query.prepare(sql))
        throw StoreError(query.lastError().text());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw StoreError(query.lastError().text());
    QList<QVariantList> result;
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row.append(query.isNull(i) ? QVariant() : query.value(i)); // no value as one kind of null
        result.append(row);
    }
    return result;
}

QVariant StoreBook::scalar(const QString& sql, const QVariantList& values) const
{
    const QList<QVariantList> result = rows(sql, values);
    return result.isEmpty() ? QVariant() : result.first().value(0);
}

void StoreBook::exec(const QString& sql, const QVariantList& values) const
{
    rows(sql, values);
}

QList<QVariantList> StoreBook::bookRows() const
{
    return rows(QStringLiteral("SELECT Zapst, Davcna, Naziv, Aktiven FROM book ORDER BY Zapst"));
}

StoreLockHolder::StoreLockHolder(const QString& databaseFile)
{
    const QString script = QStringLiteral("import sqlite3, sys\n"
                                          "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                          "c.execute('BEGIN EXCLUSIVE')\n"
                                          "print('holding', flush=True)\n"
                                          "sys.stdin.read()\n"
                                          "c.execute('ROLLBACK')\n");
    m_process.start(QStringLiteral(KAVRIN_SYSTEM_PYTHON), { QStringLiteral("-c"), script, databaseFile });
    const QDeadlineTimer deadline(10000);
    QByteArray output;
    while (!deadline.hasExpired() && !output.contains("holding")) {
        if (!m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        output += m_process.readAllStandardOutput();
    }
    m_holding = output.contains("holding");
    m_errors = QString::fromUtf8(m_process.readAllStandardError());
}

StoreLockHolder::~StoreLockHolder()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}
