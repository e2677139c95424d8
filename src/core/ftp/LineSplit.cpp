#include "ftp/LineSplit.h"

namespace kavrin::ftp {

QList<QByteArray> splitLines(QByteArrayView text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(text.sliced(start, i - start).toByteArray());
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start).toByteArray());
    return lines;
}

} // namespace kavrin::ftp
