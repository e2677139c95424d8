#pragma once

#include <QString>
#include <stdexcept>

namespace kavrin::store {

// A failure of the store: its message is what the user reads in the error display.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message)
        : std::runtime_error(message.toStdString())
    {
    }
    QString message() const { return QString::fromUtf8(what()); }
};

} // namespace kavrin::store
