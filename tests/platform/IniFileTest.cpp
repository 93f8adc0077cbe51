#include "platform/IniFile.h"
#include "platform/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace gabblet;

class IniFileTest : public ::testing::Test {
protected:
    test::TempHome home;
    QString ini = home.file("gabblet.ini");
};

TEST_F(IniFileTest, ReadsKeysWithoutRegardToCaseAndKeepsEqualsInValues) {
    home.write("gabblet.ini", "FormTop=1200\r\n Pass word = a=b=c \r\nnoaction= 1\n");
    EXPECT_EQ(ReadIniKey(ini, "formtop", "-1"), "1200");
    EXPECT_EQ(ReadIniKey(ini, "PASS WORD", ""), "a=b=c");
    EXPECT_EQ(ReadIniKey(ini, "NoAction", "0"), "1");
    EXPECT_EQ(ReadIniKey(ini, "missing", "dflt"), "dflt");
    EXPECT_EQ(ReadIniKey(home.file("nofile.ini"), "x", "d"), "d");
}

TEST_F(IniFileTest, AppendsThenReplacesInPlace) {
    ASSERT_TRUE(WriteIniKey(ini, "FormTop", "1"));
    ASSERT_TRUE(WriteIniKey(ini, "Quiet", " 0"));
    ASSERT_TRUE(WriteIniKey(ini, "FORMTOP", "2"));
    EXPECT_EQ(home.read("gabblet.ini"), QByteArray("formtop=2\r\nquiet= 0\r\n"));
    EXPECT_FALSE(QFileInfo::exists(home.file("gabblet.in!")));
    EXPECT_EQ(QFileInfo(ini).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}

TEST_F(IniFileTest, OnlyTheFirstOccurrenceCountsAndOddLinesSurvive) {
    home.write("gabblet.ini", "a=1\r\njust some text\r\nA=2\r\nb=3");
    EXPECT_EQ(ReadIniKey(ini, "a", ""), "1");
    EXPECT_EQ(ReadIniKey(ini, "just some text", "none"), "none");
    ASSERT_TRUE(DeleteIniKey(ini, "A"));
    EXPECT_EQ(home.read("gabblet.ini"), QByteArray("just some text\r\nA=2\r\nb=3"));
    ASSERT_TRUE(WriteIniKey(ini, "c", "4"));
    EXPECT_EQ(home.read("gabblet.ini"), QByteArray("just some text\r\nA=2\r\nb=3\r\nc=4\r\n"));
}

TEST_F(IniFileTest, ALineBreakInAValueCannotPlantAnotherKey) {
    ASSERT_TRUE(WriteIniKey(ini, "MyName", "Eve\r\nport=1"));
    EXPECT_EQ(ReadIniKey(ini, "port", "none"), "none");
    EXPECT_EQ(ReadIniKey(ini, "myname", ""), "Eve  port=1");
}

TEST_F(IniFileTest, BinaryAndHugeFilesKeepTheirOtherKeys) {
    QByteArray junk("a=1\r\n");
    junk.append(QByteArray("\0\xff\x01=\x80\r\n", 7));
    junk.append(QByteArray(8 * 1024 * 1024, 'z')); // one very long line without "="
    junk.append("\r\nb=2\r\n");
    home.write("gabblet.ini", junk);
    EXPECT_EQ(ReadIniKey(ini, "b", ""), "2");
    ASSERT_TRUE(WriteIniKey(ini, "a", "9"));
    QByteArray expected = junk;
    expected.replace(0, 3, "a=9");
    EXPECT_EQ(home.read("gabblet.ini"), expected);
}

TEST_F(IniFileTest, ASettingsFileThatIsNotAFileIsLeftAlone) {
    const QByteArray fifo = QFile::encodeName(ini);
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_EQ(ReadIniKey(ini, "a", "d"), "d"); // returns at once
    EXPECT_FALSE(WriteIniKey(ini, "a", "1"));
    EXPECT_FALSE(QFileInfo(ini).isFile());
}

// The writer dies after the temporary is complete but before the rename:
// the settings file must still be the old one, whole, and the next write
// must work despite the leftover temporary.
TEST_F(IniFileTest, AKilledWriterLeavesTheOldFileWhole) {
    home.write("gabblet.ini", "formtop=1\r\nquiet= 1\r\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile::setBeforeRenameHook([] { ::raise(SIGKILL); });
        WriteIniKey(ini, "formtop", "2");
        ::_exit(0); // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(home.read("gabblet.ini"), QByteArray("formtop=1\r\nquiet= 1\r\n"));
    EXPECT_EQ(home.read("gabblet.in!"), QByteArray("formtop=2\r\nquiet= 1\r\n"));
    ASSERT_TRUE(WriteIniKey(ini, "formtop", "3"));
    EXPECT_EQ(ReadIniKey(ini, "formtop", ""), "3");
    EXPECT_EQ(iniTempName("gabblet.ini"), "gabblet.in!");
}

TEST(IniValues, NumbersFlagsAndBooleans) {
    EXPECT_EQ(leadingNumber(" 1"), 1.0);
    EXPECT_EQ(leadingNumber("12abc"), 12.0);
    EXPECT_EQ(leadingNumber("-3.5x"), -3.5);
    EXPECT_EQ(leadingNumber("abc"), 0.0);
    EXPECT_EQ(leadingNumber(""), 0.0);
    EXPECT_EQ(toInt16(32767.0), 32767);
    EXPECT_FALSE(toInt16(32768.0).has_value());
    EXPECT_FALSE(toInt16(-32769.0).has_value());
    EXPECT_EQ(toInt16(2.5), 2); // half to even
    EXPECT_EQ(toInt16(3.5), 4);
    EXPECT_TRUE(IniFlag(leadingNumber("1")));
    EXPECT_FALSE(IniFlag(leadingNumber("2"))); // CheckEmail=2 is off
    EXPECT_FALSE(IniFlag(leadingNumber("-1")));
    EXPECT_TRUE(iniBool("2")); // CacheAcc=2 is on
    EXPECT_TRUE(iniBool("True"));
    EXPECT_FALSE(iniBool("0"));
    EXPECT_EQ(numberText(5), " 5");
    EXPECT_EQ(numberText(-1), "-1");
}

TEST_F(IniFileTest, ABatchIsWrittenInOneGoAndSeesItsOwnChanges) {
    home.write("gabblet.ini", "port=1\nType0=POP3\r\nname0=Old\r\ntype0=again\r\nkeep=me");
    IniBatch batch(ini);
    batch.write("name0", "New");
    batch.write("Type1", "HotMail");
    batch.remove("TYPE0");
    batch.remove("absent");
    EXPECT_EQ(batch.read("Name0", ""), "New");
    EXPECT_EQ(batch.read("type0", "gone"), "gone");
    // Nothing reaches the file before the commit.
    EXPECT_EQ(ReadIniKey(ini, "type0", ""), "POP3");
    ASSERT_TRUE(batch.commit());
    EXPECT_EQ(home.read("gabblet.ini"),
              QByteArray("port=1\nname0=New\r\nkeep=me\r\ntype1=HotMail\r\n"));
    EXPECT_FALSE(QFileInfo::exists(home.file("gabblet.in!")));

    // A settings "file" that cannot be one takes nothing.
    QDir().mkpath(home.file("folder.ini"));
    IniBatch refused(home.file("folder.ini"));
    refused.write("a", "b");
    EXPECT_FALSE(refused.commit());
    EXPECT_TRUE(QFileInfo(home.file("folder.ini")).isDir());
}
