#include "NetworkDialUpProbe.h"

#include <QNetworkInterface>

namespace gabblet {

int NetworkDialUpProbe::dialUpConnections() const {
    QList<NetworkLink> links;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        links.append({flags.testFlag(QNetworkInterface::IsUp),
                      flags.testFlag(QNetworkInterface::IsRunning),
                      flags.testFlag(QNetworkInterface::IsPointToPoint)});
    }
    return countDialUpLinks(links);
}

} // namespace gabblet
