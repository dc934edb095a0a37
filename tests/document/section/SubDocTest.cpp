#include "../SectionTestSupport.h"

#include "document/section/Addressing.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

void ExpectNoTiles(CSubDoc& s)
{
    EXPECT_EQ(s.GetTileCount(), 0);
    EXPECT_EQ(s.GetItemCount(), 0);
    EXPECT_EQ(s.GetTile(0, 0), nullptr);
    EXPECT_FALSE(s.GetItem(0, 0).has_value());
    EXPECT_EQ(s.SelectAll(true), 0);
    EXPECT_EQ(s.SelectRect(0, 0, 1, 1), 0);
    EXPECT_EQ(s.SelectUndefined(), 0);
    EXPECT_EQ(s.ExcludeSelected(true), 0);
    EXPECT_FALSE(s.GetSelectionBounds().has_value());
    EXPECT_FALSE(s.SwapTiles(0, 0, 1, 0, false));
    int address = -1;
    EXPECT_EQ(s.NextTileOfUniverse(0, address), -1);
    s.MoveSelection(1, 1);
    s.DeriveItems(0, 0);
    s.RebuildItems();
    AddressTiles(s, CAddressingParams::FromSetup(s.setup), AddressScope::AllTiles);
    EXPECT_EQ(s.GetTileCount(), 0);
    EXPECT_EQ(s.GetItemCount(), 0);
    EXPECT_EQ(s.GetUniverseCount(), 0);
}

} // namespace

TEST(SectionModel, GridsStayEmptyUntilFirstSetUp)
{
    SectionWith w({ 1, 1, 3 }, 6, 3);
    EXPECT_EQ(w.section.setup.matrix_width, 6);
    EXPECT_EQ(w.section.setup.matrix_height, 3);
    EXPECT_FALSE(w.section.initialised);
    ExpectNoTiles(w.section);

    ASSERT_TRUE(w.section.SetUp());
    EXPECT_TRUE(w.section.initialised);
    EXPECT_EQ(w.section.GetTileColumns(), 6);
    EXPECT_EQ(w.section.GetTileRows(), 3);
    EXPECT_EQ(w.section.GetItemCount(), 18);
}

TEST(SectionModel, MissingOrUnusableFixtureTypeMakesEverythingANoOp)
{
    CMetaLib empty;
    CSubDoc noLibrary(nullptr);
    CSubDoc unresolved(&empty);
    for (CSubDoc* s : { &noLibrary, &unresolved }) {
        EXPECT_EQ(s->GetFixtureType(), nullptr);
        EXPECT_FALSE(s->SetUp());
        EXPECT_FALSE(s->initialised);
        EXPECT_EQ(s->ChannelsPerFixture(), 0);
        EXPECT_EQ(s->ScreenIdCount(), 0);
        ExpectNoTiles(*s);
    }

    SectionWith zeroWide({ 0, 2, 3 }, 4, 4);
    EXPECT_EQ(zeroWide.section.GetFixtureType(), nullptr);
    EXPECT_FALSE(zeroWide.section.SetUp());
    ExpectNoTiles(zeroWide.section);
}

TEST(SectionModel, FixtureTypeLostAfterSetUpLeavesTilesAlone)
{
    SectionWith w({ 2, 2, 3 }, 3, 2);
    ASSERT_TRUE(w.section.SetUp());
    ASSERT_EQ(w.section.GetItemCount(), 24);
    const CTileRecord before = *w.section.GetTile(1, 1);

    w.section.setup.fix_type = 7; // no such type
    w.section.RebuildItems();
    EXPECT_EQ(w.section.GetItemCount(), 0);
    EXPECT_EQ(w.section.GetItemColumns(), 0);
    w.section.DeriveItems(1, 1);
    EXPECT_TRUE(w.section.SwapTiles(0, 0, 1, 1, false));
    AddressTiles(w.section, CAddressingParams::FromSetup(w.section.setup), AddressScope::AllTiles);
    EXPECT_EQ(w.section.GetTile(0, 0)->address, before.address);
    EXPECT_FALSE(w.section.SetUp());
}

TEST(SectionModel, SetUpAgainKeepsExclusionsUnlessTheSizeChanges)
{
    SectionWith w({ 1, 1, 3 }, 6, 3);
    ASSERT_TRUE(w.section.SetUp());
    w.section.GetTile(2, 1)->excluded = 1;
    w.section.GetTile(5, 2)->excluded = 1;

    ASSERT_TRUE(w.section.SetUp());
    EXPECT_TRUE(w.section.GetTile(2, 1)->excluded);
    EXPECT_TRUE(w.section.GetTile(5, 2)->excluded);
    EXPECT_EQ(w.section.GetTile(2, 1)->address, -1);
    EXPECT_EQ(w.section.GetTile(3, 1)->address, 24); // takes the excluded tile's place

    w.section.setup.matrix_height = 4;
    ASSERT_TRUE(w.section.SetUp());
    EXPECT_EQ(w.section.GetTileCount(), 24);
    for (const CTileRecord& t : w.section.Tiles())
        EXPECT_FALSE(t.excluded);

    // Same number of tiles in another shape is a different grid, not a reinterpretation.
    w.section.GetTile(0, 0)->excluded = 1;
    w.section.setup.matrix_width = 4;
    w.section.setup.matrix_height = 6;
    ASSERT_TRUE(w.section.SetUp());
    EXPECT_FALSE(w.section.GetTile(0, 0)->excluded);
}

TEST(SectionModel, SizeLimitsRefuseWithoutChangingAnything)
{
    SectionWith w({ 2, 2, 3 }, 4, 3);
    ASSERT_TRUE(w.section.SetUp());
    w.section.GetTile(1, 1)->excluded = 1;

    auto refused = [&](int width, int height) {
        w.section.setup.matrix_width = width;
        w.section.setup.matrix_height = height;
        const bool result = w.section.SetUp();
        EXPECT_EQ(w.section.GetTileColumns(), 4) << width << "x" << height;
        EXPECT_EQ(w.section.GetTileRows(), 3);
        EXPECT_TRUE(w.section.GetTile(1, 1)->excluded);
        EXPECT_EQ(w.section.GetItemCount(), 48);
        return !result;
    };
    EXPECT_TRUE(refused(2001, 2000)); // 4,002,000 tiles
    EXPECT_TRUE(refused(100000, 100000)); // overflows 32 bits
    EXPECT_TRUE(refused(INT_MAX, 2));
    EXPECT_TRUE(refused(2048, 2048)); // also 16.7M items would be too many

    EXPECT_FALSE(w.section.ResizeTiles(70000, 70000));
    EXPECT_EQ(w.section.GetTileCount(), 12);

    SectionWith big({ 5, 5, 1 }, 1000, 1000); // 25M items
    EXPECT_FALSE(big.section.SetUp());
    EXPECT_FALSE(big.section.initialised);
    EXPECT_EQ(big.section.GetTileCount(), 0);

    // Non-positive sizes simply give a section without tiles.
    for (auto [width, height] : { std::pair { 0, 3 }, std::pair { 5, -1 } }) {
        w.section.setup.matrix_width = width;
        w.section.setup.matrix_height = height;
        EXPECT_TRUE(w.section.SetUp());
        EXPECT_EQ(w.section.GetTileColumns(), 0);
        EXPECT_EQ(w.section.GetTileRows(), 0);
        ExpectNoTiles(w.section);
    }
}

TEST(SectionModel, QuarterTurnExchangesItemsPerTile)
{
    SectionWith w({ 2, 1, 3 }, 6, 3);
    EXPECT_EQ(w.section.ItemsPerTileX(), 2);
    EXPECT_EQ(w.section.ItemsPerTileY(), 1);
    for (int orientation : { 1, 3 }) {
        w.section.setup.orientation = orientation;
        EXPECT_EQ(w.section.ItemsPerTileX(), 1);
        EXPECT_EQ(w.section.ItemsPerTileY(), 2);
        ASSERT_TRUE(w.section.SetUp());
        EXPECT_EQ(w.section.GetItemColumns(), 6);
        EXPECT_EQ(w.section.GetItemRows(), 6);
    }
    w.section.setup.orientation = 2;
    w.section.RebuildItems();
    EXPECT_EQ(w.section.GetItemColumns(), 12);
    EXPECT_EQ(w.section.GetItemRows(), 3);

    // Turned again but not rebuilt yet: a swap must not write items for the new shape.
    w.section.setup.orientation = 1;
    EXPECT_TRUE(w.section.SwapTiles(5, 2, 0, 0, false));
    w.section.MoveSelection(0, 0);
    EXPECT_EQ(w.section.GetItemCount(), 36);
    w.section.RebuildItems();
    EXPECT_EQ(w.section.GetItemColumns(), 6);
    EXPECT_EQ(w.section.GetItem(5, 4)->address, 0); // tile (0, 0) now lives at (5, 2)
    EXPECT_EQ(w.section.GetItem(5, 5)->address, 3);
}

TEST(SectionModel, ScreenIdsRunColumnByColumn)
{
    SectionWith across({ 2, 1, 1 }, 1, 1);
    across.section.setup.screen_id = 100;
    ASSERT_TRUE(across.section.SetUp());
    EXPECT_EQ(across.section.ScreenIdAt(0, 0), 100);
    EXPECT_EQ(across.section.ScreenIdAt(1, 0), 101);

    SectionWith down({ 1, 2, 1 }, 1, 1);
    down.section.setup.screen_id = 100;
    ASSERT_TRUE(down.section.SetUp());
    EXPECT_EQ(down.section.ScreenIdAt(0, 0), 100);
    EXPECT_EQ(down.section.ScreenIdAt(0, 1), 101);

    SectionWith grid({ 2, 1, 1 }, 2, 3); // 4 x 3 items
    grid.section.setup.screen_id = 10;
    ASSERT_TRUE(grid.section.SetUp());
    EXPECT_EQ(grid.section.ScreenIdCount(), 12);
    EXPECT_EQ(grid.section.ScreenIdAt(3, 2), 10 + 3 * 3 + 2);
    EXPECT_EQ(grid.section.ScreenIdAtIndex(1), 13); // item (1, 0)
    EXPECT_EQ(grid.section.ScreenIdAtIndex(4), 11); // item (0, 1)
    EXPECT_EQ(grid.section.ScreenIdAtIndex(12), -1); // outside the item grid
    grid.section.setup.screen_id = INT_MAX - 1;
    EXPECT_EQ(grid.section.ScreenIdAt(3, 2), INT_MAX); // clamped, no wrap
}

TEST(SectionModel, LookupsOutsideTheGridsGiveNone)
{
    SectionWith w({ 2, 2, 1 }, 3, 2);
    ASSERT_TRUE(w.section.SetUp());
    EXPECT_NE(w.section.GetTile(2, 1), nullptr);
    EXPECT_EQ(w.section.GetTile(3, 0), nullptr);
    EXPECT_EQ(w.section.GetTile(0, 2), nullptr);
    EXPECT_EQ(w.section.GetTile(-1, 0), nullptr);
    EXPECT_EQ(w.section.GetTileAt(5), w.section.GetTile(2, 1));
    EXPECT_EQ(w.section.GetTileAt(6), nullptr);
    EXPECT_EQ(w.section.GetTileAt(-1), nullptr);
    EXPECT_TRUE(w.section.GetItem(5, 3).has_value());
    EXPECT_FALSE(w.section.GetItem(6, 0).has_value());
    EXPECT_FALSE(w.section.GetItem(0, 4).has_value());
    EXPECT_FALSE(w.section.GetItemAt(24).has_value());
    EXPECT_EQ(w.section.GetItemAt(23), w.section.GetItem(5, 3));
}

TEST(SectionSelection, SelectCountsAndNeverTouchesExcludedWhenSelectingUndefined)
{
    SectionWith w({ 1, 1, 1 }, 4, 3);
    ASSERT_TRUE(w.section.SetUp());
    EXPECT_EQ(w.section.SelectAll(true), 12);
    EXPECT_EQ(w.section.SelectAll(true), 0);
    EXPECT_EQ(w.section.SelectAll(false), 12);

    EXPECT_EQ(w.section.SelectRect(3, 2, 2, 0), 6); // corners in any order
    EXPECT_TRUE(w.section.GetTile(2, 0)->selected);
    EXPECT_FALSE(w.section.GetTile(1, 0)->selected);
    EXPECT_EQ(w.section.SelectRect(0, 0, 4, 0), 0); // a corner outside the grid
    EXPECT_EQ(w.section.ExcludeSelected(true), 6);
    EXPECT_TRUE(w.section.GetTile(3, 2)->excluded);
    w.section.SelectAll(false);

    w.section.GetTile(0, 0)->address = -1;
    w.section.GetTile(1, 1)->universe = -1;
    w.section.GetTile(3, 1)->address = -1; // excluded as well
    EXPECT_EQ(w.section.SelectUndefined(), 2);
    EXPECT_TRUE(w.section.GetTile(0, 0)->selected);
    EXPECT_TRUE(w.section.GetTile(1, 1)->selected);
    EXPECT_FALSE(w.section.GetTile(3, 1)->selected);

    auto bounds = w.section.GetSelectionBounds();
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->x, 0);
    EXPECT_EQ(bounds->y, 0);
    EXPECT_EQ(bounds->w, 2);
    EXPECT_EQ(bounds->h, 2);
    EXPECT_EQ(w.section.ExcludeSelected(false), 2);
}

TEST(SectionSelection, MarksAndVisitedCounts)
{
    SectionWith w({ 1, 1, 200 }, 3, 2); // two tiles per universe
    ASSERT_TRUE(w.section.SetUp());
    w.section.SetAllMoveTargets(true);
    for (const CTileRecord& t : w.section.Tiles())
        EXPECT_TRUE(t.moveTarget);
    w.section.GetTile(2, 1)->excluded = 1;
    w.section.SetUniverseVisited(1, true);
    EXPECT_EQ(w.section.CountVisited(true), 2);
    w.section.SetExcludedVisited(true);
    EXPECT_EQ(w.section.CountVisited(true), 3);
    EXPECT_EQ(w.section.CountVisited(false), 3);
    w.section.SetAllVisited(false);
    EXPECT_EQ(w.section.CountVisited(false), 6);
}

TEST(SectionMove, MovingOntoUnselectedTilesPutsThemWhereTheSelectionCameFrom)
{
    SectionWith w({ 1, 1, 1 }, 4, 3);
    ASSERT_TRUE(w.section.SetUp()); // tile (x, y) has address x + 4y
    w.section.SelectRect(0, 0, 1, 0);

    w.section.MoveSelection(1, 1); // down and right
    auto at = [&](int x, int y) { return w.section.GetTile(x, y)->address; };
    EXPECT_EQ(at(1, 1), 0);
    EXPECT_EQ(at(2, 1), 1);
    EXPECT_TRUE(w.section.GetTile(1, 1)->selected);
    EXPECT_FALSE(w.section.GetTile(0, 0)->selected);
    // The two displaced tiles took the vacated cells.
    EXPECT_EQ(at(0, 0) + at(1, 0), 5 + 6);
    // Items follow their tiles.
    EXPECT_EQ(w.section.GetItem(2, 1)->address, 1);
    EXPECT_EQ(w.section.GetItem(0, 0)->address, at(0, 0));

    // Back up and left: every tile is where it started.
    w.section.MoveSelection(0, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(at(x, y), x + 4 * y) << x << "," << y;
}

TEST(SectionMove, OverlappingMovesInEveryDirectionKeepTheBlockTogether)
{
    const int dirs[][2]
        = { { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 }, { 1, 1 }, { -1, -1 }, { 1, -1 }, { -1, 1 } };
    for (auto& d : dirs) {
        SectionWith w({ 1, 1, 1 }, 6, 6);
        ASSERT_TRUE(w.section.SetUp());
        w.section.SelectRect(2, 2, 4, 3); // 3 x 2 block
        w.section.MoveSelection(2 + d[0], 2 + d[1]);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const CTileRecord* t = w.section.GetTile(2 + d[0] + x, 2 + d[1] + y);
                EXPECT_TRUE(t->selected);
                EXPECT_EQ(t->address, (2 + x) + 6 * (2 + y)) << d[0] << "," << d[1];
            }
        int selected = 0;
        long long sum = 0;
        for (const CTileRecord& t : w.section.Tiles()) {
            selected += t.selected;
            sum += t.address;
        }
        EXPECT_EQ(selected, 6);
        EXPECT_EQ(sum, 35 * 36 / 2); // nothing lost or duplicated
    }
}

TEST(SectionMove, SwapMovesWholeRecords)
{
    SectionWith w({ 2, 1, 1 }, 3, 1);
    ASSERT_TRUE(w.section.SetUp());
    w.section.GetTile(2, 0)->excluded = 1;
    w.section.RebuildItems();
    EXPECT_FALSE(w.section.SwapTiles(0, 0, 2, 0, true)); // first tile not selected
    EXPECT_FALSE(w.section.SwapTiles(0, 0, 3, 0, false));
    w.section.GetTile(0, 0)->selected = 1;
    EXPECT_TRUE(w.section.SwapTiles(0, 0, 2, 0, true));
    EXPECT_TRUE(w.section.GetTile(0, 0)->excluded);
    EXPECT_EQ(w.section.GetItem(0, 0)->universe, -1);
    EXPECT_EQ(w.section.GetItem(1, 0)->address, -1);
    EXPECT_TRUE(w.section.GetTile(2, 0)->selected);
    EXPECT_EQ(w.section.GetItem(4, 0)->address, 0);
    EXPECT_EQ(w.section.GetItem(5, 0)->address, 1);
}

TEST(SectionUniverses, NextTileEnumeratesAUniverseInAddressOrder)
{
    SectionWith w({ 1, 1, 1 }, 4, 2);
    ASSERT_TRUE(w.section.SetUp());
    // Row 0: 30, 10, 10, 20; row 1: 10 (other universe), 5 (excluded), 600, 40.
    const int addresses[] = { 30, 10, 10, 20, 10, 5, 600, 40 };
    for (int i = 0; i < 8; ++i)
        w.section.GetTileAt(i)->address = addresses[i];
    w.section.GetTileAt(4)->universe = 1;
    w.section.GetTileAt(5)->excluded = 1;

    std::vector<int> order;
    int address = -1;
    for (int index; (index = w.section.NextTileOfUniverse(0, address)) >= 0;)
        order.push_back(index);
    // Equal addresses: first in scan order when stepping up, then the last one left.
    EXPECT_EQ(order, (std::vector<int> { 1, 2, 3, 0, 7 })); // 600 is beyond addr_count
    EXPECT_EQ(w.section.CountVisited(true), 5);
}

TEST(SectionUniverses, CountsFollowTilesAndHighest)
{
    SectionWith w({ 1, 1, 256 }, 5, 1); // two tiles per universe
    ASSERT_TRUE(w.section.SetUp());
    EXPECT_EQ(w.section.GetUniverseCount(), 3);
    EXPECT_EQ(w.section.GetHighestUniverse(), 2);
    EXPECT_EQ(w.section.GetUniverseCounts().at(2), 1);

    w.section.RemoveUniverseTile(2);
    EXPECT_EQ(w.section.GetHighestUniverse(), 1);
    w.section.RemoveUniverseTile(9); // unknown: nothing happens
    w.section.AddUniverseTile(7);
    w.section.AddUniverseTile(-1); // undefined tiles are never counted
    EXPECT_EQ(w.section.GetUniverseCount(), 3);
    EXPECT_EQ(w.section.GetHighestUniverse(), 7);

    w.section.GetTile(0, 0)->excluded = 1;
    w.section.GetTile(4, 0)->universe = 0;
    w.section.RecountUniverses();
    EXPECT_EQ(w.section.GetUniverseCounts(), (std::map<int, int> { { 0, 2 }, { 1, 2 } }));
}
