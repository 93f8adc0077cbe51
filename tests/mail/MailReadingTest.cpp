#include "mail/MailReading.h"
#include "speech/Speaker.h"
#include "support/SpeechFakes.h"

#include <QHash>

#include <gtest/gtest.h>

#include <functional>

using namespace gabblet;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString section(const QString& inner) {
    return "Gabblet:" + kCrLf + inner + kCrLf + ":Gabblet";
}

struct FakeViewers : ViewerWindows {
    struct Window {
        QString caption;
        QString text;
        bool shown = false;
    };
    QList<Window> windows; // index = id; 0 is the reused one once made
    int browserCloses = 0;
    int openTextMes(bool separate) override {
        if (!separate && !windows.isEmpty() && shared >= 0)
            return shared;
        windows.append(Window{});
        if (!separate)
            shared = int(windows.size() - 1);
        return int(windows.size() - 1);
    }
    void setCaption(int v, const QString& c) override { windows[v].caption = c; }
    void setText(int v, const QString& t) override { windows[v].text = t; }
    void showViewer(int v) override { windows[v].shown = true; }
    void closeBrowser() override { ++browserCloses; }
    int shared = -1;
};

struct FakeBodies : MessageBodies {
    QHash<int, QString> bodies; // by position
    int fetches = 0;
    std::function<void()> duringFetch;
    MailTables* tables = nullptr;
    QString popBody(int slot, qint16 position, const QString&) override {
        ++fetches;
        if (duringFetch) {
            auto run = std::move(duringFetch);
            duringFetch = nullptr;
            run();
        }
        if (!bodies.contains(position))
            tables->MailState[std::size_t(slot)].Status = QStringLiteral("Missing message");
        return bodies.value(position);
    }
};

class ReadingTest : public ::testing::Test, protected test::SpeechRig {
protected:
    ReadingTest() {
        bodies.tables = &mail;
        mail.Acc[1].Type = "POP3";
        mail.Acc[1].Name = "Home";
        MailStateRec& st = mail.MailState[1];
        st.MsgCount = 3;
        for (int p = 0; p < 3; ++p) {
            st.From.set(p, QStringLiteral("from%1").arg(p));
            st.Subject.set(p, QStringLiteral("subject%1").arg(p));
            st.Date.set(p, QStringLiteral("date%1").arg(p));
            st.MsgID.set(p, QStringLiteral("id%1").arg(p));
            bodies.bodies[p] = QStringLiteral("body %1").arg(p);
        }
        reader.setBodyCache(
            {[this](int s, int p, QString& t) {
                 const auto key = qMakePair(s, p);
                 if (!cache.contains(key))
                     return false;
                 t = cache.value(key);
                 return true;
             },
             [this](int s, int p, const QString& t) { cache[qMakePair(s, p)] = t; }});
    }

    FakeViewers viewers;
    FakeBodies bodies;
    QHash<QPair<int, int>, QString> cache;
    Speaker speaker{ctx};
    MailReader reader{mail, settings, bodies, viewers, speaker};
};

} // namespace

TEST(GabbletSections, FinderFollowsTheMarkerRules) {
    // Two sections in order, the innermost opening marker winning.
    const QString body = "Hi" + kCrLf + section("first") + kCrLf + "Gabblet: not this" + kCrLf +
                         section("second") + kCrLf + "bye";
    EXPECT_EQ(GabbletSectionTexts(body), (QStringList{"first", "second"}));

    // A closing marker fewer than 12 characters on ends the search.
    EXPECT_TRUE(GabbletSectionTexts(QStringLiteral("Gabblet::Gabblet")).isEmpty());
    EXPECT_TRUE(
        GabbletSectionTexts(QStringLiteral("Gabblet::Gabblet ") + section("later")).isEmpty());
    // Exactly 12 characters apart: an empty section.
    EXPECT_EQ(GabbletSectionTexts("Gabblet:" + kCrLf + kCrLf + ":Gabblet"), QStringList{""});
    // Markers without their own lines, and Unix line breaks.
    EXPECT_EQ(GabbletSectionTexts(QStringLiteral("Gabblet: say it :Gabblet")),
              QStringList{" say it "});
    EXPECT_EQ(GabbletSectionTexts(QStringLiteral("Gabblet:\nunix lines\n:Gabblet")),
              QStringList{"unix lines"});
    // Missing markers, markers in the wrong order, wrong case.
    EXPECT_TRUE(GabbletSectionTexts(QStringLiteral(":Gabblet text Gabblet:")).isEmpty());
    EXPECT_TRUE(GabbletSectionTexts(QStringLiteral("gabblet:\r\nxx\r\n:gabblet")).isEmpty());
    EXPECT_TRUE(GabbletSectionTexts(QString()).isEmpty());

    // Many opening markers before one closing one stay quick and find one section.
    QString hostile;
    for (int i = 0; i < 200000; ++i)
        hostile += QStringLiteral("Gabblet: ");
    hostile += section("x");
    EXPECT_EQ(GabbletSectionTexts(hostile), QStringList{"x"});
    // The number of sections is bounded.
    QString lots;
    for (int i = 0; i < kMaxSections + 50; ++i)
        lots += section("s");
    EXPECT_EQ(FindGabbletSections(lots).size(), kMaxSections);
}

TEST(GabbletSections, ModeAndCaption) {
    EXPECT_EQ(ViewerMode(QStringLiteral("Re: Gabblet: hello")), QStringLiteral("Speak"));
    EXPECT_EQ(ViewerMode(QStringLiteral("gabblet: hello")), QString());
    EXPECT_EQ(ViewerCaption("Home", "ann@x", "Hi", "Mon"),
              QStringLiteral("Home   From:ann@x   Subject:Hi   Date:Mon"));
}

TEST_F(ReadingTest, OneReusedViewerShowsTheLastMessage) {
    reader.ReadEmail(1, 0);
    reader.ReadEmail(1, 2);
    ASSERT_EQ(viewers.windows.size(), 1);
    EXPECT_EQ(viewers.windows[0].text, QStringLiteral("body 2"));
    EXPECT_EQ(viewers.windows[0].caption,
              QStringLiteral("Home   From:from2   Subject:subject2   Date:date2"));
    EXPECT_TRUE(viewers.windows[0].shown);
    EXPECT_EQ(viewers.browserCloses, 2);

    settings.EmailSeperateWindows = true;
    reader.ReadEmail(1, 0);
    reader.ReadEmail(1, 1);
    ASSERT_EQ(viewers.windows.size(), 3);
    EXPECT_EQ(viewers.windows[1].text, QStringLiteral("body 0"));
    EXPECT_EQ(viewers.windows[2].text, QStringLiteral("body 1"));
    EXPECT_EQ(viewers.browserCloses, 2);
}

TEST_F(ReadingTest, ALaterReadKeepsTheReusedViewerWhileAnEarlierFetchWaits) {
    bodies.duringFetch = [this] {
        mail.MailState[1].Busy = true; // as the back-end would refuse the nested read
        bodies.bodies.remove(1);
        reader.ReadEmail(1, 1);
    };
    reader.ReadEmail(1, 0);
    ASSERT_EQ(viewers.windows.size(), 1);
    EXPECT_EQ(viewers.windows[0].caption.section("   ", 1, 1), QStringLiteral("From:from1"));
    EXPECT_EQ(viewers.windows[0].text, QStringLiteral("Missing message"));
}

TEST_F(ReadingTest, CacheIsUsedAndFilledOnlyWhenOn) {
    reader.ReadEmail(1, 0);
    reader.ReadEmail(1, 0);
    EXPECT_EQ(bodies.fetches, 2);
    EXPECT_TRUE(cache.isEmpty());

    settings.CacheEmail = true;
    reader.ReadEmail(1, 0);
    reader.ReadEmail(1, 0);
    EXPECT_EQ(bodies.fetches, 3);
    EXPECT_EQ(cache.value(qMakePair(1, 0)), QStringLiteral("body 0"));

    // A failure shows the account's status and caches nothing.
    reader.ReadEmail(1, 2 + 5);
    EXPECT_EQ(viewers.windows[0].text, QStringLiteral("Missing message"));
    EXPECT_EQ(cache.size(), 1);
    // A message without identifier is never taken from the cache.
    mail.MailState[1].MsgID.set(0, QStringLiteral("[none]"));
    reader.ReadEmail(1, 0);
    EXPECT_EQ(bodies.fetches, 5);
}

TEST_F(ReadingTest, GabbletSubjectsSpeakTheirSections) {
    bodies.bodies[0] = section("This is spoken") + kCrLf + section("and this");
    reader.ReadEmail(1, 0);
    EXPECT_TRUE(none.log.isEmpty()) << none.log.join('|').toStdString();

    mail.MailState[1].Subject.set(0, QStringLiteral("Gabblet: for you"));
    reader.ReadEmail(1, 0);
    const QString shown = none.log.join('|');
    const qsizetype first = shown.indexOf("This is spoken");
    EXPECT_GE(first, 0) << shown.toStdString();
    EXPECT_GT(shown.indexOf("and this"), first) << shown.toStdString();
}

TEST_F(ReadingTest, OtherAccountTypesAndBadPositionsAreRefused) {
    mail.Acc[3].Type = "Outlook";
    mail.Acc[3].Name = "Local";
    reader.ReadEmail(3, 0);
    ASSERT_EQ(viewers.windows.size(), 1);
    EXPECT_EQ(viewers.windows[0].text,
              QStringLiteral("Reading Outlook mail is not available in this version of Gabblet."));

    int web = 0;
    mail.Acc[4].Type = "HotMail";
    reader.setWebMailReader([&](int slot, int position) { web += slot * 100 + position; });
    reader.ReadEmail(4, 7);
    EXPECT_EQ(web, 407);

    reader.ReadEmail(-1, 0);
    reader.ReadEmail(kAccountSlots, 0);
    reader.ReadEmail(1, kMessagePositions);
    reader.ReadEmail(1, -1);
    EXPECT_EQ(viewers.windows.size(), 1);
    EXPECT_EQ(bodies.fetches, 0);
}
