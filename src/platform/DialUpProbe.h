#pragma once

#include <QList>

namespace gabblet {

// Accounts marked "Check only when connected" are checked, and their mail
// sent, only while a dial-up connection is up. On Linux such a connection is
// a network interface that is up, running and point-to-point (ppp, a
// mobile-broadband modem, many VPNs).
struct NetworkLink {
    bool up = false;
    bool running = false;
    bool pointToPoint = false;
};

int countDialUpLinks(const QList<NetworkLink>& links);

class DialUpProbe {
public:
    virtual ~DialUpProbe() = default;
    // The number of dial-up connections up at this moment.
    virtual int dialUpConnections() const = 0;
    bool connected() const { return dialUpConnections() > 0; }
};

} // namespace gabblet
