#pragma once

#include "support/TempHome.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace gabblet::test {

// A real Gabblet in a program folder of its own, with its peer ports bound to
// a loopback address of its own, driven through its script commands on
// standard input, with speech running at once.
class PeerProcess {
public:
    // `binary`: the program; `settings` go into gabblet.ini after the port lines.
    PeerProcess(const QString& binary, quint16 port, const QString& address,
                const QByteArray& settings = {}, const QByteArray& aliases = {});
    ~PeerProcess();
    Q_DISABLE_COPY_MOVE(PeerProcess)

    // Starts it (again, after quit()) in the same folder.
    void start();
    // Waits for "gabblet: ready"; false when the program ended or never got there.
    bool ready();
    void command(const QByteArray& line);
    // The text of a control, read through the "dump" command.
    QString dump(const QString& name);
    // Returns once the program has run every command sent so far.
    void settle(int ms = 300);
    // Ends it the orderly way and waits for it.
    bool quit();
    QByteArray stderrText();

    TempHome home;
    QProcess process;
    QByteArray err;
    QByteArray out;

private:
    QString binary_;
    qsizetype readyLines_ = 0;
};

} // namespace gabblet::test
