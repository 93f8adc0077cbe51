#include "MailFixture.h"

#include <QFile>

using namespace gabblet;
using namespace gabblet::test;

namespace {

qint64 residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

struct Case {
    const char* mode;
    const char* protocol;
    const char* status;
};

} // namespace

class HostileServerTest : public MailFixture, public ::testing::WithParamInterface<Case> {};

// Each server ends the call with the step's own error while the event loop
// goes on: every wait is bounded by TimeOut (the greeting gets a second one
// after an empty line), an endless reply by the size of RecBuf.
TEST_P(HostileServerTest, EndsWithTheStepsErrorAndTheLoopKeepsRunning) {
    const Case c = GetParam();
    settings.TimeOut = 2;
    MailServer server({QStringLiteral("hostile"), QStringLiteral("--mode"),
                       QString::fromLatin1(c.mode), QStringLiteral("--protocol"),
                       QString::fromLatin1(c.protocol)});
    ASSERT_TRUE(server.started()) << server.error().toStdString();
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.port());
    account().Host = address;
    account().SMTP = address;
    const qint64 before = residentKb();
    TickCounter ticks;
    if (QByteArrayView(c.protocol) == "pop3")
        EXPECT_LT(mail.ChkPOP(0), 0);
    else
        EXPECT_FALSE(mail.SendPOP(account().Address, QStringLiteral("to@example.test"), {},
                                  QStringLiteral("s"), QStringLiteral("b"), 0));
    const qint64 ms = ticks.elapsed.elapsed();
    EXPECT_EQ(state().Status, QString::fromLatin1(c.status)) << log.text().toStdString();
    EXPECT_FALSE(state().Busy);
    // The waits end, bounded by TimeOut (at most two of them). The margin is
    // for a sanitizer build on a busy machine, where the wall clock also holds
    // other programs' turns; an unbounded wait still goes far past it.
    EXPECT_LE(ms, 2 * settings.TimeOut * 1000 + 8000);
    // A 20 ms timer ticked all along; a blocked loop would not tick at all.
    EXPECT_GE(ticks.ticks, ms / 20 / 10) << ticks.ticks << " ticks in " << ms << " ms";
    EXPECT_LT(residentKb() - before, 64 * 1024); // an endless reply costs a bounded buffer
}

INSTANTIATE_TEST_SUITE_P(Servers, HostileServerTest,
                         ::testing::Values(Case{"no-greeting", "pop3", "Connection Error"},
                                           Case{"no-crlf", "pop3", "Connection Error"},
                                           Case{"endless", "pop3", "Connection Error"},
                                           Case{"drip", "pop3", "Connection Error"},
                                           Case{"refuse-all", "pop3", "Account Unknown Error"},
                                           Case{"no-greeting", "smtp", "Connection Error"},
                                           Case{"no-crlf", "smtp", "Connection Error"},
                                           Case{"endless", "smtp", "Connection Error"},
                                           Case{"drip", "smtp", "Connection Error"},
                                           Case{"refuse-all", "smtp", "Mail From Error"}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name =
                                 std::string(info.param.protocol) + "_" + info.param.mode;
                             for (char& ch : name)
                                 if (ch == '-')
                                     ch = '_';
                             return name;
                         });
