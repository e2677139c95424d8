#pragma once

#include "store/Dataset.h"

#include <QList>
#include <QString>

namespace kavrin::store {

enum class IndexOption { Primary = 1, Unique = 2 };

struct TableFieldDef
{
    QString name;
    enum class Type { AutoInc, String, Boolean } type = Type::String;
    int size = 0;
    QString defaultValue; // "True" for a boolean, empty for none
};

struct IndexDef
{
    QString name;
    QString fields;
    int options = 0; // IndexOption bits
};

// A table component that defines fields and indexes and creates or alters the table.
// Works in the folder of the database it is given; needs exclusive use of the file.
class Table
{
public:
    Table(QString databaseName, QString tableName);

    QList<TableFieldDef>& fieldDefs() { return m_fields; }
    QList<IndexDef>& indexDefs() { return m_indexes; }

    bool exists() const;
    void createTable();
    // Brings the table to exactly the defined structure. The same structure: no row is
    // touched. Another one: rebuilt in one transaction, values carried by position, the
    // previous table kept as backup (backupName()).
    void alterTable();

    QString backupName() const;

private:
    QString m_databaseName;
    QString m_tableName; // "Book.dat" names the table "book"
    QList<TableFieldDef> m_fields;
    QList<IndexDef> m_indexes;
};

} // namespace kavrin::store
