#include "../shell/FakePrompts.h"

#include "app/base/UserMessages.h"
#include "app/cli/CommandLine.h"
#include "document/QuiltmarkDoc.h"
#include "shell/MainFrame.h"
#include "shell/RecentFileList.h"
#include "shell/toolkit/ExtTabCtrl.h"
#include "view/DialogBarPages.h"
#include "view/QuiltmarkView.h"
#include "view/SectionCommands.h"
#include "view/ViewGeometry.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class SectionsBarTest : public ::testing::Test {
protected:
    SectionsBarTest()
        : doc(messages, ProgramDirectory() + "/metalib.xml")
        , view(doc)
        , commands(doc, view, bar, messages)
    {
        QObject::connect(&bar, &CDialogBarPages::sectionSelected, &commands,
            &CSectionCommands::OnSectionsChange);
    }
    void SetUp() override
    {
        ASSERT_TRUE(doc.OnNewDocument());
        commands.FillBar();
        bar.resize(900, 30);
        bar.show();
    }
    QStringList Labels()
    {
        QStringList labels;
        for (int i = 0; i < bar.Tabs().count(); ++i)
            labels << bar.Tabs().GetLabel(i);
        return labels;
    }
    // Renames tab `index` in place as the user would, ending with Enter.
    void Rename(int index, const QString& label)
    {
        bar.Tabs().StartEdit(index);
        for (int i = 0; i < 40; ++i)
            QTest::keyClick(&bar.Tabs(), Qt::Key_Backspace);
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, label);
        QApplication::sendEvent(&bar.Tabs(), &typed);
        QTest::keyClick(&bar.Tabs(), Qt::Key_Return);
    }

    CRecordingMessages messages;
    CQuiltmarkDoc doc;
    CQuiltmarkView view;
    CDialogBarPages bar;
    CSectionCommands commands;
};

} // namespace

TEST_F(SectionsBarTest, AddAppendsAndSelectsUntilTheLimitWhichChangesNothing)
{
    EXPECT_EQ(Labels(), QStringList { QStringLiteral("new 1") });
    EXPECT_EQ(bar.Tabs().GetMaxLabelLength(), 30);
    for (int i = 1; i < CQuiltmarkDoc::kMaxSections; ++i)
        commands.OnSectionsAdd();
    EXPECT_EQ(doc.GetSectionCount(), 8);
    EXPECT_EQ(bar.Tabs().count(), 8);
    EXPECT_EQ(bar.Tabs().currentIndex(), 7);
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 7);
    EXPECT_EQ(bar.Tabs().GetLabel(7), QStringLiteral("new 8"));
    EXPECT_TRUE(messages.calls.empty());

    doc.SetModifiedFlag(false);
    commands.OnSectionsAdd();
    EXPECT_EQ(doc.GetSectionCount(), 8);
    EXPECT_EQ(bar.Tabs().count(), 8);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text, "The maximum number of Sections is reached!");
    EXPECT_FALSE(messages.calls[0].question);
}

TEST_F(SectionsBarTest, TheOnlySectionIsNotDeleted)
{
    doc.SetModifiedFlag(false);
    commands.OnSectionsDelete();
    ASSERT_EQ(messages.calls.size(), 2u);
    EXPECT_TRUE(messages.calls[0].question);
    EXPECT_EQ(messages.calls[0].text, "Are you sure you want to delete section \"new 1\"?");
    EXPECT_EQ(messages.calls[0].icon, MessageIcon::Question);
    EXPECT_EQ(messages.calls[1].text, "It is not posible to delete this section!");
    EXPECT_EQ(messages.calls[1].icon, MessageIcon::Warning);
    EXPECT_EQ(doc.GetSectionCount(), 1);
    EXPECT_EQ(Labels(), QStringList { QStringLiteral("new 1") });
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(SectionsBarTest, DeleteAsksAndKeepsTabsAndDocumentInStep)
{
    commands.OnSectionsAdd();
    commands.OnSectionsAdd();
    ASSERT_EQ(doc.GetCurrentSectionIndex(), 2);

    messages.answers = { MessageAnswer::No };
    commands.OnSectionsDelete();
    EXPECT_EQ(doc.GetSectionCount(), 3);

    doc.SetModifiedFlag(false);
    commands.OnSectionsDelete(); // the last one, current: the new last becomes current
    EXPECT_EQ(doc.GetSectionCount(), 2);
    EXPECT_EQ(Labels(), (QStringList { "new 1", "new 2" }));
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 1);
    EXPECT_EQ(bar.Tabs().currentIndex(), 1);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(SectionsBarTest, RenameIsRefusedForATakenNameAndTheOldLabelReturns)
{
    commands.OnSectionsAdd();
    doc.SetModifiedFlag(false);

    Rename(1, QStringLiteral("new 1"));
    EXPECT_EQ(bar.Tabs().GetLabel(1), QStringLiteral("new 2"));
    EXPECT_EQ(doc.GetSection(1)->name, "new 2");
    Rename(1, QStringLiteral("new 2")); // its own name counts as taken
    EXPECT_EQ(bar.Tabs().GetLabel(1), QStringLiteral("new 2"));
    EXPECT_FALSE(doc.IsModified());

    Rename(1, QStringLiteral("Bühne links"));
    EXPECT_EQ(bar.Tabs().GetLabel(1), QStringLiteral("Bühne links"));
    EXPECT_EQ(doc.GetSection(1)->name, "B\xc3\xbchne links");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(messages.calls.empty());
}

TEST_F(SectionsBarTest, MovedTabMovesTheSectionAndStaysCurrent)
{
    commands.OnSectionsAdd();
    commands.OnSectionsAdd();
    doc.GetSection(0)->name = "A";
    doc.GetSection(1)->name = "B";
    doc.GetSection(2)->name = "C";
    commands.FillBar();
    doc.SetModifiedFlag(false);

    // What the tab strip does when tab 0 is dropped after the last tab.
    bar.Tabs().moveTab(0, 2);
    bar.Tabs().SetCurSel(2);
    emit bar.sectionSelected(2);
    emit bar.tabMoved(0, 2);
    EXPECT_EQ(doc.GetSection(0)->name, "B");
    EXPECT_EQ(doc.GetSection(2)->name, "A");
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 2);
    EXPECT_TRUE(doc.IsModified());
}

TEST(SectionsBarFrameTest, AddButtonActsLikeTheMenuEntry)
{
    CRecordingMessages messages;
    CFakePrompts prompts;
    CRecentFileList recent;
    CMainFrame frame(messages, prompts, recent, nullptr);
    ASSERT_TRUE(frame.GetDocument().OnNewDocument());
    emit frame.GetView().sectionsReset();

    QTest::mouseClick(&frame.GetSectionsBar().AddButton(), Qt::LeftButton);
    EXPECT_EQ(frame.GetDocument().GetSectionCount(), 2);
    frame.ExecuteCommand(CommandId::SectionsAdd);
    EXPECT_EQ(frame.GetDocument().GetSectionCount(), 3);
    EXPECT_EQ(frame.GetSectionsBar().Tabs().count(), 3);
    EXPECT_EQ(frame.GetDocument().GetCurrentSectionIndex(), 2);

    // Choosing a tab makes its section current through the frame's command route.
    QTest::mouseClick(&frame.GetSectionsBar().Tabs(), Qt::LeftButton, Qt::NoModifier,
        frame.GetSectionsBar().Tabs().tabRect(0).center());
    EXPECT_EQ(frame.GetDocument().GetCurrentSectionIndex(), 0);
}

TEST_F(SectionsBarTest, ChangingToATinySectionRaisesTheZoomButKeepsAFittedMode)
{
    commands.OnSectionsAdd();
    CSubDoc& big = *doc.GetSection(1);
    big.setup.fix_type = doc.GetLibrary().IndexOfType("LUMORA_PIXELDOT_RGB");
    big.setup.matrix_width = 400;
    big.setup.matrix_height = 400;
    big.SetUp();
    doc.RebuildTables();
    view.resize(200, 150);
    view.show();

    // Manual zoom so small that the tiles vanish: the change brings them back to a usable size.
    bar.Tabs().SetCurSel(0);
    commands.OnSectionsChange();
    view.SetZoom(1);
    bar.Tabs().SetCurSel(1);
    commands.OnSectionsChange();
    EXPECT_EQ(view.GetZoomMode(), ZoomMode::Manual);
    EXPECT_GT(view.GetZoom(), 1);

    // A fitted mode is the user's choice; the change must not switch it to Manual.
    bar.Tabs().SetCurSel(0);
    commands.OnSectionsChange();
    view.SetZoomMode(ZoomMode::Page);
    bar.Tabs().SetCurSel(1);
    doc.SetCurrentSection(1);
    const CViewLayout& fitted = view.RecomputeLayout();
    ASSERT_LE(view.GetZoom() * fitted.tile.width(), 40); // the rule applies here
    commands.OnSectionsChange();
    EXPECT_EQ(view.GetZoomMode(), ZoomMode::Page);
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 1);
}

TEST_F(SectionsBarTest, AddingWhileALabelIsTypedKeepsTheTypedName)
{
    bar.Tabs().StartEdit(0);
    QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(&bar.Tabs(), &typed);
    // The menu entry runs while the edit is still open (a menu takes the focus only briefly).
    commands.OnSectionsAdd();
    EXPECT_FALSE(bar.Tabs().IsEditing());
    EXPECT_EQ(doc.GetSection(0)->name, "new 1x");
    EXPECT_EQ(Labels(), (QStringList { "new 1x", "new 2" }));
}

TEST_F(SectionsBarTest, ChangingSectionClearsTheStatusOfThePreviousSection)
{
    commands.OnSectionsAdd();
    QString status = QStringLiteral("POS: C2");
    QObject::connect(&view, &CQuiltmarkView::statusTextChanged,
        [&status](const QString& text) { status = text; });
    bar.Tabs().SetCurSel(0);
    commands.OnSectionsChange();
    EXPECT_TRUE(status.isEmpty());
}

TEST_F(SectionsBarTest, NewDocumentClearsTheStatusOfThePreviousDocument)
{
    QString status = QStringLiteral("POS: D1   DMX: U01.4 ... 6");
    QObject::connect(&view, &CQuiltmarkView::statusTextChanged,
        [&status](const QString& text) { status = text; });
    ASSERT_TRUE(doc.OnNewDocument());
    view.OnInitialUpdate();
    EXPECT_TRUE(status.isEmpty());
}
