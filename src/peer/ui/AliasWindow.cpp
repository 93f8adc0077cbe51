#include "AliasWindow.h"

#include "peer/AliasTable.h"
#include "peer/BlockList.h"
#include "platform/Cp1252.h"
#include "platform/Prompt.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace gabblet {
namespace {

// alias.lst is Windows-1252; a character outside it would come back as "?".
bool fitsFile(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c == QLatin1Char('?') || cp1252::toByte(c) != '?'; });
}

// The list lines up addresses in a column, which needs letters of one width.
bool lettersLineUp(const QFont& font) {
    const QFontMetrics m(font);
    return m.horizontalAdvance(QLatin1Char('i')) == m.horizontalAdvance(QLatin1Char('W')) &&
           m.horizontalAdvance(QLatin1Char(' ')) == m.horizontalAdvance(QLatin1Char('W'));
}

// Not every platform theme has a fixed-width system font; font matching
// then finds one by its generic name.
QFont monospaced() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!lettersLineUp(font)) {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
    }
    return font;
}

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    // Enter belongs to the text boxes (see the constructor), never to
    // whichever button a dialog would otherwise make the default.
    b->setAutoDefault(false);
    return b;
}

} // namespace

AliasWindow::AliasWindow(AliasTable& table, Prompt& prompt, QString aliasFile, QWidget* parent,
                         const BlockList* blocked)
    : QDialog(parent), table_(table), prompt_(prompt), file_(std::move(aliasFile)),
      blocked_(blocked) {
    setObjectName(QStringLiteral("aliasWin"));
    setWindowTitle(QStringLiteral("Aliases"));
    setModal(true);

    AName_ = new QLineEdit(this);
    AName_->setObjectName(QStringLiteral("AName"));
    AAddress_ = new QLineEdit(this);
    AAddress_->setObjectName(QStringLiteral("AAddress"));
    AAddress_->setPlaceholderText(QStringLiteral("host or address; several separated by ;"));
    auto* nameLabel = new QLabel(QStringLiteral("Friendly name"), this);
    nameLabel->setBuddy(AName_);
    auto* addressLabel = new QLabel(QStringLiteral("Address"), this);
    addressLabel->setBuddy(AAddress_);

    Alias_ = new QListWidget(this);
    Alias_->setObjectName(QStringLiteral("Alias"));
    Alias_->setFont(monospaced());
    Alias_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    AddAlias_ = button(QStringLiteral("&Add"), QStringLiteral("AddAlias"), this);
    DelAlias_ = button(QStringLiteral("&Delete"), QStringLiteral("DelAlias"), this);
    Done_ = button(QStringLiteral("D&one"), QStringLiteral("Done"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(AName_, 0, 1);
    grid->addWidget(AddAlias_, 0, 2);
    grid->addWidget(addressLabel, 1, 0);
    grid->addWidget(AAddress_, 1, 1);
    grid->addWidget(Alias_, 2, 0, 1, 2);
    auto* side = new QVBoxLayout;
    side->addWidget(DelAlias_);
    side->addStretch(1);
    side->addWidget(Done_);
    grid->addLayout(side, 2, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowMinimumHeight(2, 160);
    resize(500, 360);

    // Enter in the name moves on to the address; Enter in the address adds.
    connect(AName_, &QLineEdit::returnPressed, AAddress_, [this] { AAddress_->setFocus(); });
    connect(AAddress_, &QLineEdit::returnPressed, this, &AliasWindow::AddAlias_Click);
    connect(AddAlias_, &QPushButton::clicked, this, &AliasWindow::AddAlias_Click);
    connect(DelAlias_, &QPushButton::clicked, this, &AliasWindow::DelAlias_Click);
    connect(Done_, &QPushButton::clicked, this, &QDialog::accept);
    connect(Alias_, &QListWidget::itemSelectionChanged, this, &AliasWindow::updateButtons);
    // Done, Escape and the frame's close button all finish the dialog.
    connect(this, &QDialog::finished, this, [this] { saveIfChanged(); });

    refresh();
}

AliasWindow::~AliasWindow() {
    // Quitting with the window still open must not lose what was typed in.
    if (changed_)
        table_.save(file_);
}

bool AliasWindow::saveIfChanged() {
    if (!changed_)
        return true;
    if (!table_.save(file_)) {
        prompt_.inform(QStringLiteral("Sorry - the aliases could not be saved to ") + file_ +
                           QStringLiteral(". They are kept until the next try."),
                       QStringLiteral("Gabblet"), PromptIcon::Exclamation);
        return false;
    }
    changed_ = false;
    return true;
}

void AliasWindow::refresh() {
    Alias_->clear();
    for (qsizetype i = 0; i < table_.count(); ++i)
        addLine(i);
    updateButtons();
}

// An alias whose every address is blocked is shown greyed, and says so in
// words too (grey alone is easy to miss).
void AliasWindow::addLine(qsizetype i) {
    const bool blocked =
        blocked_ && blocked_->allBlocked(AliasTable::splitMembers(table_.address(i)));
    auto* item = new QListWidgetItem(table_.listLine(i) +
                                     (blocked ? QStringLiteral("  (blocked)") : QString()));
    if (blocked)
        item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    Alias_->addItem(item);
}

void AliasWindow::showEvent(QShowEvent* event) {
    refresh();
    AName_->setFocus();
    QDialog::showEvent(event);
}

void AliasWindow::AddAlias_Click() {
    const QString name = AName_->text();
    const QString address = AAddress_->text();
    QString problem;
    QLineEdit* toFix = AName_;
    if (name.size() > AliasTable::kMaxNameLength) {
        problem = QStringLiteral("Sorry - Alias must be no more than 12 characters");
    } else if (name.trimmed().isEmpty()) {
        problem = QStringLiteral("Please type a friendly name for the alias.");
    } else if (address.trimmed().isEmpty()) {
        problem = QStringLiteral("Please type the address the alias stands for.");
        toFix = AAddress_;
    } else if (!fitsFile(name) || !fitsFile(address)) {
        problem = QStringLiteral("Sorry - aliases can only use Western European letters and "
                                 "signs (Windows-1252).");
    } else if (table_.AddAlias(name, address) == AliasTable::AddResult::TableFull) {
        problem = QStringLiteral("Sorry - the alias list is full (%1 aliases). Delete one "
                                 "before adding another.")
                      .arg(AliasTable::kMaxAliases);
    }
    if (!problem.isEmpty()) {
        prompt_.inform(problem);
        toFix->setFocus();
        return;
    }
    changed_ = true;
    addLine(table_.count() - 1);
    Alias_->scrollToBottom();
    AName_->clear();
    AAddress_->clear();
    AName_->setFocus();
    Q_EMIT aliasesChanged();
}

void AliasWindow::DelAlias_Click() {
    QList<qsizetype> rows;
    for (int row = 0; row < Alias_->count(); ++row) {
        if (Alias_->item(row)->isSelected())
            rows.append(row);
    }
    if (rows.isEmpty())
        return;
    table_.DelAlias(rows);
    changed_ = true;
    refresh();
    Q_EMIT aliasesChanged();
}

void AliasWindow::updateButtons() {
    DelAlias_->setEnabled(!Alias_->selectedItems().isEmpty());
}

} // namespace gabblet
