#include "platform/Files.h"
#include "support/TempHome.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace gabblet;

TEST(Files, SplitLinesTakesCrLfAndLf) {
    EXPECT_EQ(splitLines(QStringLiteral("a\r\nb\nc")), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(splitLines(QStringLiteral("a\r\n\r\n")), (QStringList{"a", ""}));
    EXPECT_TRUE(splitLines(QString()).isEmpty());
}

TEST(Files, AtomicWriteReplacesWholeAndLeavesNoTemporary) {
    test::TempHome home;
    const QString path = home.file("data.txt");
    ASSERT_TRUE(writeTextFile(path, QString::fromUtf8("old\r\n")));
    ASSERT_TRUE(writeTextFile(path, QString::fromUtf8("n€w\r\n")));
    EXPECT_EQ(home.read("data.txt"), QByteArray("n\x80w\r\n"));
    EXPECT_FALSE(QFileInfo::exists(path + ".tmp"));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}

TEST(Files, ReadingNeverBlocksOnAFifoOrTakesAFolder) {
    test::TempHome home;
    const QByteArray fifo = QFile::encodeName(home.file("pipe"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(readRegularFile(home.file("pipe")).has_value());
    EXPECT_FALSE(readRegularFile(home.path()).has_value());
    EXPECT_FALSE(readRegularFile(home.file("missing")).has_value());
    home.write("big", QByteArray(100, 'x'));
    EXPECT_FALSE(readRegularFile(home.file("big"), 99).has_value());
    EXPECT_EQ(readRegularFile(home.file("big"), 100)->size(), 100);
}
