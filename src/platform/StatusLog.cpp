#include "StatusLog.h"

namespace gabblet {

void StatusLog::AddStatus(const QString& text) {
    text_.append(text);
    bool cut = false;
    if (text_.size() >= kCutAt) {
        text_ = text_.right(kKeep);
        cut = true;
    }
    Q_EMIT changed(text, cut);
}

} // namespace gabblet
