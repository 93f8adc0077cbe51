#pragma once

#include <QString>

namespace gabblet {

// Plays wave files. Implementations never block on a missing device.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual bool hasOutputDevice() const = 0;
    // Starts playing a file that is known to be a regular file; true when it plays.
    virtual bool playFile(const QString& path) = 0;
};

} // namespace gabblet
