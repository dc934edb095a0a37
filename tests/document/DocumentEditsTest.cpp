#include "QuiltmarkDocTestSupport.h"
#include "SectionTestSupport.h"
#include "document/section/Addressing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

namespace {

// What a refresh from scratch gives must be what the edit left behind.
void ExpectDerivedDataInStep(CQuiltmarkDoc& doc, int step)
{
    const std::map<int, int> universeUse = doc.GetUniverseUse();
    for (int s = 0; s < doc.GetSectionCount(); ++s) {
        CSubDoc& section = *doc.GetSection(s);
        const std::vector<CPatchEntry> items = ItemsOf(section);
        const std::map<int, int> counts = section.GetUniverseCounts();
        section.RebuildItems();
        section.RecountUniverses();
        ASSERT_EQ(ItemsOf(section), items) << step;
        EXPECT_EQ(section.GetUniverseCounts(), counts) << step;
    }
    doc.RebuildTables();
    EXPECT_EQ(doc.GetUniverseUse(), universeUse) << step;
}

// What an edit may change of a section: a change of any of these is a change of the project.
std::vector<long long> Fingerprint(const CSubDoc& section)
{
    std::vector<long long> values { section.GetTileColumns(), section.GetTileRows(),
        section.setup.matrix_width, section.setup.matrix_height, section.setup.address_origin,
        section.setup.check_invert_secondaries };
    for (const CTileRecord& tile : section.Tiles())
        values.insert(values.end(), { tile.universe, tile.address, tile.excluded, tile.selected });
    return values;
}

} // namespace

TEST(DocumentEdits, EveryEditRefreshesWhatItChangedAndMarksTheDocument)
{
    for (const bool automatic : { false, true }) {
        CTestDocument t;
        CQuiltmarkDoc& doc = *t.doc;
        CSubDoc& wall = t.SetUpSection(*doc.GetSection(0), 2, 9, 6, 1, 0);
        t.SetUpSection(*doc.AddSection(), 0, 40, 2, 500, 0); // shares universe 0 with the wall
        doc.RebuildTables();
        doc.autoAddressing = automatic;
        std::mt19937 random(automatic ? 7 : 8);
        for (int step = 0; step < 120; ++step) {
            doc.SetModifiedFlag(false);
            const int x = static_cast<int>(random() % 9);
            const int y = static_cast<int>(random() % 6);
            bool changed = true;
            const unsigned kind = random() % 5;
            std::vector<long long> before;
            switch (kind) {
            case 0:
                changed = doc.ExcludeTiles(
                              wall, { { x, y }, { 8 - x, 5 - y }, { 99, 0 } }, random() % 2 == 0)
                    > 0;
                break;
            case 1:
                wall.SelectAll(false);
                wall.SelectRect(x, y, std::min(x + 2, 8), std::min(y + 1, 5));
                before = Fingerprint(wall);
                doc.ExcludeSelectedTiles(wall, random() % 2 == 0);
                break;
            case 2:
                wall.SelectAll(false);
                wall.SelectRect(x, y, x, y);
                before = Fingerprint(wall);
                doc.MoveSelectedTiles(
                    wall, static_cast<int>(random() % 9), static_cast<int>(random() % 6));
                break;
            case 3: {
                wall.SelectAll(false);
                wall.SelectRect(0, y, 8, y);
                CAddressingParams params = CAddressingParams::FromSetup(wall.setup);
                params.baseUniverse = static_cast<int>(random() % 3);
                params.firstAddress = static_cast<int>(random() % 500);
                before = Fingerprint(wall);
                doc.AddressSelectedTiles(wall, params, random() % 2 == 0);
                break;
            }
            default: {
                before = Fingerprint(wall);
                CSectionSetup setup = wall.setup;
                setup.matrix_width = 1 + x;
                setup.matrix_height = 1 + y;
                setup.address_origin = static_cast<int>(random() % 4);
                setup.check_invert_secondaries = static_cast<int>(random() % 2);
                ASSERT_TRUE(doc.SetUpSection(wall, setup));
                // Later steps address cells of a 9 x 6 grid again.
                setup.matrix_width = 9;
                setup.matrix_height = 6;
                ASSERT_TRUE(doc.SetUpSection(wall, setup));
                break;
            }
            }
            // An edit that leaves the project as it was is no change.
            if (!before.empty())
                changed = Fingerprint(wall) != before;
            EXPECT_EQ(doc.IsModified(), changed) << step;
            ExpectDerivedDataInStep(doc, step);
            if (automatic && changed && kind != 3) {
                // Automatic addressing leaves no address other than its own (the selection
                // sheet sets addresses by hand, until the next edit).
                const std::vector<CTileRecord> tiles = wall.Tiles();
                AddressTiles(
                    wall, CAddressingParams::FromSetup(wall.setup), AddressScope::AllTiles);
                for (std::size_t i = 0; i < tiles.size(); ++i)
                    ASSERT_TRUE(wall.Tiles()[i].universe == tiles[i].universe
                        && wall.Tiles()[i].address == tiles[i].address)
                        << "step " << step << " tile " << i;
            }
        }
    }
}

TEST(DocumentEdits, AMatrixTooLargeChangesNothingAndSaysSo)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& section = t.SetUpSection(*doc.GetSection(0), 2, 4, 3);
    doc.SetModifiedFlag(false);
    const std::vector<CTileRecord> tiles = section.Tiles();
    CSectionSetup setup = section.setup;
    setup.matrix_width = 5000;
    setup.matrix_height = 5000;
    EXPECT_FALSE(doc.SetUpSection(section, setup));
    EXPECT_EQ(section.setup.matrix_width, 4);
    EXPECT_EQ(section.Tiles().size(), tiles.size());
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].icon, MessageIcon::Warning);
}

TEST(DocumentEdits, SectionEditsKeepTheTablesAndMarkTheDocument)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    t.SetUpSection(*doc.GetSection(0), 0, 2, 1, 1, 0);
    t.SetUpSection(*doc.AppendSection(), 0, 2, 1, 100, 0); // the same channels
    doc.RebuildTables();
    ASSERT_TRUE(doc.IsChannelShared(0));

    doc.SetModifiedFlag(false);
    ASSERT_TRUE(doc.RemoveSection(1));
    EXPECT_TRUE(doc.IsModified());
    // The deleted section's tiles no longer show as a conflict.
    EXPECT_FALSE(doc.IsChannelShared(0));
    EXPECT_FALSE(doc.RemoveSection(0)); // the last one stays

    doc.SetModifiedFlag(false);
    EXPECT_FALSE(doc.RenameSection(0, "new 1")); // its own name is taken too
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.RenameSection(0, "Front"));
    EXPECT_EQ(doc.GetSection(0)->name, "Front");
    EXPECT_TRUE(doc.IsModified());

    while (doc.GetSectionCount() < CQuiltmarkDoc::kMaxSections)
        ASSERT_NE(doc.AppendSection(), nullptr);
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.AppendSection(), nullptr);
    EXPECT_FALSE(doc.IsModified());
}

TEST(DocumentEdits, TablesAfterEditsOfRandomSectionsMatchACountFromScratch)
{
    // The universe counts and the channel table are built from the addressing walk; counted
    // tile by tile from the records they must come out the same, for every fixture type,
    // turn, origin, direction and snake, with hand addresses and clashes among the sections.
    std::mt19937 random(21);
    const auto pick
        = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 12; ++round) {
        CTestDocument t;
        CQuiltmarkDoc& doc = *t.doc;
        for (int s = 0; s < 3; ++s) {
            CSubDoc& section = s == 0 ? *doc.GetSection(0) : *doc.AppendSection();
            CSectionSetup setup = section.setup;
            setup.fix_type = pick(4);
            setup.matrix_width = 1 + pick(30);
            setup.matrix_height = 1 + pick(30);
            setup.orientation = pick(4);
            setup.address_origin = pick(4);
            setup.primary_direction = pick(2);
            setup.check_invert_secondaries = pick(2);
            setup.base_universe = pick(3);
            setup.addr_first = pick(2) ? 0 : pick(520);
            setup.addr_count = pick(2) ? 512 : 1 + pick(512);
            ASSERT_TRUE(doc.SetUpSection(section, setup));
        }
        for (int step = 0; step < 25; ++step) {
            CSubDoc& section = *doc.GetSection(pick(3));
            doc.autoAddressing = pick(3) != 0;
            const int w = section.GetTileColumns(), h = section.GetTileRows();
            if (pick(4) == 0) {
                section.SelectAll(false);
                section.SelectRect(pick(w), pick(h), pick(w), pick(h));
                CAddressingParams params = CAddressingParams::FromSetup(section.setup);
                params.firstAddress = pick(512);
                params.origin = pick(4);
                doc.AddressSelectedTiles(section, params, pick(2) == 0);
            } else {
                doc.ExcludeTiles(section, { { pick(w), pick(h) } }, pick(2) == 0);
            }

            std::map<long long, int> channels;
            std::map<int, int> universes;
            for (int s = 0; s < doc.GetSectionCount(); ++s) {
                const CSubDoc& each = *doc.GetSection(s);
                std::map<int, int> counts;
                for (const CTileRecord& tile : each.Tiles()) {
                    if (tile.excluded || tile.universe < 0)
                        continue;
                    ++counts[tile.universe];
                    if (tile.address < 0)
                        continue;
                    for (int c = 0; c < each.ChannelsPerFixture(); ++c)
                        ++channels[tile.universe * 512LL + tile.address + c];
                }
                ASSERT_EQ(each.GetUniverseCounts(), counts) << round << " " << step;
                for (const auto& entry : counts)
                    ++universes[entry.first];
            }
            ASSERT_EQ(doc.GetUniverseUse(), universes) << round << " " << step;
            const long long last = channels.empty() ? 0 : channels.rbegin()->first + 2;
            for (long long key = -2; key <= last; ++key) {
                const auto it = channels.find(key);
                ASSERT_EQ(doc.GetChannelUseCount(key), it == channels.end() ? 0 : it->second)
                    << round << " " << step << " key " << key;
            }
        }
    }
}

// Only the selected tiles move, however scattered: the tiles in the gaps of the selection's
// bounding box stay where they are, on both sides, and automatic addressing lays the wall out
// anew around the moved ones.
TEST(DocumentEdits, ScatteredSelectionsMoveWithAutomaticAddressing)
{
    struct Cell {
        int x;
        int y;
    };
    struct Case {
        const char* name;
        std::vector<Cell> selected;
        Cell to; // new top-left of the bounding box
        std::vector<Cell> excludedBefore;
        std::vector<Cell> excludedAfter;
    };
    const Case cases[] = {
        { "L shape", { { 1, 1 }, { 1, 2 }, { 2, 2 } }, { 5, 0 }, { { 1, 2 }, { 2, 1 }, { 6, 0 } },
            { { 5, 1 }, { 2, 1 }, { 6, 0 } } },
        { "gapped row", { { 0, 4 }, { 3, 4 } }, { 4, 3 }, { { 0, 4 }, { 5, 3 } },
            { { 4, 3 }, { 5, 3 } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTestDocument t;
        CQuiltmarkDoc& doc = *t.doc;
        CSubDoc& wall = t.SetUpSection(*doc.GetSection(0), 2, 8, 5, 1, 0);
        doc.autoAddressing = true;
        for (const Cell& e : c.excludedBefore)
            doc.ExcludeTiles(wall, { { e.x, e.y } }, true);
        wall.SelectAll(false);
        for (const Cell& s : c.selected)
            wall.GetTile(s.x, s.y)->selected = 1;
        const std::vector<long long> before = Fingerprint(wall);

        doc.MoveSelectedTiles(wall, c.to.x, c.to.y);
        std::vector<int> excluded;
        std::vector<int> expectedExcluded;
        for (int i = 0; i < wall.GetTileCount(); ++i)
            if (wall.GetTileAt(i)->excluded)
                excluded.push_back(i);
        for (const Cell& e : c.excludedAfter)
            expectedExcluded.push_back(e.y * 8 + e.x);
        std::sort(expectedExcluded.begin(), expectedExcluded.end());
        EXPECT_EQ(excluded, expectedExcluded);
        // The selection moved with its tiles, by the bounding box's offset.
        int left = INT_MAX;
        int top = INT_MAX;
        for (const Cell& s : c.selected) {
            left = std::min(left, s.x);
            top = std::min(top, s.y);
        }
        int selected = 0;
        for (int i = 0; i < wall.GetTileCount(); ++i)
            selected += wall.GetTileAt(i)->selected;
        EXPECT_EQ(selected, static_cast<int>(c.selected.size()));
        for (const Cell& s : c.selected)
            EXPECT_TRUE(wall.GetTile(s.x - left + c.to.x, s.y - top + c.to.y)->selected);
        EXPECT_TRUE(TilesFollowAddressing(wall, CAddressingParams::FromSetup(wall.setup)));
        ExpectDerivedDataInStep(doc, 0);
        EXPECT_TRUE(doc.IsModified());

        ASSERT_TRUE(doc.Undo());
        EXPECT_EQ(Fingerprint(wall), before);
    }
}
