#include "ftp/ConnectionProfile.h"

#include "ConnectionProfiles.h"

namespace kavrin::ftp {

namespace {

ConnectionProfile builtIn(const char* host, int port, const char* user, const char* password)
{
    ConnectionProfile p;
    p.host = QString::fromUtf8(host);
    p.port = quint16(port);
    p.user = QString::fromUtf8(user);
    p.password = QString::fromUtf8(password);
    return p;
}

} // namespace

ConnectionProfile ConnectionProfile::main()
{
    return builtIn(built_in::mainHost, built_in::mainPort, built_in::mainUser, built_in::mainPassword);
}

ConnectionProfile ConnectionProfile::second()
{
    return builtIn(built_in::secondHost, built_in::secondPort, built_in::secondUser, built_in::secondPassword);
}

} // namespace kavrin::ftp
