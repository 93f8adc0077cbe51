#pragma once

#include <QObject>
#include <QString>

namespace gabblet {

// The text behind the status box: diagnostics of every part of the program.
// It keeps itself small: once it reaches 10001 characters it is cut to its
// last 8000.
class StatusLog final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kCutAt = 10001;
    static constexpr qsizetype kKeep = 8000;

    void AddStatus(const QString& text);
    const QString& text() const { return text_; }
    // Where the caret goes after an append: 3 before the end (0 when shorter than 4).
    qsizetype caretPosition() const { return text_.size() < 4 ? text_.size() : text_.size() - 3; }

Q_SIGNALS:
    // appended is the new text; cut is true when older text was dropped.
    void changed(const QString& appended, bool cut);

private:
    QString text_;
};

} // namespace gabblet
