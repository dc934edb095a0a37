#include "shell/toolkit/ModelText.h"

#include <gtest/gtest.h>

TEST(ModelText, ShowsUtf8AndFallsBackToWindows1252)
{
    EXPECT_EQ(FromModelText("Wand \xC3\xA4"), QString::fromUtf8("Wand \xC3\xA4"));
    // Old files hold 8-bit bytes: 0xE4 is a-umlaut, 0x80 the euro sign, 0xBB the guillemet.
    EXPECT_EQ(FromModelText("Wand \xE4 \x80 \xBB"),
        QString::fromUtf8("Wand \xC3\xA4 \xE2\x82\xAC \xC2\xBB"));
}

TEST(ModelText, LimitsNeverSplitACharacter)
{
    // Four two-byte characters cut at 5 bytes keep two whole ones.
    EXPECT_EQ(
        ToModelText(QString::fromUtf8("\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"), 5), "\xC3\xA4\xC3\xB6");
    EXPECT_EQ(ToModelText(QStringLiteral("abc"), -1), "abc");
    // An 8-bit text is cut like any bytes, not stepped back over.
    EXPECT_EQ(CutUtf8("ab\xE4\xE4\xE4", 4), "ab\xE4\xE4");
}
