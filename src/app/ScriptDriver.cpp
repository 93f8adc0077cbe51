#include "ScriptDriver.h"

#include "platform/Wait.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <unistd.h>

namespace gabblet {

namespace {

// The open dialog first, so that its controls win over the main window's of
// the same name (SSTab1, OK), then the other windows on screen; among
// controls of one name, the one on the tab in front (the accounts dialog has
// a TName on every tab).
QWidget* findControl(const QString& name) {
    QList<QWidget*> windows;
    if (QWidget* modal = QApplication::activeModalWidget())
        windows << modal;
    // Windows on screen before hidden ones (a dialog just closed, a menu).
    const QWidgetList tops = QApplication::topLevelWidgets();
    std::copy_if(tops.begin(), tops.end(), std::back_inserter(windows),
                 [](QWidget* w) { return w->isVisible(); });
    std::copy_if(tops.begin(), tops.end(), std::back_inserter(windows),
                 [](QWidget* w) { return !w->isVisible(); });
    for (QWidget* top : std::as_const(windows)) {
        if (top->objectName() == name)
            return top;
        const QList<QWidget*> found = top->findChildren<QWidget*>(name);
        for (QWidget* w : found)
            if (w->isVisibleTo(top))
                return w;
        if (!found.isEmpty())
            return found.first();
    }
    return nullptr;
}

// A view of keyed nodes (the inbox tree) offers clickKey, checkKey and
// dumpNodes; scripts name its nodes by key.
bool hasNodeKeys(QWidget* w) {
    return w->metaObject()->indexOfMethod("dumpNodes()") >= 0;
}

QString textOf(QWidget* w) {
    if (hasNodeKeys(w)) {
        QString nodes;
        QMetaObject::invokeMethod(w, "dumpNodes", Q_RETURN_ARG(QString, nodes));
        return nodes;
    }
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        // A password never reaches a script's output.
        return e->echoMode() == QLineEdit::Normal ? e->text() : QStringLiteral("(hidden)");
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    if (auto* t = qobject_cast<QTextEdit*>(w))
        return t->toPlainText(); // the Browser's page, as shown
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->isCheckable() ? QString::number(b->isChecked() ? 1 : 0) : b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* t = qobject_cast<QTabWidget*>(w)) {
        // The caption as shown: "&&" is an ampersand, a single one marks the shortcut.
        QString caption = t->tabText(t->currentIndex());
        caption.replace(QLatin1String("&&"), QStringLiteral("\x01"))
            .remove(QLatin1Char('&'))
            .replace(QLatin1Char('\x01'), QLatin1Char('&'));
        return QString::number(t->currentIndex()) + QLatin1Char(' ') + caption;
    }
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
    qApp->installEventFilter(this);
}

// A command that opens a modal window (a dialog, the password question)
// waits in that window's event loop until it closes. The lines after it then
// run from inside that loop, so that a script can fill the window in and
// close it.
bool ScriptDriver::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && running_ && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow() && w->isModal())
            QMetaObject::invokeMethod(
                this,
                [this, window = QPointer<QWidget>(w)] {
                    if (window && window->isVisible() && running_) {
                        running_ = false;
                        runPending();
                    }
                },
                Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
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
    while (!pending_.isEmpty()) {
        run(pending_.takeFirst());
        running_ = true; // a window the line opened may have run the lines after it
    }
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
    } else if (command == QLatin1String("rightclick")) {
        // "rightclick NAME X,Y" asks for a control's own menu at a point inside
        // it (5,5 when left out); "rightclick TREE KEY" right-clicks a tree's
        // node by its key.
        static const QRegularExpression point(
            QStringLiteral("^\\s*(-?\\d+)\\s*,\\s*(-?\\d+)\\s*$"));
        const QRegularExpressionMatch match = point.match(argument);
        if (!argument.trimmed().isEmpty() && !match.hasMatch()) {
            if (hasNodeKeys(w))
                QMetaObject::invokeMethod(w, "rightClickKey",
                                          Q_ARG(QString, argument.section(QLatin1Char(' '), 0, 0)));
            else
                std::fprintf(stderr, "gabblet: script: '%s' has no node '%s'\n",
                             qUtf8Printable(name), qUtf8Printable(argument));
            return;
        }
        const QPoint at = match.hasMatch()
                              ? QPoint(match.captured(1).toInt(), match.captured(2).toInt())
                              : QPoint(5, 5);
        auto* area = qobject_cast<QAbstractScrollArea*>(w);
        QWidget* target = area ? area->viewport() : w;
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QCoreApplication::sendEvent(target, &event);
    } else if (command == QLatin1String("check") && hasNodeKeys(w)) {
        // check TreeView1 a3 1
        QMetaObject::invokeMethod(
            w, "checkKey", Q_ARG(QString, argument.section(QLatin1Char(' '), 0, 0)),
            Q_ARG(bool, argument.section(QLatin1Char(' '), 1, 1) == QLatin1String("1")));
    } else if (command == QLatin1String("click") && hasNodeKeys(w)) {
        // click TreeView1 a3, or click TreeView1 a shift
        QMetaObject::invokeMethod(
            w, "clickKey", Q_ARG(QString, argument.section(QLatin1Char(' '), 0, 0)),
            Q_ARG(bool, argument.section(QLatin1Char(' '), 1, 1) == QLatin1String("shift")));
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
