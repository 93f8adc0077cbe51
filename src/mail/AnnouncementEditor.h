#pragma once

#include "mail/Announcements.h"

#include <QString>

#include <optional>

namespace gabblet {

class Prompt;

// What Get takes from the composer: its text (any line breaks), the chosen
// character and the chosen action.
struct ComposerMessage {
    QString text;
    QString character;
    QString action;
};

// The rules of the announcement window (frmAnnText), without the window:
// one template shown at a time, edits stored into the template being left,
// adding up to 21, deleting all but the last, and the file rewritten on
// closing. Numbers are the window's, 1 to count(). Box texts go in and out
// with plain line breaks; the table keeps CR LF.
class AnnouncementEditor final {
public:
    AnnouncementEditor(AnnouncementTemplates& templates, Prompt& prompt, QString path);
    Q_DISABLE_COPY_MOVE(AnnouncementEditor)

    int number() const { return shown_ + 1; }
    int count() const { return templates_.count(); }
    bool canAdd() const { return templates_.count() < kMaxTemplates; }
    // The shown template as the boxes show it ("^m" codes as line breaks).
    AnnTemplate boxes() const;

    // The scroll bar: stores the boxes into the shown template, then shows `number`.
    void moveTo(const AnnTemplate& boxes, int number);
    // Add: stores, appends an empty template and shows it; false at 21.
    bool add(const AnnTemplate& boxes);
    // Delete, with its refusal and its question; true when one was removed.
    bool remove();
    // Default and Get: what to put in the boxes after the user said Yes.
    std::optional<AnnTemplate> askDefault();
    std::optional<AnnTemplate> askGet(const ComposerMessage& message);
    // Closing by any means: stores the boxes and rewrites the file. False
    // (after telling the user) when the file could not be written.
    bool close(const AnnTemplate& boxes);

    // Box texts as the table keeps them (CR LF breaks), for Test.
    static AnnTemplate fromBoxes(const AnnTemplate& boxes);
    // Get's split of a composed text (no question asked).
    static AnnTemplate fromComposer(const ComposerMessage& message);

private:
    void store(const AnnTemplate& boxes);

    AnnouncementTemplates& templates_;
    Prompt& prompt_;
    QString path_;
    int shown_ = 0;
};

} // namespace gabblet
