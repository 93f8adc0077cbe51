#include "SpellingDialog.h"

#include "compose/SpellingPass.h"
#include "platform/Prompt.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

namespace gabblet {

namespace {

const QString kSpellingTitle = QStringLiteral("Spelling");
const QString kCheckComplete = QStringLiteral("The spelling check is complete.");

} // namespace

bool CheckSpelling(QPlainTextEdit& body, SpellChecker& checker, Prompt& prompt, QWidget* parent) {
    if (!checker.available()) {
        prompt.inform(checker.unavailableMessage());
        return false;
    }
    SpellingPass pass(checker, body.toPlainText());
    if (pass.next()) {
        SpellingDialog dialog(body, pass, prompt, parent ? parent : body.window());
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    prompt.inform(kCheckComplete, kSpellingTitle, PromptIcon::Information);
    return true;
}

SpellingDialog::SpellingDialog(QPlainTextEdit& body, SpellingPass& pass, Prompt& prompt,
                               QWidget* parent)
    : QDialog(parent), body_(body), pass_(pass), prompt_(prompt) {
    setObjectName(QStringLiteral("Spelling"));
    setWindowTitle(kSpellingTitle);
    setModal(true);

    auto* grid = new QGridLayout(this);
    auto label = [this](const char* name, const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setBuddy(buddy);
        return l;
    };
    NotInDictionary_ = new QLineEdit(this);
    NotInDictionary_->setObjectName(QStringLiteral("NotInDictionary"));
    NotInDictionary_->setReadOnly(true);
    ChangeTo_ = new QLineEdit(this);
    ChangeTo_->setObjectName(QStringLiteral("ChangeTo"));
    ChangeTo_->setMinimumWidth(240);
    Suggestions_ = new QListWidget(this);
    Suggestions_->setObjectName(QStringLiteral("Suggestions"));
    grid->addWidget(
        label("LNotInDictionary", QStringLiteral("Not in dictionary:"), NotInDictionary_), 0, 0);
    grid->addWidget(NotInDictionary_, 0, 1);
    grid->addWidget(label("LChangeTo", QStringLiteral("C&hange to:"), ChangeTo_), 1, 0);
    grid->addWidget(ChangeTo_, 1, 1);
    grid->addWidget(label("LSuggestions", QStringLiteral("Suggestion&s:"), Suggestions_), 2, 0,
                    Qt::AlignTop);
    grid->addWidget(Suggestions_, 2, 1, 5, 1);

    auto button = [this, grid](const char* name, const QString& caption, int row, int column) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        grid->addWidget(b, row, column);
        return b;
    };
    QPushButton* ignore = button("Ignore", QStringLiteral("&Ignore"), 0, 2);
    QPushButton* ignoreAll = button("IgnoreAll", QStringLiteral("I&gnore All"), 0, 3);
    Change_ = button("Change", QStringLiteral("&Change"), 1, 2);
    ChangeAll_ = button("ChangeAll", QStringLiteral("Change A&ll"), 1, 3);
    QPushButton* add = button("AddWord", QStringLiteral("&Add to Dictionary"), 2, 2);
    QPushButton* cancel = button("Cancel", QStringLiteral("Cancel"), 2, 3);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(1, 1);
    Change_->setDefault(true);

    connect(Suggestions_, &QListWidget::currentTextChanged, ChangeTo_, [this](const QString& s) {
        if (!s.isEmpty())
            ChangeTo_->setText(s);
    });
    connect(Suggestions_, &QListWidget::itemDoubleClicked, Change_, &QPushButton::click);
    connect(ignore, &QPushButton::clicked, this, [this] {
        pass_.ignore();
        advance();
    });
    connect(ignoreAll, &QPushButton::clicked, this, [this] {
        pass_.ignoreAll();
        advance();
    });
    connect(Change_, &QPushButton::clicked, this, [this] {
        pass_.change(ChangeTo_->text());
        advance();
    });
    connect(ChangeAll_, &QPushButton::clicked, this, [this] {
        pass_.changeAll(ChangeTo_->text());
        advance();
    });
    connect(add, &QPushButton::clicked, this, [this] {
        if (!pass_.add())
            prompt_.inform(QStringLiteral("The word \"") + pass_.word() +
                               QStringLiteral("\" is accepted until Gabblet ends, but the "
                                              "personal word list could not be saved."),
                           kSpellingTitle, PromptIcon::Exclamation);
        advance();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    showWord();
}

// Shows the current word, selected in the body, with its suggestions; the
// first suggestion is offered as the change.
void SpellingDialog::showWord() {
    QTextCursor cursor(body_.document());
    cursor.setPosition(int(pass_.position()));
    cursor.setPosition(int(pass_.position() + pass_.word().size()), QTextCursor::KeepAnchor);
    body_.setTextCursor(cursor);
    body_.ensureCursorVisible();

    NotInDictionary_->setText(pass_.word());
    const QStringList suggestions = pass_.suggestions();
    Suggestions_->clear();
    Suggestions_->addItems(suggestions);
    if (suggestions.isEmpty()) {
        ChangeTo_->setText(pass_.word());
    } else {
        Suggestions_->setCurrentRow(0);
        ChangeTo_->setText(suggestions.first());
    }
    ChangeTo_->setFocus();
    ChangeTo_->selectAll();
}

void SpellingDialog::advance() {
    const bool more = pass_.next();
    mirrorEdits();
    if (more)
        showWord();
    else
        accept();
}

// Each replacement the pass made, made in the body too, as one undo step each.
void SpellingDialog::mirrorEdits() {
    for (const TextEdit& edit : pass_.takeEdits()) {
        QTextCursor cursor(body_.document());
        cursor.setPosition(int(edit.start));
        cursor.setPosition(int(edit.start + edit.length), QTextCursor::KeepAnchor);
        cursor.insertText(edit.replacement);
    }
}

} // namespace gabblet
