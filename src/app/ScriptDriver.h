#pragma once

#include <QObject>
#include <QStringList>

class QSocketNotifier;

namespace gabblet {

// Lets a script drive the program through standard input, one command a line,
// naming controls by their object names:
//   set NAME TEXT      put TEXT in a box or list ("\n" is a line break)
//   check NAME 0|1     tick or clear a check box
//   click NAME         press a button
//   rightclick NAME X,Y  ask for a control's own menu at X,Y inside it
//   rightclick TREE KEY  right-click a tree's node by its key
//   dump NAME          print "dump NAME: TEXT" on standard output
//   wait MS            let the program run for MS milliseconds
//   quit               end the program the orderly way
// Commands run one after the other, also when one of them waits. A command
// that opens a modal window lets the following ones run while it is open.
class ScriptDriver final : public QObject {
    Q_OBJECT
public:
    explicit ScriptDriver(QObject* parent = nullptr);

Q_SIGNALS:
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readInput();
    void runPending();
    void run(const QString& line);

    QSocketNotifier* notifier_ = nullptr;
    QByteArray buffer_;
    QStringList pending_;
    bool running_ = false;
};

} // namespace gabblet
