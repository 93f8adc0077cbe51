// Random bytes through the character reader, and one frame of whatever it
// accepts painted into a small image: no crash, no hang, no sanitizer report;
// a refusal always says why, and every animation is found by its own name.
#include "characters/CharacterModel.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Balloon fonts want a GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto model = parseCharacter(bytes, &error);
    if (!model) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    if (!error.isEmpty() || model->animations.isEmpty() || !model->size.isValid())
        std::abort();
    for (const Animation& a : model->animations)
        if (model->animation(a.name.toUpper()) != &a || a.frames.isEmpty())
            std::abort();
    for (const char* state : {"Showing", "Hiding", "Speaking", "Resting"})
        if (!model->stateAnimation(QLatin1String(state)))
            std::abort();

    // Paint a frame picked by the input's length, shrunk to a small image.
    const Animation& a = model->animations[qsizetype(size % size_t(model->animations.size()))];
    const Frame& frame = a.frames[qsizetype((size / 7) % size_t(a.frames.size()))];
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(48.0 / model->size.width(), 48.0 / model->size.height());
    paintFrame(painter, *model, frame, (size & 1) != 0);
    return 0;
}
