#include "ScriptDriver.h"

#include "platform/Wait.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTabWidget>
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
    if (command == QLatin1String("clipboard")) {
        // The rest of the line is put on the clipboard.
        QGuiApplication::clipboard()->setText(line.section(QLatin1Char(' '), 1));
        return;
    }
    if (command == QLatin1String("trigger")) {
        QAction* action = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if ((action = top->findChild<QAction*>(name)))
                break;
        if (action && action->isEnabled())
            action->trigger();
        else
            std::fprintf(stderr, "gabblet: script: no command named '%s' that can run now\n",
                         qUtf8Printable(name));
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
        else if (auto* t = qobject_cast<QTabWidget*>(w))
            t->setCurrentIndex(argument.toInt());
        else if (auto* s = qobject_cast<QAbstractSlider*>(w))
            s->setValue(argument.toInt());
        else if (auto* l = qobject_cast<QListWidget*>(w))
            l->setCurrentRow(argument.toInt());
    } else if (command == QLatin1String("popup")) {
        // A menu, shown where it would open (the tray menu at the tray's corner).
        if (auto* m = qobject_cast<QMenu*>(w))
            m->popup(argument.isEmpty() ? QCursor::pos()
                                        : QPoint(argument.section(QLatin1Char(','), 0, 0).toInt(),
                                                 argument.section(QLatin1Char(','), 1, 1).toInt()));
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
