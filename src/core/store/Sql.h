#pragma once

#include "store/StoreError.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

// Running statements on a connection; every failure becomes a StoreError with the store's text.
namespace kavrin::store::sql {

StoreError errorOf(const QSqlError& error);

// Prepares and runs text with one bound value per "?", in order; the query is left active
// so that a select can be read.
QSqlQuery run(const QSqlDatabase& connection, const QString& text, const QList<QVariant>& values = {});

// Reads every remaining row of an executed select, then finishes it.
QList<QVector<QVariant>> readAll(QSqlQuery& query);
// The next row's values into row, sized to the result's columns; false after the last.
// Raises on a failure.
bool nextRow(QSqlQuery& query, QVector<QVariant>& row);

// A double-quoted identifier.
QString quoted(const QString& name);

} // namespace kavrin::store::sql
