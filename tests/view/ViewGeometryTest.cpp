#include "view/ViewGeometry.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

CLayoutInput Matrix(int columns, int rows, int across = 1, int down = 1)
{
    CLayoutInput in;
    in.tileColumns = columns;
    in.tileRows = rows;
    in.itemsAcross = across;
    in.itemsDown = down;
    in.client = QSize(1000, 800);
    in.mode = ZoomMode::Manual;
    in.zoom = 100;
    return in;
}

} // namespace

TEST(ViewGeometry, TileSizeFollowsTheItemsOfAUnit)
{
    CViewLayout l = ComputeLayout(Matrix(3, 2));
    EXPECT_EQ(l.tile, QSize(100, 100));
    EXPECT_EQ(l.TileRect(0, 0), QRect(35, 120, 100, 100));
    EXPECT_EQ(l.TileRect(2, 1), QRect(235, 220, 100, 100));
    EXPECT_EQ(l.total, QSize(300 + 70, 120 + 200 + 35));

    EXPECT_EQ(ComputeLayout(Matrix(3, 2, 4, 1)).tile, QSize(200, 100));
    EXPECT_EQ(ComputeLayout(Matrix(3, 2, 1, 4)).tile, QSize(100, 200));
    EXPECT_EQ(ComputeLayout(Matrix(3, 2, 3, 1)).itemBase, QSize(66, 100));
    EXPECT_EQ(ComputeLayout(Matrix(3, 2, 8, 8)).tile, QSize(800, 800));

    CLayoutInput printing = Matrix(3, 2, 4, 1);
    printing.printing = true;
    printing.zoom = 25;
    l = ComputeLayout(printing);
    EXPECT_EQ(l.origin, QPoint(0, 0));
    EXPECT_EQ(l.tile, QSize(200, 100)); // zoom is not applied on paper
}

TEST(ViewGeometry, LegendExtendsTheExtent)
{
    CLayoutInput in = Matrix(2, 2);
    in.legend = true;
    in.universes = 5;
    const CViewLayout l = ComputeLayout(in);
    // Five boxes of 50 are wider than the 200 of the matrix; 50 + 4*25 + 4*25 below it.
    EXPECT_EQ(l.extent, QSize(250, 200 + 50 + 100 + 100));
    in.universes = 1;
    EXPECT_EQ(ComputeLayout(in).extent, QSize(200, 200 + 50 + 100));
    EXPECT_EQ(ComputeLayout(Matrix(0, 0)).extent, QSize(1, 1));
}

TEST(ViewGeometry, FittedZoomModes)
{
    CLayoutInput in = Matrix(10, 10);
    in.client = QSize(600, 500); // available 530 x 345
    in.mode = ZoomMode::Page;
    CViewLayout l = ComputeLayout(in);
    EXPECT_EQ(l.zoom, 34);
    EXPECT_LE(l.extent.width(), 530);
    EXPECT_LE(l.extent.height(), 345);
    // Manual afterwards keeps the fitted zoom.
    in.mode = ZoomMode::Manual;
    in.zoom = l.zoom;
    EXPECT_EQ(ComputeLayout(in).tile, l.tile);

    in.mode = ZoomMode::PageWidth;
    EXPECT_EQ(ComputeLayout(in).zoom, 53);
    in.mode = ZoomMode::PageHeight;
    EXPECT_EQ(ComputeLayout(in).zoom, 34);
    // A tiny window still offers 100 x 100.
    in.client = QSize(10, 10);
    EXPECT_EQ(ComputeLayout(in).zoom, 10);
    // Fitting a huge matrix may reach 0 %, and the tiles stay one pixel.
    in = Matrix(2000, 2000);
    in.mode = ZoomMode::Page;
    l = ComputeLayout(in);
    EXPECT_EQ(l.zoom, 0);
    EXPECT_EQ(l.tile, QSize(1, 1));
}

TEST(ViewGeometry, ExtremeZoomStaysInRange)
{
    CLayoutInput in = Matrix(2000, 2000, 64, 64);
    in.zoom = 10000;
    const CViewLayout l = ComputeLayout(in);
    EXPECT_LE(l.extent.width(), CViewLayout::kMaxExtent);
    EXPECT_GT(l.extent.width(), CViewLayout::kMaxExtent / 2);
    EXPECT_LT(l.zoom, 10000);
}

TEST(ViewGeometry, ZoomSteps)
{
    EXPECT_EQ(ZoomInStep(100), 125);
    EXPECT_EQ(ZoomInStep(110), 125);
    EXPECT_EQ(ZoomInStep(0), 1);
    EXPECT_EQ(ZoomInStep(7500), 10000);
    EXPECT_EQ(ZoomInStep(10000), 10000);
    EXPECT_EQ(ZoomInStep(20000), 10000);

    const QSize big(100, 100);
    EXPECT_EQ(ZoomOutStep(125, big), 100);
    EXPECT_EQ(ZoomOutStep(110, big), 100);
    EXPECT_EQ(ZoomOutStep(2, big), 1);
    EXPECT_EQ(ZoomOutStep(1, big), 1);
    // Refused when zoom times the tile size is 40 or less.
    EXPECT_EQ(ZoomOutStep(1, QSize(1, 1)), std::nullopt);
    EXPECT_EQ(ZoomOutStep(5, QSize(8, 100)), std::nullopt);
    EXPECT_EQ(ZoomOutStep(5, QSize(9, 9)), 4);
}

TEST(ViewGeometry, HitTestAndVisibleRange)
{
    const CViewLayout l = ComputeLayout(Matrix(4, 3));
    int c = -1;
    int r = -1;
    EXPECT_TRUE(l.HitTest(QPoint(35, 120), c, r));
    EXPECT_EQ(c, 0);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(l.HitTest(QPoint(434, 419), c, r));
    EXPECT_EQ(c, 3);
    EXPECT_EQ(r, 2);
    EXPECT_FALSE(l.HitTest(QPoint(34, 200), c, r));
    EXPECT_FALSE(l.HitTest(QPoint(435, 200), c, r));
    EXPECT_FALSE(l.HitTest(QPoint(100, 420), c, r));

    CTileRange v = l.VisibleTiles(QRect(140, 0, 100, 230));
    EXPECT_EQ(v.firstColumn, 1);
    EXPECT_EQ(v.lastColumn, 2);
    EXPECT_EQ(v.firstRow, 0);
    EXPECT_EQ(v.lastRow, 1);
    EXPECT_TRUE(l.VisibleTiles(QRect(0, 0, 30, 500)).IsEmpty());
    EXPECT_EQ(l.VisibleTiles(QRect(0, 0, 5000, 5000)).Count(), 12);
    // After scrolling, painter coordinates move but the range stays the same tiles.
    const CViewLayout s = l.Shifted(QPoint(100, 100));
    EXPECT_EQ(s.VisibleTiles(QRect(40, -100, 100, 230)).firstColumn, 1);
}

TEST(ViewGeometry, ItemCellsAndLabelFits)
{
    const QRect tile(10, 10, 100, 100);
    EXPECT_EQ(ItemCellRect(tile, 0, 0, 3, 1), QRect(10, 10, 33, 100));
    EXPECT_EQ(ItemCellRect(tile, 2, 0, 3, 1), QRect(76, 10, 34, 100));

    EXPECT_TRUE(TextFitsStrictly(QSize(40, 10), QSize(41, 11)));
    EXPECT_FALSE(TextFitsStrictly(QSize(40, 10), QSize(40, 50)));
    EXPECT_FALSE(TextFitsStrictly(QSize(40, 10), QSize(50, 10)));

    CLabelBands b = ComputeLabelBands(QSize(20, 10), QSize(20, 30));
    EXPECT_EQ(b.bandHeight, 15);
    EXPECT_EQ(b.rowLabelWidth, 30);
    EXPECT_TRUE(b.columns);
    EXPECT_TRUE(b.rows);
    EXPECT_TRUE(b.corner);
    b = ComputeLabelBands(QSize(20, 10), QSize(19, 9));
    EXPECT_FALSE(b.columns);
    EXPECT_FALSE(b.rows);
    EXPECT_FALSE(b.corner);
}

TEST(ViewGeometry, SwitchAreaDependsOnTileShape)
{
    EXPECT_EQ(SwitchArea(QRect(0, 0, 50, 100)), QRect(25, 0, 25, 100));
    EXPECT_EQ(SwitchArea(QRect(0, 0, 100, 100)), QRect(0, 75, 100, 25));
    EXPECT_EQ(SwitchArea(QRect(0, 0, 200, 100)), QRect(0, 50, 200, 50));
}

TEST(ViewGeometry, AddressLabelsShowStoredNumbersOneBased)
{
    EXPECT_EQ(AddressLabel(0, 0), QStringLiteral("U01.1"));
    EXPECT_EQ(AddressLabel(119, 511), QStringLiteral("U120.512"));
    EXPECT_EQ(UniverseLabel(8), QStringLiteral("U09"));
    // A file may hold any int; the shown number is one more, never wrapped.
    EXPECT_EQ(AddressLabel(INT_MAX, INT_MAX), QStringLiteral("U2147483648.2147483648"));
    EXPECT_EQ(AddressLabel(INT_MIN, INT_MIN), QStringLiteral("U-2147483647.-2147483647"));
    EXPECT_EQ(UniverseLabel(INT_MAX), QStringLiteral("U2147483648"));
}
