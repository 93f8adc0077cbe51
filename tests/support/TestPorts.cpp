#include "TestPorts.h"

#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gabblet::test {
namespace {

constexpr int kFirst = 20000;
constexpr int kLast = 39999;
constexpr int kTries = 4000;
constexpr int kHighestPeerPort = 32767; // Port + 1 of the program's 16-bit signed Port

[[noreturn]] void fail(const char* what, const QByteArray& folder) {
    std::fprintf(stderr, "test ports: %s %s\n", what, folder.constData());
    std::abort();
}

bool bindable(int type, int port) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool isFree(int port) {
    return bindable(SOCK_STREAM, port) && bindable(SOCK_DGRAM, port);
}

QByteArray runFolder() {
    QByteArray folder = qgetenv("GABBLET_TEST_PORT_DIR");
    if (!folder.isEmpty())
        return folder;
    folder = "/tmp/gabblet-test-ports-" + QByteArray::number(::getuid());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        fail("cannot create", folder);
    // Someone else's folder of that name must not decide (or block) our ports.
    struct stat st {};
    if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        fail("not a folder of this user:", folder);
    return folder;
}

PortClaims& runClaims() {
    static PortClaims claims(runFolder(), kFirst, kLast);
    return claims;
}

} // namespace

PortClaims::PortClaims(QByteArray folder, int first, int last)
    : folder_(std::move(folder)), first_(first), last_(last) {}

bool PortClaims::claimFile(int port) const {
    const QByteArray path = folder_ + '/' + QByteArray::number(port);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno != EEXIST)
            fail("cannot write in", folder_);
        return false;
    }
    ::close(fd);
    return true;
}

int PortClaims::candidate(int last) const {
    return int(QRandomGenerator::global()->bounded(first_, last + 1));
}

std::optional<quint16> PortClaims::claim() {
    for (int i = 0; i < kTries; ++i) {
        const int port = candidate(last_);
        if (claimFile(port) && isFree(port))
            return quint16(port);
    }
    return std::nullopt;
}

std::optional<quint16> PortClaims::claimPair(int highest) {
    const int last = qMin(last_, highest) - 1;
    if (last < first_)
        return std::nullopt;
    for (int i = 0; i < kTries; ++i) {
        const int port = candidate(last);
        // A port whose partner is taken stays claimed: claims are never given back.
        if (claimFile(port) && claimFile(port + 1) && isFree(port) && isFree(port + 1))
            return quint16(port);
    }
    return std::nullopt;
}

quint16 claimPort() {
    if (const auto port = runClaims().claim())
        return *port;
    fail("no free port left; claims are in", runFolder());
}

quint16 claimPortPair() {
    if (const auto port = runClaims().claimPair(kHighestPeerPort))
        return *port;
    fail("no free pair of ports left; claims are in", runFolder());
}

} // namespace gabblet::test
