#include "mail/MailReading.h"

#include "speech/Speaker.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

namespace gabblet {

namespace {

const QString kOpen = QStringLiteral("Gabblet:");
const QString kClose = QStringLiteral(":Gabblet");
// Markers are written on lines of their own, so a section is at least the
// opening marker with its line break and the line break before the closing
// one: a closing marker closer than this ends the search.
constexpr qsizetype kMinSpan = 12;

// The length of the line break at `at` (CR LF, LF or CR), or 0.
qsizetype breakAt(QStringView text, qsizetype at) {
    if (at >= text.size())
        return 0;
    if (text[at] == QLatin1Char('\r'))
        return at + 1 < text.size() && text[at + 1] == QLatin1Char('\n') ? 2 : 1;
    return text[at] == QLatin1Char('\n') ? 1 : 0;
}

// The length of the line break that ends just before `end`, or 0.
qsizetype breakBefore(QStringView text, qsizetype begin, qsizetype end) {
    if (end <= begin)
        return 0;
    if (text[end - 1] == QLatin1Char('\n'))
        return end - 2 >= begin && text[end - 2] == QLatin1Char('\r') ? 2 : 1;
    return text[end - 1] == QLatin1Char('\r') ? 1 : 0;
}

bool isWebMail(const QString& type) {
    return type == QLatin1String("MailCity") || type == QLatin1String("HotMail");
}

} // namespace

QList<GabbletSection> FindGabbletSections(QStringView text) {
    QList<GabbletSection> found;
    qsizetype s = text.indexOf(kOpen);
    while (s >= 0 && found.size() < kMaxSections) {
        const qsizetype e = text.indexOf(kClose, s);
        if (e < 0)
            break;
        // The innermost opening marker before the closing one wins. The first
        // closing marker after it is still e, as none starts between s and e.
        s = text.lastIndexOf(kOpen, e - 1);
        if (e - s < kMinSpan)
            break;
        qsizetype begin = s + kOpen.size();
        begin += breakAt(text, begin);
        const qsizetype end = e - breakBefore(text, begin, e);
        found.append({begin, end - begin});
        s = text.indexOf(kOpen, s + 1);
    }
    return found;
}

QStringList GabbletSectionTexts(const QString& text) {
    QStringList out;
    for (const GabbletSection& section : FindGabbletSections(text))
        out.append(text.mid(section.start, section.length));
    return out;
}

QString ViewerMode(const QString& subject) {
    return subject.contains(kOpen) ? QStringLiteral("Speak") : QString();
}

QString ViewerCaption(const QString& name, const QString& from, const QString& subject,
                      const QString& date) {
    return name + QStringLiteral("   From:") + from + QStringLiteral("   Subject:") + subject +
           QStringLiteral("   Date:") + date;
}

void SpeakGabbletSections(Speaker& speaker, const QString& mode, const QString& text) {
    if (mode != QLatin1String("Speak"))
        return;
    for (QString section : GabbletSectionTexts(text)) {
        QString character;
        speaker.Speak(section, QString(), character, QString(), true);
    }
}

MailReader::MailReader(MailTables& tables, const Settings& settings, MessageBodies& bodies,
                       ViewerWindows& viewers, Speaker& speaker)
    : tables_(tables), settings_(settings), bodies_(bodies), viewers_(viewers), speaker_(speaker) {}

void MailReader::ReadEmail(int slot, int position) {
    if (slot < 0 || slot >= kAccountSlots || position < 0 || position >= kMessagePositions)
        return;
    const AccountRec& acc = tables_.Acc[std::size_t(slot)];
    const MailStateRec& st = tables_.MailState[std::size_t(slot)];
    if (isWebMail(acc.Type) && webReader_) {
        webReader_(slot, position);
        return;
    }
    // Everything shown is taken now: the tables may change while the body is fetched.
    const QString type = acc.Type;
    const QString subject = st.Subject.at(position);
    const QString mode = ViewerMode(subject);
    const QString id = position < kIdPositions ? st.MsgID.at(position) : QString();
    const bool separate = settings_.EmailSeperateWindows;
    if (!separate)
        viewers_.closeBrowser();
    const int viewer = viewers_.openTextMes(separate);
    const quint64 generation = separate ? 0 : ++sharedGeneration_;
    viewers_.setCaption(
        viewer, ViewerCaption(acc.Name, st.From.at(position), subject, st.Date.at(position)));
    viewers_.showViewer(viewer);

    QString body;
    bool cached = false;
    if (settings_.CacheEmail && cache_.read && !id.isEmpty() && !isNoId(id))
        cached = cache_.read(slot, position, body);
    if (!cached) {
        if (type == QLatin1String("POP3")) {
            body = bodies_.popBody(slot, qint16(position), id);
        } else if (type == QLatin1String("Outlook") && bodies_.hasProfiles()) {
            body = bodies_.profileBody(slot, qint16(position), id);
        } else {
            viewers_.setText(viewer, QStringLiteral("Reading %1 mail is not available in this "
                                                    "version of Gabblet.")
                                         .arg(type.isEmpty() ? QStringLiteral("this") : type));
            return;
        }
    }
    // While the body was fetched, another message may have taken the reused
    // window; this one then leaves it alone.
    const bool ownsViewer = separate || generation == sharedGeneration_;
    if (body.isEmpty()) {
        if (ownsViewer)
            viewers_.setText(viewer, tables_.MailState[std::size_t(slot)].Status);
        return;
    }
    // The cache is named by the message's identifier: write only while the
    // position still holds the message that was fetched.
    if (!cached && settings_.CacheEmail && cache_.write && position < kIdPositions &&
        tables_.MailState[std::size_t(slot)].MsgID.at(position) == id)
        cache_.write(slot, position, body);
    if (!ownsViewer)
        return;
    viewers_.setText(viewer, body);
    SpeakGabbletSections(speaker_, mode, body);
}

} // namespace gabblet
