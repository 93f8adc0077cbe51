#include "DialUpProbe.h"

#include <algorithm>

namespace gabblet {

int countDialUpLinks(const QList<NetworkLink>& links) {
    return int(std::count_if(links.begin(), links.end(), [](const NetworkLink& l) {
        return l.up && l.running && l.pointToPoint;
    }));
}

} // namespace gabblet
