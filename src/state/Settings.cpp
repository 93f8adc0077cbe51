#include "Settings.h"

namespace gabblet {

void Settings::addRecentAddress(const QString& address) {
    // The list is keyed by the address, and keys ignore letter case.
    if (!RecentAddresses.contains(address, Qt::CaseInsensitive))
        RecentAddresses.append(address);
}

} // namespace gabblet
