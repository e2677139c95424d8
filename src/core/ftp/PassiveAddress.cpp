#include "ftp/PassiveAddress.h"

#include <array>

namespace kavrin::ftp {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads "n,n,n,n,n,n" at pos; each n one to three digits, at most 255.
std::optional<std::array<int, 6>> sixNumbersAt(QByteArrayView text, qsizetype pos)
{
    std::array<int, 6> numbers {};
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            // Some servers put a space after the commas.
            if (pos >= text.size() || text[pos] != ',')
                return std::nullopt;
            ++pos;
            while (pos < text.size() && text[pos] == ' ')
                ++pos;
        }
        int value = 0;
        int digits = 0;
        while (pos < text.size() && isDigit(text[pos]) && digits < 4) {
            value = value * 10 + (text[pos] - '0');
            ++digits;
            ++pos;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return std::nullopt;
        numbers[i] = value;
    }
    if (pos < text.size() && isDigit(text[pos]))
        return std::nullopt;
    return numbers;
}

} // namespace

std::optional<PassiveAddress> parsePassiveAddress(QByteArrayView replyText)
{
    for (qsizetype pos = 0; pos < replyText.size(); ++pos) {
        if (!isDigit(replyText[pos]) || (pos > 0 && isDigit(replyText[pos - 1])))
            continue;
        const auto numbers = sixNumbersAt(replyText, pos);
        if (!numbers)
            continue;
        const auto& n = *numbers;
        PassiveAddress address;
        address.host = quint32(n[0]) << 24 | quint32(n[1]) << 16 | quint32(n[2]) << 8 | quint32(n[3]);
        address.port = quint16(n[4] * 256 + n[5]);
        if (address.port == 0)
            return std::nullopt;
        return address;
    }
    return std::nullopt;
}

} // namespace kavrin::ftp
