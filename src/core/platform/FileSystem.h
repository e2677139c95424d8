#pragma once

#include <QString>

class QFile;
class QFileInfo;

namespace kavrin::platform {

// Hidden in the sense of the platform's own file manager: on Windows the hidden or system
// attribute, elsewhere a name that begins with '.'.
bool isHiddenOrSystem(const QFileInfo& info);

// Windows: sets or clears the hidden attribute. Elsewhere nothing: the leading dot of the
// name is what hides a file there.
void markHidden(const QString& path);
void clearHidden(const QString& path);

// Writes Qt's buffer and the system's cache of the open file through to the disk.
bool flushToDisk(QFile& file);

// Puts the closed file `from` in the place of `to` in one step; an existing `to` is
// replaced, never left half-written. Both must be in the same folder (same volume).
bool replaceFile(const QString& from, const QString& to);

} // namespace kavrin::platform
