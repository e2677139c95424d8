#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh temporary folder made the process's working directory for one test;
// the previous working directory comes back when it goes.
class WorkingFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
