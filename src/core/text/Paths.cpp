#include "text/Paths.h"

#include "text/Blank.h"

#include <QCoreApplication>
#include <QDir>

namespace kavrin::text {

QString transferFolderPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Prenosi"));
}

QString joinLocalPath(const QString& folder, const QString& name)
{
    if (isBlank(folder))
        return name;
    return QDir(folder).filePath(name);
}

QByteArray joinRemotePath(const QByteArray& folder, const QByteArray& name)
{
    if (isBlank(QString::fromLatin1(folder)))
        return name;
    return folder + '\\' + name;
}

} // namespace kavrin::text
