#pragma once

struct sqlite3;

namespace kavrin::store {

// Registers the collation "sl" (ICU Slovenian, tertiary strength: case-sensitive) on a
// connection. Raises StoreError when the locale is not available.
void registerSlovenianCollation(sqlite3* db);

} // namespace kavrin::store
