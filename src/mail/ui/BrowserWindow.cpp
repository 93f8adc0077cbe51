#include "mail/ui/BrowserWindow.h"

#include "backends/PageLoader.h"

#include <QVBoxLayout>

namespace gabblet {

namespace {

// A text browser that loads nothing a page names.
class SealedBrowser final : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

} // namespace

BrowserWindow::BrowserWindow(PageLoader& loader, QWidget* parent)
    : QWidget(parent, Qt::Window), loader_(loader), view_(new SealedBrowser(this)) {
    setObjectName(QStringLiteral("Browser"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    view_->setObjectName(QStringLiteral("WebBrowser1"));
    view_->setOpenLinks(false);
    view_->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_); // the view fills the window
    resize(720, 560);
    connect(&loader_, &PageLoader::documentCompleted, this, &BrowserWindow::showDocument);
    connect(view_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl target = loader_.url().resolved(link);
        const QString scheme = target.scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            loader_.navigate(target);
    });
    if (loader_.completed() && !loader_.outerHtml().isEmpty())
        showDocument();
}

QString BrowserWindow::caption(const QString& name, const QString& from, const QString& subject,
                               const QString& date) {
    return name + QStringLiteral("   From:") + from + QStringLiteral("   Subject:") + subject +
           QStringLiteral("   Date:") + date;
}

QString BrowserWindow::shownText() const {
    return view_->toPlainText();
}

void BrowserWindow::showMessage(const QString& text) {
    view_->setPlainText(text);
}

void BrowserWindow::showDocument() {
    view_->setHtml(loader_.outerHtml());
}

} // namespace gabblet
