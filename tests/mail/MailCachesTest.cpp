#include "mail/MailCaches.h"
#include "platform/Files.h"
#include "platform/ProgramPaths.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace gabblet;

class MailCachesTest : public ::testing::Test {
protected:
    MailCachesTest() {
        AccountRec& a = tables.Acc[0];
        a.Type = "POP3";
        a.Name = "Home";
        a.Active = true;
        tables.AccCount = 1;
    }
    MailStateRec& ms() { return tables.MailState[0]; }
    void list(int n) {
        ms().MsgCount = qint16(n);
        ms().NewCount = 1;
        for (int p = 0; p < n; ++p) {
            ms().Date.set(p, "Mon, 12 Jan 2026 10:00:00");
            ms().From.set(p, QString("Ann %1").arg(p));
            ms().Subject.set(p, QString("Subject %1").arg(p));
            ms().Size.set(p, 1000 * p);
            ms().MsgID.set(p, QString("id%1").arg(p));
            ms().IsNew.set(p, p == 1);
        }
    }

    test::TempHome home;
    ProgramPaths paths{home.path()};
    MailTables tables;
    MailCaches caches{tables, paths};
};

TEST_F(MailCachesTest, HeaderAndIdentifierFilesSurviveARestart) {
    list(3);
    ms().Web1 = "session";
    ms().MsgRef.set(0, "ref");
    ASSERT_TRUE(caches.saveAll());
    const QString hdr = paths.userFile("Home.hdr");
    EXPECT_TRUE(readRegularFile(hdr)->startsWith("0.34\r\n3\r\n1\r\n"));
    EXPECT_EQ(*readRegularFile(paths.userFile("gab0.ids")), "3\r\nid0\r\nid1\r\nid2\r\n");

    const QDateTime written = QFileInfo(hdr).lastModified();
    ms() = MailStateRec{};
    EXPECT_TRUE(caches.loadHeaderCache(0, written.addSecs(59 * 60)));
    EXPECT_EQ(ms().MsgCount, 3);
    EXPECT_EQ(ms().Subject.at(2), "Subject 2");
    EXPECT_EQ(ms().Size.at(2), 2000);
    EXPECT_TRUE(ms().IsNew.at(1));
    EXPECT_EQ(ms().Web1, "session") << "a recent login is reused";
    EXPECT_EQ(ms().NewCount, 1);

    ms() = MailStateRec{};
    EXPECT_TRUE(caches.loadHeaderCache(0, written.addSecs(-61 * 60)));
    EXPECT_TRUE(ms().Web1.isEmpty()) << "an hour old: log in again";
    EXPECT_TRUE(ms().MsgRef.at(0).isEmpty());
    EXPECT_EQ(ms().NewCount, 0);
    EXPECT_EQ(ms().From.at(0), "Ann 0");
}

TEST_F(MailCachesTest, OldVersionsAreDeletedAndDamagedFilesKeepWhatWasRead) {
    const QString hdr = paths.userFile("Home.hdr");
    home.write("Home.hdr", "0.30\r\n1\r\n0\r\n");
    EXPECT_FALSE(caches.loadHeaderCache(0, QDateTime::currentDateTime()));
    EXPECT_FALSE(QFile::exists(hdr));

    MailStateRec r;
    EXPECT_EQ(parseHeaderCache("0.34\r\n5\r\n0\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                               "d\r\nf\r\ns\r\n12\r\nr\r\nid\r\nTrue\r\nd2\r\n",
                               r),
              HdrRead::Partial);
    EXPECT_EQ(r.MsgCount, 1) << "never claims messages it did not read";
    EXPECT_EQ(r.MsgID.at(0), "id");
    EXPECT_EQ(parseHeaderCache("0.34\r\nlots\r\n", r), HdrRead::Partial);
}

TEST_F(MailCachesTest, ListsAreCutAtTheirBounds) {
    QString text = "0.34\r\n3000\r\n0\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    for (int p = 0; p < 3000; ++p)
        text += QString("d\r\nf%1\r\ns\r\n1\r\nr\r\nid%1\r\nFalse\r\n").arg(p);
    MailStateRec r;
    EXPECT_EQ(parseHeaderCache(text, r), HdrRead::Partial);
    EXPECT_EQ(r.MsgCount, kMessagePositions);
    EXPECT_EQ(r.From.at(2000), "f2000");
    EXPECT_EQ(r.MsgID.at(1000), "id1000");
    EXPECT_TRUE(r.MsgID.at(1001).isEmpty());
    const QStringList ids = splitLines(serializeIdsFile(r));
    EXPECT_EQ(ids.size(), 1 + kIdPositions);

    QString many = "5000\r\n";
    for (int i = 0; i < 2000; ++i)
        many += (i == 3 ? QString() : QString("x%1").arg(i)) + "\r\n";
    const auto parsed = parseIdsFile(many);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->ids.size(), kIdPositions);
    EXPECT_EQ(parsed->ids.at(3), "[None]");
    EXPECT_EQ(parseIdsFile("nothing")->count, 0) << "read as a number, as it always was";
    EXPECT_FALSE(parseIdsFile(""));
}

TEST_F(MailCachesTest, NoCachePathLeavesItsFolder) {
    EXPECT_EQ(cacheName("a:b*c?d<e>f"), "aZbZcZdZeZf");
    for (const QString& hostile : {QString("../../etc/passwd"), QString(".."), QString("."),
                                   QString("a/b\\c"), QString::fromLatin1("nul\0here", 8),
                                   QString(5000, u'x'), QString(300, u'\u00e9'), QString()}) {
        const QString name = cacheName(hostile);
        EXPECT_FALSE(name.contains(u'/')) << qPrintable(hostile.left(40));
        EXPECT_FALSE(name.contains(QChar(0)));
        EXPECT_NE(name, "..");
        EXPECT_NE(name, ".");
        EXPECT_FALSE(name.isEmpty());
        EXPECT_LE(name.toUtf8().size(), 255);
    }
    EXPECT_NE(cacheName(QString(5000, u'x')), cacheName(QString(5001, u'x')));

    // A hostile identifier and account name still land inside cache/.
    tables.Acc[0].Name = "../..";
    list(1);
    ms().MsgID.set(0, "../../../escape");
    ASSERT_TRUE(caches.writeBody(0, 0, "line 1\r\nline 2"));
    const QString path = caches.bodyPath(0, 0);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(QFileInfo(path).canonicalFilePath().startsWith(
        QFileInfo(paths.file("cache")).canonicalFilePath() + "/"));
    QString text;
    EXPECT_TRUE(caches.readBody(0, 0, text));
    EXPECT_EQ(text, "line 1\r\nline 2");
    EXPECT_TRUE(caches.saveHeaderCache(0));
    EXPECT_EQ(QDir(home.path()).entryList({"*.hdr"}).size(), 1) << "in the user folder";

    caches.deleteBodies(0, {"../../../escape"});
    EXPECT_TRUE(caches.bodyPath(0, 0).isEmpty());
    ms().MsgID.set(0, "[none]");
    EXPECT_FALSE(caches.writeBody(0, 0, "x")) << "a message without identifier is not cached";
}
