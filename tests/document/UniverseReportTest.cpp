#include "document/UniverseReport.h"

#include "QuiltmarkDocTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

namespace {

using TileKey = std::tuple<int, int, int>; // section, column, row

bool Occupies(const CTileRecord& tile)
{
    return !tile.excluded && tile.universe >= 0 && tile.address >= 0;
}

// Random sections of the test library's types, set up on nearby universes so that they
// overlap, then a few tiles addressed, cut out or unaddressed by hand.
void MakeRandomProject(CTestDocument& t, std::mt19937& rng)
{
    CQuiltmarkDoc& doc = *t.doc;
    const int sections = 1 + static_cast<int>(rng() % 4);
    while (doc.GetSectionCount() < sections)
        doc.AppendSection();
    const int types[] = { 0, 2, 3 };
    for (int s = 0; s < sections; ++s) {
        CSubDoc& section = *doc.GetSection(s);
        section.setup.addr_first = static_cast<int>(rng() % 60);
        section.setup.addr_count = 500 + static_cast<int>(rng() % 13);
        t.SetUpSection(section, types[rng() % 3], 1 + static_cast<int>(rng() % 9),
            1 + static_cast<int>(rng() % 6), 1 + 1000 * s, static_cast<int>(rng() % 3));
        const int count = section.GetTileCount();
        for (int k = static_cast<int>(rng() % 5); k > 0; --k) {
            CTileRecord& tile = *section.GetTileAt(static_cast<int>(rng() % count));
            switch (rng() % 4) {
            case 0:
                tile.excluded = 1;
                break;
            case 1:
                tile.universe = tile.address = -1;
                break;
            default: // hand-addressed, now and then running past the universe's end
                tile.universe = static_cast<int>(rng() % 3);
                tile.address = static_cast<int>(rng() % 512);
            }
        }
    }
    for (int d = static_cast<int>(rng() % 3); d > 0; --d) {
        const int position = doc.GetDevices().AddDeviceFromText("KSPAN2048", "10.0.0.1");
        CKelvraDevice& device = *doc.GetDevices().GetDevice(position);
        for (int p = 0; p < device.GetPortCount(); ++p)
            device.SetPortUniverse(p, static_cast<int>(rng() % 5) - 1);
    }
    doc.RebuildDerivedData();
}

} // namespace

TEST(UniverseReport, AgreesWithABruteForceChannelMapOnRandomProjects)
{
    std::mt19937 rng(20261209);
    int conflictsSeen = 0;
    for (int round = 0; round < 80; ++round) {
        SCOPED_TRACE(round);
        CTestDocument t;
        MakeRandomProject(t, rng);
        const CQuiltmarkDoc& doc = *t.doc;

        // Every channel key with the tiles on it; per universe its tiles.
        std::map<long long, std::vector<TileKey>> claims;
        std::map<int, long long> highest;
        std::map<int, std::map<int, std::tuple<int, int, int, int, int>>> boxes;
        for (int s = 0; s < doc.GetSectionCount(); ++s) {
            const CSubDoc& section = *doc.GetSection(s);
            const int channels = section.ChannelsPerFixture();
            for (int i = 0; i < section.GetTileCount(); ++i) {
                const CTileRecord& tile = *section.GetTileAt(i);
                if (!Occupies(tile))
                    continue;
                const int x = i % section.GetTileColumns();
                const int y = i / section.GetTileColumns();
                const long long key = tile.universe * 512LL + tile.address;
                for (int c = 0; c < channels; ++c)
                    claims[key + c].emplace_back(s, x, y);
                highest[tile.universe] = std::max(
                    highest[tile.universe], static_cast<long long>(tile.address) + channels);
                auto [box, added] = boxes[tile.universe].try_emplace(s, 0, x, y, x, y);
                auto& [n, x0, y0, x1, y1] = box->second;
                (void)added;
                ++n;
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }

        const std::vector<CUniverseReportRow> rows = BuildUniverseReport(doc);
        ASSERT_EQ(rows.size(), highest.size());
        std::set<TileKey> reportedTiles;
        std::vector<std::pair<long long, long long>> ranges;
        auto expectedUniverse = highest.begin();
        for (const CUniverseReportRow& row : rows) {
            ASSERT_EQ(row.universe, expectedUniverse->first);
            EXPECT_EQ(row.highestAddress, expectedUniverse->second);
            ++expectedUniverse;
            const long long base = row.universe * 512LL;
            long long used = 0;
            for (auto it = claims.lower_bound(base); it != claims.end() && it->first < base + 512;
                 ++it)
                ++used;
            EXPECT_EQ(row.channelsUsed, used) << UniverseText(row.universe);

            const auto& expectedBoxes = boxes[row.universe];
            ASSERT_EQ(row.occupants.size(), expectedBoxes.size());
            auto box = expectedBoxes.begin();
            for (const CUniverseOccupant& o : row.occupants) {
                EXPECT_EQ(o.section, box->first);
                EXPECT_EQ(
                    std::make_tuple(o.tiles, o.firstColumn, o.firstRow, o.lastColumn, o.lastRow),
                    box->second);
                ++box;
            }

            // The first device in list order with a port on the universe, its first such port.
            int device = -1;
            int port = -1;
            for (int d = 0; d < doc.GetDevices().GetDeviceCount() && device < 0; ++d)
                for (int p = 0; p < doc.GetDevices().GetDevice(d)->GetPortCount() && device < 0;
                     ++p)
                    if (doc.GetDevices().GetDevice(d)->GetPortUniverse(p) == row.universe) {
                        device = d;
                        port = p;
                    }
            EXPECT_EQ(row.device, device);
            EXPECT_EQ(row.port, port);

            for (const CUniverseConflict& conflict : row.conflicts) {
                ++conflictsSeen;
                EXPECT_GE(conflict.tiles.size(), 2u);
                const long long first = base + conflict.firstAddress - 1;
                const long long last = base + conflict.lastAddress - 1;
                ASSERT_TRUE(claims.count(first) && claims.count(last));
                EXPECT_GT(claims[first].size(), 1u) << ConflictText(conflict);
                EXPECT_GT(claims[last].size(), 1u) << ConflictText(conflict);
                ranges.emplace_back(first, last);
                // In channel order, each tile overlaps one before it: one conflict, not two.
                long long reach = LLONG_MIN;
                for (const CReportTile& tile : conflict.tiles) {
                    EXPECT_TRUE(reportedTiles.emplace(tile.section, tile.column, tile.row).second)
                        << "tile named by two conflicts";
                    const CSubDoc& section = *doc.GetSection(tile.section);
                    const CTileRecord& record = *section.GetTile(tile.column, tile.row);
                    const long long start = record.universe * 512LL + record.address;
                    EXPECT_TRUE(reach == LLONG_MIN || start < reach) << ConflictText(conflict);
                    reach = std::max(reach, start + section.ChannelsPerFixture());
                }
            }
        }

        // Every shared channel lies in exactly one conflict, and every tile on one is named.
        std::set<TileKey> sharedTiles;
        for (const auto& [key, tiles] : claims) {
            if (tiles.size() < 2)
                continue;
            sharedTiles.insert(tiles.begin(), tiles.end());
            int covering = 0;
            for (const auto& [first, last] : ranges)
                covering += first <= key && key <= last;
            EXPECT_EQ(covering, 1) << "channel key " << key;
        }
        EXPECT_EQ(reportedTiles, sharedTiles);
    }
    EXPECT_GT(conflictsSeen, 40); // the projects do exercise the conflicts
}

TEST(UniverseReport, TextsOfARowWithAConflictAndItsConnection)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    doc.AppendSection();
    t.SetUpSection(*doc.GetSection(0), 0, 4, 2, 1, 2); // 8 tiles of 3 channels, U03.1..24
    doc.GetSection(1)->setup.addr_first = 21; // on top of the first section's last tile
    t.SetUpSection(*doc.GetSection(1), 0, 2, 1, 100, 2);
    doc.RebuildDerivedData();

    std::vector<CUniverseReportRow> rows = BuildUniverseReport(doc);
    ASSERT_EQ(rows.size(), 1u);
    const CUniverseReportRow& row = rows[0];
    EXPECT_EQ(UniverseText(row.universe), "U03");
    EXPECT_EQ(row.channelsUsed, 27);
    EXPECT_EQ(UsageText(row), "27 / 512");
    EXPECT_EQ(OccupantsText(row),
        "S1 A1\xE2\x80\x93"
        "D2, S2 A1\xE2\x80\x93"
        "B1");
    EXPECT_EQ(OutputText(doc, row), "not connected");
    EXPECT_TRUE(row.NeedsAttention());
    ASSERT_EQ(row.conflicts.size(), 1u);
    EXPECT_EQ(ConflictText(row.conflicts[0]),
        "22\xE2\x80\x93"
        "24: S1 D2, S2 A1");
    EXPECT_EQ(ConflictText(row.conflicts[0], 1),
        "22\xE2\x80\x93"
        "24: S1 D2 and 1 more");

    doc.GetDevices().AddDeviceFromText("PORTER", "10.0.0.1");
    doc.GetDevices().GetDevice(0)->SetPortUniverse(1, 2);
    rows = BuildUniverseReport(doc);
    EXPECT_EQ(OutputText(doc, rows[0]), "Kelvra porter 10.0.0.1 port 2");

    std::ostringstream csv;
    ASSERT_TRUE(WriteUniverseReportCsv(doc, rows, csv));
    EXPECT_EQ(csv.str(),
        std::string(kUniverseReportCsvHeader)
            + "\nU03,27,27,\"S1 A1\xE2\x80\x93"
              "D2, S2 A1\xE2\x80\x93"
              "B1\",Kelvra porter "
              "10.0.0.1,2,\"22\xE2\x80\x93"
              "24: S1 D2, S2 A1\"\n");
}
