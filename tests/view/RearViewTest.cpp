#include "ViewTestSupport.h"

#include "view/EditCommands.h"
#include "view/PrintCommands.h"
#include "view/PrintPainter.h"

#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

CLayoutInput Input(int columns, int rows, int across, int down)
{
    CLayoutInput in;
    in.tileColumns = columns;
    in.tileRows = rows;
    in.itemsAcross = across;
    in.itemsDown = down;
    in.client = QSize(900, 700);
    in.mode = ZoomMode::Manual;
    return in;
}

// Every tile of the rear view is found again under every pixel of its drawn rectangle,
// lies in mirrored order, and shows up alone in the visible range of its rectangle.
void ExpectRoundTrip(const CLayoutInput& frontInput, QPoint scroll)
{
    CLayoutInput rearInput = frontInput;
    rearInput.rear = true;
    const CViewLayout front = ComputeLayout(frontInput).Shifted(scroll);
    const CViewLayout rear = ComputeLayout(rearInput).Shifted(scroll);
    const int columns = frontInput.tileColumns;
    const QRect drawing(front.origin, QSize(front.extent.width(), front.MatrixRect().height()));
    const bool matrixFills = front.extent.width() == front.MatrixRect().width();
    for (int row = 0; row < frontInput.tileRows; ++row) {
        for (int column = 0; column < columns; ++column) {
            SCOPED_TRACE(testing::Message() << "tile " << column << "," << row);
            const QRect r = rear.TileRect(column, row);
            EXPECT_EQ(r.size(), front.tile);
            EXPECT_TRUE(drawing.contains(r));
            // Mirrored order: the first column is drawn at the right.
            if (matrixFills) {
                EXPECT_EQ(r, front.TileRect(columns - 1 - column, row));
            }
            if (column > 0) {
                EXPECT_EQ(r.right() + 1, rear.TileRect(column - 1, row).left());
            }
            for (const QPoint p : { r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight() }) {
                int c = -1;
                int w = -1;
                ASSERT_TRUE(rear.HitTest(p, c, w));
                EXPECT_EQ(c, column);
                EXPECT_EQ(w, row);
            }
            const CTileRange v = rear.VisibleTiles(r);
            EXPECT_EQ(v.firstColumn, column);
            EXPECT_EQ(v.lastColumn, column);
            EXPECT_EQ(v.Count(), 1);
        }
    }
    int c = 0;
    int w = 0;
    const QRect matrix = rear.MatrixRect();
    EXPECT_FALSE(rear.HitTest(QPoint(matrix.left() - 1, matrix.top()), c, w));
    EXPECT_FALSE(rear.HitTest(QPoint(matrix.right() + 1, matrix.top()), c, w));
}

// The matrix part of two renderings, one mirrored left to right, pixel for pixel, but for
// `skip` (of the first rendering).
int MirrorMismatches(
    const QImage& front, const QImage& rear, const QRect& matrix, const QRect& skip = QRect())
{
    int mismatches = 0;
    for (int y = matrix.top(); y <= matrix.bottom(); ++y) {
        for (int x = matrix.left(); x <= matrix.right(); ++x) {
            const int mirrored = matrix.left() + matrix.right() - x;
            if (!skip.contains(x, y) && front.pixel(x, y) != rear.pixel(mirrored, y))
                ++mismatches;
        }
    }
    return mismatches;
}

} // namespace

TEST(RearViewGeometry, MirroredHitTestingRoundTripsEveryTile)
{
    ExpectRoundTrip(Input(4, 3, 1, 1), QPoint(0, 0));
    ExpectRoundTrip(Input(7, 2, 4, 1), QPoint(0, 0)); // 200 x 100 tiles
    ExpectRoundTrip(Input(5, 4, 1, 3), QPoint(130, 57)); // scrolled
    CLayoutInput small = Input(30, 20, 2, 2);
    small.zoom = 3; // tiles of 6 pixels
    ExpectRoundTrip(small, QPoint(0, 0));
    // One column and eight universes: the legend is wider than the matrix, and the whole
    // drawing is mirrored, the matrix moving to the right end.
    CLayoutInput legend = Input(1, 5, 1, 1);
    legend.legend = true;
    legend.universes = 8;
    ExpectRoundTrip(legend, QPoint(0, 0));
    CLayoutInput paper = Input(6, 3, 2, 2);
    paper.printing = true;
    ExpectRoundTrip(paper, QPoint(0, 0));
}

TEST(RearViewGeometry, BlocksMapToTheirDrawnColumnAndBack)
{
    CLayoutInput in = Input(9, 2, 1, 1);
    in.rear = true;
    const CViewLayout rear = ComputeLayout(in);
    for (int width = 1; width <= 9; ++width) {
        for (int column = 0; column + width <= 9; ++column) {
            const int drawn = rear.DrawnBlockColumn(column, width);
            // The block's drawn left edge is that of its rightmost column.
            EXPECT_EQ(rear.MatrixRect().left() + drawn * 100,
                rear.TileRect(column + width - 1, 0).left());
            EXPECT_EQ(rear.DrawnBlockColumn(drawn, width), column);
        }
    }
    EXPECT_EQ(rear.MirrorX(rear.MirrorX(123)), 123);
}

class RearViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Two universes, a cut-out tile and an undefined one: every tile fill there is.
        CSubDoc& s = data.SetUp("BRAKWELL_TILE_2X2", 7, 3);
        for (int x = 0; x < 7; ++x)
            s.GetTile(x, 2)->universe = 1;
        s.GetTile(5, 0)->universe = 1;
        s.GetTile(5, 0)->address = 0;
        s.GetTile(2, 1)->excluded = 1;
        s.GetTile(4, 1)->universe = -1;
        s.GetTile(4, 1)->address = -1;
        s.RebuildItems();
        s.RecountUniverses();
        data.doc.RebuildTables();
        ui = std::make_unique<CViewUnderTest>(data.doc);
    }

    CViewTestDoc data;
    std::unique_ptr<CViewUnderTest> ui;
};

TEST_F(RearViewTest, TileFillsAreTheFrontViewMirrored)
{
    // At 20 % (40-pixel tiles: item cells, the first-address edge, no text) and at 2 %
    // (tiles of 4 pixels, drawn as one block each).
    for (const int zoom : { 20, 2 }) {
        SCOPED_TRACE(zoom);
        ui->view->SetZoom(zoom);
        ui->view->SetRearView(false);
        const QImage front = ui->Render();
        const QRect matrix = ui->view->GetLayout().MatrixRect();
        // The dotted focus mark is a mark, not a fill: one dot may fall either way.
        const QRect focus = ui->view->GetLayout().TileRect(0, 0).adjusted(-2, -2, 2, 2);
        ui->view->SetRearView(true);
        const QImage rear = ui->Render();
        ASSERT_EQ(ui->view->GetLayout().MatrixRect(), matrix);
        EXPECT_EQ(MirrorMismatches(front, rear, matrix, focus), 0);
        // Not mirror-symmetric by itself: the test would pass for a view that ignored rear.
        EXPECT_GT(MirrorMismatches(front, front, matrix), 0);
    }
}

TEST_F(RearViewTest, CommandIsACheckItemOffByDefaultAndPrintingFollows)
{
    CCommandState state;
    ASSERT_TRUE(ui->view->OnUpdateCommand(CommandId::ViewRearView, state));
    EXPECT_FALSE(state.checked);
    EXPECT_FALSE(ui->view->RecomputeLayout().rear);
    ui->view->OnCommand(CommandId::ViewRearView);
    ASSERT_TRUE(ui->view->OnUpdateCommand(CommandId::ViewRearView, state));
    EXPECT_TRUE(state.checked);
    EXPECT_TRUE(ui->view->RecomputeLayout().rear);
    EXPECT_FALSE(data.doc.IsModified());

    QPrinter printer;
    CPrintCommands print(data.doc, *ui->view, printer);
    const CPrintViewOptions options = print.ViewOptions();
    EXPECT_TRUE(options.rearView);
    const CPatchMatrixPage page
        = ComputePatchMatrixPage(*data.doc.GetCurrentSection(), QSize(2480, 3508), options);
    EXPECT_TRUE(page.layout.rear);
    EXPECT_LT(page.layout.TileRect(6, 0).x(), page.layout.TileRect(0, 0).x());

    ui->view->OnCommand(CommandId::ViewRearView);
    EXPECT_FALSE(print.ViewOptions().rearView);
}

TEST_F(RearViewTest, ClicksAndDragsActOnTheTileUnderThePointer)
{
    CEditCommands commands(data.doc, *ui->view);
    ui->view->AddCommandHandler(&commands);
    ui->view->SetZoom(100);
    ui->view->SetRearView(true);
    const CViewLayout& l = ui->view->RecomputeLayout();
    CSubDoc& s = *data.doc.GetCurrentSection();
    QWidget* viewport = ui->view->viewport();

    // Toggle mode: the rightmost tile on screen is A1.
    const QPoint a1 = l.TileRect(0, 0).center();
    EXPECT_GT(a1.x(), l.TileRect(6, 0).center().x());
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, a1);
    EXPECT_TRUE(s.GetTile(0, 0)->excluded);
    EXPECT_FALSE(s.GetTile(6, 0)->excluded);
    EXPECT_EQ(ui->view->GetFocusColumn(), 0);
    ui->view->OnCommand(CommandId::EditUndo);
    ASSERT_FALSE(s.GetTile(0, 0)->excluded);

    // Move mode: select A1 and B1 and drag them one tile to the left on screen, which
    // behind the wall is one column on: they land on B1 and C1.
    ui->view->OnCommand(CommandId::EditMoveTileMode);
    const int a1Address = s.GetTile(0, 0)->address;
    const int b1Address = s.GetTile(1, 0)->address;
    const int c1Address = s.GetTile(2, 0)->address;
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, a1);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, l.TileRect(1, 0).center());
    ASSERT_EQ(s.GetSelectionBounds()->w, 2);
    const QPoint from = l.TileRect(1, 0).center();
    const QPoint to = from - QPoint(l.tile.width(), 0);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 8; ++i)
        QTest::mouseMove(viewport, from + (to - from) * i / 8);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_EQ(s.GetTile(1, 0)->address, a1Address);
    EXPECT_EQ(s.GetTile(2, 0)->address, b1Address);
    EXPECT_EQ(s.GetTile(0, 0)->address, c1Address);
    EXPECT_EQ(ui->view->GetFocusColumn(), 1);
    ui->view->RemoveCommandHandler(&commands);
}
