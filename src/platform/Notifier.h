#pragma once

#include <QString>

namespace gabblet {

// Desktop notifications (the little pop-ups most desktops show in a corner).
// A desktop without a notification service shows nothing; posting never
// blocks and never fails loudly.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const QString& summary, const QString& body) = 0;
};

} // namespace gabblet
