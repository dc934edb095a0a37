#include "FakePrompts.h"

#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "shell/MainFrame.h"
#include "shell/RecentFileList.h"
#include "shell/toolkit/CommandTable.h"
#include "view/QuiltmarkView.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

QStringList MenuTexts(const QMenu* menu)
{
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            texts << QStringLiteral("|");
        else if (a->menu())
            texts << a->text() + QStringLiteral(">");
        else if (a->isVisible())
            texts << a->text();
    }
    return texts;
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("Recent File List"));
        recent.Load();
        frame = std::make_unique<CMainFrame>(messages, prompts, recent, nullptr);
        ASSERT_TRUE(frame->GetDocument().OnNewDocument());
        frame->UpdateCommandStates();
    }
    QMenu* Menu(const char* name) { return frame->findChild<QMenu*>(QString::fromLatin1(name)); }

    CRecordingMessages messages;
    CFakePrompts prompts;
    CRecentFileList recent;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace

TEST_F(MainFrameTest, MenusHaveTheirEntriesKeyHintsAndOrder)
{
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList { "&File", "&Edit", "&View", "&Sections", "&Help" }));

    EXPECT_EQ(MenuTexts(Menu("menuFile")),
        (QStringList { "&New\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S", "Save &as...", "|",
            "&Print...\tCtrl+P", "Print P&review", "Printer &Setup", "|", "&Export>", "|",
            "Letzte Datei", "|", "&Quit" }));
    EXPECT_EQ(MenuTexts(Menu("menuExport")),
        (QStringList { "Patch Scheme as ASCII-Art Text File...", "Patch List as CSV..." }));
    EXPECT_EQ(MenuTexts(Menu("menuEdit")),
        (QStringList { "Undo\tCtrl+Z", "Redo\tCtrl+Y", "|", "Create Matrix...\tF3",
            "Device Manager...\tF4", "|", "Automatic Addressing", "Manual Addressing", "|",
            "Toggle Tile Mode\tF5", "Move/Edit Tile Mode\tF6", "|", "Page Info...", "|",
            "Go To...\tCtrl+G" }));
    EXPECT_EQ(MenuTexts(Menu("menuView")),
        (QStringList { "Zoom In\tAlt++", "Zoom Out\tAlt+-", "Zoom View>", "|",
            "Show All Connections\tF7", "Show Connections for Active Universe\tCtrl+F7",
            "Hide Connections\tF8", "|", "Sort Connections by DMX Address\tF10",
            "Sort Connections by Position\tF9", "|", "Show Switch Settings", "|", "Rear View",
            "|", "Universe Report..." }));
    EXPECT_EQ(MenuTexts(Menu("menuZoomView")),
        (QStringList { "Manual", "Page", "Page Width", "Page Height" }));
    EXPECT_EQ(
        MenuTexts(Menu("menuSections")), (QStringList { "Add Section", "Delete Current Section" }));
    EXPECT_EQ(MenuTexts(Menu("menuHelp")), (QStringList { "&About..." }));
}

TEST_F(MainFrameTest, KeysPromptsAndToolTips)
{
    using K = QKeySequence;
    const auto keys = [this](CommandId id) { return frame->GetAction(id)->shortcuts(); };
    EXPECT_TRUE(keys(CommandId::ViewSortByPosition).contains(K(Qt::Key_F9)));
    EXPECT_TRUE(keys(CommandId::ViewSortByAddress).contains(K(Qt::Key_F10)));
    EXPECT_TRUE(keys(CommandId::ViewShowActiveConnections).contains(K(Qt::CTRL | Qt::Key_F7)));
    EXPECT_TRUE(keys(CommandId::ViewZoomIn).contains(K(Qt::ALT | Qt::Key_Plus)));
    EXPECT_TRUE(
        keys(CommandId::ViewZoomIn)
            .contains(K(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Plus))));
    EXPECT_TRUE(
        keys(CommandId::ViewZoomOut)
            .contains(K(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Minus))));
    EXPECT_TRUE(keys(CommandId::FileOpen).contains(K(Qt::CTRL | Qt::Key_O)));
    EXPECT_TRUE(keys(CommandId::EditGoTo).contains(K(Qt::CTRL | Qt::Key_G)));
    EXPECT_TRUE(keys(CommandId::EditRedo).contains(K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
    EXPECT_EQ(
        frame->GetAction(CommandId::EditUndo)->statusTip(), QStringLiteral("Undo the last action"));
    EXPECT_EQ(frame->GetAction(CommandId::EditRedo)->statusTip(),
        QStringLiteral("Redo the previously undone action"));

    QAction* create = frame->GetAction(CommandId::EditCreateMatrix);
    EXPECT_EQ(create->statusTip(), QStringLiteral("Create a matrix"));
    EXPECT_EQ(create->toolTip(), QStringLiteral("Create Matrix [F3]"));
    QAction* active = frame->GetAction(CommandId::ViewShowActiveConnections);
    EXPECT_EQ(
        active->toolTip(), QStringLiteral("Show Connections for Active Universe [CTRL]+[F7]"));
    EXPECT_EQ(frame->GetAction(CommandId::FileQuit)->statusTip(),
        QStringLiteral("Quit the application; prompts to save documents"));
}

TEST_F(MainFrameTest, ToolBarButtonsInOrderWithSeparators)
{
    QStringList order;
    for (QAction* a : frame->GetToolBar().actions())
        order << (a->isSeparator() ? QStringLiteral("|") : a->objectName().mid(6));
    EXPECT_EQ(order.join(QLatin1Char(' ')),
        QStringLiteral("FileNew FileOpen FileSave | FilePrintPreview FilePrint | "
                       "EditCreateMatrix EditDeviceManager | EditToggleTileMode "
                       "EditMoveTileMode | ViewZoomIn ViewZoomOut ViewZoomManual "
                       "ViewZoomPage ViewZoomPageWidth ViewZoomPageHeight | "
                       "ViewShowAllConnections ViewShowActiveConnections "
                       "ViewHideConnections | ViewSortByPosition ViewSortByAddress | "
                       "ViewShowSwitches | EditAutoAddressing EditManualAddressing | "
                       "EditPageInfo"));
    for (QAction* a : frame->GetToolBar().actions())
        EXPECT_TRUE(a->isSeparator() || !a->icon().isNull()) << a->objectName().toStdString();
}

TEST_F(MainFrameTest, TitleStatusBarAndCommandStates)
{
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled - Kelvra Quiltmark"));
    EXPECT_TRUE(frame->QueryCommand(CommandId::SectionsAdd).enabled);
    EXPECT_TRUE(frame->QueryCommand(CommandId::FileSave).enabled);
    EXPECT_TRUE(frame->QueryCommand(CommandId::FileQuit).enabled);
    EXPECT_TRUE(frame->QueryCommand(CommandId::FileExportAscii).enabled);
    // Without an application object its commands have no handler and are disabled.
    EXPECT_FALSE(frame->QueryCommand(CommandId::HelpAbout).enabled);
    EXPECT_FALSE(frame->GetAction(CommandId::HelpAbout)->isEnabled());
    EXPECT_FALSE(frame->GetAction(CommandId::FileRecent1)->isEnabled());
    EXPECT_FALSE(frame->ExecuteCommand(CommandId::HelpAbout));

    EXPECT_EQ(
        frame->findChild<QLabel*>(QStringLiteral("messagePane"))->text(), QStringLiteral("Ready."));
    for (const char* name : { "indicatorCAP", "indicatorNUM", "indicatorSCRL" })
        EXPECT_NE(frame->findChild<QLabel*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST_F(MainFrameTest, SaveAsNamesTheWindowAndRemembersTheFile)
{
    QTemporaryDir dir;
    prompts.saveName = dir.filePath(QStringLiteral("wall.patch"));
    frame->GetDocument().SetModifiedFlag();
    EXPECT_TRUE(frame->ExecuteCommand(CommandId::FileSaveAs));
    EXPECT_EQ(prompts.proposedNames.value(0), QStringLiteral("Untitled.patch"));
    EXPECT_FALSE(frame->GetDocument().IsModified());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("wall.patch - Kelvra Quiltmark"));
    EXPECT_EQ(recent.Files().value(0), prompts.saveName);
    EXPECT_EQ(
        QSettings().value(QStringLiteral("Recent File List/File1")).toString(), prompts.saveName);
    EXPECT_TRUE(
        frame->GetAction(CommandId::FileRecent1)->text().endsWith(QStringLiteral("wall.patch")));
}

TEST_F(MainFrameTest, CancelledSaveQuestionKeepsTheDocument)
{
    frame->GetDocument().SetModifiedFlag();
    prompts.saveAnswer = IDocPrompts::SaveAnswer::Cancel;
    EXPECT_FALSE(frame->GetDocManager().OnFileNew());
    EXPECT_EQ(prompts.asked, QStringList { QStringLiteral("Untitled") });
    EXPECT_TRUE(frame->GetDocument().IsModified());
    EXPECT_FALSE(frame->close());

    prompts.saveAnswer = IDocPrompts::SaveAnswer::No;
    EXPECT_TRUE(frame->GetDocManager().OnFileNew());
    EXPECT_FALSE(frame->GetDocument().IsModified());
}

// "Save changes?" answered Yes: when the save does not happen, New, Open and Quit stop
// and the project stays as it was; when it does, they go on.
TEST_F(MainFrameTest, YesToSaveChangesStopsNewOpenAndQuitUnlessTheSaveHappens)
{
    QTemporaryDir dir;
    // A copy: should a faulty Yes go on regardless, the opened project is saved over it.
    const QString other = dir.filePath(QStringLiteral("small-bar.patch"));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(QUILTMARK_SOURCE_DIR "/examples/small-bar.patch"), other));
    prompts.saveAnswer = IDocPrompts::SaveAnswer::Yes;
    CDocManager& docs = frame->GetDocManager();
    const char* const cases[] = { "Save As cancelled", "save fails" };
    for (const char* why : cases) {
        SCOPED_TRACE(why);
        prompts.saveName = why == cases[0]
            ? QString()
            : dir.filePath(QStringLiteral("missing-folder/wall.patch"));
        frame->GetDocument().GetSection(0)->name = "kept";
        frame->GetDocument().SetModifiedFlag();
        messages.calls.clear();
        EXPECT_FALSE(docs.OnFileNew());
        EXPECT_FALSE(docs.OpenDocumentFile(other));
        EXPECT_FALSE(frame->close());
        EXPECT_EQ(prompts.asked.size(), 3);
        prompts.asked.clear();
        EXPECT_EQ(frame->GetDocument().GetSectionCount(), 1);
        EXPECT_EQ(frame->GetDocument().GetSection(0)->name, "kept");
        EXPECT_TRUE(frame->GetDocument().IsModified());
        EXPECT_TRUE(frame->GetDocument().GetPathName().empty());
        // A failed write is told once per attempt; a cancelled name needs no message.
        EXPECT_EQ(messages.calls.size(), why == cases[0] ? 0u : 3u);
    }
    // The save that works lets Open go on.
    prompts.saveName = dir.filePath(QStringLiteral("wall.patch"));
    EXPECT_TRUE(docs.OpenDocumentFile(other));
    EXPECT_TRUE(QFile::exists(prompts.saveName));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("small-bar.patch - Kelvra Quiltmark"));
}

TEST_F(MainFrameTest, OpeningAMissingFileChangesNothing)
{
    frame->GetDocument().GetSection(0)->name = "kept";
    EXPECT_FALSE(frame->GetDocManager().OpenDocumentFile(QStringLiteral("/nonexistent/x.patch")));
    EXPECT_EQ(frame->GetDocument().GetSection(0)->name, "kept");
    ASSERT_FALSE(messages.calls.empty());
    EXPECT_EQ(messages.calls.back().icon, MessageIcon::Error);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled - Kelvra Quiltmark"));
}

TEST_F(MainFrameTest, FailedSaveIsReportedOnceAndChangesNothing)
{
    QTemporaryDir dir;
    prompts.saveName = dir.filePath(QStringLiteral("missing-folder/wall.patch"));
    frame->GetDocument().SetModifiedFlag();
    EXPECT_TRUE(frame->ExecuteCommand(CommandId::FileSaveAs));
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].icon, MessageIcon::Error);
    EXPECT_TRUE(frame->GetDocument().IsModified());
    EXPECT_TRUE(frame->GetDocument().GetPathName().empty());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled - Kelvra Quiltmark"));
    EXPECT_TRUE(recent.Files().isEmpty());
}

TEST_F(MainFrameTest, SavingAnImportedJobAsksForAProjectNameBesideIt)
{
    QTemporaryDir dir;
    const QString job = dir.filePath(QStringLiteral("old.job"));
    const QByteArray content("<JOB>\n<JOB>\n    matrix_width=2\n    matrix_height=1\n</JOB>\n");
    {
        QFile file(job);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ASSERT_TRUE(frame->GetDocManager().OpenDocumentFile(job));

    // Cancelling the name leaves the job file as it was.
    EXPECT_FALSE(frame->GetDocManager().OnFileSave());
    EXPECT_EQ(prompts.proposedNames.value(0), dir.filePath(QStringLiteral("old.patch")));
    QFile kept(job);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), content);

    prompts.saveName = dir.filePath(QStringLiteral("old.patch"));
    EXPECT_TRUE(frame->GetDocManager().OnFileSave());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("old.patch - Kelvra Quiltmark"));
    // From now on the project has a file of its own.
    EXPECT_TRUE(frame->GetDocManager().OnFileSave());
    EXPECT_EQ(prompts.proposedNames.size(), 2);
}

TEST_F(MainFrameTest, SaveDoesNotOverwriteAFileThatCouldNotBeRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.patch"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("shopping list");
    }
    ASSERT_TRUE(frame->GetDocManager().OpenDocumentFile(path));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("notes.patch - Kelvra Quiltmark"));
    EXPECT_FALSE(frame->GetDocManager().OnFileSave());
    EXPECT_EQ(prompts.proposedNames.value(0), path);
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("shopping list"));
}

// No event loop runs between a change and the check: the states must follow the change
// itself, not a later poll.
TEST_F(MainFrameTest, MenuStatesFollowChangesAtOnce)
{
    CQuiltmarkDoc& doc = frame->GetDocument();
    CQuiltmarkView& view = frame->GetView();
    const auto checked = [this](CommandId id) { return frame->GetAction(id)->isChecked(); };
    const auto enabled = [this](CommandId id) { return frame->GetAction(id)->isEnabled(); };

    view.SetTileMode(TileMode::MoveEdit);
    EXPECT_TRUE(checked(CommandId::EditMoveTileMode));
    EXPECT_FALSE(checked(CommandId::EditToggleTileMode));
    view.SetZoomMode(ZoomMode::PageWidth);
    EXPECT_TRUE(checked(CommandId::ViewZoomPageWidth));
    EXPECT_FALSE(checked(CommandId::ViewZoomPage));
    view.ZoomIn();
    EXPECT_TRUE(checked(CommandId::ViewZoomManual));
    view.SetConnectionMode(ConnectionMode::ActiveUniverse);
    EXPECT_TRUE(checked(CommandId::ViewShowActiveConnections));
    EXPECT_FALSE(checked(CommandId::ViewHideConnections));
    view.SetConnectionOrder(ConnectionOrder::ByAddress);
    EXPECT_TRUE(checked(CommandId::ViewSortByAddress));
    view.SetShowSwitches(true);
    EXPECT_TRUE(checked(CommandId::ViewShowSwitches));

    ASSERT_FALSE(enabled(CommandId::EditUndo));
    ASSERT_TRUE(doc.RenameSection(0, "Truss"));
    EXPECT_TRUE(enabled(CommandId::EditUndo));
    EXPECT_FALSE(enabled(CommandId::EditRedo));
    ASSERT_TRUE(doc.Undo());
    EXPECT_TRUE(enabled(CommandId::EditRedo));
    EXPECT_EQ(frame->GetAction(CommandId::EditRedo)->text(),
        QStringLiteral("Redo Rename Section\tCtrl+Y"));

    // A new document has no history to undo.
    ASSERT_TRUE(doc.Redo());
    ASSERT_TRUE(enabled(CommandId::EditUndo));
    prompts.saveAnswer = IDocPrompts::SaveAnswer::No;
    ASSERT_TRUE(frame->GetDocManager().OnFileNew());
    EXPECT_FALSE(enabled(CommandId::EditUndo));
    EXPECT_EQ(frame->GetAction(CommandId::EditUndo)->text(), QStringLiteral("Undo\tCtrl+Z"));
}
