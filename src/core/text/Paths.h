#pragma once

#include <QByteArray>
#include <QString>

namespace kavrin::text {

// The transfer folder "Prenosi" beside the executable, worked out anew from the
// executable's own path (not from the working directory).
QString transferFolderPath();

// Folder and name joined with the platform's separator; a blank folder gives the bare name.
QString joinLocalPath(const QString& folder, const QString& name);

// Remote folder and name joined with a backslash; a blank folder gives the bare name.
QByteArray joinRemotePath(const QByteArray& folder, const QByteArray& name);

} // namespace kavrin::text
