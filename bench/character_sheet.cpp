// Renders every frame of every animation of a character into one PNG, one
// row per animation, so a character can be looked at without running the
// program: bench_character_sheet FILE OUT.png [--dark] [--columns N] [--only A,B]
// [--scale F]
#include "characters/CharacterModel.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

using namespace gabblet;

namespace {

constexpr int kLabelWidth = 190;
constexpr int kGap = 6;

struct Row {
    QString label;
    const Animation* animation;
    int firstFrame;
    bool mouthOpen;
};

QList<Row> layoutRows(const CharacterModel& model, int columns, const QStringList& only) {
    QList<Row> rows;
    for (const Animation& a : model.animations) {
        if (!only.isEmpty() && !only.contains(a.name, Qt::CaseInsensitive))
            continue;
        const qsizetype frames = a.frames.size();
        int total = 0;
        for (const Frame& f : a.frames)
            total += f.durationMs;
        for (int first = 0; first < frames; first += columns) {
            QString label =
                first == 0
                    ? QStringLiteral("%1\n%2 frames, %3 ms").arg(a.name).arg(frames).arg(total)
                    : QStringLiteral("%1 (cont.)").arg(a.name);
            if (first == 0 && !a.sound.isEmpty())
                label += QStringLiteral("\nsound ") + a.sound;
            rows.append({label, &a, first, false});
        }
    }
    const Animation* speaking = model.stateAnimation(QStringLiteral("Speaking"));
    if (speaking && (only.isEmpty() || only.contains(speaking->name, Qt::CaseInsensitive)))
        rows.append(
            {QStringLiteral("%1\nwith the mouth open").arg(speaking->name), speaking, 0, true});
    return rows;
}

QString describe(const CharacterModel& model, const QString& file) {
    QStringList states;
    for (auto it = model.states.cbegin(); it != model.states.cend(); ++it)
        states.append(it.key() + QLatin1Char('=') + it.value().join(QLatin1Char('/')));
    states.sort();
    return QStringLiteral("%1 (%2, %3): %4x%5 px, voice %6 pitch %7 speed %8, %9 animations\n%10")
        .arg(model.name, file,
             model.assistant ? QStringLiteral("assistant") : QStringLiteral("agent"))
        .arg(model.size.width())
        .arg(model.size.height())
        .arg(model.voice.voice)
        .arg(model.voice.pitch)
        .arg(model.voice.speed)
        .arg(model.animations.size())
        .arg(states.join(QStringLiteral("  ")));
}

// The area all frames together draw on, in the character's own coordinates;
// anything outside the box would be cut off by the character's window.
QRect inkExtent(const CharacterModel& model) {
    const int margin = 200;
    QRect extent;
    QImage image(model.size + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    for (const Animation& a : model.animations) {
        for (const Frame& f : a.frames) {
            image.fill(Qt::transparent);
            QPainter p(&image);
            p.translate(margin, margin);
            paintFrame(p, model, f, true);
            p.end();
            for (int y = 0; y < image.height(); ++y) {
                const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(line[x]))
                        extent |= QRect(x - margin, y - margin, 1, 1);
            }
        }
    }
    return extent;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool dark = args.removeAll(QStringLiteral("--dark")) > 0;
    int columns = 10;
    if (const qsizetype at = args.indexOf(QStringLiteral("--columns")); at >= 0) {
        columns = qBound(1, args.value(at + 1).toInt(), 100);
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }
    double zoom = 1;
    if (const qsizetype at = args.indexOf(QStringLiteral("--scale")); at >= 0) {
        zoom = qBound(0.25, args.value(at + 1).toDouble(), 8.0);
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }
    QStringList only;
    if (const qsizetype at = args.indexOf(QStringLiteral("--only")); at >= 0) {
        only = args.value(at + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: bench_character_sheet FILE OUT.png [--dark] [--columns N] "
                             "[--only NAME,NAME] [--scale F]\n");
        return 2;
    }
    QString error;
    const auto model = loadCharacterFile(args[0], &error);
    if (!model) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QList<Row> rows = layoutRows(*model, columns, only);
    const QSize cell = (QSizeF(model->size) * zoom).toSize();
    const int headerHeight = 44;
    const int width = kLabelWidth + columns * (cell.width() + kGap) + kGap;
    const int height = headerHeight + int(rows.size()) * (cell.height() + kGap) + kGap;
    QImage sheet(width, height, QImage::Format_ARGB32_Premultiplied);
    const QColor page = dark ? QColor(34, 36, 40) : QColor(250, 250, 248);
    const QColor cellColour = dark ? QColor(52, 56, 62) : QColor(232, 236, 240);
    const QColor ink = dark ? QColor(230, 230, 230) : QColor(30, 30, 30);
    sheet.fill(page);
    QPainter p(&sheet);
    p.setPen(ink);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    p.drawText(QRect(kGap, 4, width - 2 * kGap, headerHeight - 4), Qt::AlignLeft | Qt::AlignTop,
               describe(*model, args[0]));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        const int y = headerHeight + int(r) * (cell.height() + kGap);
        p.setPen(ink);
        p.drawText(QRect(kGap, y, kLabelWidth - 2 * kGap, cell.height()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, row.label);
        for (int c = 0; c < columns && row.firstFrame + c < row.animation->frames.size(); ++c) {
            const QRect box(kLabelWidth + c * (cell.width() + kGap), y, cell.width(),
                            cell.height());
            p.fillRect(box, cellColour);
            p.save();
            p.setClipRect(box);
            p.translate(box.topLeft());
            p.scale(zoom, zoom);
            paintFrame(p, *model, row.animation->frames[row.firstFrame + c], row.mouthOpen);
            p.restore();
        }
    }
    p.end();
    if (!sheet.save(args[1])) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[1]));
        return 1;
    }
    const QRect extent = inkExtent(*model);
    std::printf("%s: %lld rows written to %s; the frames draw on x %d..%d, y %d..%d of "
                "0..%d, 0..%d%s\n",
                qPrintable(model->name), static_cast<long long>(rows.size()), qPrintable(args[1]),
                extent.left(), extent.right(), extent.top(), extent.bottom(),
                model->size.width() - 1, model->size.height() - 1,
                QRect(QPoint(0, 0), model->size).contains(extent) ? "" : " (cut off!)");
    return 0;
}
