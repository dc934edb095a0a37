#include "formats/PatchList.h"

#include "FormatsFixtures.h"

#include <gtest/gtest.h>

#include <climits>

using namespace formats_test;

namespace {

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

class PatchListTest : public ::testing::Test {
protected:
    void SetUp() override { library.Add(MakeType(1, 1, 3)); }
    CMetaLib library;
    CSubDoc section { &library };
};

} // namespace

TEST(PatchLineFormat, FieldsAndNumberWidths)
{
    EXPECT_EQ(FormatPatchLine("RGB", "Unit", 7, 0, 9), "RGB;Unit;7;U01.10");
    EXPECT_EQ(FormatPatchLine("RGB", "Unit", 1, 9, 0), "RGB;Unit;1;U10.1");
    EXPECT_EQ(FormatPatchLine("RGB", "Unit", 1, 99, 511), "RGB;Unit;1;U100.512");
    EXPECT_EQ(FormatPatchLine("RGB", "Unit", 3, -1, -1), "RGB;Unit;3;U00.0");
    // Names are written as they are, separators included.
    EXPECT_EQ(FormatPatchLine("R;G", "", -5, 0, 0), "R;G;;-5;U01.1");
    // universe + 1 must not wrap at the int limit.
    EXPECT_EQ(FormatPatchLine("A", "B", INT_MIN, INT_MAX, INT_MAX),
        "A;B;-2147483648;U2147483648.2147483648");
}

TEST_F(PatchListTest, LongNamesAreCutTo127BytesWithoutSplittingCharacters)
{
    // A library name may be longer than the 127-byte name field of a patch line.
    const std::string longName = std::string(126, 'q') + "\xC3\xA9" + "tail";
    EXPECT_EQ(FormatPatchLine(longName, std::string(200, 's'), 1, 0, 0),
        std::string(126, 'q') + ";" + std::string(127, 's') + ";1;U01.1");

    library.GetAt(0)->quarkName = std::string(130, 'x');
    PlaceTiles(section, 1, 1, { { 0, 0 } });
    EXPECT_EQ(BuildPatchList(section),
        (std::vector<std::string> { std::string(127, 'x') + ";Unit;1;U01.1" }));
}

TEST_F(PatchListTest, TwoTileSectionMatchesGolden)
{
    section.setup.screen_id = 1;
    PlaceTiles(section, 2, 1, { { 0, 0 }, { 0, 3 } });
    const std::vector<std::string> lines = BuildPatchList(section);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(JoinLines(lines), ReadGolden("patch_2x1.txt"));
}

TEST_F(PatchListTest, MixedSectionMatchesGolden)
{
    // 2 x 1 items per tile: every tile gives two lines, screen ids column by column.
    library.Add(MakeType(2, 1, 3, "Pixel"));
    section.setup.fix_type = 1;
    section.setup.screen_id = 100;
    section.setup.screen_med_name = "Front Wall";
    PlaceTiles(section, 3, 2, { { 1, 6 }, { 0, 0 }, { 9, 500 }, { 99, 0 }, { 0, 0 }, { 0, 6 } });
    section.GetTileAt(4)->excluded = 1;
    section.RebuildItems();
    EXPECT_EQ(JoinLines(BuildPatchList(section)), ReadGolden("patch_mixed.txt"));
}

TEST_F(PatchListTest, ExcludedFirstDuplicatesAdjacentGridUntouched)
{
    PlaceTiles(section, 4, 1, { { 0, 10 }, { 0, 0 }, { 0, 5 }, { 0, 10 } });
    section.GetTileAt(1)->excluded = 1;
    section.RebuildItems();
    const std::optional<CPatchEntry> before[] = { section.GetItemAt(0), section.GetItemAt(1),
        section.GetItemAt(2), section.GetItemAt(3) };

    EXPECT_EQ(SortedPatchOrder(section), (std::vector<int32_t> { 1, 2, 0, 3 }));
    const std::vector<std::string> lines = BuildPatchList(section);
    EXPECT_EQ(lines,
        (std::vector<std::string> {
            "RGB;Unit;2;U00.0", "RGB;Unit;3;U01.6", "RGB;Unit;1;U01.11", "RGB;Unit;4;U01.11" }));

    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(section.GetItemAt(i), before[i]) << i;
    EXPECT_EQ(section.GetItemCount(), 4);
}

TEST_F(PatchListTest, KeysSpanningTheWholeIntRangeStillSort)
{
    // Keys this far apart cannot be packed into one word; the slower sort must agree.
    PlaceTiles(section, 4, 1, { { INT_MAX, 1 }, { 0, 0 }, { 0, 0 }, { INT_MAX, 0 } });
    section.GetTileAt(1)->excluded = 1;
    EXPECT_EQ(BuildPatchList(section),
        (std::vector<std::string> { "RGB;Unit;2;U00.0", "RGB;Unit;3;U01.1",
            "RGB;Unit;4;U2147483648.1", "RGB;Unit;1;U2147483648.2" }));

    EXPECT_EQ(SortedPatchOrder(section), (std::vector<int32_t> { 1, 2, 3, 0 }));
}

TEST_F(PatchListTest, ItemsAreRebuiltBeforeListing)
{
    PlaceTiles(section, 2, 1, { { 0, 0 }, { 0, 3 } });
    section.GetTileAt(0)->address = 20; // changed after the last rebuild
    EXPECT_EQ(BuildPatchList(section),
        (std::vector<std::string> { "RGB;Unit;2;U01.4", "RGB;Unit;1;U01.21" }));
}

TEST_F(PatchListTest, NothingWithoutTilesOrFixtureType)
{
    EXPECT_TRUE(BuildPatchList(section).empty()); // never set up
    EXPECT_TRUE(SortedPatchOrder(section).empty());

    PlaceTiles(section, 2, 1, { { 0, 0 }, { 0, 3 } });
    section.setup.fix_type = 5; // not in the library
    int calls = 0;
    ForEachPatchLine(section, [&calls](const std::string&) { ++calls; });
    EXPECT_EQ(calls, 0);
}
