#include "view/Connections.h"

#include "ViewTestSupport.h"
#include "app/MetaLib.h"
#include "view/ViewGeometry.h"

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

} // namespace

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

TEST(ConnectionChains, ByAddressMatchesTheSectionsOwnEnumeration)
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
        const CConnectionChains c = BuildConnectionChains(section, ConnectionOrder::ByAddress);

        section.SetAllVisited(false);
        std::vector<int> expected;
        std::vector<int> universes;
        for (int u = 0; u < 3; ++u) {
            int address = -1;
            const size_t before = expected.size();
            for (int t = section.NextTileOfUniverse(u, address); t >= 0;
                 t = section.NextTileOfUniverse(u, address))
                expected.push_back(t);
            if (expected.size() > before)
                universes.push_back(u);
        }
        EXPECT_EQ(c.tiles, expected) << "round " << round;
        ASSERT_EQ(c.chains.size(), universes.size());
        for (size_t k = 0; k < universes.size(); ++k)
            EXPECT_EQ(c.chains[k].universe, universes[k]);
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

TEST(ConnectionGeometry, CurvedArrowSagsAndPointsAtItsEnd)
{
    CCurvedArrow a = ComputeCurvedArrow(QPoint(0, 0), QPoint(100, 0), 50);
    EXPECT_EQ(a.p1, QPoint(10, 50));
    EXPECT_EQ(a.p2, QPoint(90, 50));
    ASSERT_TRUE(a.hasHead);
    EXPECT_EQ(a.head[0], QPoint(100, 0));
    // Base 10 from the tip towards p2, 10 wide.
    const QPoint baseCentre = (a.head[1] + a.head[2]) / 2;
    EXPECT_NEAR(std::hypot(baseCentre.x() - 100, baseCentre.y()), 10.0, 1.0);
    EXPECT_NEAR(
        std::hypot(a.head[1].x() - a.head[2].x(), a.head[1].y() - a.head[2].y()), 10.0, 1.5);

    // A vertical link bulges to the right.
    a = ComputeCurvedArrow(QPoint(0, 0), QPoint(0, 100), 50);
    EXPECT_EQ(a.p1, QPoint(50, 50));
    EXPECT_EQ(a.p2, QPoint(50, 150));
    // No bulge: five times a tenth of the horizontal distance.
    a = ComputeCurvedArrow(QPoint(0, 0), QPoint(-200, 0), 0);
    EXPECT_EQ(a.p1, QPoint(-20, 100));
    EXPECT_EQ(a.p2, QPoint(-180, 100));
    EXPECT_FALSE(ComputeCurvedArrow(QPoint(5, 5), QPoint(5, 5), 0).hasHead);
}

TEST(ConnectionGeometry, LegendEntryIsWiredToTheFirstTile)
{
    CLayoutInput in;
    in.tileColumns = 4;
    in.tileRows = 2;
    in.mode = ZoomMode::Manual;
    in.legend = true;
    in.universes = 2;
    const CViewLayout l = ComputeLayout(in);
    const int m = 120 + 200;
    CLegendEntry e = ComputeLegendEntry(l, 1, 2, 0, 0);
    EXPECT_EQ(e.box, QRect(35 + 2, m + 100 + 25 + 2, 46, 46));
    EXPECT_EQ(e.laneY, m + 50);
    EXPECT_EQ(e.attachX, 40);
    EXPECT_EQ(e.firstCentre, QPoint(85, 170));
    EXPECT_EQ(e.turn, QPoint(40, 170 + 45));

    e = ComputeLegendEntry(l, 2, 2, 3, 1);
    EXPECT_EQ(e.box.x(), 35 + 50 + 2);
    EXPECT_EQ(e.laneY, m + 50 + 25);
    EXPECT_EQ(e.attachX, 335 + 5 + 45);
}

TEST(ConnectionGeometry, FixedSizesGrowWithTheUnitScaleOfAFinerPage)
{
    // Unscaled, as on screen.
    EXPECT_EQ(MarkerRect(QPoint(100, 100)), QRect(95, 95, 10, 10));
    EXPECT_EQ(MarkerRect(QPoint(100, 100), 3), QRect(85, 85, 30, 30));
    EXPECT_EQ(MarkerRect(QPoint(100, 100), 0), QRect(95, 95, 10, 10));

    // The arrowhead grows, the curve itself does not change.
    const CCurvedArrow plain = ComputeCurvedArrow(QPoint(0, 0), QPoint(400, 0), 200);
    const CCurvedArrow a = ComputeCurvedArrow(QPoint(0, 0), QPoint(400, 0), 200, 4);
    EXPECT_EQ(a.p1, plain.p1);
    EXPECT_EQ(a.p2, plain.p2);
    ASSERT_TRUE(a.hasHead);
    EXPECT_EQ(a.head[0], QPoint(400, 0));
    const QPoint baseCentre = (a.head[1] + a.head[2]) / 2;
    EXPECT_NEAR(std::hypot(baseCentre.x() - 400, baseCentre.y()), 40.0, 1.0);
    EXPECT_NEAR(
        std::hypot(a.head[1].x() - a.head[2].x(), a.head[1].y() - a.head[2].y()), 40.0, 1.5);

    // The wire keeps its distance from the tile's left edge.
    CLayoutInput in;
    in.tileColumns = 4;
    in.tileRows = 2;
    in.mode = ZoomMode::Manual;
    in.legend = true;
    in.universes = 2;
    const CViewLayout l = ComputeLayout(in);
    EXPECT_EQ(ComputeLegendEntry(l, 1, 2, 0, 0, 3).attachX, 35 + 15);
    EXPECT_EQ(ComputeLegendEntry(l, 1, 2, 2, 1, 3).attachX, 235 + 15 + (100 - 30) / 2);
    // Too narrow for the scaled inset: spread over the whole width instead.
    EXPECT_EQ(ComputeLegendEntry(l, 1, 2, 2, 1, 20).attachX, 235 + 100 / 2);
}

namespace {

// The chains as the section's own step-by-step search finds them, one universe at a time.
std::vector<int> EnumeratedByAddress(CSubDoc& section, int universes)
{
    section.SetAllVisited(false);
    std::vector<int> expected;
    for (int u = 0; u < universes; ++u) {
        int address = -1;
        for (int t = section.NextTileOfUniverse(u, address); t >= 0;
             t = section.NextTileOfUniverse(u, address))
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

TEST(ConnectionChains, ByAddressMatchesTheSectionOnLargeOrderedAndReversedUniverses)
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
        const CConnectionChains c = BuildConnectionChains(section, ConnectionOrder::ByAddress);
        EXPECT_EQ(c.tiles, EnumeratedByAddress(section, 2)) << "pattern " << pattern;
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

namespace {

bool SameChains(const CConnectionChains& a, const CConnectionChains& b)
{
    if (a.chains.size() != b.chains.size() || a.tiles != b.tiles)
        return false;
    for (size_t k = 0; k < a.chains.size(); ++k) {
        const CConnectionChains::Chain& x = a.chains[k];
        const CConnectionChains::Chain& y = b.chains[k];
        if (x.universe != y.universe || x.begin != y.begin || x.end != y.end
            || x.firstColumn != y.firstColumn || x.lastColumn != y.lastColumn
            || x.firstRow != y.firstRow || x.lastRow != y.lastRow)
            return false;
    }
    return true;
}

} // namespace

// Large sections build their chains on a worker while the view paints the previous ones.
// Edits that overtake a build, order changes and reshapes must still end with the chains a
// fresh build gives.
TEST(ConnectionChainsAside, EndEqualToAFreshBuildAfterRandomEdits)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 800, 700);
    CViewUnderTest v(t.doc, QSize(400, 300));
    v.view->SetConnectionMode(ConnectionMode::All);
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 12; ++round) {
        // A few edits, each followed by the paint the window would make.
        for (int e = pick(3) + 1; e > 0; --e) {
            CTileRecord& tile = s.Tiles()[static_cast<size_t>(pick(s.GetTileCount()))];
            switch (pick(3)) {
            case 0:
                tile.excluded = !tile.excluded;
                break;
            case 1:
                tile.universe = pick(40) - 1;
                break;
            default:
                tile.address = pick(520) - 1;
                break;
            }
            v.view->Redraw();
            v.Render();
        }
        if (round == 5)
            v.view->SetConnectionOrder(ConnectionOrder::ByAddress);
        if (round == 9) {
            // The same number of tiles in another shape moves every tile.
            t.SetUp("ZIDUZU_COLOR_BEAMER", 700, 800);
            v.view->Redraw();
            v.Render();
        }
        v.view->WaitForConnections();
        const CConnectionChains* shown = v.view->CurrentChains();
        ASSERT_NE(shown, nullptr) << "round " << round;
        EXPECT_TRUE(SameChains(*shown, BuildConnectionChains(s, v.view->GetConnectionOrder())))
            << "round " << round;
    }
}
