#include "peer/History.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "support/CpuTime.h"
#include "support/TempHome.h"

#include <QDir>
#include <QLocale>
#include <QRandomGenerator>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace gabblet;

namespace {

// Spelled out rather than copied from the class: a copy made during static
// initialisation could see it still empty.
const QString kSep = QStringLiteral("+-------------------------+");

// The load rule exactly as stated, copying and rescanning after every line.
QString directLoad(const QByteArray& bytes) {
    QString acc;
    bool skipping = false, firstLine = true;
    for (const QString& line : splitLines(cp1252::decode(bytes))) {
        if (skipping) {
            skipping = line != kSep;
            continue;
        }
        acc = firstLine ? line : acc + kCrLf + line;
        firstLine = false;
        if (acc.size() > 20000) {
            const qsizetype i = acc.indexOf(kSep);
            skipping = i < 0;
            acc = skipping ? QString() : acc.mid(i + kSep.size());
        }
    }
    return acc;
}

QDateTime someTime(int i) {
    return QDateTime(QDate(2024, 3, 5), QTime(0, 0)).addSecs(qint64(i) * 61);
}

QString rec(const QString& who, const QString& body, int i = 0) {
    return MessageHistory::record(who, "Merlin", body, someTime(i));
}

// Ordinary records of one to four random lines; `extra` joins in after record 5.
QString historyOf(qsizetype atLeast, quint32 seed, const QString& extra = {}) {
    QRandomGenerator rng(seed);
    MessageHistory h;
    for (int i = 0; h.text().size() < atLeast; ++i) {
        QStringList lines;
        for (int n = 1 + rng.bounded(4); n > 0; --n)
            lines << QString(rng.bounded(120), QChar(u'a' + rng.bounded(26)));
        h.append(QStringLiteral("host%1").arg(i), "Merlin", lines.join(kCrLf), someTime(i));
        if (i == 5 && !extra.isEmpty())
            h.setText(h.text() + kCrLf + extra);
    }
    return h.text();
}

QString manyLines(int n, QChar c) {
    QStringList lines;
    for (int k = 0; k < n; ++k)
        lines << QString(90, c);
    return lines.join(kCrLf);
}

class HistoryTest : public ::testing::Test {
protected:
    QString loadBytes(const QByteArray& bytes) {
        home.write("rec.txt", bytes);
        MessageHistory h;
        EXPECT_TRUE(h.load(home.file("rec.txt")));
        return h.text();
    }
    // Compared against the direct rule, as CR LF and as LF file.
    QString loadChecked(const QString& text) {
        const QString loaded = loadBytes(cp1252::encode(text));
        EXPECT_TRUE(loaded == directLoad(cp1252::encode(text))) << loaded.left(200).toStdString();
        EXPECT_TRUE(loadBytes(cp1252::encode(QString(text).replace(kCrLf, "\n"))) == loaded);
        return loaded;
    }
    test::TempHome home;
};

} // namespace

TEST_F(HistoryTest, LoadingKeepsTheTailAfterWholeRecords) {
    // 30000 characters: the oldest records go one by one past 20000.
    const QString full = historyOf(30000, 1);
    const QString loaded = loadChecked(full);
    EXPECT_TRUE(full.endsWith(loaded));
    EXPECT_TRUE(loaded.startsWith(kCrLf + "From: host"));
    EXPECT_GT(loaded.size(), 19000);
    EXPECT_LE(loaded.size(), 20000);
    EXPECT_EQ(loadBytes(cp1252::encode(full + kCrLf)), loaded);

    // Exactly 20000 characters stay whole; one more drops the first record.
    const QString a = rec("a", "first"), shortB = rec("c", "");
    const QString exact = a + kCrLf + rec("c", QString(20000 - a.size() - 2 - shortB.size(), 'x'));
    ASSERT_EQ(exact.size(), 20000);
    EXPECT_EQ(loadBytes(cp1252::encode(exact)), exact);
    const QString over = a + kCrLf + rec("c", QString(20001 - a.size() - 2 - shortB.size(), 'x'));
    EXPECT_EQ(loadBytes(cp1252::encode(over)), over.mid(a.size()));
}

TEST_F(HistoryTest, OverlongRecordsAreSkippedToTheirSeparatorLine) {
    // In the middle of a long history, and as a single over-long line (which
    // survives, since only one record goes per line read).
    EXPECT_FALSE(loadChecked(historyOf(60000, 2, rec("x", manyLines(300, '#')))).contains('#'));
    EXPECT_TRUE(loadChecked(historyOf(5000, 3, rec("x", QString(30000, '#')))).contains('#'));

    // At the end nothing follows; followed by a small record, the kept text
    // starts like any other drop. A line merely starting with the separator
    // does not end the skipping.
    const QString head = historyOf(3000, 4) + kCrLf;
    EXPECT_EQ(loadChecked(head + rec("x", manyLines(300, 'z'))), QString());
    const QString quoted = manyLines(300, 'z') + kCrLf + kSep + " quoted" + kCrLf + "more";
    EXPECT_EQ(loadChecked(head + rec("x", quoted) + kCrLf + rec("next", "small")),
              kCrLf + rec("next", "small"));
}

TEST_F(HistoryTest, RandomFilesMatchTheRule) {
    const QStringList kinds = {kSep,
                               "ab" + kSep + "cd",
                               kSep.chopped(1) + kSep,
                               QString(3000, 'w'),
                               QString(),
                               "From: a using b at c d->",
                               "some words"};
    for (quint32 seed = 10; seed < 40; ++seed) {
        QRandomGenerator rng(seed);
        QByteArray file;
        while (file.size() < 70000)
            file += cp1252::encode(kinds.at(rng.bounded(int(kinds.size())))) +
                    (rng.bounded(2) ? "\r\n" : "\n");
        if (rng.bounded(2))
            file.chop(1);
        EXPECT_TRUE(loadBytes(file) == directLoad(file)) << "seed " << seed;
    }
}

TEST_F(HistoryTest, MissingAndUnreadableFiles) {
    MessageHistory h;
    h.setText("old");
    EXPECT_TRUE(h.load(home.file("rec.txt")));
    EXPECT_TRUE(h.text().isEmpty());

    // A FIFO (which must not block), a folder, a link loop: failures, empty.
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.file("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QDir(home.path()).mkdir("dir"));
    ASSERT_TRUE(QFile::link("loop", home.file("loop")));
    for (const char* name : {"fifo", "dir", "loop"}) {
        h.setText("old");
        EXPECT_FALSE(h.load(home.file(name))) << name;
        EXPECT_TRUE(h.text().isEmpty());
    }
}

TEST_F(HistoryTest, HugeFilesLoadQuicklyFromTheirTail) {
    // Far past the read cap, mostly a hole: starting in the tail gives what
    // reading the whole history would.
    const QString tail = historyOf(30000, 5);
    {
        QFile f(home.file("rec.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(80LL << 20) && f.seek(f.size()));
        f.write(cp1252::encode(tail));
    }
    MessageHistory h;
    EXPECT_TRUE(h.load(home.file("rec.txt")));
    EXPECT_TRUE(h.text() == directLoad(cp1252::encode(tail)));

    // Four million empty lines: copying the kept text once per line takes
    // several seconds here, the load itself well under one. Counted in this
    // thread's processor time, which other programs on a busy machine do not
    // lengthen (the wall clock went past the limit under load).
    MessageHistory big;
    for (int i = 0; i < 2000; ++i)
        big.append("peer", "Genie", kCrLf.repeated(2000) + QString::number(i), someTime(i));
    ASSERT_TRUE(big.save(home.file("big.txt")));
    const double start = test::threadCpuSeconds();
    EXPECT_TRUE(h.load(home.file("big.txt")));
    EXPECT_LT(test::threadCpuSeconds() - start, 2.5);
    EXPECT_TRUE(big.text().endsWith(h.text()));
    EXPECT_TRUE(h.text().endsWith("\r\n1999\r\n" + kSep));
}

TEST_F(HistoryTest, RecordsAppendAndSaveExactly) {
    const QDateTime late(QDate(2024, 11, 28), QTime(23, 4, 5));
    const QString date = QLocale::system().toString(late.date(), QLocale::ShortFormat);
    EXPECT_EQ(MessageHistory::kSeparator, kSep);
    EXPECT_EQ(MessageHistory::record("anna", "Merlin", "hi\r\nthere\\\\h", late),
              "From: anna using Merlin at " + date + " 23:04:05->\r\nhi\r\nthere\\\\h\r\n" + kSep);
    EXPECT_TRUE(MessageHistory::record("a", "", "", QDateTime(QDate(2024, 1, 2), QTime(7, 8, 9)))
                    .contains(" 07:08:09->"));

    MessageHistory h;
    h.append("anna", "Merlin", QStringLiteral("caf\u00e9 \u20ac5"), late);
    EXPECT_EQ(h.text(),
              MessageHistory::record("anna", "Merlin", QStringLiteral("caf\u00e9 \u20ac5"), late));
    h.append("bob", "Genie", "two", late);
    EXPECT_EQ(h.text(),
              MessageHistory::record("anna", "Merlin", QStringLiteral("caf\u00e9 \u20ac5"), late) +
                  kCrLf + MessageHistory::record("bob", "Genie", "two", late));

    // Windows-1252, nothing added at the end, private even over an open file.
    home.write("rec.txt", "older and longer content that must go");
    ::chmod(QFile::encodeName(home.file("rec.txt")).constData(), 0644);
    ASSERT_TRUE(h.save(home.file("rec.txt")));
    EXPECT_EQ(home.read("rec.txt"), cp1252::encode(h.text()));
    EXPECT_TRUE(home.read("rec.txt").contains("caf\xe9 \x80"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(home.file("rec.txt")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    MessageHistory back;
    EXPECT_TRUE(back.load(home.file("rec.txt")));
    EXPECT_EQ(back.text(), h.text());
    EXPECT_FALSE(h.save(home.file("no/such/folder/rec.txt")));
}

TEST(HistoryReuse, EveryCaretInTheSecondRecordPicksIt) {
    MessageHistory received;
    received.append("anna", "Merlin", "first", someTime(1));
    received.append("192.168.1.7", "Genie", "line one\r\nline two\\\\h", someTime(2));
    received.append("bob", "Peedy", "third\\\\h\\\\s", someTime(3));
    const QString& t = received.text();
    const qsizetype sep1 = t.indexOf(kSep), sep2 = t.indexOf(kSep, sep1 + 1);

    // Carets are 1-based: from just after the first separator through the
    // first character of the second one.
    for (qsizetype caret = sep1 + 2; caret <= sep2 + 1; ++caret) {
        const auto r = received.recordAt(caret);
        ASSERT_TRUE(r) << caret;
        EXPECT_EQ(r->sender, "192.168.1.7");
        EXPECT_EQ(r->character, "Genie");
        EXPECT_EQ(r->body, "line one\r\nline two");
        EXPECT_TRUE(r->hideAtEnd);
    }
    EXPECT_EQ(received.recordAt(sep1 + 1)->sender, "anna");
    EXPECT_EQ(received.recordAt(sep2 + 2)->body,
              "third\\\\h\\\\s"); // only a final hide code counts
    EXPECT_FALSE(received.recordAt(sep2 + 2)->hideAtEnd);
    for (qsizetype caret : {-5, 0, 1})
        EXPECT_EQ(received.recordAt(caret)->body, "first");
    // Past the last separator there is no record.
    EXPECT_FALSE(received.recordAt(t.size() + 1));
    EXPECT_FALSE(received.recordAt(t.size() + 1000));
}

TEST(HistoryReuse, SentHistoryAndUnusualNames) {
    const QString host = QSysInfo::machineHostName();
    MessageHistory sent;
    sent.append(host, "Merlin", "hello", someTime(1));
    sent.append(host, "", "no character", someTime(2));
    sent.append("Anna Smith", "Rover the dog", "spaces", someTime(3));
    const QString& t = sent.text();

    EXPECT_EQ(sent.recordAt(5)->sender, host);
    EXPECT_EQ(sent.recordAt(5)->character, "Merlin");
    // An empty character stays empty instead of becoming "at".
    EXPECT_EQ(sent.recordAt(t.indexOf("no character"))->character, "");
    const auto r = sent.recordAt(t.indexOf("spaces"));
    EXPECT_EQ(r->sender, "Anna Smith");
    EXPECT_EQ(r->character, "Rover the dog");

    // A box that hands back LF line breaks still gives the whole body.
    sent.setText(QString(t).replace(kCrLf, "\n"));
    EXPECT_EQ(sent.recordAt(sent.text().indexOf("spaces"))->body, "spaces");
}

TEST(HistoryReuse, DamagedTextNeverBreaks) {
    MessageHistory h;
    for (const char* bad : {"random words", "From: x using y at z", "->", "From:"}) {
        h.setText(bad);
        EXPECT_FALSE(h.recordAt(3)) << bad;
    }
    h.setText("From: a->");
    EXPECT_EQ(h.recordAt(1)->sender, "a");
    // A record without its separator (edited or cut) reads to the end; with
    // the line breaks around a separator edited away, no body character is
    // lost and the next record is still found.
    h.setText("From: z using q at 1/2/24 10:00:00->\r\nstill here");
    EXPECT_EQ(h.recordAt(1000)->body, "still here");
    h.setText("From: a using b at d t->\r\nhello" + kSep + "From: c using e at d t->\r\nbye");
    EXPECT_EQ(h.recordAt(1)->body, "hello");
    EXPECT_EQ(h.recordAt(h.text().size())->sender, "c");

    // Every cut of a real history at every caret: whatever comes back lies inside.
    const QString whole = rec("anna", "one\\\\h", 1) + kCrLf + rec("bob", "two", 2);
    for (qsizetype len = 0; len <= whole.size(); ++len) {
        h.setText(whole.left(len) + "\r\n+--+--" + kSep.left(len % 27));
        for (qsizetype caret = -1; caret <= h.text().size() + 1; ++caret) {
            const auto r = h.recordAt(caret);
            EXPECT_TRUE(!r || h.text().contains(r->body));
        }
    }
}
