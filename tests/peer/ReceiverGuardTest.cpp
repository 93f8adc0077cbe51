// The receiver with the guard in place: refusals, the per-minute limit, the
// senders taking turns and the longest spoken text; blocked aliases shown.
#include "peer/AliasTable.h"
#include "peer/BlockList.h"
#include "peer/History.h"
#include "peer/Receiver.h"
#include "peer/ui/AliasWindow.h"
#include "platform/Wait.h"
#include "speech/Speaker.h"
#include "support/ScriptedPrompt.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QListWidget>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace gabblet;
using test::RecordingCharacterHost;

namespace {

class ReceiverGuardTest : public ::testing::Test, protected test::SpeechRig {
protected:
    ReceiverGuardTest() : SpeechRig(&aliases) {
        home.write("Merlin.acs", "");
        settings.CharPath = home.path() + "/";
        settings.UseAgent = true;
        settings.DefaultChar = "Merlin";
        host.animations["Merlin"] = QStringList{};
        aliases.AddAlias("bob", "127.0.0.1");
        EXPECT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
        EXPECT_TRUE(bob.bind(QHostAddress::LocalHost, 0));
        EXPECT_TRUE(eve.bind(QHostAddress("127.0.0.2"), 0));
    }
    void send(QUdpSocket& from, const QByteArray& payload) {
        from.writeDatagram(payload, QHostAddress::LocalHost, socket.localPort());
    }
    QStringList replies(QUdpSocket& to, int count) {
        QStringList got;
        waitUntil(
            [&] {
                while (to.hasPendingDatagrams())
                    got << QString::fromLatin1(to.receiveDatagram().data());
                return got.size() >= count;
            },
            10000);
        return got;
    }
    QStringList spoken() const {
        QStringList out;
        for (const QString& line : host.log)
            if (line.startsWith("speak "))
                out << line.section("\\ ", -1).trimmed();
        return out;
    }

    test::TempHome home;
    AliasTable aliases;
    BlockList blocked;
    Speaker speaker{ctx};
    MessageHistory received;
    QUdpSocket socket, bob, eve;
    qint64 ticks = 0;
    Receiver receiver{socket,
                      settings,
                      aliases,
                      received,
                      speaker,
                      clock,
                      ReceiverGuarding{&status, &blocked, [this] { return ticks; }}};
};

} // namespace

TEST_F(ReceiverGuardTest, StrangersAndTheBlockedAreRefusedButStillSeenByChecks) {
    settings.AcceptFrom = "aliases";
    send(eve, "C");
    send(eve, "::from eve");
    send(bob, "C");
    send(bob, "::from bob");
    EXPECT_EQ(replies(eve, 2), (QStringList{":(.34):R", "N"}));
    EXPECT_EQ(replies(bob, 2), (QStringList{":(.34):R", "OK"}));
    EXPECT_EQ(spoken(), QStringList{"from bob"});
    EXPECT_FALSE(received.text().contains("from eve")); // not recorded either
    EXPECT_EQ(status.text(), "Refused a message from 127.0.0.2\r\n");

    blocked.block({"127.0.0.1"});
    settings.AcceptFrom = "all";
    send(bob, "::blocked now");
    EXPECT_EQ(replies(bob, 1), QStringList{"N"});
    EXPECT_TRUE(status.text().endsWith("Refused a message from bob\r\n"));
    EXPECT_FALSE(received.text().contains("blocked now"));
}

// A flood from one sender is cut to the limit and answered at once; the
// other sender's message is next after the one being spoken.
TEST_F(ReceiverGuardTest, SendersTakeTurnsAndTheLimitIsCountedOncePerMinute) {
    settings.MaxPerMinute = 10;
    host.completion = RecordingCharacterHost::Completion::Manual;
    QTimer character;
    QObject::connect(&character, &QTimer::timeout, [&] { host.completeNext(); });
    character.start(5);
    for (int i = 0; i < 30; ++i)
        send(bob, "::bob " + QByteArray::number(i) + "\\\\s");
    send(eve, "::eve\\\\s");
    const QStringList bobs = replies(bob, 30);
    EXPECT_EQ(bobs.count("OK"), 10);
    EXPECT_EQ(bobs.count("N"), 20);
    EXPECT_EQ(replies(eve, 1), QStringList{"OK"});
    const QStringList said = spoken();
    ASSERT_EQ(said.size(), 11);
    EXPECT_EQ(said.indexOf("eve"), 1) << said.join("|").toStdString();
    EXPECT_EQ(said.mid(2, 2), (QStringList{"bob 1", "bob 2"}));
    EXPECT_EQ(received.text().count("From: "), 11);
    // Nothing said about the excess until bob's minute is over, then one line.
    receiver.reportCounts();
    EXPECT_EQ(status.text(), "");
    ticks = 60000;
    receiver.reportCounts();
    EXPECT_EQ(status.text(), "Too many messages from bob: 20 refused\r\n");
}

TEST_F(ReceiverGuardTest, ALongTextIsSpokenCutAndRecordedWhole) {
    EXPECT_EQ(Receiver::spokenText("abcdef", 0), "abcdef");
    EXPECT_EQ(Receiver::spokenText("abcdef", 6), "abcdef");
    EXPECT_EQ(Receiver::spokenText("abcdef", 3), "abc ...");
    // The hide code is not counted and survives the cut.
    EXPECT_EQ(Receiver::spokenText("abc\\\\h", 3), "abc\\\\h");
    EXPECT_EQ(Receiver::spokenText("abcdef\\\\h", 3), "abc ...\\\\h");
    // Never inside a tag, a block or a doubled backslash.
    EXPECT_EQ(Receiver::spokenText("ab\\Pau=500\\cd", 5), "ab ...");
    EXPECT_EQ(Receiver::spokenText("ab\\Pau=500\\cd", 12), "ab\\Pau=500\\c ...");
    EXPECT_EQ(Receiver::spokenText("ab{{$move 1;2}}cd", 8), "ab ...");
    EXPECT_EQ(Receiver::spokenText("ab{x}cd", 4), "ab ...");
    EXPECT_EQ(Receiver::spokenText("a\\\\bcd", 2), "a ...");
    EXPECT_EQ(Receiver::spokenText("ab\\unclosed", 5), "ab ...");

    settings.MaxSpoken = 5;
    const QString text = "Hello there, a long message";
    receiver.handle(("::" + text + "\\\\h").toLatin1(), QHostAddress::LocalHost, bob.localPort());
    EXPECT_EQ(spoken(), QStringList{"Hello ..."});
    EXPECT_TRUE(received.text().contains(text + "\\\\h\r\n"));
    EXPECT_EQ(host.visibleRequests().last(), "hide Merlin");
}

// A blocked alias is greyed and says so; a group is blocked once every
// member is.
TEST(AliasWindowBlocked, BlockedAliasesAreGreyedAndMarked) {
    test::TempHome home;
    test::ScriptedPrompt prompt;
    AliasTable table;
    table.AddAlias("bob", "10.0.0.1");
    table.AddAlias("gang", "10.0.0.2;10.0.0.3");
    table.AddAlias("pair", "10.0.0.1, 10.0.0.4");
    BlockList blocked;
    blocked.block(table.memberAddresses("gang"));
    blocked.block({"10.0.0.1"});
    AliasWindow win(table, prompt, home.file("alias.lst"), nullptr, &blocked);
    win.refresh();
    auto* list = win.findChild<QListWidget*>("Alias");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), table.listLine(0) + "  (blocked)");
    EXPECT_EQ(list->item(1)->text(), table.listLine(1) + "  (blocked)");
    EXPECT_EQ(list->item(2)->text(), table.listLine(2)); // 10.0.0.4 still gets through
    EXPECT_NE(list->item(0)->foreground().color(), list->item(2)->foreground().color());
}
