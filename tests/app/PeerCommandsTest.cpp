// Sequence and Parallel from the window, against a peer made of one socket
// that records every datagram byte for byte and answers each with "OK".
#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "platform/Wait.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"
#include "support/TestPorts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUdpSocket>

#include <functional>
#include <gtest/gtest.h>

using namespace gabblet;

namespace {

class PeerCommandsTest : public ::testing::Test {
protected:
    PeerCommandsTest() : port(test::claimPortPair()) {
        home.write("gabblet.ini", "version=0.34\r\nport=" + QByteArray::number(port) +
                                      "\r\nbindaddress=127.0.0.2\r\n");
        home.write("rec.txt", "");
        state.paths = ProgramPaths(home.path());
        controller = std::make_unique<Startup>(state, prompt, CommandLine{}, AppOptions{});
        EXPECT_TRUE(controller->Form_Load());
        // Start-up fills the character list from the event loop; composing
        // comes after that.
        waitUntil([this] { return control<QComboBox>("Combo3")->count() > 0; }, 5000);
        EXPECT_TRUE(peer.bind(QHostAddress("127.0.0.3"), port + 1));
        QObject::connect(&peer, &QUdpSocket::readyRead, [this] {
            while (peer.hasPendingDatagrams()) {
                const QNetworkDatagram d = peer.receiveDatagram();
                got << d.data();
                if (onDatagram)
                    onDatagram(d.data());
                peer.writeDatagram("OK", d.senderAddress(), quint16(d.senderPort()));
            }
        });
    }
    ~PeerCommandsTest() override { controller->DoExit(); }

    template <typename T> T* control(const char* name) {
        return controller->window().findChild<T*>(QLatin1String(name));
    }
    void compose(const QString& text, bool hideAtEnd) {
        control<QComboBox>("Combo1")->setCurrentText("127.0.0.3");
        control<QComboBox>("Combo3")->setCurrentText("Owl");
        control<QPlainTextEdit>("SendText")->setPlainText(text);
        control<QCheckBox>("HideAtEnd")->setChecked(hideAtEnd);
    }
    void arrived(int count) {
        waitUntil([&] { return got.size() >= count; }, 5000);
    }
    // The Stop button, pressed while the command waits for the peer.
    void stopOn(const QByteArray& datagram) {
        onDatagram = [this, datagram](const QByteArray& d) {
            if (d == datagram)
                control<QPushButton>("StopAll")->click();
        };
    }

    quint16 port;
    test::TempHome home;
    test::ScriptedPrompt prompt;
    AppState state;
    std::unique_ptr<Startup> controller;
    QUdpSocket peer;
    QList<QByteArray> got;
    std::function<void(const QByteArray&)> onDatagram;
};

} // namespace

TEST_F(PeerCommandsTest, StopEndsASequenceOrAParallelAfterThePieceBeingSpoken) {
    compose("one two three four", true);
    stopOn(":Owl:one \\\\s");
    control<QPushButton>("Sequential")->click();
    // The piece being spoken is finished; nothing follows, not even the hide.
    EXPECT_EQ(got, (QList<QByteArray>{":Owl:one \\\\s"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    got.clear();
    stopOn(":Owl:two \\\\s");
    control<QPushButton>("Parallel")->click();
    EXPECT_EQ(got, (QList<QByteArray>{":Owl: \\\\s", ":Owl:one \\\\s", ":Owl:two \\\\s"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A stop from before the command does not stop the next one.
    got.clear();
    onDatagram = nullptr;
    control<QPushButton>("Sequential")->click();
    EXPECT_EQ(got.size(), 5);
    EXPECT_EQ(got.last(), ":Owl:\\\\h");
}

TEST_F(PeerCommandsTest, ParallelClosesWithTheActionChosenFromTheList) {
    auto* actions = control<QComboBox>("Combo2");
    actions->clear();
    actions->addItems({"Wave", "Bow"});
    actions->setCurrentIndex(1);
    compose("one two", true);
    control<QPushButton>("Parallel")->click();
    arrived(4); // the hide is sent without waiting for an answer
    EXPECT_EQ(got, (QList<QByteArray>{"Bow:Owl: \\\\s", "Bow:Owl:one \\\\s", "Bow:Owl:two \\\\s",
                                      "Bow:Owl:\\\\h"}));

    // A typed action plays with every piece; the list has nothing chosen.
    got.clear();
    actions->setCurrentText("Jump");
    control<QPushButton>("Parallel")->click();
    arrived(4);
    EXPECT_EQ(got, (QList<QByteArray>{"Jump:Owl: \\\\s", "Jump:Owl:one \\\\s", "Jump:Owl:two \\\\s",
                                      ":Owl:\\\\h"}));
}
