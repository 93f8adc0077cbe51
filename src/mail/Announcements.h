#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace gabblet {

class Prompt;
class Speaker;
class StatusLog;
struct SpeechContext;

constexpr int kMaxTemplates = 21; // templates 0..20

enum class AnnSection { Summary = 0, Details = 1 };

// One announcement template: what is said once per account with new mail,
// and what is said for each new message. Line breaks are CR LF; "^m" codes
// read from the file inside a line stay until the details are spoken.
struct AnnTemplate {
    QString Summary;
    QString Details;
    bool operator==(const AnnTemplate&) const = default;
};

// The template table (AnnText with AnnLast) and its file, emailann.txt.
class AnnouncementTemplates final {
public:
    enum class LoadResult {
        Loaded,         // the file's templates (possibly none, for an empty file)
        Default,        // no file: the built-in template is template 0
        MissingSection, // the last template lacked its details: no templates
        ReadError,      // the file could not be read: no templates
    };

    static AnnTemplate defaultTemplate();

    // Parses the file's text (lines ending in CR LF or LF): at most 21
    // templates; the rest of the file is ignored.
    LoadResult parse(const QString& text);
    // Reads `path` (Windows-1252); a missing file installs the default.
    LoadResult load(const QString& path);
    // The file's text: per template the summary, an empty line, the details,
    // an empty line; line breaks inside a section written as "^m".
    QString serialize() const;
    // Rewrites `path` atomically; false when it could not be written.
    bool save(const QString& path) const;

    // AnnLast: the number of the last template, -1 with none.
    qint16 AnnLast() const { return qint16(list_.size() - 1); }
    int count() const { return int(list_.size()); }
    // Template t (0..AnnLast); an empty template for t out of range.
    AnnTemplate at(int t) const;
    // Replaces template t; nothing for t out of range.
    void set(int t, const AnnTemplate& value);
    // Appends an empty template; false when 21 exist already.
    bool add();
    // Removes template t, moving the later ones down; false for t out of range.
    bool remove(int t);
    void clear() { list_.clear(); }
    void installDefault();

    // The scheduler's choice from a random whole number 0..1000: that number
    // modulo the template count, or -1 with no template (never divides by zero).
    int choose(int random) const;

private:
    QList<AnnTemplate> list_;
};

// Start-up step 20: loads emailann.txt from the user folder into `templates`
// and shows the file's problems (missing details section, read error)
// through `prompt`. beforeMessage runs before a message box (the start-up
// hides its splash there). Returns what load() returned.
AnnouncementTemplates::LoadResult LoadEmailAnn(AnnouncementTemplates& templates,
                                               const QString& path, Prompt& prompt,
                                               const std::function<void()>& beforeMessage = {});

// ExpandTemplate (account, template, section, message): the section's text
// with every "{{$...}}" block replaced: the e-mail pass for this account and
// message, then the read pass, then the now pass; a block none knows stays as
// written. `message` is -1 for the summary (no message is being announced).
QString ExpandTemplate(SpeechContext& ctx, const AnnouncementTemplates& templates, int account,
                       int t, AnnSection section, int message);

// Speaks new-mail announcements through the Speak pipeline and keeps the
// e-mail log (the main window's EmailMes box) of what was said.
class Announcer final {
public:
    // ctx: the speech state, settings (SpeakSubject, ProcTalk) and mail
    // tables the variables read; emailMes: the e-mail log box's text.
    Announcer(SpeechContext& ctx, Speaker& speaker, const AnnouncementTemplates& templates,
              StatusLog& emailMes);
    Q_DISABLE_COPY_MOVE(Announcer)

    // The summary of one account with template t (the built-in text with no
    // usable template); appended with CR LF to EmailMes.
    void SpeakSummary(int account, int t);
    // The details of every new message of one account: "//talk:" subjects
    // (with "//char:") when ProcTalk is on, else template t when SpeakSubject
    // is on. Stops after a message when StopRequested is set, and clears it at the end.
    void SpeakDetails(int account, int t);
    // The template window's Test: the summary and details of template t with
    // the test values of the e-mail variables.
    void TestTemplate(const AnnTemplate& shown);

private:
    void say(QString text, QString character, bool wait);

    SpeechContext& ctx_;
    Speaker& speaker_;
    const AnnouncementTemplates& templates_;
    StatusLog& emailMes_;
};

// A "//talk:" subject as spoken: the character named by "//char:" (empty for
// none) and the text after the first seven characters of what is left.
// Nothing when the subject does not begin with "//talk:" (any case).
struct TalkSubject {
    QString character;
    QString text;
};
std::optional<TalkSubject> ParseTalkSubject(const QString& subject);

} // namespace gabblet
