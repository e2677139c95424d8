#include "support/BookRows.h"

#include "store/Database.h"
#include "store/Query.h"

#include <QDir>

namespace {

// Runs work with a database bound to folder, leaving the working directory as it was.
template<typename Work>
void inFolder(const QString& folder, Work work)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    kavrin::store::Database check(QStringLiteral("CHECK"));
    check.setConnected(true);
    QDir::setCurrent(previous);
    work();
    check.setConnected(false);
}

} // namespace

QList<BookRow> storedBookRows(const QString& folder)
{
    QList<BookRow> rows;
    inFolder(folder, [&] {
        kavrin::store::Query query(QStringLiteral("CHECK"));
        query.addLine(QStringLiteral("select zapst, davcna, naziv, aktiven from book order by zapst"));
        query.setActive(true);
        for (query.first(); !query.eof(); query.next()) {
            rows.append({query.fieldText(QStringLiteral("zapst")).toLongLong(), query.fieldText(QStringLiteral("davcna")),
                query.fieldText(QStringLiteral("naziv")), query.fieldBool(QStringLiteral("aktiven"))});
        }
    });
    return rows;
}

void insertBookRows(const QString& folder, const QList<BookRow>& rows)
{
    inFolder(folder, [&] {
        kavrin::store::Query insert(QStringLiteral("CHECK"));
        insert.addLine(QStringLiteral("insert into book (davcna, naziv, aktiven) values (:dv1, :naz1, :akt)"));
        for (const BookRow& row : rows) {
            insert.setParamText(0, row.davcna);
            insert.setParamText(1, row.naziv);
            insert.setParamBool(2, row.aktiven);
            insert.execSql();
        }
    });
}
