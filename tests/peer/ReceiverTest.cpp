#include "peer/Receiver.h"
#include "peer/AliasTable.h"
#include "peer/History.h"
#include "platform/Wait.h"
#include "speech/Speaker.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace gabblet;
using test::RecordingCharacterHost;

namespace {

class ReceiverTest : public ::testing::Test, protected test::SpeechRig {
protected:
    ReceiverTest() : SpeechRig(&aliases) {
        home.write("Merlin.acs", "");
        settings.CharPath = home.path() + "/";
        settings.UseAgent = true;
        settings.DefaultChar = "Merlin";
        host.animations["Merlin"] = QStringList{"Wave"};
        aliases.AddAlias("bob", "127.0.0.1");
        EXPECT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
        EXPECT_TRUE(client.bind(QHostAddress::LocalHost, 0));
    }
    void send(const QByteArray& payload) {
        client.writeDatagram(payload, QHostAddress::LocalHost, socket.localPort());
    }
    QStringList replies(int count, int timeoutMs = 5000) {
        QStringList got;
        waitUntil(
            [&] {
                while (client.hasPendingDatagrams())
                    got << QString::fromLatin1(client.receiveDatagram().data());
                return got.size() >= count;
            },
            timeoutMs);
        return got;
    }

    test::TempHome home;
    AliasTable aliases; // handed to the rig before it is built; only used later
    Speaker speaker{ctx};
    MessageHistory received;
    QUdpSocket socket;
    QUdpSocket client;
    Receiver receiver{socket, settings, aliases, received, speaker, clock};
};

} // namespace

TEST_F(ReceiverTest, ChecksMessagesAndTheirReplies) {
    send("C");
    send("c"); // not a check, and no colons: ignored
    send("::Hi: there\\\\h\\\\s");
    EXPECT_EQ(replies(2), (QStringList{":(.34):R", "OK"}));
    // Only the message is recorded, with its codes, under the alias name.
    EXPECT_EQ(received.text().count("From: bob using  at "), 1);
    EXPECT_TRUE(received.text().contains("->\r\nHi: there\\\\h\\\\s\r\n"));
    // Sync taken off; the hide code reaches Speak and hides at the end.
    EXPECT_EQ(
        host.visibleRequests(),
        (QStringList{"show Merlin", "speak Merlin \\Map=\"\"=\"bob: \"\\ \\Vol=65535\\ Hi: there ",
                     "hide Merlin"}));
    settings.NoAction = true;
    send("C");
    send("Wave:Merlin:x");
    EXPECT_EQ(replies(2), (QStringList{":(.34):NR", "N"}));
}

// A message that arrives while another is being spoken waits its turn, and
// every one is answered, in order; a presence check does not wait at all.
TEST_F(ReceiverTest, ChecksAreAnsweredAtOnceWhileMessagesWaitTheirTurn) {
    // The character finishes each request a moment after it was queued.
    host.completion = RecordingCharacterHost::Completion::Manual;
    QTimer character;
    QObject::connect(&character, &QTimer::timeout, [&] { host.completeNext(); });
    character.start(50);
    send("::first\\\\s");
    send("::second\\\\s");
    send("C");
    // The check came last but is answered while the first message is spoken.
    EXPECT_EQ(replies(3, 10000), (QStringList{":(.34):R", "OK", "OK"}));
    EXPECT_LT(received.text().indexOf("first"), received.text().indexOf("second"));
}

// However many datagrams wait on the socket, the history box hears of new
// records once per batch, not once per message.
TEST_F(ReceiverTest, AFloodTellsTheHistoryOncePerBatch) {
    settings.NoAction = true; // nothing is spoken: the messages go as fast as they can
    int told = 0;
    QObject::connect(&receiver, &Receiver::historyChanged, [&] { ++told; });
    // Bursts that fit the smallest receive buffer a system may give.
    constexpr int kBursts = 3, kBurst = 150;
    for (int burst = 0; burst < kBursts; ++burst) {
        for (int i = 0; i < kBurst; ++i)
            send("::flood " + QByteArray::number(i));
        ASSERT_EQ(replies(kBurst).size(), kBurst);
    }
    EXPECT_EQ(received.text().count("From: "), kBursts * kBurst);
    EXPECT_GE(told, kBursts);
    EXPECT_LE(told, kBursts * (kBurst / Receiver::kBatch + 1));
}
