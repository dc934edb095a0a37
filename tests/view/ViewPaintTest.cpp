#include "ViewTestSupport.h"

#include "view/SectionPainter.h"

#include <gtest/gtest.h>

namespace {

// Ring of the tile body left between the tile gap and the item cells.
QPoint BodyRing(const QRect& tile)
{
    return QPoint(tile.x() + 2, tile.bottom() - 15);
}

} // namespace

TEST(ViewPaint, TilesShowBodyEdgeAndExclusion)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 4, 2);
    s.GetTile(2, 0)->excluded = 1;
    CViewUnderTest v(t.doc);
    const QImage image = v.Render();
    const CViewLayout& l = v.view->GetLayout();
    ASSERT_EQ(l.tile, QSize(100, 100));
    ASSERT_EQ(l.TileRect(0, 0).topLeft(), QPoint(35, 120));

    const QRect first = l.TileRect(0, 0);
    const QRect second = l.TileRect(1, 0);
    EXPECT_EQ(At(image, BodyRing(first)), ViewColours::TileBody);
    // Address 0 opens the universe: white along the top and left of the tile.
    EXPECT_EQ(At(image, BodyRing(first) - QPoint(1, 0)), ViewColours::FirstAddressEdge);
    EXPECT_EQ(At(image, QPoint(first.center().x(), first.y() + 1)), ViewColours::FirstAddressEdge);
    EXPECT_EQ(At(image, BodyRing(second) - QPoint(1, 0)), ViewColours::Background);
    EXPECT_EQ(At(image, l.TileRect(2, 0).center()), ViewColours::Excluded);
    // Between the tiles the background shows through.
    EXPECT_EQ(At(image, QPoint(second.x(), second.center().y())), ViewColours::Background);
}

TEST(ViewPaint, ItemCellsAlternateAndShowUndefinedTiles)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("BRAKWELL_TILE_2X2", 2, 1);
    s.GetTile(1, 0)->universe = -1;
    s.GetTile(1, 0)->address = -1;
    CViewUnderTest v(t.doc);
    const QImage image = v.Render();
    const CViewLayout& l = v.view->GetLayout();
    ASSERT_EQ(l.tile, QSize(200, 200));

    auto cellProbe = [&](int column, int i, int j) {
        const QRect body = l.TileRect(column, 0).adjusted(2, 2, -2, -2);
        const QRect cell = ItemCellRect(body, i, j, 2, 2);
        return At(image, QPoint(cell.x() + 4, cell.center().y()));
    };
    EXPECT_EQ(cellProbe(0, 0, 0), ViewColours::ItemDefinedEven);
    EXPECT_EQ(cellProbe(0, 1, 0), ViewColours::ItemDefinedOdd);
    EXPECT_EQ(cellProbe(0, 0, 1), ViewColours::ItemDefinedOdd);
    EXPECT_EQ(cellProbe(0, 1, 1), ViewColours::ItemDefinedEven);
    EXPECT_EQ(cellProbe(1, 0, 0), ViewColours::ItemUndefinedEven);
    EXPECT_EQ(cellProbe(1, 1, 0), ViewColours::ItemUndefinedOdd);
}

TEST(ViewPaint, SharedChannelsShowInTheConflictColour)
{
    CViewTestDoc t;
    t.SetUp("ZIDUZU_COLOR_BEAMER", 2, 1);
    CViewUnderTest v(t.doc);
    const QRect label = v.view->RecomputeLayout().TileRect(0, 0).adjusted(4, 4, -40, -60);
    EXPECT_EQ(CountNear(v.Render(), label, ViewColours::Conflict), 0);
    EXPECT_GT(CountNear(v.Render(), label, ViewColours::TileText), 0);

    // A second section patched onto the same universe and addresses.
    CSubDoc* other = t.doc.AddSection();
    ASSERT_NE(other, nullptr);
    t.SetUp(*other, "ZIDUZU_COLOR_BEAMER", 1, 1);
    t.doc.SetCurrentSection(0);
    ASSERT_TRUE(t.doc.IsChannelShared(0));
    const QImage image = v.Render();
    EXPECT_GT(CountNear(image, label, ViewColours::Conflict), 0);
    // The second tile (channels 4..6) is not shared and keeps white.
    const QRect secondLabel = v.view->GetLayout().TileRect(1, 0).adjusted(4, 4, -40, -60);
    EXPECT_EQ(CountNear(image, secondLabel, ViewColours::Conflict), 0);
    EXPECT_GT(CountNear(image, secondLabel, ViewColours::TileText), 0);
}

TEST(ViewPaint, LegendBoxAndChainAppearWithConnections)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 4, 2);
    CViewUnderTest v(t.doc);
    v.view->SetConnectionMode(ConnectionMode::All);
    const QImage image = v.Render();
    const CViewLayout& l = v.view->GetLayout();
    const CLegendEntry e = ComputeLegendEntry(l, 1, s.GetUniverseCount(), 0, 0);
    EXPECT_EQ(At(image, e.box.topLeft() + QPoint(4, 4)), ViewColours::LegendFill);
    // The layout made room for the legend below the matrix.
    EXPECT_GE(l.extent.height(), 2 * 100 + 50 + 4 * 25);
    // Tile (0, 0) is the focus tile, so its universe is the active one.
    const QPoint between((l.TileRect(0, 0).center().x() + l.TileRect(1, 0).center().x()) / 2,
        l.TileRect(0, 0).center().y());
    EXPECT_EQ(At(image, between), ViewColours::ChainActivePosition);

    v.view->SetFocusCell(3, 1);
    s.GetTile(3, 1)->universe = -1;
    v.view->SetConnectionMode(ConnectionMode::ActiveUniverse);
    const QImage hidden = v.Render();
    EXPECT_EQ(At(hidden, e.box.topLeft() + QPoint(4, 4)), ViewColours::LegendFill);
    EXPECT_NE(At(hidden, between), ViewColours::ChainActivePosition);
    EXPECT_NE(At(hidden, between), ViewColours::ChainOtherPosition);
}

TEST(ViewPaint, SelectionFrameIsInvertedInMoveMode)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 2, 1);
    s.GetTile(1, 0)->selected = 1;
    CViewUnderTest v(t.doc);
    const QRect r = v.view->RecomputeLayout().TileRect(1, 0).adjusted(2, 2, -2, -2);
    const QPoint frame(r.x() + 3, r.center().y());
    EXPECT_EQ(At(v.Render(), frame), ViewColours::ItemDefinedEven);
    v.view->SetTileMode(TileMode::MoveEdit);
    const QColor inverted = At(v.Render(), frame);
    EXPECT_EQ(
        inverted.rgb() & 0xffffff, (ViewColours::ItemDefinedEven.rgb() & 0xffffff) ^ 0xffffff);
}

TEST(ViewPaint, TinyTilesStillShowTheMatrix)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 300, 200);
    s.GetTile(10, 10)->excluded = 1;
    CViewUnderTest v(t.doc);
    v.view->SetZoom(2);
    const QImage plain = v.Render();
    const CViewLayout& l = v.view->GetLayout();
    ASSERT_EQ(l.tile, QSize(2, 2));
    EXPECT_EQ(At(plain, l.TileRect(10, 10).topLeft()), ViewColours::Excluded);
    EXPECT_EQ(At(plain, l.TileRect(11, 10).topLeft()), ViewColours::TileBody);
    EXPECT_EQ(At(plain, l.TileRect(0, 0).topLeft()), ViewColours::FirstAddressEdge);

    // Chained tiles take the colour of their chain.
    v.view->SetConnectionMode(ConnectionMode::All);
    const QImage chained = v.Render();
    EXPECT_EQ(At(chained, l.TileRect(50, 20).topLeft()), ViewColours::ChainOtherPosition);
    EXPECT_EQ(At(chained, l.TileRect(100, 0).topLeft()), ViewColours::ChainActivePosition);
}

TEST(ViewPaint, EmptySectionShowsOnlyTheTitle)
{
    CViewTestDoc t;
    CViewUnderTest v(t.doc);
    ASSERT_EQ(t.doc.GetCurrentSection()->GetTileCount(), 0);
    const QImage image = v.Render();
    EXPECT_GT(CountNear(image, QRect(20, 20, 300, 40), ViewColours::EmptyTitle), 0);
    EXPECT_EQ(CountNear(image, QRect(35, 120, 200, 10), ViewColours::TileBody), 0);
}

TEST(ViewPaint, ReshapedSectionDrawsItsNewChains)
{
    // Setting a section up again reuses its tile buffer; a grid of the same size but
    // another shape must not be drawn with the chains of the old one.
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 4, 2);
    CViewUnderTest v(t.doc);
    v.view->SetConnectionMode(ConnectionMode::All);
    v.Render();
    t.SetUp(s, "ZIDUZU_COLOR_BEAMER", 2, 4);
    const QImage kept = v.Render();

    CViewUnderTest fresh(t.doc);
    fresh.view->SetConnectionMode(ConnectionMode::All);
    EXPECT_TRUE(kept == fresh.Render());
}
