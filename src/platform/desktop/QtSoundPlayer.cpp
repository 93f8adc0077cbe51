#include "QtSoundPlayer.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace gabblet {

QtSoundPlayer::QtSoundPlayer() = default;
QtSoundPlayer::~QtSoundPlayer() = default;

bool QtSoundPlayer::hasOutputDevice() const {
    return !QMediaDevices::audioOutputs().isEmpty();
}

bool QtSoundPlayer::playFile(const QString& path) {
    if (!hasOutputDevice() || !path.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive))
        return false;
    // One effect at a time: a new sound replaces one still playing.
    effect_ = std::make_unique<QSoundEffect>();
    effect_->setSource(QUrl::fromLocalFile(path));
    effect_->play();
    return effect_->status() != QSoundEffect::Error;
}

} // namespace gabblet
