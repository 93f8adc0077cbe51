// The command line of gabblet-send and the replies it accepts.
#include "send/SendArguments.h"
#include "peer/WireFormat.h"
#include "send/SendJob.h"

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

SendCliAction parse(const QStringList& args, SendArguments& out, QString* error = nullptr) {
    QString e;
    const SendCliAction a = parseSendArguments(args, out, e);
    if (error)
        *error = e;
    return a;
}

} // namespace

TEST(SendArguments, OptionsInBothFormsHostsAndTheText) {
    SendArguments a;
    ASSERT_EQ(parse({"--port", "2000", "--character=Sprocket", "anna-pc", "--action", "Wave",
                     "--sync", "192.168.1.20", "--hide", "--timeout", "0.25", "--", "Good",
                     "morning,", "all", "--"},
                    a),
              SendCliAction::Run);
    EXPECT_EQ(a.port, 2000);
    EXPECT_EQ(a.character, "Sprocket");
    EXPECT_EQ(a.action, "Wave");
    EXPECT_TRUE(a.sync && a.hide && !a.scan);
    EXPECT_EQ(a.timeoutMs, 250);
    EXPECT_EQ(a.hosts, QStringList({"anna-pc", "192.168.1.20"}));
    // Everything after the first "--" is text, a second "--" included.
    EXPECT_EQ(a.text, "Good morning, all --");

    ASSERT_EQ(parse({"bob"}, a), SendCliAction::Run);
    EXPECT_EQ(a.port, 12345);
    EXPECT_EQ(a.timeoutMs, 5000);
    EXPECT_FALSE(a.text.has_value()); // read from standard input

    ASSERT_EQ(parse({"--scan", "--port=32766", "a", "b"}, a), SendCliAction::Run);
    EXPECT_TRUE(a.scan);
    EXPECT_EQ(parse({"--version", "--bogus"}, a), SendCliAction::Version);
    EXPECT_EQ(parse({"x", "--help"}, a), SendCliAction::Help);
}

TEST(SendArguments, UsageErrorsSayWhat) {
    SendArguments a;
    QString error;
    const QList<std::pair<QStringList, QString>> cases = {
        {{}, "no host given"},
        {{"--", "hi"}, "no host given"},
        {{"--loud", "h"}, "unknown option --loud"},
        {{"-", "h"}, "unknown option -"},
        {{"h", "--port"}, "--port needs a value"},
        {{"--port", "0", "h"}, "the port must be a number from 1 to 32766: 0"},
        {{"--port=32767", "h"}, "the port must be a number from 1 to 32766: 32767"},
        {{"--port", "12x", "h"}, "the port must be a number from 1 to 32766: 12x"},
        {{"--timeout", "0", "h"}, "the time-out must be"},
        {{"--timeout", "nan", "h"}, "the time-out must be"},
        {{"--timeout=90000", "h"}, "the time-out must be"},
        {{"--character", "Mr:T", "h"}, "a character or action name may not contain a colon: Mr:T"},
        {{"--action=a:b", "h"}, "a character or action name may not contain a colon: a:b"},
        {{"h", "--"}, "the text is empty"},
        {{"h", "--", " ", "\n"}, "the text is empty"},
        {{"--scan", "h", "--", "hi"}, "--scan sends no message"},
        {{"--scan", "--hide", "h"}, "--scan sends no message"},
        {{"--character", "Nib", "--scan", "h"}, "--scan sends no message"},
        {{"", "--", "hi"}, "an empty host name"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(parse(args, a, &error), SendCliAction::Error) << args.join(' ').toStdString();
        EXPECT_TRUE(error.startsWith(message)) << error.toStdString();
    }
    QStringList many;
    for (int i = 0; i <= SendArguments::kMaxHosts; ++i)
        many << QStringLiteral("h%1").arg(i);
    EXPECT_EQ(parse(many + QStringList{"--", "x"}, a, &error), SendCliAction::Error);
    EXPECT_EQ(error, "at most 256 hosts at a time");
}

TEST(SendArguments, TextFromStandardInputLosesItsLastLineBreakOnly) {
    EXPECT_EQ(prepareSendText("The build is broken.\n"), "The build is broken.");
    EXPECT_EQ(prepareSendText("one\r\ntwo\r\n\r\n"), "one\ntwo");
    EXPECT_EQ(prepareSendText("  indented \\\\h"), "  indented \\\\h");
    EXPECT_FALSE(prepareSendText(" \r\n\t").has_value());
}

TEST(WireFormat, OnlyTheSixReplyFormsCount) {
    using wire::PeerMode;
    const auto message = [](const char* r) { return wire::parseReply(QByteArray(r)); };
    ASSERT_TRUE(message("OK"));
    EXPECT_EQ(message("OK")->kind, wire::Reply::Kind::Message);
    EXPECT_EQ(message("OK")->mode, PeerMode::Active);
    EXPECT_EQ(message("Q")->mode, PeerMode::Quiet);
    EXPECT_EQ(message("N")->mode, PeerMode::Disabled);
    const auto check = message(":(.34):QR");
    ASSERT_TRUE(check);
    EXPECT_EQ(check->kind, wire::Reply::Kind::Check);
    EXPECT_EQ(check->mode, PeerMode::Quiet);
    EXPECT_EQ(check->version, ".34");
    EXPECT_EQ(message(":(.34):R")->mode, PeerMode::Active);
    EXPECT_EQ(message(":():NR")->mode, PeerMode::Disabled);
    for (const char* bad : {"", "ok", "OK ", "R", "QR", "OKR", ":(.34):", ":(.34):XR", ":(.34)R",
                            ":(.34):RR", "C", ":(.34\x01):R"})
        EXPECT_FALSE(message(bad)) << bad;
    EXPECT_FALSE(wire::parseReply(":(" + QByteArray(33, '9') + "):R"));
    // What the receiver sends is what the reader accepts.
    for (PeerMode m : {PeerMode::Active, PeerMode::Quiet, PeerMode::Disabled}) {
        EXPECT_EQ(wire::parseReply(wire::messageReply(m).toLatin1())->mode, m);
        EXPECT_EQ(wire::parseReply(wire::checkReply(m).toLatin1())->mode, m);
    }
}

TEST(SendJob, ResultLines) {
    SendJob::Result r{"anna-pc", std::nullopt, "unknown host"};
    EXPECT_EQ(resultLine(r), "anna-pc: no reply");
    r.reply = wire::Reply{wire::Reply::Kind::Message, wire::PeerMode::Quiet, {}};
    EXPECT_EQ(resultLine(r), "anna-pc: Q");
    r.reply = wire::Reply{wire::Reply::Kind::Check, wire::PeerMode::Disabled, ".34"};
    EXPECT_EQ(resultLine(r), "anna-pc: disabled 0.34");
    r.reply->mode = wire::PeerMode::Active;
    r.reply->version = "";
    EXPECT_EQ(resultLine(r), "anna-pc: active");
}
