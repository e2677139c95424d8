#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace kavrin::store {

class Dataset;

// How long an operation waits for a lock that another process holds.
struct LockProtocol
{
    int retryCount = 15;
    int waitMs = 100;
};

// A database bound to a folder. Connecting fixes the folder from the process's working
// directory of that moment; later changes of the working directory do not move it.
// Every connection gets the Slovenian collation "sl" and the lock protocol's retries.
class Database
{
public:
    static constexpr const char* fileName = "Book.db";

    explicit Database(QString name, LockProtocol locks = {});
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The database of that name, or nullptr.
    static Database* find(const QString& name);

    const QString& name() const { return m_name; }
    const LockProtocol& locks() const { return m_locks; }

    // false closes every dataset of this database, then the connection;
    // true binds the folder and opens the connection. Raises StoreError.
    void setConnected(bool connected);
    bool isConnected() const { return m_connected; }

    // Full path of the folder fixed by the last connect.
    const QString& directory() const { return m_directory; }
    QString filePath() const;

    // The open connection; raises StoreError when not connected.
    QSqlDatabase connection() const;

    void attach(Dataset* dataset);
    void detach(Dataset* dataset);

private:
    QString m_name;
    LockProtocol m_locks;
    QString m_directory;
    bool m_connected = false;
    QList<Dataset*> m_datasets;
};

} // namespace kavrin::store
