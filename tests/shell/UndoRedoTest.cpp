#include "FakePrompts.h"

#include "app/base/UserMessages.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"
#include "shell/MainFrame.h"
#include "shell/RecentFileList.h"
#include "shell/toolkit/ExtTabCtrl.h"
#include "view/DialogBarPages.h"
#include "view/QuiltmarkView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The real window on a clean 6 x 3 wall, active so that its keys work.
class UndoRedoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("Recent File List"));
        recent.Load();
        frame = std::make_unique<CMainFrame>(messages, prompts, recent, nullptr);
        ASSERT_TRUE(frame->GetDocManager().OnFileNew(false));
        CQuiltmarkDoc& doc = Doc();
        CSectionSetup setup = doc.GetCurrentSection()->setup;
        setup.fix_type = doc.GetLibrary().IndexOfType("LUMORA_PIXELDOT_RGB");
        setup.matrix_width = 6;
        setup.matrix_height = 3;
        ASSERT_TRUE(doc.SetUpSection(*doc.GetCurrentSection(), setup));
        doc.SetModifiedFlag(false); // as if just saved
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        frame->GetView().setFocus();
    }

    CQuiltmarkDoc& Doc() { return frame->GetDocument(); }
    CQuiltmarkView& View() { return frame->GetView(); }
    std::string Project() { return CProjectFileWriter::Write(Doc(), "2024-01-01"); }
    QString Text(CommandId id) { return frame->GetAction(id)->text(); }
    bool Enabled(CommandId id) { return frame->GetAction(id)->isEnabled(); }
    bool Excluded(int column, int row)
    {
        return Doc().GetCurrentSection()->GetTile(column, row)->excluded != 0;
    }

    QPoint Centre(int column, int row)
    {
        View().RecomputeLayout();
        return View().GetLayout().TileRect(column, row).center() - View().ScrollPosition();
    }
    void Press(int column, int row)
    {
        QTest::mousePress(View().viewport(), Qt::LeftButton, Qt::NoModifier, Centre(column, row));
    }
    void Move(int column, int row) { QTest::mouseMove(View().viewport(), Centre(column, row)); }
    void Release(int column, int row)
    {
        QTest::mouseRelease(View().viewport(), Qt::LeftButton, Qt::NoModifier, Centre(column, row));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::keyClick(&View(), key, modifiers);
    }

    CRecordingMessages messages;
    CFakePrompts prompts;
    CRecentFileList recent;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace

TEST_F(UndoRedoTest, ClickUndoneByKeyGivesBackTheSavedProjectAndTheMenuFollows)
{
    const std::string saved = Project();
    EXPECT_EQ(Text(CommandId::EditUndo), QStringLiteral("Undo Create Matrix\tCtrl+Z"));
    EXPECT_EQ(Text(CommandId::EditRedo), QStringLiteral("Redo\tCtrl+Y"));
    EXPECT_FALSE(Enabled(CommandId::EditRedo));

    Press(2, 1);
    Release(2, 1);
    EXPECT_TRUE(Excluded(2, 1));
    EXPECT_TRUE(Doc().IsModified());
    // Right after the click, without waiting for the window to poll.
    EXPECT_EQ(Text(CommandId::EditUndo), QStringLiteral("Undo Toggle Tiles\tCtrl+Z"));

    Key(Qt::Key_Z);
    EXPECT_EQ(Project(), saved);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(Text(CommandId::EditRedo), QStringLiteral("Redo Toggle Tiles\tCtrl+Y"));
    EXPECT_TRUE(Enabled(CommandId::EditRedo));
    EXPECT_EQ(
        frame->findChild<QLabel*>(QStringLiteral("messagePane"))->text(), View().StatusText(2, 1));
    // Back at the saved position nothing asks to be saved.
    EXPECT_TRUE(frame->GetDocManager().SaveModified());
    EXPECT_TRUE(prompts.asked.isEmpty());

    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(Excluded(2, 1));
    EXPECT_TRUE(Doc().IsModified());
    Key(Qt::Key_Z);
    Key(Qt::Key_Y);
    EXPECT_TRUE(Excluded(2, 1));

    // Undoing the matrix itself leaves the focus cell inside the empty grid.
    Key(Qt::Key_Z);
    Key(Qt::Key_Z);
    EXPECT_EQ(Doc().GetCurrentSection()->GetTileCount(), 0);
    EXPECT_EQ(View().GetFocusColumn(), 0);
    EXPECT_EQ(View().GetFocusRow(), 0);
    EXPECT_EQ(Text(CommandId::EditUndo), QStringLiteral("Undo\tCtrl+Z"));
    EXPECT_FALSE(Enabled(CommandId::EditUndo));
}

TEST_F(UndoRedoTest, AToggleDragIsOneStepAndUndoDuringItCancelsIt)
{
    const std::string saved = Project();
    Press(0, 0);
    for (int x = 1; x < 4; ++x)
        Move(x, 0);
    Release(3, 0);
    for (int x = 0; x < 4; ++x)
        EXPECT_TRUE(Excluded(x, 0)) << x;
    frame->ExecuteCommand(CommandId::EditUndo);
    EXPECT_EQ(Project(), saved);
    EXPECT_EQ(Doc().GetUndoName(), "Create Matrix");

    // Undo in the middle of a drag takes back what it painted and ends it.
    Press(0, 2);
    Move(1, 2);
    Key(Qt::Key_Z);
    EXPECT_EQ(Project(), saved);
    EXPECT_FALSE(Doc().IsEditOpen());
    Move(3, 2);
    Release(3, 2);
    EXPECT_EQ(Project(), saved);
    EXPECT_EQ(Doc().GetRedoName(), "Toggle Tiles");

    // A move drag is cancelled before the step before it is undone.
    Press(4, 0);
    Release(4, 0);
    frame->ExecuteCommand(CommandId::EditMoveTileMode);
    Press(0, 0);
    Release(0, 0);
    Press(0, 0);
    Move(1, 1);
    Move(3, 1);
    ASSERT_TRUE(View().IsDragging());
    Key(Qt::Key_Z);
    EXPECT_FALSE(View().IsDragging());
    EXPECT_FALSE(Excluded(4, 0));
    Release(3, 1);
    EXPECT_EQ(Project(), saved);
}

TEST_F(UndoRedoTest, UndoneSectionEditsShowInTheBar)
{
    CExtTabCtrl& tabs = frame->GetSectionsBar().Tabs();
    frame->ExecuteCommand(CommandId::SectionsAdd);
    tabs.StartEdit(1);
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(&tabs, Qt::Key_Backspace);
    QTest::keyClicks(&tabs, QStringLiteral("Truss"));
    QTest::keyClick(&tabs, Qt::Key_Return);
    ASSERT_EQ(Doc().GetSection(1)->name, "Truss");
    EXPECT_EQ(Text(CommandId::EditUndo), QStringLiteral("Undo Rename Section\tCtrl+Z"));

    frame->ExecuteCommand(CommandId::EditUndo);
    EXPECT_EQ(tabs.GetLabel(1), QStringLiteral("new 2"));
    frame->ExecuteCommand(CommandId::EditUndo);
    EXPECT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs.currentIndex(), 0);
    frame->ExecuteCommand(CommandId::EditRedo);
    frame->ExecuteCommand(CommandId::EditRedo);
    EXPECT_EQ(tabs.count(), 2);
    EXPECT_EQ(tabs.GetLabel(1), QStringLiteral("Truss"));
    EXPECT_EQ(tabs.currentIndex(), Doc().GetCurrentSectionIndex());
}

TEST_F(UndoRedoTest, ARenameTypedInTheTabEditorIsOneStepThatCtrlZTakesBack)
{
    CExtTabCtrl& tabs = frame->GetSectionsBar().Tabs();
    const std::string before = Doc().GetSection(0)->name;
    tabs.StartEdit(0);
    QLineEdit* editor = tabs.Editor();
    ASSERT_TRUE(editor->hasFocus());

    // While the label is typed, Ctrl+Z belongs to the editor, not to the project.
    QTest::keyClicks(editor, QStringLiteral("x"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(tabs.GetEditText(), QString::fromStdString(before));
    EXPECT_FALSE(Doc().IsModified());

    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("Truss"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_EQ(Doc().GetSection(0)->name, "Truss");
    EXPECT_EQ(Text(CommandId::EditUndo), QStringLiteral("Undo Rename Section\tCtrl+Z"));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Doc().GetSection(0)->name, before);
    EXPECT_EQ(tabs.GetLabel(0), QString::fromStdString(before));
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_TRUE(Enabled(CommandId::EditRedo));
}

TEST_F(UndoRedoTest, MovingTheFocusAwayCommitsTheTypedLabel)
{
    CExtTabCtrl& tabs = frame->GetSectionsBar().Tabs();
    tabs.StartEdit(0);
    QTest::keyClick(tabs.Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(tabs.Editor(), QStringLiteral("Floor"));
    View().setFocus();
    EXPECT_FALSE(tabs.IsEditing());
    EXPECT_EQ(Doc().GetSection(0)->name, "Floor");
}

TEST_F(UndoRedoTest, TheFirstDragOfAProjectCanBeUndoneWhileItRuns)
{
    Doc().EnableHistory(false); // nothing left to undo
    Doc().EnableHistory(true);
    ASSERT_FALSE(Enabled(CommandId::EditUndo));
    const std::string saved = Project();
    Press(0, 0);
    Move(1, 0);
    // The open step makes Undo available at once, so that its key works mid-drag.
    EXPECT_TRUE(Enabled(CommandId::EditUndo));
    Key(Qt::Key_Z);
    EXPECT_FALSE(Doc().IsEditOpen());
    Release(1, 0);
    EXPECT_EQ(Project(), saved);
}
