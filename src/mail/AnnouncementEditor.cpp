#include "mail/AnnouncementEditor.h"

#include "platform/Files.h"
#include "platform/Prompt.h"

namespace gabblet {

namespace {

const QString kCode = QStringLiteral("^m");

// Box texts use "\n"; the table and the file use CR LF.
QString toTable(QString text) {
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), kCrLf);
}

QString toBox(QString text) {
    text.replace(kCode, kCrLf);
    text.replace(kCrLf, QStringLiteral("\n"));
    return text;
}

bool yes(Prompt& prompt, const QString& text, const QString& title) {
    return prompt.question(text, title) == PromptAnswer::Yes;
}

} // namespace

AnnouncementEditor::AnnouncementEditor(AnnouncementTemplates& templates, Prompt& prompt,
                                       QString path)
    : templates_(templates), prompt_(prompt), path_(std::move(path)) {
    // With no usable template (a broken file) the window starts from the
    // built-in one, so that there is something to edit and to save.
    if (templates_.count() == 0)
        templates_.installDefault();
}

AnnTemplate AnnouncementEditor::boxes() const {
    const AnnTemplate t = templates_.at(shown_);
    return {toBox(t.Summary), toBox(t.Details)};
}

AnnTemplate AnnouncementEditor::fromBoxes(const AnnTemplate& boxes) {
    return {toTable(boxes.Summary), toTable(boxes.Details)};
}

void AnnouncementEditor::store(const AnnTemplate& boxes) {
    templates_.set(shown_, fromBoxes(boxes));
}

void AnnouncementEditor::moveTo(const AnnTemplate& boxes, int number) {
    store(boxes);
    shown_ = qBound(0, number - 1, templates_.count() - 1);
}

bool AnnouncementEditor::add(const AnnTemplate& boxes) {
    store(boxes);
    if (!templates_.add())
        return false;
    shown_ = templates_.count() - 1;
    return true;
}

bool AnnouncementEditor::remove() {
    if (templates_.count() <= 1) {
        prompt_.inform(QStringLiteral("You are not allowed to delete the last/only announcement\n"
                                      "If you wish to delete this announcement, add a new one and "
                                      "then delete it."));
        return false;
    }
    if (!yes(prompt_, QStringLiteral("Are you sure?"), QStringLiteral("Delete Email Announcement")))
        return false;
    templates_.remove(shown_);
    shown_ = qMin(shown_, templates_.count() - 1);
    return true;
}

std::optional<AnnTemplate> AnnouncementEditor::askDefault() {
    if (!yes(prompt_, QStringLiteral("Are you sure? This will overwrite the current announcement"),
             QStringLiteral("Default announcement")))
        return std::nullopt;
    const AnnTemplate d = AnnouncementTemplates::defaultTemplate();
    return AnnTemplate{toBox(d.Summary), toBox(d.Details)};
}

std::optional<AnnTemplate> AnnouncementEditor::askGet(const ComposerMessage& message) {
    if (!yes(prompt_, QStringLiteral("Are you sure? This will overwrite the current announcement."),
             QStringLiteral("Get Announcement")))
        return std::nullopt;
    return fromComposer(message);
}

AnnTemplate AnnouncementEditor::fromComposer(const ComposerMessage& message) {
    const QString text = toTable(message.text);
    const qsizetype gap = text.indexOf(kCrLf + kCrLf);
    QString summary = gap < 0 ? text : text.left(gap);
    QString details = gap < 0 ? QString() : text.mid(gap + 4);
    // The character leads both parts and the action the summary. An empty
    // name gives no block: "{{^}}" or "{{}}" would stop the speaking.
    const QString character = message.character.trimmed();
    const QString action = message.action.trimmed();
    QString lead;
    if (!character.isEmpty())
        lead = QStringLiteral("{{^") + character + QStringLiteral("}}");
    if (!action.isEmpty())
        summary.prepend(QStringLiteral("{{") + action + QStringLiteral("}}"));
    summary.prepend(lead);
    if (!details.isEmpty())
        details.prepend(lead);
    return {toBox(summary), toBox(details)};
}

bool AnnouncementEditor::close(const AnnTemplate& boxes) {
    store(boxes);
    if (templates_.save(path_))
        return true;
    prompt_.inform(QStringLiteral("The announcements could not be saved to ") + path_ +
                       QStringLiteral(". They stay in use until Gabblet ends."),
                   QStringLiteral("Gabblet"), PromptIcon::Exclamation);
    return false;
}

} // namespace gabblet
