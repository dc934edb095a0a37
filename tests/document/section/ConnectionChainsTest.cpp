#include "document/section/ConnectionChains.h"

#include "app/library/MetaLib.h"
#include "document/section/SubDoc.h"

#include <gtest/gtest.h>
#include <random>

namespace {

struct Grid {
    int columns;
    int rows;
    std::vector<CTileRecord> tiles;

    Grid(int w, int h)
        : columns(w)
        , rows(h)
        , tiles(static_cast<size_t>(w * h))
    {
    }
    CTileRecord& At(int c, int r) { return tiles[static_cast<size_t>(r * columns + c)]; }
    void Set(int c, int r, int universe, int address)
    {
        At(c, r).universe = universe;
        At(c, r).address = address;
    }
    CConnectionChains Chains(ConnectionOrder order, int highest = 512) const
    {
        return BuildConnectionChains(tiles, columns, rows, highest, order);
    }
};

std::vector<int> TilesOf(const CConnectionChains& c, size_t chain)
{
    const auto& ch = c.chains.at(chain);
    return std::vector<int>(c.tiles.begin() + ch.begin, c.tiles.begin() + ch.end);
}

CConnectionChains ChainsOf(const CSubDoc& section, ConnectionOrder order)
{
    return BuildConnectionChains(section.Tiles(), section.GetTileColumns(), section.GetTileRows(),
        section.setup.addr_count, order);
}

} // namespace

namespace {

// The chains as a plain search finds them, one tile at a time: the next tile of a universe
// is the last unvisited one at the running address, else the first one scanned at the
// lowest address above it (up to the highest).
int ScanNext(std::vector<CTileRecord>& tiles, int universe, int highest, int& address)
{
    int exact = -1;
    int best = -1;
    for (size_t i = 0; i < tiles.size(); ++i) {
        const CTileRecord& t = tiles[i];
        if (t.excluded || t.visited || t.universe != universe)
            continue;
        if (t.address == address)
            exact = static_cast<int>(i);
        else if (t.address > address && t.address <= highest
            && (best < 0 || t.address < tiles[static_cast<size_t>(best)].address))
            best = static_cast<int>(i);
    }
    const int next = exact >= 0 ? exact : best;
    if (next >= 0) {
        address = tiles[static_cast<size_t>(next)].address;
        tiles[static_cast<size_t>(next)].visited = 1;
    }
    return next;
}

std::vector<int> ScannedByAddress(const CSubDoc& section, int universes)
{
    std::vector<CTileRecord> tiles = section.Tiles();
    for (CTileRecord& t : tiles)
        t.visited = 0;
    std::vector<int> expected;
    for (int u = 0; u < universes; ++u) {
        int address = -1;
        for (int t; (t = ScanNext(tiles, u, section.setup.addr_count, address)) >= 0;)
            expected.push_back(t);
    }
    return expected;
}

// The snake, walked once per universe.
std::vector<int> SnakeByPosition(const Grid& g, const std::vector<int>& universes)
{
    std::vector<int> expected;
    for (int u : universes) {
        for (int r = 0; r < g.rows; ++r) {
            for (int i = 0; i < g.columns; ++i) {
                const int c = r % 2 == 0 ? i : g.columns - 1 - i;
                const CTileRecord& t = g.tiles[static_cast<size_t>(r * g.columns + c)];
                if (!t.excluded && t.universe == u)
                    expected.push_back(r * g.columns + c);
            }
        }
    }
    return expected;
}

} // namespace

TEST(ConnectionChains, ByAddressMatchesAPlainSearchOnLargeOrderedAndReversedUniverses)
{
    CMetaLib library;
    std::mt19937 random(11);
    // Patterns: 0 random addresses, 1 ascending in scan order, 2 descending, 3 two
    // interleaved ascending runs, 4 few distinct addresses with many repeats; the
    // universes are large enough for every way of ordering them.
    for (int pattern = 0; pattern < 5; ++pattern) {
        CSubDoc section(&library);
        ASSERT_TRUE(section.ResizeTiles(70, 60));
        section.setup.addr_count = pattern == 2 ? 5000 : 511;
        int n = 0;
        for (CTileRecord& t : section.Tiles()) {
            t.universe = random() % 8 == 0 ? -1 : static_cast<int>(random() % 2);
            switch (pattern) {
            case 0:
                t.address = static_cast<int>(random() % 514) - 1;
                break;
            case 1:
                t.address = n / 8;
                break;
            case 2:
                t.address = 4300 - n;
                break;
            case 3:
                t.address = (n % 2 == 0 ? 0 : 250) + n / 20;
                break;
            default:
                t.address = static_cast<int>(random() % 4) * 100 - 1;
                break;
            }
            t.excluded = random() % 20 == 0;
            ++n;
        }
        const CConnectionChains c = ChainsOf(section, ConnectionOrder::ByAddress);
        EXPECT_EQ(c.tiles, ScannedByAddress(section, 2)) << "pattern " << pattern;
        for (size_t i = 0; i < c.tiles.size(); ++i) {
            ASSERT_EQ(c.cells[i].column + c.cells[i].row * 70, c.tiles[i]);
        }
    }
}

TEST(ConnectionChains, SparseUniverseNumbersChainAsTheirDenseEquivalents)
{
    // Absurd universe numbers take another route through the builder; the chains must
    // not change apart from the universe they name.
    std::mt19937 random(5);
    const std::vector<int> huge { 3, 70000000, 2000000000 };
    for (int round = 0; round < 10; ++round) {
        Grid dense(1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 9));
        for (CTileRecord& t : dense.tiles) {
            t.universe = static_cast<int>(random() % 4) - 1;
            t.address = static_cast<int>(random() % 10) - 1;
            t.excluded = random() % 7 == 0;
        }
        Grid sparse = dense;
        for (CTileRecord& t : sparse.tiles) {
            if (t.universe >= 0)
                t.universe = huge[static_cast<size_t>(t.universe)];
        }
        EXPECT_EQ(
            dense.Chains(ConnectionOrder::ByPosition).tiles, SnakeByPosition(dense, { 0, 1, 2 }))
            << "round " << round;
        for (ConnectionOrder order : { ConnectionOrder::ByPosition, ConnectionOrder::ByAddress }) {
            const CConnectionChains a = dense.Chains(order, 6);
            const CConnectionChains b = sparse.Chains(order, 6);
            EXPECT_EQ(a.tiles, b.tiles) << "round " << round;
            ASSERT_EQ(a.chains.size(), b.chains.size());
            for (size_t k = 0; k < a.chains.size(); ++k) {
                EXPECT_EQ(huge[static_cast<size_t>(a.chains[k].universe)], b.chains[k].universe);
                EXPECT_EQ(a.chains[k].begin, b.chains[k].begin);
                EXPECT_EQ(a.chains[k].lastRow, b.chains[k].lastRow);
            }
        }
    }
}

TEST(ConnectionChains, ByPositionSnakesThroughTheRows)
{
    Grid g(4, 2);
    for (int i = 0; i < 8; ++i)
        g.tiles[static_cast<size_t>(i)].address = i * 3;
    const CConnectionChains c = g.Chains(ConnectionOrder::ByPosition);
    ASSERT_EQ(c.chains.size(), 1u);
    EXPECT_EQ(c.chains[0].universe, 0);
    EXPECT_EQ(TilesOf(c, 0), (std::vector<int> { 0, 1, 2, 3, 7, 6, 5, 4 }));
}

TEST(ConnectionChains, GapsExclusionsAndUndefinedTilesAreSkipped)
{
    Grid g(3, 2);
    g.Set(0, 0, 0, 0);
    g.Set(1, 0, 2, 0);
    g.Set(2, 0, 0, 3);
    g.At(2, 0).excluded = 1;
    g.Set(2, 1, 0, 6);
    g.Set(1, 1, -1, -1);
    g.Set(0, 1, 2, 3);
    for (ConnectionOrder order : { ConnectionOrder::ByPosition, ConnectionOrder::ByAddress }) {
        const CConnectionChains c = g.Chains(order);
        // Universes 1 and 3 in use, 2 not: two chains, legend boxes 1 and 2.
        ASSERT_EQ(c.chains.size(), 2u);
        EXPECT_EQ(c.chains[0].universe, 0);
        EXPECT_EQ(c.chains[1].universe, 2);
        EXPECT_EQ(c.LegendNumber(1), 2);
        // The excluded tile (index 2) is left out; the chain runs 0 -> 5.
        EXPECT_EQ(TilesOf(c, 0), (std::vector<int> { 0, 5 }));
        EXPECT_EQ(TilesOf(c, 1), (std::vector<int> { 1, 3 }));
    }
}

TEST(ConnectionChains, ByAddressLinksSharedAddressesThenTheNextHigher)
{
    Grid g(5, 1);
    g.Set(0, 0, 0, 6);
    g.Set(1, 0, 0, 3);
    g.Set(2, 0, 0, 3);
    g.Set(3, 0, 0, 3);
    g.Set(4, 0, 0, 0);
    const CConnectionChains c = g.Chains(ConnectionOrder::ByAddress);
    // The first tile of an address opens it, the others follow from the last backwards.
    EXPECT_EQ(TilesOf(c, 0), (std::vector<int> { 4, 1, 3, 2, 0 }));
    // Addresses beyond the highest allowed one are not chained.
    EXPECT_EQ(
        TilesOf(g.Chains(ConnectionOrder::ByAddress, 5), 0), (std::vector<int> { 4, 1, 3, 2 }));
}

TEST(ConnectionChains, ByAddressMatchesAPlainSearch)
{
    CMetaLib library;
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        CSubDoc section(&library);
        const int w = 1 + static_cast<int>(random() % 9);
        const int h = 1 + static_cast<int>(random() % 7);
        ASSERT_TRUE(section.ResizeTiles(w, h));
        section.setup.addr_count = 1 + static_cast<int>(random() % 12);
        for (CTileRecord& t : section.Tiles()) {
            t.universe = static_cast<int>(random() % 4) - 1;
            t.address = static_cast<int>(random() % 16) - 1;
            t.excluded = random() % 6 == 0;
        }
        const CConnectionChains c = ChainsOf(section, ConnectionOrder::ByAddress);

        const std::vector<int> expected = ScannedByAddress(section, 3);
        std::vector<int> universes;
        for (const CConnectionChains::Chain& chain : c.chains)
            universes.push_back(chain.universe);
        std::vector<int> used;
        for (int u = 0; u < 3; ++u) {
            for (const CTileRecord& t : section.Tiles())
                if (!t.excluded && t.universe == u && t.address >= -1
                    && t.address <= section.setup.addr_count) {
                    used.push_back(u);
                    break;
                }
        }
        EXPECT_EQ(c.tiles, expected) << "round " << round;
        EXPECT_EQ(universes, used) << "round " << round;
    }
}

TEST(ConnectionChains, BadGridsGiveNoChains)
{
    std::vector<CTileRecord> tiles(4);
    EXPECT_TRUE(
        BuildConnectionChains(tiles, 3, 3, 512, ConnectionOrder::ByPosition).chains.empty());
    EXPECT_TRUE(BuildConnectionChains(tiles, 0, 4, 512, ConnectionOrder::ByAddress).chains.empty());
    tiles[0].universe = 2000000000;
    const CConnectionChains c
        = BuildConnectionChains(tiles, 2, 2, 512, ConnectionOrder::ByPosition);
    ASSERT_EQ(c.chains.size(), 2u);
    EXPECT_EQ(c.chains[1].universe, 2000000000);
}

TEST(ConnectionChains, NextTileOfUniverseFollowsAPlainSearchFromAnyStateAndAddress)
{
    // The section's step-by-step walk may start anywhere (an address beyond the highest
    // too) with some tiles already visited.
    CMetaLib library;
    std::mt19937 random(3);
    for (int round = 0; round < 40; ++round) {
        CSubDoc section(&library);
        ASSERT_TRUE(section.ResizeTiles(
            1 + static_cast<int>(random() % 8), 1 + static_cast<int>(random() % 6)));
        section.setup.addr_count = 1 + static_cast<int>(random() % 10);
        for (CTileRecord& t : section.Tiles()) {
            t.universe = static_cast<int>(random() % 3) - 1;
            t.address = static_cast<int>(random() % 16) - 2;
            t.excluded = random() % 6 == 0;
            t.visited = random() % 4 == 0;
        }
        std::vector<CTileRecord> plain = section.Tiles();
        const int universe = static_cast<int>(random() % 3) - 1;
        const int start = static_cast<int>(random() % 16) - 2;
        int address = start;
        int plainAddress = start;
        for (int step = 0;; ++step) {
            const int expected = ScanNext(plain, universe, section.setup.addr_count, plainAddress);
            ASSERT_EQ(section.NextTileOfUniverse(universe, address), expected)
                << "round " << round << " step " << step;
            ASSERT_EQ(address, plainAddress);
            if (expected < 0)
                break;
        }
        for (size_t i = 0; i < plain.size(); ++i)
            ASSERT_EQ(section.Tiles()[i].visited, plain[i].visited);
    }
}

TEST(ConnectionChains, ACopiedGridBuildsTheChainsOfItsTiles)
{
    std::mt19937 random(9);
    CChainGrid copy;
    for (int round = 0; round < 20; ++round) {
        Grid g(1 + static_cast<int>(random() % 20), 1 + static_cast<int>(random() % 20));
        for (CTileRecord& t : g.tiles) {
            t.universe = static_cast<int>(random() % 5) - 1;
            t.address = static_cast<int>(random() % 12) - 1;
            t.excluded = random() % 5 == 0;
        }
        for (ConnectionOrder order : { ConnectionOrder::ByAddress, ConnectionOrder::ByPosition }) {
            // The copy is reused from round to round, as the view reuses its memory.
            CopyChainGrid(copy, g.tiles, g.columns, g.rows, 8, order);
            const CConnectionChains a = BuildConnectionChains(copy);
            const CConnectionChains b = g.Chains(order, 8);
            EXPECT_EQ(a.tiles, b.tiles) << "round " << round;
            ASSERT_EQ(a.chains.size(), b.chains.size());
            for (size_t k = 0; k < a.chains.size(); ++k)
                EXPECT_EQ(a.chains[k].universe, b.chains[k].universe);
        }
    }
    // A copy that does not fit its grid gives no chains.
    std::vector<CTileRecord> four(4);
    CopyChainGrid(copy, four, 3, 3, 512, ConnectionOrder::ByAddress);
    EXPECT_TRUE(BuildConnectionChains(copy).chains.empty());
}
