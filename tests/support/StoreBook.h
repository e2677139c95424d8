#pragma once

#include "store/Database.h"
#include "store/Table.h"

#include <QList>
#include <QProcess>
#include <QString>
#include <QVariant>

// A database ("BAZA" unless named) connected in the working directory of the moment, with direct SQL
// for setting up and checking the file behind the store's back.
class StoreBook
{
public:
    explicit StoreBook(const QString& name = QStringLiteral("BAZA"));

    kavrin::store::Database& database() { return m_database; }

    // Create when missing, then alter: what every start of the program does.
    void start();

    // Runs text with "?" placeholders on the connection; rows of a select.
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {}) const;
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;
    void exec(const QString& sql, const QVariantList& values = {}) const;

    // Every row of book as Zapst, davcna, naziv, aktiven, in Zapst order.
    QList<QVariantList> bookRows() const;

private:
    kavrin::store::Database m_database;
};

// Another process that holds the file with BEGIN EXCLUSIVE until it goes.
class StoreLockHolder
{
public:
    explicit StoreLockHolder(const QString& databaseFile);
    ~StoreLockHolder();
    StoreLockHolder(const StoreLockHolder&) = delete;
    StoreLockHolder& operator=(const StoreLockHolder&) = delete;

    bool isHolding() const { return m_holding; }
    QString errors() const { return m_errors; }

private:
    QProcess m_process;
    bool m_holding = false;
    QString m_errors;
};
