#pragma once

#include <QList>
#include <QString>

// What the client book in a folder holds, read through a connection of its own
// (named "CHECK", so that the program's own "BAZA" may be open meanwhile).
struct BookRow
{
    qint64 zapst = 0;
    QString davcna;
    QString naziv;
    bool aktiven = false;
    bool operator==(const BookRow&) const = default;
};

QList<BookRow> storedBookRows(const QString& folder);
// Adds rows straight to the table, as another program of the office would.
void insertBookRows(const QString& folder, const QList<BookRow>& rows);
