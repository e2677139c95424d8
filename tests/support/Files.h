#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Small file chores of the tests.
QByteArray readFile(const QString& path); // empty when it cannot be read
bool writeFile(const QString& path, const QByteArray& bytes);
QStringList fileNames(const QString& folder); // files, hidden ones included, by name
QByteArray randomBytes(qsizetype size);
