#pragma once

#include "platform/ScreenMetrics.h"

namespace gabblet {

// The primary screen as Qt reports it (1024 by 768 at 96 dpi without one).
class DesktopScreen final : public ScreenMetrics {
public:
    QRect geometry() const override;
    double twipsPerPixel() const override;
};

} // namespace gabblet
