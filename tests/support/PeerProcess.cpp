#include "support/PeerProcess.h"

#include <QProcessEnvironment>
#include <QTest>

namespace gabblet::test {

PeerProcess::PeerProcess(const QString& binary, quint16 port, const QString& address,
                         const QByteArray& settings, const QByteArray& aliases)
    : binary_(binary) {
    home.write("gabblet.ini", "version=0.34\r\ndebug=1\r\nport=" + QByteArray::number(port) +
                                  "\r\nbindaddress=" + address.toLatin1() + "\r\n" + settings);
    home.write("rec.txt", "");
    if (!aliases.isEmpty())
        home.write("alias.lst", aliases);
    start();
}

PeerProcess::~PeerProcess() {
    quit();
}

void PeerProcess::start() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("GABBLET_HOME", home.path());
    env.insert("GABBLET_NONINTERACTIVE", "1");
    env.insert("GABBLET_FAST_SPEECH", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    // Standard error goes to a file: a pipe nobody reads while another
    // peer is being waited for would fill up and stall this one.
    process.setStandardErrorFile(home.file("stderr.txt"), QIODevice::Append);
    out.clear();
    process.start(binary_, {});
}

bool PeerProcess::quit() {
    if (process.state() == QProcess::NotRunning)
        return true;
    command("quit");
    if (process.waitForFinished(5000))
        return true;
    process.kill();
    process.waitForFinished(5000);
    return false;
}

bool PeerProcess::ready() {
    // Standard error is kept over restarts: each start adds its own line.
    for (int tries = 0; tries < 400; ++tries) {
        if (stderrText().count("gabblet: ready\n") > readyLines_) {
            ++readyLines_;
            return true;
        }
        if (process.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(50);
    }
    return false;
}

void PeerProcess::command(const QByteArray& line) {
    process.write(line + "\n");
    process.waitForBytesWritten(5000);
}

QString PeerProcess::dump(const QString& name) {
    command("dump " + name.toUtf8());
    const QByteArray marker = "dump " + name.toUtf8() + ": ";
    for (int tries = 0; tries < 100; ++tries) {
        out += process.readAllStandardOutput();
        const qsizetype at = out.indexOf(marker);
        const qsizetype end = at < 0 ? -1 : out.indexOf('\n', at);
        if (end >= 0) {
            const QString text =
                QString::fromUtf8(out.mid(at + marker.size(), end - at - marker.size()));
            out.remove(0, end + 1);
            return text;
        }
        process.waitForReadyRead(200);
    }
    return "<no answer>";
}

void PeerProcess::settle(int ms) {
    command("wait " + QByteArray::number(ms));
    dump("SendText");
}

QByteArray PeerProcess::stderrText() {
    err = home.read("stderr.txt");
    return err;
}

} // namespace gabblet::test
