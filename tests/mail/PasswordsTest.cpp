#include "mail/Passwords.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace gabblet;

TEST(Passwords, EverySevenBitCharacterRoundTrips) {
    QString all;
    for (int c = 0; c < 128; ++c)
        all.append(QChar(c));
    const QString scrambled = ScramblePassword(all);
    EXPECT_EQ(scrambled.size(), 256);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]*$")).match(scrambled).hasMatch());
    EXPECT_EQ(UnscramblePassword(scrambled), all);
    // Each character also on its own (the offsets restart every time).
    for (int c = 0; c < 128; ++c)
        EXPECT_EQ(UnscramblePassword(ScramblePassword(QString(QChar(c)))), QString(QChar(c)));
}

TEST(Passwords, IsRepeatableAndHidesRepeatedCharacters) {
    EXPECT_EQ(ScramblePassword("secret"), ScramblePassword("secret"));
    const QString s = ScramblePassword("aaaa");
    EXPECT_FALSE(s.mid(0, 2) == s.mid(2, 2) && s.mid(2, 2) == s.mid(4, 2));
}

TEST(Passwords, AccentedCharactersDoNotCorruptTheRest) {
    const QString pw = QString::fromUtf8("ÿéü€x");
    const QString scrambled = ScramblePassword(pw);
    EXPECT_EQ(scrambled.size(), 10);
    EXPECT_EQ(UnscramblePassword(scrambled), pw);
}

TEST(Passwords, OldSchemeAndDamagedText) {
    EXPECT_EQ(UnscrambleOld("Jgnnq"), "Hello");
    EXPECT_EQ(UnscrambleOld(ScrambleOld("pa55 word")), "pa55 word");
    const QString two = ScramblePassword("ab");
    EXPECT_EQ(UnscramblePassword(two + "Z"), "ab"); // a dangling digit is dropped
    EXPECT_EQ(UnscramblePassword(two.left(2) + "G1"), "a");
}
