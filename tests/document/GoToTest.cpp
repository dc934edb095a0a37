#include "document/GoTo.h"
#include "document/TileDetails.h"

#include "QuiltmarkDocTestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using Kind = CGoToTarget::Kind;

// Type numbers of the test library: PIX (1 x 1, 3 channels), TILE2X2 (2 x 2 items, 12).
constexpr int kPix = 0;
constexpr int kTile2x2 = 2;

CGoToTarget Parsed(const char* text)
{
    const std::optional<CGoToTarget> t = ParseGoTo(text);
    EXPECT_TRUE(t.has_value()) << text;
    return t.value_or(CGoToTarget {});
}

} // namespace

TEST(GoToParse, EveryFormAndItsSpellings)
{
    CGoToTarget t = Parsed("B3");
    EXPECT_EQ(t.kind, Kind::Tile);
    EXPECT_EQ(t.section, -1);
    EXPECT_EQ(t.column, 1);
    EXPECT_EQ(t.row, 2);
    t = Parsed("  ab12 ");
    EXPECT_EQ(t.column, 27); // AB, the 28th column
    EXPECT_EQ(t.row, 11);
    EXPECT_EQ(Parsed("AAA1").column, 702);
    EXPECT_EQ(Parsed("ZZZ1").column, 18277);
    t = Parsed("S2:C1");
    EXPECT_EQ(t.section, 1);
    EXPECT_EQ(t.column, 2);
    EXPECT_EQ(Parsed("8 : a1").section, 7);

    for (const char* text : { "U03.145", "u3.145", "3.145", " U003.145 " }) {
        t = Parsed(text);
        EXPECT_EQ(t.kind, Kind::Address) << text;
        EXPECT_EQ(t.universe, 2) << text;
        EXPECT_EQ(t.address, 144) << text;
    }
    EXPECT_EQ(Parsed("1.512").address, 511);

    t = Parsed("1234");
    EXPECT_EQ(t.kind, Kind::ScreenId);
    EXPECT_EQ(t.screenId, 1234);
    EXPECT_EQ(Parsed("0").screenId, 0);
    // A letter U before a row number is column U, not a universe.
    EXPECT_EQ(Parsed("U3").kind, Kind::Tile);

    EXPECT_EQ(GoToTargetText(Parsed("3.145")), "U03.145");
    EXPECT_EQ(GoToTargetText(Parsed("s2:ab12")), "S2:AB12");
    EXPECT_EQ(GoToTargetText(Parsed("77")), "screen id 77");
}

TEST(GoToParse, RefusesWhatIsNoTileAddressOrId)
{
    for (const char* text : { "", "   ", "B", "B0", "ZZZZ1", "B3x", "B-3", "3B", "U03.", ".145",
             "U03.0", "U03.513", "U0.5", "0.5", "1.2.3", "U.5", "-5", "12345678901", "9:B3", "0:B3",
             "S:B3", "2:", "B3.5", "U03,145", "1e3", "Ü3" })
        EXPECT_FALSE(ParseGoTo(text).has_value()) << '"' << text << '"';
}

class GoToFindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // S1: 4 x 2 pixels in universe 0 (addresses 0, 3, ... 21); S2: 2 x 1 tiles of
        // 12 channels in universe 0 too, from address 6, so they share channels with S1.
        CSubDoc& s1 = t.SetUpSection(*t.doc->GetCurrentSection(), kPix, 4, 2, 1);
        s2 = t.doc->AddSection();
        t.SetUpSection(*s2, kTile2x2, 2, 1, 100);
        s2->setup.addr_first = 6;
        s2->SetUp();
        t.doc->SetCurrentSection(0);
        t.doc->RebuildDerivedData();
        ASSERT_EQ(s1.GetTile(2, 0)->address, 6);
        ASSERT_EQ(s2->GetTile(0, 0)->address, 6);
        ASSERT_EQ(s2->GetTile(1, 0)->address, 18);
    }

    std::optional<CTileLocation> Find(const char* text) { return FindGoTo(*t.doc, Parsed(text)); }

    CTestDocument t;
    CSubDoc* s2 = nullptr;
};

TEST_F(GoToFindTest, TileNamesLookInTheirSection)
{
    EXPECT_EQ(Find("D2"), (CTileLocation { 0, 3, 1 }));
    EXPECT_FALSE(Find("E1")); // S1 is 4 wide
    EXPECT_FALSE(Find("A3"));
    EXPECT_EQ(Find("2:B1"), (CTileLocation { 1, 1, 0 }));
    EXPECT_FALSE(Find("2:A2")); // S2 is one row high
    EXPECT_FALSE(Find("3:A1")); // no third section
    t.doc->SetCurrentSection(1);
    EXPECT_EQ(Find("B1"), (CTileLocation { 1, 1, 0 }));
    EXPECT_FALSE(Find("C1"));
    // A gap in the wall is still a place to go to.
    s2->GetTile(0, 0)->excluded = 1;
    EXPECT_EQ(Find("A1"), (CTileLocation { 1, 0, 0 }));
}

TEST_F(GoToFindTest, AddressesPreferAStartingTileThenTheFirstSection)
{
    // Address 7 (one-based) = zero-based 6: S1 C1 and S2 A1 both start there; S1 comes first.
    EXPECT_EQ(Find("U01.7"), (CTileLocation { 0, 2, 0 }));
    // Zero-based 8 lies inside S1 C1 (6..8) and S2 A1 (6..17): the first section's wins.
    EXPECT_EQ(Find("1.9"), (CTileLocation { 0, 2, 0 }));
    // Zero-based 18: S1 C2 and S2 B1 both start there.
    EXPECT_EQ(Find("1.19"), (CTileLocation { 0, 2, 1 }));
    // Zero-based 25 is only covered (S2 B1, 18..29), no tile starts there.
    EXPECT_EQ(Find("1.26"), (CTileLocation { 1, 1, 0 }));
    // A start in a later section beats a cover in an earlier one.
    t.doc->GetSection(0)->GetTile(0, 0)->address = 24;
    t.doc->GetSection(0)->GetTile(0, 0)->universe = 0;
    s2->GetTile(1, 0)->address = 25;
    EXPECT_EQ(Find("1.26"), (CTileLocation { 1, 1, 0 }));
    EXPECT_FALSE(Find("1.40"));
    EXPECT_FALSE(Find("U02.1"));
    // Excluded and undefined tiles have no address.
    t.doc->GetSection(0)->GetTile(3, 1)->excluded = 1;
    EXPECT_FALSE(Find("1.22"));
}

TEST_F(GoToFindTest, ScreenIdsSearchEverySection)
{
    // S1 numbers its 4 x 2 items from 1, column by column: id 1 + i * 2 + j.
    EXPECT_EQ(Find("1"), (CTileLocation { 0, 0, 0 }));
    EXPECT_EQ(Find("2"), (CTileLocation { 0, 0, 1 }));
    EXPECT_EQ(Find("8"), (CTileLocation { 0, 3, 1 }));
    EXPECT_FALSE(Find("9"));
    // S2: 4 x 2 items from 100, two items per tile across and down.
    EXPECT_EQ(Find("100"), (CTileLocation { 1, 0, 0 }));
    EXPECT_EQ(Find("103"), (CTileLocation { 1, 0, 0 }));
    EXPECT_EQ(Find("104"), (CTileLocation { 1, 1, 0 }));
    EXPECT_EQ(Find("107"), (CTileLocation { 1, 1, 0 }));
    EXPECT_FALSE(Find("108"));
    EXPECT_FALSE(Find("0"));
    // Ids in two sections: the first section in order; a cut-out tile there is skipped.
    s2->setup.screen_id = 1;
    EXPECT_EQ(Find("3"), (CTileLocation { 0, 1, 0 }));
    t.doc->GetSection(0)->GetTile(1, 0)->excluded = 1;
    EXPECT_EQ(Find("3"), (CTileLocation { 1, 0, 0 }));
}

// The search against a walk over every item and channel of random projects with
// overlapping sections.
TEST(GoToFind, MatchesABruteForceSearchOnRandomProjects)
{
    std::mt19937 random(16);
    for (int round = 0; round < 20; ++round) {
        CTestDocument t;
        const int sections = 1 + static_cast<int>(random() % 3);
        for (int s = 0; s < sections; ++s) {
            CSubDoc* section = s == 0 ? t.doc->GetCurrentSection() : t.doc->AddSection();
            t.SetUpSection(*section, random() % 2 ? kPix : kTile2x2, 1 + random() % 6,
                1 + random() % 5, 1 + static_cast<int>(random() % 40));
            for (CTileRecord& tile : section->Tiles()) {
                tile.universe = static_cast<int>(random() % 3) - (random() % 10 == 0 ? 1 : 0);
                tile.address = static_cast<int>(random() % 60);
                tile.excluded = random() % 8 == 0;
            }
        }
        for (int u = 0; u < 3; ++u) {
            for (int a = 0; a < 75; ++a) {
                // Oracle: every tile whose channels hold (u, a), best one first.
                std::optional<CTileLocation> best;
                bool bestStarts = false;
                for (int s = 0; s < sections; ++s) {
                    const CSubDoc& section = *t.doc->GetSection(s);
                    for (int y = 0; y < section.GetTileRows(); ++y) {
                        for (int x = 0; x < section.GetTileColumns(); ++x) {
                            const CTileRecord& tile = *section.GetTile(x, y);
                            if (tile.excluded || tile.universe != u || tile.address < 0)
                                continue;
                            const int offset = a - tile.address;
                            if (offset < 0 || offset >= section.ChannelsPerFixture())
                                continue;
                            const bool starts = offset == 0;
                            if (!best || (starts && !bestStarts)) {
                                best = CTileLocation { s, x, y };
                                bestStarts = starts;
                            }
                        }
                    }
                }
                CGoToTarget target;
                target.kind = Kind::Address;
                target.universe = u;
                target.address = a;
                EXPECT_EQ(FindGoTo(*t.doc, target), best)
                    << "round " << round << " U" << u << "." << a;
            }
        }
        for (long long id = -1; id < 200; ++id) {
            std::optional<CTileLocation> expected;
            for (int s = 0; s < sections && !expected; ++s) {
                const CSubDoc& section = *t.doc->GetSection(s);
                const int across = section.GetItemColumns() / section.GetTileColumns();
                const int down = section.GetItemRows() / section.GetTileRows();
                for (int i = 0; i < section.GetItemColumns() && !expected; ++i) {
                    for (int j = 0; j < section.GetItemRows() && !expected; ++j) {
                        if (section.ScreenIdAt(i, j) == id
                            && !section.GetTile(i / across, j / down)->excluded)
                            expected = CTileLocation { s, i / across, j / down };
                    }
                }
            }
            CGoToTarget target;
            target.kind = Kind::ScreenId;
            target.screenId = id;
            EXPECT_EQ(FindGoTo(*t.doc, target), expected) << "round " << round << " id " << id;
        }
    }
}

TEST(TileDetails, NameTypeChannelsIdsFeedAndConflict)
{
    CTestDocument t;
    CSubDoc& s1 = t.SetUpSection(*t.doc->GetCurrentSection(), kTile2x2, 3, 2, 500, 2);
    t.doc->RebuildDerivedData();
    // B2: the fifth tile of a row-by-row walk, addresses 0, 12, 24, ... in universe 2.
    CTileDetails d = GetTileDetails(*t.doc, s1, 1, 1);
    ASSERT_TRUE(d.exists);
    EXPECT_EQ(d.tileName, "B2");
    EXPECT_EQ(d.fixtureName, "Tile");
    EXPECT_EQ(d.universe, 2);
    EXPECT_EQ(d.address, s1.GetTile(1, 1)->address);
    EXPECT_EQ(d.channels, 12);
    // 6 x 4 items from 500, column by column: B2 holds items (2..3, 2..3).
    EXPECT_EQ(d.firstScreenId, 500 + 2 * 4 + 2);
    EXPECT_EQ(d.lastScreenId, 500 + 3 * 4 + 3);
    EXPECT_EQ(d.device, -1);
    EXPECT_EQ(d.conflictFirst, -1);

    // Two devices carry universe 2: the first in list order, its first such port.
    CKelvraDeviceList& devices = t.doc->GetDevices();
    devices.AddDeviceFromText("PORTER", "10.0.0.1");
    devices.AddDeviceFromText("PORTER", "10.0.0.2");
    ASSERT_GE(devices.GetDevice(0)->GetPortCount(), 2);
    devices.GetDevice(1)->SetPortUniverse(0, 2);
    devices.GetDevice(0)->SetPortUniverse(1, 2);
    d = GetTileDetails(*t.doc, s1, 1, 1);
    EXPECT_EQ(d.device, 0);
    EXPECT_EQ(d.port, 1);
    EXPECT_EQ(
        d.deviceName, std::string(DeviceTypeName(devices.GetDevice(0)->GetType())) + " 10.0.0.1");

    // Another section overlapping channels 5..7 of B2's 12, then also its last two.
    const int b2 = s1.GetTile(1, 1)->address;
    CSubDoc& s2 = t.SetUpSection(*t.doc->AddSection(), kPix, 2, 1, 900, 2);
    s2.GetTile(0, 0)->address = b2 + 4;
    s2.GetTile(1, 0)->universe = 7;
    t.doc->RebuildDerivedData();
    d = GetTileDetails(*t.doc, s1, 1, 1);
    EXPECT_EQ(d.conflictFirst, 2 * 512 + b2 + 4);
    EXPECT_EQ(d.conflictLast, 2 * 512 + b2 + 6);
    s2.GetTile(1, 0)->universe = 2;
    s2.GetTile(1, 0)->address = b2 + 10;
    t.doc->RebuildDerivedData();
    d = GetTileDetails(*t.doc, s1, 1, 1);
    EXPECT_EQ(d.conflictFirst, 2 * 512 + b2 + 4);
    EXPECT_EQ(d.conflictLast, 2 * 512 + b2 + 11);

    // Cut out, undefined, outside.
    s1.GetTile(0, 0)->universe = -1;
    d = GetTileDetails(*t.doc, s1, 0, 0);
    EXPECT_TRUE(d.undefined);
    EXPECT_EQ(d.device, -1);
    EXPECT_TRUE(d.hasScreenIds);
    s1.GetTile(2, 0)->excluded = 1;
    d = GetTileDetails(*t.doc, s1, 2, 0);
    EXPECT_TRUE(d.excluded);
    EXPECT_FALSE(d.hasScreenIds);
    EXPECT_FALSE(GetTileDetails(*t.doc, s1, 3, 0).exists);
}
