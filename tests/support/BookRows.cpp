#include "support/BookRows.h"

#include "support/StoreBook.h"

#include <QDir>

namespace {

// Runs work on a book bound to folder, leaving the working directory as it was.
template<typename Work>
void inFolder(const QString& folder, Work work)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    StoreBook book(QStringLiteral("CHECK"));
    QDir::setCurrent(previous);
    work(book);
}

} // namespace

QList<BookRow> storedBookRows(const QString& folder)
{
    QList<BookRow> rows;
    inFolder(folder, [&](const StoreBook& book) {
        for (const QVariantList& row : book.bookRows())
            rows.append({row[0].toLongLong(), row[1].toString(), row[2].toString(), row[3].toBool()});
    });
    return rows;
}

void insertBookRows(const QString& folder, const QList<BookRow>& rows)
{
    inFolder(folder, [&](const StoreBook& book) {
        for (const BookRow& row : rows) {
            book.exec(QStringLiteral("insert into book (davcna, naziv, aktiven) values (?, ?, ?)"),
                {row.davcna.isEmpty() ? QVariant() : QVariant(row.davcna), row.naziv, row.aktiven});
        }
    });
}
