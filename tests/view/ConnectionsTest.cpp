#include "view/Connections.h"

#include "ViewTestSupport.h"
#include "view/ViewGeometry.h"

#include <gtest/gtest.h>
#include <random>

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
