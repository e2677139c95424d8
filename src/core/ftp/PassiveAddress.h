#pragma once

#include <QByteArrayView>
#include <optional>

namespace kavrin::ftp {

// What a 227 reply offers: "h1,h2,h3,h4,p1,p2", usually in parentheses.
// The client uses only the port; the data connection goes to the control connection's peer.
struct PassiveAddress
{
    quint32 host = 0; // h1.h2.h3.h4 as an IPv4 number
    quint16 port = 0;
};

// Finds the first run of six comma-separated numbers from 0 to 255 in the reply text.
// Nothing when there is none or the port is 0.
std::optional<PassiveAddress> parsePassiveAddress(QByteArrayView replyText);

} // namespace kavrin::ftp
