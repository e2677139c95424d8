#pragma once

namespace kavrin::store {

class Table;

// The client book's fields and indexes, in the order the table keeps them.
void defineBookTable(Table& table);

} // namespace kavrin::store
