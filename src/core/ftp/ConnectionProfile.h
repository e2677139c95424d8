#pragma once

#include <QString>

namespace kavrin::ftp {

// One fixed set of connection settings, written into the FTP client just before it connects.
struct ConnectionProfile
{
    QString host;
    quint16 port = 21;
    QString user;
    QString password;
    bool passive = true;
    // Our own limits: the server's silence must not hold the program for long.
    int connectTimeoutMs = 15000;
    int replyTimeoutMs = 30000;

    static ConnectionProfile main();
    static ConnectionProfile second();
};

} // namespace kavrin::ftp
