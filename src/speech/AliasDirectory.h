#pragma once

#include <QString>

namespace gabblet {

// What speech needs from the alias list: who this machine is known as.
class AliasDirectory {
public:
    virtual ~AliasDirectory() = default;
    // The alias name whose address is exactly this one, or "".
    virtual QString aliasForAddress(const QString& address) const = 0;
    // The local address the sending socket reports.
    virtual QString localAddress() const = 0;
};

} // namespace gabblet
