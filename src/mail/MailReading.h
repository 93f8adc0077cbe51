#pragma once

#include "state/MailTables.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace gabblet {

class Speaker;
struct Settings;

// Where one spoken section of a body lies: the text between a "Gabblet:"
// marker and a ":Gabblet" marker, without one line break next to each.
struct GabbletSection {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const GabbletSection&) const = default;
};

// The sections of `text` in order (the innermost opening marker before a
// closing one wins; a closing marker fewer than 12 characters after its
// opening marker ends the search). At most kMaxSections are returned.
constexpr int kMaxSections = 1000;
QList<GabbletSection> FindGabbletSections(QStringView text);
// The same sections as texts.
QStringList GabbletSectionTexts(const QString& text);

// "Speak" when the subject holds "Gabblet:" (exact case), else "".
QString ViewerMode(const QString& subject);
// Name + "   From:" + From + "   Subject:" + Subject + "   Date:" + Date.
QString ViewerCaption(const QString& name, const QString& from, const QString& subject,
                      const QString& date);
// What a viewer does with its text: in mode "Speak" every section is passed,
// in order, to the Speak pipeline with no overrides. The browser viewer
// calls this with the page's body text.
void SpeakGabbletSections(Speaker& speaker, const QString& mode, const QString& text);

// The TextMes viewer windows (a caption and the text box Text1) as reading
// drives them. A viewer is named by the id open gives; a call for a window
// the user has closed meanwhile does nothing.
class ViewerWindows {
public:
    virtual ~ViewerWindows() = default;
    // separate: a new window; else the one reused window (made again when closed).
    virtual int openTextMes(bool separate) = 0;
    virtual void setCaption(int viewer, const QString& caption) = 0;
    virtual void setText(int viewer, const QString& text) = 0; // Text1
    virtual void showViewer(int viewer) = 0;
    // Opening a plain-text message in the reused window closes the browser viewer.
    virtual void closeBrowser() {}
};

// Where bodies come from when they are not cached. Each returns the body
// text, or "" after a failure with the reason in the account's Status.
class MessageBodies {
public:
    virtual ~MessageBodies() = default;
    // POP3: getPOPBody (slot, position, MsgID(position), close-after true).
    virtual QString popBody(int slot, qint16 position, const QString& id) = 0;
    // Local profiles: false when this program has no such back-end yet.
    virtual bool hasProfiles() const { return false; }
    virtual QString profileBody(int /*slot*/, qint16 /*position*/, const QString& /*id*/) {
        return {};
    }
};

// The body cache as reading uses it; its files belong to the inbox side.
// read: true and the text when the body of (slot, position) is cached.
// write: keeps a freshly fetched body.
struct BodyCacheAccess {
    std::function<bool(int slot, int position, QString& text)> read;
    std::function<void(int slot, int position, const QString& text)> write;
};

// ReadEmail: fetches a message's body (cache first, when CacheEmail is on),
// shows it in a TextMes viewer with its caption, and speaks its Gabblet
// sections when the subject marks it as a Gabblet message.
class MailReader final {
public:
    // tables: Acc and MailState; settings: CacheEmail, EmailSeperateWindows.
    MailReader(MailTables& tables, const Settings& settings, MessageBodies& bodies,
               ViewerWindows& viewers, Speaker& speaker);
    Q_DISABLE_COPY_MOVE(MailReader)

    void setBodyCache(BodyCacheAccess cache) { cache_ = std::move(cache); }
    // Web-mail accounts are read by the browser viewer; without one they are refused.
    void setWebMailReader(std::function<void(int slot, int position)> reader) {
        webReader_ = std::move(reader);
    }

    // Reads message `position` of account `slot`. Out-of-range slots and
    // positions are refused in the viewer, never read past.
    void ReadEmail(int slot, int position);

private:
    MailTables& tables_;
    const Settings& settings_;
    MessageBodies& bodies_;
    ViewerWindows& viewers_;
    Speaker& speaker_;
    BodyCacheAccess cache_;
    std::function<void(int, int)> webReader_;
    quint64 sharedGeneration_ = 0; // which read owns the reused window
};

} // namespace gabblet
