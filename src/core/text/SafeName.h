#pragma once

#include <QString>

namespace kavrin::text {

// A bare file name that stays inside its folder and that Windows would create as given:
// not empty, not "." or "..", no "/", "\\" or ":" (drives, alternate streams), no character
// below 32, none of <>"|?*, no trailing space or dot, not a device name (CON, PRN, AUX,
// NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with or without an extension, any letter case),
// at most 255 characters. The same rules hold on every platform, so a name refused on
// Windows is refused everywhere.
bool isSafeLocalFileName(const QString& name);

} // namespace kavrin::text
