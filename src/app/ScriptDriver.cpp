#include "ScriptDriver.h"

#include "platform/Wait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace gabblet {

namespace {

QWidget* findControl(const QString& name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name)
            return top;
        if (auto* w = top->findChild<QWidget*>(name))
            return w;
    }
    return nullptr;
}

QString textOf(QWidget* w) {
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->isCheckable() ? QString::number(b->isChecked() ? 1 : 0) : b->text();
    if (auto* l = qobject_cast<QListWidget*>(w)) {
        QStringList items;
        for (int i = 0; i < l->count(); ++i)
            items << l->item(i)->text();
        return items.join(QLatin1Char('\n'));
    }
    return w->windowTitle();
}

} // namespace

ScriptDriver::ScriptDriver(QObject* parent) : QObject(parent) {
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ScriptDriver::readInput);
}

void ScriptDriver::readInput() {
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
        notifier_->setEnabled(false); // end of input: nothing more to drive
        return;
    }
    buffer_.append(chunk, n);
    qsizetype nl;
    while ((nl = buffer_.indexOf('\n')) >= 0) {
        pending_ << QString::fromUtf8(buffer_.left(nl)).trimmed();
        buffer_.remove(0, nl + 1);
    }
    runPending();
}

void ScriptDriver::runPending() {
    if (running_)
        return;
    running_ = true;
    while (!pending_.isEmpty())
        run(pending_.takeFirst());
    running_ = false;
}

void ScriptDriver::run(const QString& line) {
    if (line.isEmpty())
        return;
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString name = line.section(QLatin1Char(' '), 1, 1);
    QString argument = line.section(QLatin1Char(' '), 2);
    argument.replace(QLatin1String("\\n"), QLatin1String("\n"));
    if (command == QLatin1String("quit")) {
        Q_EMIT quitRequested();
        return;
    }
    if (command == QLatin1String("wait")) {
        // Lets the program run (replies arrive, speech goes on) for a while.
        waitUntil([] { return false; }, qBound(0, name.toInt(), 60000));
        return;
    }
    QWidget* w = findControl(name);
    if (!w) {
        std::fprintf(stderr, "gabblet: script: no control named '%s'\n", qUtf8Printable(name));
        return;
    }
    if (command == QLatin1String("set")) {
        if (auto* c = qobject_cast<QComboBox*>(w))
            c->setCurrentText(argument);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(argument);
        else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
            p->setPlainText(argument);
    } else if (command == QLatin1String("check")) {
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->setChecked(argument.trimmed() == QLatin1String("1"));
    } else if (command == QLatin1String("click")) {
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->click();
    } else if (command == QLatin1String("dump")) {
        QString text = textOf(w);
        text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        std::fprintf(stdout, "dump %s: %s\n", qUtf8Printable(name), qUtf8Printable(text));
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "gabblet: script: unknown command '%s'\n", qUtf8Printable(command));
    }
}

} // namespace gabblet
