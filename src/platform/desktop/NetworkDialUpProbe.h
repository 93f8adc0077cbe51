#pragma once

#include "platform/DialUpProbe.h"

namespace gabblet {

// Asks the system for its network interfaces each time.
class NetworkDialUpProbe final : public DialUpProbe {
public:
    int dialUpConnections() const override;
};

} // namespace gabblet
