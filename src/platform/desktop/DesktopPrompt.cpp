#include "DesktopPrompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include <cstdio>

namespace gabblet {

DesktopPrompt::DesktopPrompt(bool interactive) : interactive_(interactive) {}

namespace {

QString answerName(PromptAnswer answer) {
    switch (answer) {
    case PromptAnswer::Ok:
        return QStringLiteral("OK");
    case PromptAnswer::Yes:
        return QStringLiteral("Yes");
    case PromptAnswer::No:
        return QStringLiteral("No");
    case PromptAnswer::Cancel:
        return QStringLiteral("Cancel");
    }
    return {};
}

PromptAnswer defaultAnswer(PromptButtons buttons) {
    return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Yes;
}

QMessageBox::Icon boxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Exclamation:
        return QMessageBox::Warning;
    case PromptIcon::Critical:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

PromptAnswer showBox(const QString& title, const QString& text, PromptButtons buttons,
                     PromptIcon icon) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    switch (buttons) {
    case PromptButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case PromptButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case PromptButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
    default:
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel;
    }
}

// The filter in Qt's form ("Text (*.txt);;All Files (*.*)").
QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The description usually shows the pattern already.
        out << (parts.at(i).contains(QLatin1Char('('))
                    ? parts.at(i)
                    : parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

} // namespace

PromptAnswer DesktopPrompt::ask(const QString& title, const QString& text, PromptButtons buttons,
                                PromptIcon icon) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\\n"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    // The question goes out before the box opens, so a script sees what the
    // program waits for; the answer completes the line.
    std::fprintf(stderr, "gabblet: %s: %s", qUtf8Printable(title), qUtf8Printable(shown));
    std::fflush(stderr);
    const bool canShow = interactive_ && qobject_cast<QApplication*>(QCoreApplication::instance());
    const PromptAnswer answer =
        canShow ? showBox(title, text, buttons, icon) : defaultAnswer(buttons);
    std::fprintf(stderr, " [%s]\n", qUtf8Printable(answerName(answer)));
    std::fflush(stderr);
    return answer;
}

QString DesktopPrompt::chooseFile(const FileQuestion& question) {
    std::fprintf(stderr, "gabblet: %s:", qUtf8Printable(question.title));
    std::fflush(stderr);
    QString path;
    if (interactive_ && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QFileDialog dialog(QApplication::activeWindow(), question.title, QString(),
                           qtFileFilter(question.filter));
        dialog.setDefaultSuffix(question.defaultSuffix);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (question.kind == FileDialogKind::Save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    std::fprintf(stderr, " [%s]\n", path.isEmpty() ? "Cancel" : qUtf8Printable(path));
    std::fflush(stderr);
    return path;
}

} // namespace gabblet
