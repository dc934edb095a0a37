#include "view/TileEditing.h"
#include "ViewTestSupport.h"
#include "view/EditCommands.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A 6 x 3 wall of 1 x 1 pixels (3 channels each) at 100 %: tiles of 100 x 100 pixels from
// (35, 120), addressed 0, 3, 6, ... row by row.
class TileEditingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.SetUp("LUMORA_PIXELDOT_RGB", 6, 3);
        data.doc.SetModifiedFlag(false);
        ui = std::make_unique<CViewUnderTest>(data.doc);
        commands = std::make_unique<CEditCommands>(data.doc, *ui->view);
        ui->view->AddCommandHandler(commands.get());
        ui->view->RecomputeLayout();
    }

    QWidget* Viewport() const { return ui->view->viewport(); }
    CSubDoc& Section() { return *data.doc.GetCurrentSection(); }
    const CTileRecord& Tile(int x, int y) { return *Section().GetTile(x, y); }
    static QPoint Centre(int column, int row)
    {
        return QPoint(35 + column * 100 + 50, 120 + row * 100 + 50);
    }

    void Press(QPoint p, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(Viewport(), Qt::LeftButton, modifiers, p);
    }
    void Move(QPoint p) { QTest::mouseMove(Viewport(), p); }
    void Release(QPoint p) { QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, p); }
    void Click(int column, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Press(Centre(column, row), modifiers);
        Release(Centre(column, row));
    }
    // Press on a tile and drag in small steps to `to`, past the drag threshold.
    void DragFrom(int column, int row, QPoint to)
    {
        const QPoint from = Centre(column, row);
        Press(from);
        for (int i = 1; i <= 8; ++i)
            Move(from + (to - from) * i / 8);
    }
    void MoveMode() { ui->view->OnCommand(CommandId::EditMoveTileMode); }
    int SelectedCount()
    {
        int n = 0;
        for (const CTileRecord& t : Section().Tiles())
            n += t.selected;
        return n;
    }
    int MarkedCount()
    {
        int n = 0;
        for (const CTileRecord& t : Section().Tiles())
            n += t.moveTarget;
        return n;
    }
    // Addresses row by row, the tiles' identity after moves.
    std::vector<int> Addresses()
    {
        std::vector<int> a;
        for (const CTileRecord& t : Section().Tiles())
            a.push_back(t.address);
        return a;
    }

    CViewTestDoc data;
    std::unique_ptr<CViewUnderTest> ui;
    std::unique_ptr<CEditCommands> commands;
};

TEST_F(TileEditingTest, ToggleDragPaintsThePressedStateAcrossTheRow)
{
    DragFrom(0, 0, Centre(5, 0));
    Release(Centre(5, 0));
    for (int x = 0; x < 6; ++x) {
        EXPECT_TRUE(Tile(x, 0).excluded) << x;
        EXPECT_FALSE(Tile(x, 1).excluded) << x;
        // Items follow the tiles at once.
        EXPECT_EQ(Section().GetItem(x, 0)->universe, -1);
    }
    EXPECT_TRUE(data.doc.IsModified());

    // From an excluded tile the drag makes tiles present again.
    EXPECT_EQ(Section().GetUniverseCounts().at(0), 12);
    DragFrom(2, 0, Centre(4, 0));
    Release(Centre(4, 0));
    const bool expected[6] = { true, true, false, false, false, true };
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(Tile(x, 0).excluded != 0, expected[x]) << x;
    // Without automatic addressing a tile that comes back has no address yet.
    EXPECT_TRUE(Tile(3, 0).IsUndefined());
    EXPECT_EQ(Section().GetUniverseCounts().at(0), 12);
}

TEST_F(TileEditingTest, ToggleDragReachesTilesThePointerJumpedOver)
{
    Press(Centre(0, 1));
    Move(Centre(5, 1));
    Release(Centre(5, 1));
    for (int x = 0; x < 6; ++x)
        EXPECT_TRUE(Tile(x, 1).excluded) << x;
    EXPECT_FALSE(Tile(0, 0).excluded);
}

TEST_F(TileEditingTest, ToggleWithAutomaticAddressingReaddressesTheSection)
{
    data.doc.autoAddressing = true;
    Click(1, 0);
    EXPECT_TRUE(Tile(1, 0).excluded);
    EXPECT_EQ(Tile(1, 0).address, -1);
    EXPECT_EQ(Tile(2, 0).address, 3);
    // Without it the other tiles keep their addresses.
    data.doc.autoAddressing = false;
    Click(3, 0);
    EXPECT_EQ(Tile(4, 0).address, 9);
    // A press beside the matrix changes nothing.
    data.doc.SetModifiedFlag(false);
    Click(-1, 0);
    Press(QPoint(10, 10));
    Release(QPoint(10, 10));
    EXPECT_FALSE(data.doc.IsModified());
}

TEST_F(TileEditingTest, CtrlAndShiftBuildTheSelection)
{
    MoveMode();
    Click(1, 1);
    EXPECT_EQ(SelectedCount(), 1);
    EXPECT_TRUE(Tile(1, 1).selected);
    Click(3, 1, Qt::ControlModifier);
    EXPECT_EQ(SelectedCount(), 2);
    Click(1, 1, Qt::ControlModifier);
    EXPECT_EQ(SelectedCount(), 1);
    EXPECT_TRUE(Tile(3, 1).selected);
    // Shift spans the rectangle from the previous focus cell (1, 1) to (4, 2).
    Click(4, 2, Qt::ShiftModifier);
    EXPECT_EQ(SelectedCount(), 8);
    EXPECT_FALSE(Tile(0, 1).selected);
    EXPECT_TRUE(Tile(1, 2).selected);
    // A plain click on a selected tile leaves only that tile selected.
    Click(2, 2);
    EXPECT_EQ(SelectedCount(), 1);
    EXPECT_TRUE(Tile(2, 2).selected);
    EXPECT_EQ(ui->view->GetFocusColumn(), 2);
    EXPECT_FALSE(data.doc.IsModified());
}

TEST_F(TileEditingTest, BlockDraggedPastTheCornerEndsFlush)
{
    MoveMode();
    Click(0, 0);
    Click(1, 1, Qt::ShiftModifier);
    const std::vector<int> before = Addresses();
    DragFrom(1, 1, QPoint(880, 690));
    EXPECT_EQ(commands->Editing().GetState(), CTileEditing::State::Dragging);
    EXPECT_TRUE(ui->view->IsDragging());
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::SizeAllCursor);
    EXPECT_EQ(MarkedCount(), 4);
    EXPECT_TRUE(Tile(5, 2).moveTarget);
    Release(QPoint(880, 690));

    EXPECT_EQ(Tile(4, 1).address, before[0]);
    EXPECT_EQ(Tile(5, 1).address, before[1]);
    EXPECT_EQ(Tile(4, 2).address, before[6]);
    EXPECT_EQ(Tile(5, 2).address, before[7]);
    EXPECT_TRUE(Tile(4, 1).selected && Tile(5, 2).selected);
    EXPECT_EQ(SelectedCount(), 4);
    EXPECT_EQ(MarkedCount(), 0);
    EXPECT_FALSE(ui->view->IsDragging());
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(ui->view->GetFocusColumn(), 4);
    EXPECT_EQ(ui->view->GetFocusRow(), 1);
    EXPECT_TRUE(data.doc.IsModified());
}

TEST_F(TileEditingTest, OneColumnMoveSwapsTheDisplacedTilesIntoTheGap)
{
    MoveMode();
    Click(1, 0);
    Click(1, 2, Qt::ShiftModifier);
    std::vector<int> expected = Addresses();
    for (int y = 0; y < 3; ++y)
        std::swap(expected[1 + y * 6], expected[2 + y * 6]);
    DragFrom(1, 2, Centre(2, 2));
    Release(Centre(2, 2));
    EXPECT_EQ(Addresses(), expected);
    EXPECT_TRUE(Tile(2, 0).selected);
    EXPECT_FALSE(Tile(1, 0).selected);
    // The item grid follows the moved tiles.
    EXPECT_EQ(Section().GetItem(2, 0)->address, 3);
}

TEST_F(TileEditingTest, EscapeDuringADragMovesNothing)
{
    MoveMode();
    Click(0, 0);
    const std::vector<int> before = Addresses();
    DragFrom(0, 0, Centre(3, 1));
    EXPECT_EQ(MarkedCount(), 1);
    EXPECT_TRUE(Tile(3, 1).moveTarget);
    QTest::keyPress(ui->view.get(), Qt::Key_Escape);
    EXPECT_FALSE(ui->view->IsDragging());
    EXPECT_EQ(MarkedCount(), 0);
    // Esc already let go: further moves and the drop do nothing.
    QTest::keyRelease(ui->view.get(), Qt::Key_Escape);
    Move(Centre(4, 2));
    Release(Centre(4, 2));
    EXPECT_EQ(Addresses(), before);
    EXPECT_EQ(MarkedCount(), 0);
    EXPECT_FALSE(data.doc.IsModified());
    EXPECT_EQ(commands->Editing().GetState(), CTileEditing::State::Idle);
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(TileEditingTest, ACancelledPressLeavesLaterClicksAlone)
{
    MoveMode();
    Click(0, 0);
    Click(1, 0, Qt::ControlModifier);
    // A press on the selection, cancelled before the button comes up, keeps the block.
    Press(Centre(0, 0));
    QTest::keyPress(ui->view.get(), Qt::Key_Escape);
    Release(Centre(0, 0));
    EXPECT_EQ(SelectedCount(), 2);
    // Toggling a tile afterwards does not touch the selection either.
    ui->view->OnCommand(CommandId::EditToggleTileMode);
    Click(4, 2);
    EXPECT_TRUE(Tile(4, 2).excluded);
    EXPECT_EQ(SelectedCount(), 2);
    EXPECT_TRUE(Tile(0, 0).selected && Tile(1, 0).selected);
}

TEST_F(TileEditingTest, SmallMovesStayAClickAndALostReleaseMovesNothing)
{
    MoveMode();
    Click(0, 0);
    const std::vector<int> before = Addresses();
    const int reach = QApplication::startDragDistance() + 5;
    Press(Centre(0, 0));
    Move(Centre(0, 0) + QPoint(reach, reach));
    EXPECT_EQ(commands->Editing().GetState(), CTileEditing::State::Pressed);
    Move(Centre(0, 0) + QPoint(reach + 1, 0));
    EXPECT_EQ(commands->Editing().GetState(), CTileEditing::State::Dragging);
    Move(Centre(2, 0));
    // The button came up outside the window: the next move reports no button.
    QMouseEvent lost(QEvent::MouseMove, QPointF(Centre(3, 0)),
        Viewport()->mapToGlobal(QPointF(Centre(3, 0))), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Viewport(), &lost);
    EXPECT_EQ(commands->Editing().GetState(), CTileEditing::State::Idle);
    EXPECT_EQ(Addresses(), before);
    EXPECT_EQ(MarkedCount(), 0);
    Release(Centre(3, 0));
}

TEST(DragClampTest, KeepsTheBlockInsideAndTheGrabFollowing)
{
    // Matrix 600, block 200, tiles 100: positions 0..401 are allowed.
    int p = -30, grab = 50;
    ClampDragAxis(p, grab, 600, 200, 100);
    EXPECT_EQ(p, 0);
    EXPECT_EQ(grab, 20);
    p = -80, grab = 50;
    ClampDragAxis(p, grab, 600, 200, 100);
    EXPECT_EQ(p, 0);
    EXPECT_EQ(grab, 50);
    p = 450, grab = 20;
    ClampDragAxis(p, grab, 600, 200, 100);
    EXPECT_EQ(p, 401);
    EXPECT_EQ(grab, 50);
    p = 900, grab = 20;
    ClampDragAxis(p, grab, 600, 200, 100);
    EXPECT_EQ(p, 401);
    EXPECT_EQ(grab, 101);
    // A block as large as the matrix cannot move at all.
    p = 70, grab = 0;
    ClampDragAxis(p, grab, 600, 600, 100);
    EXPECT_EQ(p / 100, 0);
}

} // namespace
