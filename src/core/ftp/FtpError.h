#pragma once

#include <QString>
#include <stdexcept>

namespace kavrin::ftp {

// A failed FTP operation: the server's reply (code and text), or ours with code 0
// (no connection, a time limit, a cut-off transfer).
class FtpError : public std::runtime_error
{
public:
    FtpError(int code, const QString& text)
        : std::runtime_error(text.toStdString())
        , m_code(code)
    {
    }
    int code() const { return m_code; }
    QString text() const { return QString::fromUtf8(what()); }

private:
    int m_code;
};

} // namespace kavrin::ftp
