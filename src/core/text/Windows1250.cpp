#include "text/Windows1250.h"

#include <QStringDecoder>
#include <array>

namespace kavrin::text {
namespace {

// Windows-1250 from 0x80 on; 0xFFFD where the code page defines no character.
// Kept as a table rather than asking QStringDecoder: Qt builds without ICU (the usual
// Windows build) have no decoder for this code page, and the table guarantees one
// character per byte.
constexpr std::array<char16_t, 128> kHigh = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 88
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // F8
};

QString fromWindows1250(const QByteArray& raw)
{
    QString text(raw.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte < 0x80 ? char16_t(byte) : kHigh[byte - 0x80]);
    }
    return text;
}

bool hasNonAscii(const QByteArray& raw)
{
    for (const char c : raw) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

// The byte for c, or -1 when Windows-1250 has none.
int windows1250Byte(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u;
    if (u == 0xFFFD)
        return -1;
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == u)
            return int(0x80 + i);
    }
    return -1;
}

} // namespace

ListingLine decodeListingLine(const QByteArray& raw)
{
    ListingLine line;
    line.raw = raw;
    if (hasNonAscii(raw)) {
        // Stateless: a sequence cut off at the end of the line counts as invalid.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(raw);
        if (!utf8.hasError()) {
            line.text = std::move(text);
            line.utf8 = true;
            return line;
        }
    }
    line.text = fromWindows1250(raw);
    return line;
}

QByteArray encodePart(const ListingLine& line, qsizetype from, qsizetype length)
{
    if (line.utf8)
        return line.text.mid(from, length).toUtf8();
    return line.raw.mid(from, length);
}

QByteArray encodeRemoteName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    for (const QChar c : name) {
        const int b = windows1250Byte(c);
        if (b < 0)
            return name.toUtf8();
        bytes.append(char(b));
    }
    return bytes;
}

} // namespace kavrin::text
