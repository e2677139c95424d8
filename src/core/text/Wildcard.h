#pragma once

#include <QString>
#include <QStringList>

namespace kavrin::text {

// The patterns of a mask such as "*.err;*.txt", in their order; empty ones are dropped and
// the others kept exactly, surrounding blanks included.
QStringList splitMask(const QString& mask);

// "*" matches any run of characters, none included; "?" exactly one character; letters
// match regardless of case (Unicode case folding); every other character stands for
// itself. A pattern ending in ".*" also matches a name without an extension, that is a
// name with no '.' after its first character (".profile" has none: a leading dot
// starts no extension).
bool matchesPattern(const QString& name, const QString& pattern);

} // namespace kavrin::text
