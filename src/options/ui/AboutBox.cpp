#include "AboutBox.h"

#include "platform/Prompt.h"
#include "platform/Version.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace gabblet {

AboutBox::AboutBox(Prompt& prompt, const QString& systemInfo, const QString& helpFile,
                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Gabblet"));
    auto* icon = new QLabel;
    icon->setPixmap(windowIcon().pixmap(64, 64));
    auto* title = new QLabel(QStringLiteral("<h2>Gabblet</h2>Version ") + kVersionText);
    title->setObjectName(QStringLiteral("lblVersion"));
    auto* text = new QLabel(QStringLiteral(
        "Messages between Gabblet users, spoken on their desktops by animated characters."));
    text->setWordWrap(true);
    QString links = QStringLiteral("<a href=\"mailto:") + QStringLiteral(GABBLET_BUG_ADDRESS) +
                    QStringLiteral("\">Report a problem (") + QStringLiteral(GABBLET_BUG_ADDRESS) +
                    QStringLiteral(")</a>");
    if (!helpFile.isEmpty())
        links += QStringLiteral("<br><a href=\"") +
                 QUrl::fromLocalFile(helpFile).toString(QUrl::FullyEncoded) +
                 QStringLiteral("\">Gabblet help</a>");
    auto* link = new QLabel(links);
    link->setObjectName(QStringLiteral("lblLinks"));
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QPushButton* info =
        buttons->addButton(QStringLiteral("&System Info..."), QDialogButtonBox::ActionRole);
    info->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(info, &QPushButton::clicked, this,
            [&prompt, systemInfo] { prompt.inform(systemInfo, QStringLiteral("System Info")); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* words = new QVBoxLayout;
    words->addWidget(title);
    words->addWidget(text);
    words->addWidget(link);
    top->addLayout(words, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

} // namespace gabblet
