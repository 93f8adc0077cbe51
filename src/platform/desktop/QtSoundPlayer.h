#pragma once

#include "platform/SoundPlayer.h"

#include <memory>

class QSoundEffect;

namespace gabblet {

// Wave files through Qt Multimedia. Playing starts at once and runs on; a
// machine without an output device reports that straight away.
class QtSoundPlayer final : public SoundPlayer {
    Q_DISABLE_COPY_MOVE(QtSoundPlayer)
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    bool hasOutputDevice() const override;
    bool playFile(const QString& path) override;

private:
    std::unique_ptr<QSoundEffect> effect_;
};

} // namespace gabblet
