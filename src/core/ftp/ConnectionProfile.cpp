#include "ftp/ConnectionProfile.h"

#include "ConnectionProfiles.h"

namespace kavrin::ftp {

ConnectionProfile ConnectionProfile::main()
{
    ConnectionProfile p;
    p.host = QString::fromUtf8(built_in::mainHost);
    p.port = quint16(built_in::mainPort);
    p.user = QString::fromUtf8(built_in::mainUser);
    p.password = QString::fromUtf8(built_in::mainPassword);
    return p;
}

ConnectionProfile ConnectionProfile::second()
{
    ConnectionProfile p;
    p.host = QString::fromUtf8(built_in::secondHost);
    p.port = quint16(built_in::secondPort);
    p.user = QString::fromUtf8(built_in::secondUser);
    p.password = QString::fromUtf8(built_in::secondPassword);
    return p;
}

} // namespace kavrin::ftp
