#include "store/BookTable.h"

#include "store/Table.h"

namespace kavrin::store {

void defineBookTable(Table& table)
{
    using Type = TableFieldDef::Type;
    table.fieldDefs() = {
        {QStringLiteral("Zapst"), Type::AutoInc, 0, {}},
        {QStringLiteral("Davcna"), Type::String, 13, {}},
        {QStringLiteral("Naziv"), Type::String, 20, {}},
        {QStringLiteral("Aktiven"), Type::Boolean, 0, QStringLiteral("True")},
    };
    table.indexDefs() = {
        {QStringLiteral("Prvi"), QStringLiteral("Zapst"), int(IndexOption::Primary) | int(IndexOption::Unique)},
        {QStringLiteral("Davcna"), QStringLiteral("Davcna"), 0},
        {QStringLiteral("Naziv"), QStringLiteral("Naziv"), 0},
    };
}

} // namespace kavrin::store
