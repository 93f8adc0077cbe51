#pragma once

#include <QRect>

namespace gabblet {

// The desktop's size, in pixels and in twips (1/1440 inch): positions in
// messages are fractions of it, and stored window sizes are in twips.
class ScreenMetrics {
public:
    virtual ~ScreenMetrics() = default;
    virtual QRect geometry() const = 0; // pixels
    virtual double twipsPerPixel() const = 0;
};

} // namespace gabblet
