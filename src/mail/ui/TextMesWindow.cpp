#include "mail/ui/TextMesWindow.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace gabblet {

TextMesWindow::TextMesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("TextMes"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(640, 480);
    Text1_ = new QPlainTextEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    Text1_->setReadOnly(true);
    Text1_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Mail is often laid out in fixed columns.
    Text1_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Text1_);
}

void TextMesWindow::setText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text1_->setPlainText(shown);
}

QString TextMesWindow::text() const {
    return Text1_->toPlainText();
}

DesktopViewers::~DesktopViewers() {
    for (const QPointer<TextMesWindow>& w : std::as_const(windows_))
        delete w.data();
}

int DesktopViewers::openTextMes(bool separate) {
    if (!separate && shared_ >= 0 && windows_.value(shared_))
        return shared_;
    // Closed windows leave their ids behind; forget them.
    windows_.removeIf([](const auto& entry) { return entry.value().isNull(); });
    const int id = next_++;
    windows_.insert(id, new TextMesWindow);
    if (!separate)
        shared_ = id;
    return id;
}

TextMesWindow* DesktopViewers::window(int viewer) const {
    return windows_.value(viewer).data();
}

void DesktopViewers::setCaption(int viewer, const QString& caption) {
    if (TextMesWindow* w = window(viewer))
        w->setWindowTitle(caption);
}

void DesktopViewers::setText(int viewer, const QString& text) {
    if (TextMesWindow* w = window(viewer))
        w->setText(text);
}

void DesktopViewers::showViewer(int viewer) {
    if (TextMesWindow* w = window(viewer)) {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

void DesktopViewers::closeBrowser() {
    if (closeBrowser_)
        closeBrowser_();
}

} // namespace gabblet
