#pragma once

#include "platform/Voice.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class QPainter;

namespace gabblet {

// A character as read from its file (format: docs/characters.md). Drawings
// are named parts made of vector shapes; an animation is a list of frames,
// each drawing some parts, each part optionally moved and turned.

struct Shape {
    QPainterPath path;
    QBrush fill = Qt::NoBrush;
    QPen pen = Qt::NoPen;
};

struct Part {
    QString name;
    QList<Shape> shapes;
};

struct PartPlacement {
    QString part;
    QPointF offset;  // pixels, in the character's own coordinates
    qreal angle = 0; // degrees, clockwise, about `pivot`
    QPointF pivot;
    qreal scale = 1.0; // about `pivot`
};

struct Frame {
    int durationMs = 100;
    QList<PartPlacement> parts; // drawn in this order
};

struct Animation {
    QString name;
    QList<Frame> frames;
    QString sound; // a wave file beside the character file, or ""
};

struct BalloonStyle {
    QColor fill = QColor(255, 255, 225);
    QColor border = QColor(40, 40, 40);
    QColor text = QColor(20, 20, 20);
    QFont font;
};

struct CharacterModel {
    QString name;
    bool assistant = false;
    QSize size;
    VoiceSpec voice;
    BalloonStyle balloon;
    QHash<QString, Part> parts;
    QList<Animation> animations; // in file order
    // The host's states mapped to animation names: "Showing", "Hiding",
    // "Speaking", "Resting", "Idle" (several, space separated), "Reduced".
    QHash<QString, QStringList> states;
    // The parts swapped while speaking: the mouth shut and open.
    QString mouthClosed;
    QString mouthOpen;

    // Case-insensitive; nullptr when the character has no such animation.
    const Animation* animation(const QString& name) const;
    QStringList animationNames() const;
    // The animation for a state (the first when several), or nullptr.
    const Animation* stateAnimation(const QString& state) const;
};

// Reads a character file. Hostile input is refused with a reason, never
// crashes; sizes, counts and coordinates are bounded.
std::optional<CharacterModel> parseCharacter(const QByteArray& utf8, QString* error = nullptr);
std::optional<CharacterModel> loadCharacterFile(const QString& path, QString* error = nullptr);

// Draws one frame at the character's own size (the painter may be scaled).
// With mouthOpen, the open mouth part is drawn in place of the shut one.
void paintFrame(QPainter& painter, const CharacterModel& model, const Frame& frame,
                bool mouthOpen = false);

} // namespace gabblet
