#include "store/Database.h"

#include "store/Dataset.h"
#include "store/SlovenianCollation.h"
#include "store/Sql.h"
#include "store/StoreError.h"

#include <QDir>
#include <QHash>
#include <QSqlDriver>
#include <QSqlError>

#include <sqlite3.h>

#include <chrono>
#include <thread>

namespace kavrin::store {
namespace {

QHash<QString, Database*>& registry()
{
    static QHash<QString, Database*> databases;
    return databases;
}

QString registryKey(const QString& name)
{
    return name.toCaseFolded();
}

// Qt keeps connections by name; the object's address keeps two databases apart.
QString connectionNameOf(const Database* database)
{
    return QStringLiteral("kavrin.store.%1.%2").arg(database->name()).arg(quintptr(database), 0, 16);
}

// The store's pessimistic locking: wait and try again a fixed number of times, then give
// up so that SQLite reports "database is locked".
int retryLockedDatabase(void* context, int triesSoFar)
{
    const auto* locks = static_cast<const LockProtocol*>(context);
    if (triesSoFar >= locks->retryCount)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(locks->waitMs));
    return 1;
}

sqlite3* sqliteHandle(const QSqlDatabase& connection)
{
    const QVariant handle = connection.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

} // namespace

Database::Database(QString name, LockProtocol locks)
    : m_name(std::move(name))
    , m_locks(locks)
{
    registry().insert(registryKey(m_name), this);
}

Database::~Database()
{
    try {
        setConnected(false);
    } catch (const StoreError&) {
        // Closing cannot be refused; nothing is left to report to.
    }
    const QString key = registryKey(m_name);
    if (registry().value(key) == this)
        registry().remove(key);
}

Database* Database::find(const QString& name)
{
    return registry().value(registryKey(name), nullptr);
}

void Database::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    const QString connectionName = connectionNameOf(this);
    if (!connected) {
        const QList<Dataset*> datasets = m_datasets;
        m_datasets.clear();
        for (Dataset* dataset : datasets)
            dataset->close();
        QSqlDatabase::database(connectionName, false).close();
        QSqlDatabase::removeDatabase(connectionName);
        m_connected = false;
        return;
    }

    const QString directory = QDir::cleanPath(QDir::currentPath());
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        connection.setDatabaseName(QDir(directory).filePath(QString::fromLatin1(fileName)));
        try {
            if (!connection.open())
                throw sql::errorOf(connection.lastError());
            sqlite3* handle = sqliteHandle(connection);
            if (handle == nullptr)
                throw StoreError(QStringLiteral("The database driver gives no SQLite connection"));
            registerSlovenianCollation(handle);
            // Replaces the driver's own busy timeout.
            sqlite3_busy_handler(handle, retryLockedDatabase, &m_locks);
        } catch (const StoreError&) {
            connection.close();
            connection = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName);
            throw;
        }
    }
    m_directory = directory;
    m_connected = true;
}

QString Database::filePath() const
{
    return QDir(m_directory).filePath(QString::fromLatin1(fileName));
}

QSqlDatabase Database::connection() const
{
    if (!m_connected)
        throw StoreError(QStringLiteral("Database %1 is not connected").arg(m_name));
    return QSqlDatabase::database(connectionNameOf(this), false);
}

void Database::attach(Dataset* dataset)
{
    if (dataset != nullptr && !m_datasets.contains(dataset))
        m_datasets.append(dataset);
}

void Database::detach(Dataset* dataset)
{
    m_datasets.removeAll(dataset);
}

} // namespace kavrin::store
