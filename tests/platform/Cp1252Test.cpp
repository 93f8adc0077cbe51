#include "platform/Cp1252.h"

#include <gtest/gtest.h>

using namespace gabblet;

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = cp1252::decode(all);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(cp1252::encode(text), all);
}

TEST(Cp1252, MapsTheWindowsPunctuationAndReplacesTheRest) {
    EXPECT_EQ(cp1252::decode(QByteArray("\x80\x96\xe9")), QString::fromUtf8("€–é"));
    EXPECT_EQ(cp1252::encode(QString::fromUtf8("€ é")), QByteArray("\x80 \xe9"));
    // Outside the code page: one '?' per character, also beyond the basic plane.
    EXPECT_EQ(cp1252::encode(QString::fromUtf8("a\u4e2db\U0001F600c")), QByteArray("a?b?c"));
}
