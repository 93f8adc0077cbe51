#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace gabblet {

// The two message histories (received and sent), each one text made of
// records: "From: who using character at date time->" CR LF text CR LF
// separator, with records joined by CR LF.
class MessageHistory final {
public:
    static const QString kSeparator; // "+-------------------------+"
    static constexpr qsizetype kLoadLimit = 20000;

    const QString& text() const { return text_; }
    void setText(const QString& text) { text_ = text; }

    // Appends a record; date in the short date format of the system locale,
    // time as hh:mm:ss.
    void append(const QString& who, const QString& character, const QString& body,
                const QDateTime& when);
    static QString record(const QString& who, const QString& character, const QString& body,
                          const QDateTime& when);

    // Reads a history file, keeping it within the load limit by dropping old
    // records while reading; a missing file is empty. Windows-1252, CR LF or LF.
    bool load(const QString& path);
    // Writes exactly the text (nothing added), atomically.
    bool save(const QString& path) const;

    // The record around a caret position (1-based, 0 counts as 1) as the
    // mouse release in the box picks it: sender, character, body and whether
    // the body ended in the hide code (which is taken off).
    struct Reuse {
        QString sender;
        QString character;
        QString body;
        bool hideAtEnd = false;
    };
    std::optional<Reuse> recordAt(qsizetype caret) const;

private:
    QString text_;
};

} // namespace gabblet
