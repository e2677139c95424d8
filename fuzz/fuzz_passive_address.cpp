// The 227 parser against any reply text: no crash, and what it finds is a real address.
#include "ftp/PassiveAddress.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto address = kavrin::ftp::parsePassiveAddress(text);
    if (!address)
        return 0;
    if (address->port == 0)
        std::abort();
    // Written out again, the address reads back the same.
    const quint32 h = address->host;
    const QByteArray again = "Entering Passive Mode (" + QByteArray::number(h >> 24) + ','
        + QByteArray::number(h >> 16 & 255) + ',' + QByteArray::number(h >> 8 & 255) + ',' + QByteArray::number(h & 255)
        + ',' + QByteArray::number(address->port >> 8) + ',' + QByteArray::number(address->port & 255) + ")";
    const auto reread = kavrin::ftp::parsePassiveAddress(again);
    if (!reread || reread->host != address->host || reread->port != address->port)
        std::abort();
    return 0;
}
