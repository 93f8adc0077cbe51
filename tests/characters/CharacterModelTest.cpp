#include "characters/CharacterModel.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace gabblet;

namespace {

// The folder of the bundled characters, found from this source file so the
// tests run from any build folder.
QString sourceFolder(const char* relative) {
    return QFileInfo(QStringLiteral(__FILE__)).dir().absoluteFilePath(QLatin1String(relative));
}

QImage render(const CharacterModel& model, const Frame& frame, bool mouthOpen = false,
              int margin = 0) {
    QImage image(model.size + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(margin, margin);
    paintFrame(painter, model, frame, mouthOpen);
    return image;
}

bool inked(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) > 128;
}

// Counts the painted pixels that lie outside `box`; with an empty box, all of them.
int inkOutside(const QImage& image, const QRect& box) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(line[x]) > 0 && !box.contains(x, y);
    }
    return count;
}

CharacterModel parseOk(const QByteArray& text) {
    QString error;
    auto model = parseCharacter(text, &error);
    EXPECT_TRUE(model.has_value()) << error.toStdString();
    return model.value_or(CharacterModel{});
}

// A character with every setting; each test adds the lines it is about.
const QByteArray kMinimal = R"(gabblet-character 1
name "Test \"Dot\""
size 48 40
part dot
  rect 0 0 4 4 fill red
end
animation Show
  frame 100 dot
end
state Showing Show
state Hiding show
state Speaking SHOW
state Resting Show
)";

const QStringList kAssistantNames = [] {
    const QString joined = QStringLiteral(
        "msoAnimationAppear msoAnimationBeginSpeaking msoAnimationCharacterSuccessMajor "
        "msoAnimationCheckingSomething msoAnimationDisappear msoAnimationEmptyTrash "
        "msoAnimationGestureDown msoAnimationGestureLeft msoAnimationGestureRight "
        "msoAnimationGestureUp msoAnimationGetArtsy msoAnimationGetAttentionMajor "
        "msoAnimationGetAttentionMinor msoAnimationGetTechy msoAnimationGetWizardy "
        "msoAnimationGoodbye msoAnimationGreeting msoAnimationIdle "
        "msoAnimationListensToComputer msoAnimationLookDown msoAnimationLookDownLeft "
        "msoAnimationLookDownRight msoAnimationLookLeft msoAnimationLookRight "
        "msoAnimationLookUp msoAnimationLookUpLeft msoAnimationLookUpRight "
        "msoAnimationPrinting msoAnimationSaving msoAnimationSearching "
        "msoAnimationSendingMail msoAnimationThinking msoAnimationWorkingAtSomething "
        "msoAnimationWritingNotingSomething");
    return joined.split(u' ');
}();

} // namespace

// ---- the bundled characters ------------------------------------------------

TEST(CharacterModelBundled, EveryCharacterLoadsWithItsAnimationsAndStates) {
    const QDir folder(sourceFolder("../../characters"));
    const QStringList agents = folder.entryList({QStringLiteral("*.acs")}, QDir::Files);
    const QStringList assistants = folder.entryList({QStringLiteral("*.act")}, QDir::Files);
    ASSERT_GE(agents.size(), 3) << folder.path().toStdString();
    ASSERT_GE(assistants.size(), 1);
    QStringList names, voices;
    for (const QString& file : agents + assistants) {
        SCOPED_TRACE(file.toStdString());
        QString error;
        const auto model = loadCharacterFile(folder.filePath(file), &error);
        ASSERT_TRUE(model) << error.toStdString();
        EXPECT_EQ(model->assistant, file.endsWith(QStringLiteral(".act")));
        names.append(model->name);
        voices.append(model->voice.voice + QString::number(model->voice.pitch));
        EXPECT_GE(model->size.width(), 90);
        EXPECT_LE(model->size.width(), 170);
        for (const char* state : {"Showing", "Hiding", "Speaking", "Resting", "Idle"})
            EXPECT_TRUE(model->stateAnimation(QLatin1String(state))) << state;
        EXPECT_TRUE(model->parts.contains(model->mouthOpen));
        if (model->assistant) {
            EXPECT_TRUE(model->stateAnimation(QStringLiteral("Reduced")));
            for (const QString& name : kAssistantNames)
                EXPECT_TRUE(model->animation(name)) << name.toStdString();
        } else {
            EXPECT_GE(model->animations.size(), 12);
            for (const char* name : {"Greet", "Read", "ReadContinued", "ReadReturn", "Wave"})
                EXPECT_TRUE(model->animation(QLatin1String(name))) << name;
        }
    }
    names.removeDuplicates();
    voices.removeDuplicates();
    EXPECT_EQ(names.size(), agents.size() + assistants.size());
    EXPECT_EQ(voices.size(), agents.size() + assistants.size());
}

// Each frame must show something, stay inside the character's box (the
// window is that big, anything outside would be cut off) and, while
// speaking, look different with the mouth open.
TEST(CharacterModelBundled, EveryFrameDrawsInsideItsBoxAndSpeakingMovesTheMouth) {
    const QDir folder(sourceFolder("../../characters"));
    const QStringList files =
        folder.entryList({QStringLiteral("*.acs"), QStringLiteral("*.act")}, QDir::Files);
    for (const QString& file : files) {
        const auto model = loadCharacterFile(folder.filePath(file));
        ASSERT_TRUE(model) << file.toStdString();
        const int margin = 40;
        const QRect box(QPoint(margin, margin), model->size);
        for (const Animation& a : model->animations) {
            for (qsizetype i = 0; i < a.frames.size(); ++i) {
                SCOPED_TRACE(
                    (file + QLatin1Char(' ') + a.name + QLatin1Char(' ') + QString::number(i))
                        .toStdString());
                const QImage image = render(*model, a.frames[i], false, margin);
                EXPECT_EQ(inkOutside(image, box), 0);
                EXPECT_GT(inkOutside(image, QRect()), 50); // an empty rect: counts all ink
            }
        }
        const Animation* speaking = model->stateAnimation(QStringLiteral("Speaking"));
        ASSERT_TRUE(speaking);
        for (const Frame& f : speaking->frames)
            EXPECT_NE(render(*model, f, false), render(*model, f, true)) << file.toStdString();
    }
}

TEST(CharacterModelBundled, TheDocumentedExampleIsAWorkingCharacter) {
    QFile doc(sourceFolder("../../docs/characters.md"));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    const qsizetype heading = text.indexOf(QStringLiteral("## A complete small character"));
    const qsizetype begin = text.indexOf(QStringLiteral("```\n"), heading) + 4;
    const qsizetype end = text.indexOf(QStringLiteral("```"), begin);
    ASSERT_GT(heading, 0);
    const CharacterModel model = parseOk(text.mid(begin, end - begin).toUtf8());
    EXPECT_EQ(model.name, QStringLiteral("Pebble"));
    EXPECT_EQ(model.animationNames(), (QStringList{"Show", "Wave", "Hide"}));
}

// ---- reading ----------------------------------------------------------------

TEST(CharacterModelParse, ReadsSettingsStatesAndNames) {
    const CharacterModel m = parseOk(kMinimal + R"(
kind assistant
voice en-gb+m3 pitch 95 speed 150
balloon fill #fff8e7 border steelblue text #12345680 font "DejaVu Serif" 11
part shut # a comment after a blank
  line 0 0 4 0 stroke #00f 2
end
part open
  circle 2 2 2 fill #ff000080
end
mouth shut open
animation WaveHello
  frame 50 dot
end
animation idle2
  frame 50 dot
end
state Reduced WaveHello
state idle idle2 wavehello
)");
    EXPECT_EQ(m.name, QStringLiteral("Test \"Dot\""));
    EXPECT_TRUE(m.assistant);
    EXPECT_EQ(m.size, QSize(48, 40));
    EXPECT_EQ(m.voice.voice, QStringLiteral("en-gb+m3"));
    EXPECT_EQ(m.voice.pitch, 95);
    EXPECT_EQ(m.voice.speed, 150);
    EXPECT_EQ(m.balloon.border, QColor(70, 130, 180));
    EXPECT_EQ(m.balloon.text, QColor(0x12, 0x34, 0x56, 0x80)); // alpha last
    EXPECT_EQ(m.balloon.font.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(m.balloon.font.pointSize(), 11);
    EXPECT_EQ(m.parts[QStringLiteral("open")].shapes[0].fill.color().alpha(), 0x80);
    EXPECT_EQ(m.mouthClosed, QStringLiteral("shut"));
    EXPECT_EQ(m.animationNames(), (QStringList{"Show", "WaveHello", "idle2"}));
    EXPECT_EQ(m.animation(QStringLiteral("wAVEhELLO")), &m.animations[1]);
    EXPECT_EQ(m.animation(QStringLiteral("Wave")), nullptr);
    EXPECT_EQ(m.states.value(QStringLiteral("Idle")), (QStringList{"idle2", "WaveHello"}));
    EXPECT_EQ(m.states.value(QStringLiteral("Speaking")), QStringList{"Show"});
    EXPECT_EQ(m.stateAnimation(QStringLiteral("idle")), &m.animations[2]);
    EXPECT_EQ(m.stateAnimation(QStringLiteral("Listening")), nullptr);
}

// Placements are checked where they matter: where the pixels land.
TEST(CharacterModelParse, ModifiersPosesMirrorsAndOriginPutPartsWhereTheySay) {
    const QByteArray withOrigin = QByteArray(kMinimal).replace("size", "origin 2 1\nsize");
    const CharacterModel m = parseOk(withOrigin + R"(
part bar mirror dot 20
pose two dot dot[move 10 0]
animation Moves
  frame 100 dot[move 20 10]
  frame 100 dot[turn 90 0 0 move 30 0]
  frame 100 dot[scale 2.5 0 0]
  frame 100 two[move 0 20]
  frame 100 bar
  frame 100 two[turn 180 10 2,	move 0 30]
end
animation Back
  use Moves reversed
  use Show
end
)");
    const Animation* a = m.animation(QStringLiteral("moves"));
    ASSERT_TRUE(a);
    auto at = [&](int frame, int x, int y) { return inked(render(m, a->frames[frame]), x, y); };
    EXPECT_TRUE(at(0, 24, 13));
    EXPECT_FALSE(at(0, 4, 3));
    EXPECT_TRUE(at(1, 30, 3));  // turned clockwise about 0 0: now left of x = 30
    EXPECT_FALSE(at(1, 34, 3)); // ... and not right of it
    EXPECT_TRUE(at(2, 10, 9));  // 10 x 10 from the origin
    EXPECT_FALSE(at(2, 13, 12));
    EXPECT_TRUE(at(3, 4, 23));
    EXPECT_TRUE(at(3, 14, 23));
    EXPECT_FALSE(at(3, 4, 3));
    EXPECT_TRUE(at(4, 40, 3)); // mirrored about x = 20: spans 36..40, plus the origin
    EXPECT_FALSE(at(4, 4, 3));
    EXPECT_TRUE(at(5, 10, 33)); // the pose turned half round about 10 2, then moved
    EXPECT_TRUE(at(5, 20, 33));
    EXPECT_FALSE(at(5, 4, 33));
    const Animation* back = m.animation(QStringLiteral("Back"));
    ASSERT_EQ(back->frames.size(), 7);
    EXPECT_EQ(back->frames[0].parts[0].part, QStringLiteral("dot"));
    EXPECT_EQ(back->frames[1].parts[0].part, QStringLiteral("bar"));
    EXPECT_EQ(back->frames[5].parts[0].offset, a->frames[0].parts[0].offset);
}

TEST(CharacterModelParse, ShapesFollowTheDocumentedGeometry) {
    const CharacterModel m = parseOk(kMinimal + R"(
part wedge
  pie 20 20 10 10 0 90 fill #0a0
end
part tri
  path m 10 10 l 10 0 0,10 z fill blue
end
part ring
  circle 20 20 8 stroke black 3
  polygon 0 0 6 0 0 6 fill none stroke none
end
animation Shapes
  frame 100 wedge
  frame 100 tri
  frame 100 ring
end
)");
    const Animation* a = m.animation(QStringLiteral("Shapes"));
    const QImage wedge = render(m, a->frames[0]);
    EXPECT_TRUE(inked(wedge, 24, 24)); // 0..90 degrees clockwise: the lower right quarter
    EXPECT_FALSE(inked(wedge, 16, 16));
    EXPECT_FALSE(inked(wedge, 24, 16));
    const QImage tri = render(m, a->frames[1]);
    EXPECT_TRUE(inked(tri, 18, 12));
    EXPECT_FALSE(inked(tri, 12, 18));
    const QImage ring = render(m, a->frames[2]);
    EXPECT_TRUE(inked(ring, 28, 20));
    EXPECT_FALSE(inked(ring, 20, 20));
    EXPECT_FALSE(inked(ring, 1, 1));
}

// ---- refusing -----------------------------------------------------------------

TEST(CharacterModelRefuse, BadFilesAreRefusedWithTheLineAndTheReason) {
    struct Case {
        QByteArray text;
        const char* expected;
    };
    const QByteArray head = "gabblet-character 1\nname X\nsize 48 40\n";
    const QByteArray tail = "\nstate Showing A\nstate Hiding A\nstate Speaking A\n"
                            "state Resting A\n";
    const QByteArray dot = "part dot\n  rect 0 0 4 4 fill red\nend\n";
    const QByteArray anim = "animation A\n  frame 100 dot\nend\n";
    const Case cases[] = {
        {head + dot + "animation A\n  frame 100 dot wing\nend\n" + tail,
         "line 8: unknown part or pose 'wing'"},
        {head + "part p\n  hexagon 1 2 3\nend\n", "line 5: unknown shape 'hexagon'"},
        {"gabblet-character 1\nname X\nsize 5000 40\n", "line 3: width"},
        {head + dot + QByteArray("anim\0ation A\n", 14), "line 7: binary data"},
        {head + "part p\n  rect 0 0 4 4 fill \xff\xfe\nend\n",
         "line 5: the text is not valid UTF-8"},
        {head + dot + "animation A\n  frame 100 dot\n", "line 7: animation 'A' has no 'end'"},
        {head + "part dot\n  rect 0 0 4 4 fill red\n", "line 4: part 'dot' has no 'end'"},
        {"", "the file is empty"},
        {"\x89PNG\r\n\x1a\n", "line 1: the text is not valid UTF-8"},
        {"hello there\n", "line 1: not a Gabblet character file"},
        {"gabblet-character 2\n", "line 1: this format version is not supported"},
        {head + dot + anim + "animation a\n", "line 10: a second animation named 'a'"},
        {head + dot + dot, "line 7: a second part or pose named 'dot'"},
        {head + dot + anim + "state Showing B\n", "line 10: state Showing names animation 'B'"},
        {head + dot + anim + "state Showing A\nstate Hiding A\nstate Resting A\n",
         "the file has no 'state Speaking' line"},
        {head + "kind assistant\n" + dot + anim + tail, "the file has no 'state Reduced' line"},
        {head + dot + "animation A sound ../x.wav\n", "line 7: sound '../x.wav'"},
        {head + dot + "animation A sound sub/x.wav\n", "line 7: sound 'sub/x.wav'"},
        {head + dot + "animation A sound x.exe\n", "line 7: sound 'x.exe'"},
        {head + dot + anim + "mouth dot lips\n" + tail,
         "line 10: mouth part 'lips' is not defined"},
        {head + dot + "animation A\n  frame 5 dot\n",
         "line 8: frame duration 5 is outside 10..10000"},
        {head + "part p\n  circle 1e6 0 4 fill red\n", "line 5: circle '1e6' is outside"},
        {head + "part p\n  circle nan 0 4 fill red\n", "line 5: circle: expected a number"},
        {head + "part p\n  path M 0 0 A 1 1 0 0 0 5 5 fill red\n", "line 5: path command 'A'"},
        {head + "part p\n  path L 0 0 fill red\n", "line 5: path data must begin with M"},
        {head + "part p\n  path M 0 0 L 9999 0 l 2 0 fill red\n", "line 5: a path point lies"},
        {head + "part p\n  rect 0 0 4 4\n", "line 5: the shape has neither 'fill' nor 'stroke'"},
        {head + "part p\n  rect 0 0 0 4 fill red\n", "line 5: rect: sizes and radii"},
        {head + dot + "animation A\n  use A\n", "line 8: animation 'A' is not defined above"},
        {"gabblet-character 1\nname \"X\n", "line 2: a quoted text has no closing quote"},
        {head + dot + "animation A\n  frame 100 dot[move 1 2\n", "line 8: '[' without"},
        {head + dot + "animation A\n  frame 100 dot[scale 0 0 0]\n",
         "line 8: scale '0' is outside"},
        {head + dot + "pose big dot[scale 10 0 0]\nanimation A\n  frame 100 big[scale 10 0 0]\n",
         "line 9: 'big[scale 10 0 0]': the modifiers together scale"},
        {head + dot + "animation A\n  frame 100 dot[spin 3]\n", "line 8: unknown modifier 'spin'"},
        {head + "frame 100 dot\n", "line 4: 'frame' belongs inside an animation"},
        {head + "size 48 40\n", "line 4: a second 'size' line"},
        {head + dot + "origin 0 0\n" + anim + "origin 1 1\n", "line 11: a second 'origin'"},
        {"gabblet-character 1\nsize 48 40\n" + dot + anim + tail, "the file has no 'name' line"},
        {head + dot + anim + "state Sleeping A\n", "line 10: unknown state 'Sleeping'"},
        {head + dot + "part q mirror nothing 5\n", "line 7: part 'nothing' is not defined above"},
        {head + "part %1%2\n", "line 4: the name '%1%2' is not a valid name (1 to 64"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        QString error = QStringLiteral("untouched");
        EXPECT_FALSE(parseCharacter(c.text, &error));
        EXPECT_TRUE(error.startsWith(QLatin1String(c.expected))) << error.toStdString();
    }
}

// Repeating and nesting are where a small file could ask for a huge model.
TEST(CharacterModelRefuse, AmplifyingFilesAreStoppedAtTheirLimits) {
    QByteArray frames =
        kMinimal + "animation A0\n" + QByteArray("  frame 10 dot\n").repeated(2) + "end\n";
    for (int i = 1; i < 30; ++i)
        frames +=
            QStringLiteral("animation A%1\n  use A%2\n  use A%2\nend\n").arg(i).arg(i - 1).toUtf8();
    QString error;
    EXPECT_FALSE(parseCharacter(frames, &error));
    EXPECT_TRUE(error.contains(QLatin1String("more than 10000 frames"))) << error.toStdString();

    QByteArray poses = kMinimal + "pose p0 " + QByteArray("dot ").repeated(1000) + "\n";
    for (int i = 1; i < 2000; ++i)
        poses += QStringLiteral("pose p%1 p%2\n").arg(i).arg(i - 1).toUtf8();
    EXPECT_FALSE(parseCharacter(poses, &error));
    EXPECT_TRUE(error.contains(QLatin1String("over all poses"))) << error.toStdString();

    QByteArray costly =
        kMinimal + "part heavy\n" + QByteArray("  circle 5 5 4 fill red\n").repeated(2000) +
        "end\nanimation H\n  frame 10 " + QByteArray("heavy ").repeated(1000) + "\nend\n";
    EXPECT_FALSE(parseCharacter(costly, &error));
    EXPECT_TRUE(error.contains(QLatin1String("path elements"))) << error.toStdString();

    EXPECT_FALSE(parseCharacter(QByteArray(4 * 1024 * 1024 + 1, '#'), &error));
    EXPECT_EQ(error, QStringLiteral("the file is larger than 4 MiB"));
}

// Whatever the bytes, the reader answers: a model, or a reason.
TEST(CharacterModelRefuse, MangledCopiesOfARealCharacterNeverCrash) {
    QFile file(sourceFolder("../../characters/Bramble.acs"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    QRandomGenerator random(20240601);
    for (int round = 0; round < 150; ++round) {
        QByteArray bytes = original;
        for (int n = 0; n < 1 + round % 8; ++n) {
            const qsizetype at = random.bounded(qsizetype(bytes.size()));
            switch (random.bounded(4)) {
            case 0:
                bytes[at] = char(random.bounded(256));
                break;
            case 1:
                bytes.remove(at, random.bounded(200));
                break;
            case 2:
                bytes.insert(at, bytes.mid(random.bounded(qsizetype(bytes.size())), 80));
                break;
            default:
                bytes.truncate(at);
            }
        }
        QString error;
        const auto model = parseCharacter(bytes, &error);
        if (!model) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        for (const Animation& a : model->animations)
            render(*model, a.frames.first(), true);
    }
}

// ---- files -----------------------------------------------------------------

TEST(CharacterModelFile, LoadsRegularFilesOnlyAndNamesTheFileInErrors) {
    test::TempHome home;
    home.write(QStringLiteral("Dot.acs"), kMinimal);
    home.write(QStringLiteral("Bad.acs"), kMinimal + "part\n");
    QString error;
    EXPECT_TRUE(loadCharacterFile(home.file(QStringLiteral("Dot.acs")), &error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(loadCharacterFile(home.file(QStringLiteral("Bad.acs")), &error));
    EXPECT_EQ(error, QStringLiteral("Bad.acs: line 14: 'part' takes a name (or: part NAME "
                                    "mirror OTHER X)"));
    EXPECT_FALSE(loadCharacterFile(home.file(QStringLiteral("None.acs")), &error));
    EXPECT_EQ(error, QStringLiteral("None.acs: no such file"));
    EXPECT_FALSE(loadCharacterFile(home.path(), &error));
    EXPECT_TRUE(error.endsWith(QLatin1String("not a regular file")));
    // A FIFO would block a plain read forever; it must be refused at once.
    const QString fifo = home.file(QStringLiteral("Pipe.acs"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(loadCharacterFile(fifo, &error));
    EXPECT_EQ(error, QStringLiteral("Pipe.acs: not a regular file"));
    home.write(QStringLiteral("Big.acs"), QByteArray(4 * 1024 * 1024 + 1, '#'));
    EXPECT_FALSE(loadCharacterFile(home.file(QStringLiteral("Big.acs")), &error));
    EXPECT_EQ(error, QStringLiteral("Big.acs: the file is larger than 4 MiB"));
}

// ---- painting ----------------------------------------------------------------

TEST(CharacterModelPaint, DrawsTheOpenMouthInPlaceOfTheShutOneAndLeavesThePainterAsItWas) {
    const CharacterModel m = parseOk(kMinimal + R"(
part shut
  rect 20 20 8 2 fill black
end
part open
  rect 20 20 8 8 fill black
end
mouth shut open
animation Talk
  frame 100 dot shut
end
)");
    const Frame& talk = m.animation(QStringLiteral("Talk"))->frames[0];
    const QImage shut = render(m, talk, false);
    const QImage open = render(m, talk, true);
    EXPECT_TRUE(inked(shut, 2, 2) && inked(open, 2, 2));
    EXPECT_FALSE(inked(shut, 24, 25));
    EXPECT_TRUE(inked(open, 24, 25));
    const QImage showFrame = render(m, m.animations[0].frames[0], true); // no mouth: no change
    EXPECT_EQ(showFrame, render(m, m.animations[0].frames[0], false));

    QImage image(48, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(3, 4);
    painter.setPen(Qt::red);
    paintFrame(painter, m, talk, true);
    EXPECT_EQ(painter.worldTransform(), QTransform::fromTranslate(3, 4));
    EXPECT_EQ(painter.pen().color(), QColor(Qt::red));
}

// A model built in code has no reader in front of it: nonsense placements
// and missing parts are skipped, the rest is drawn.
TEST(CharacterModelPaint, HandBuiltNonsenseIsSkipped) {
    CharacterModel m = parseOk(kMinimal);
    Frame frame;
    PartPlacement nan;
    nan.part = QStringLiteral("dot");
    nan.scale = std::nan("");
    PartPlacement missing;
    missing.part = QStringLiteral("ghost");
    PartPlacement zero;
    zero.part = QStringLiteral("dot");
    zero.scale = 0;
    PartPlacement fine;
    fine.part = QStringLiteral("dot");
    fine.offset = QPointF(30, 30);
    frame.parts = {nan, missing, zero, fine};
    const QImage image = render(m, frame);
    EXPECT_TRUE(inked(image, 32, 32));
    EXPECT_FALSE(inked(image, 2, 2));
}
