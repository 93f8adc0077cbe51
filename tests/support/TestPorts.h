#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace gabblet::test {

// Ports for tests that need known numbers (real processes, servers), shared
// by every suite of a run, C++ and Python alike, so that suites running at
// the same time never pick the same port:
// - claims live in the folder named by GABBLET_TEST_PORT_DIR (scripts/test.sh
//   makes one per run), else in /tmp/gabblet-test-ports-<uid> (mode 0700);
// - a port is claimed by creating a file named by its decimal number there
//   with O_CREAT | O_EXCL, which exactly one claimer wins;
// - candidates are drawn at random from 20000 to 39999, and a claimed port
//   is handed out only when TCP and UDP can both bind it on 127.0.0.1;
// - claims are never given back during the run.
// Both end the test program when no port can be had.
quint16 claimPort();
// P and P + 1, both claimed and free (peer messaging uses Port and Port + 1).
// P is at most 32766: the program keeps Port as a 16-bit signed number and
// refuses a Port whose Port + 1 would not fit.
quint16 claimPortPair();

// The allocator itself, for a given folder and range (tests of it use their own).
class PortClaims {
public:
    PortClaims(QByteArray folder, int first, int last);
    std::optional<quint16> claim();
    // P + 1 is at most `highest` (and within the range).
    std::optional<quint16> claimPair(int highest = 65535);

private:
    bool claimFile(int port) const;
    int candidate(int last) const;

    QByteArray folder_;
    int first_;
    int last_;
};

} // namespace gabblet::test
