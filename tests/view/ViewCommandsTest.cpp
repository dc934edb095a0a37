#include "ViewTestSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

bool Checked(CQuiltmarkView& view, CommandId id)
{
    CCommandState state;
    EXPECT_TRUE(view.OnUpdateCommand(id, state));
    return state.checked;
}

// A handler that claims one command, as the editing and section groups do.
struct ClaimingHandler : ICommandTarget {
    CommandId claimed;
    int calls = 0;
    explicit ClaimingHandler(CommandId id)
        : claimed(id)
    {
    }
    bool OnCommand(CommandId id) override
    {
        if (id != claimed)
            return false;
        ++calls;
        return true;
    }
    bool OnUpdateCommand(CommandId id, CCommandState& state) override
    {
        if (id != claimed)
            return false;
        state.enabled = false;
        return true;
    }
};

} // namespace

TEST(ViewCommands, ZoomCommandsAndKeypad)
{
    CViewTestDoc t;
    t.SetUp("ZIDUZU_COLOR_BEAMER", 4, 2);
    CViewUnderTest v(t.doc);
    CQuiltmarkView& view = *v.view;
    EXPECT_TRUE(Checked(view, CommandId::ViewZoomManual));
    EXPECT_TRUE(view.OnCommand(CommandId::ViewZoomIn));
    EXPECT_EQ(view.GetZoom(), 125);
    view.RecomputeLayout();
    EXPECT_TRUE(view.OnCommand(CommandId::ViewZoomOut));
    EXPECT_EQ(view.GetZoom(), 100);

    QTest::keyClick(&view, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(view.GetZoom(), 125);
    QTest::keyClick(&view, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(view.GetZoom(), 100);

    view.OnCommand(CommandId::ViewZoomPage);
    EXPECT_TRUE(Checked(view, CommandId::ViewZoomPage));
    EXPECT_FALSE(Checked(view, CommandId::ViewZoomManual));
    const CViewLayout& fitted = view.RecomputeLayout();
    const QSize client = view.viewport()->size();
    EXPECT_LE(fitted.total.width(), client.width());
    // Manual keeps the zoom that the fit produced.
    const int zoom = view.GetZoom();
    view.OnCommand(CommandId::ViewZoomManual);
    view.RecomputeLayout();
    EXPECT_EQ(view.GetZoom(), zoom);

    // At 1 % with one-pixel tiles, zooming out is refused.
    view.SetZoom(1);
    view.RecomputeLayout();
    view.OnCommand(CommandId::ViewZoomOut);
    EXPECT_EQ(view.GetZoom(), 1);
}

TEST(ViewCommands, OpeningADocumentGivesTheViewTheKeyboard)
{
    // Keypad zoom must work right after New or Open, before anything was clicked.
    CViewTestDoc t;
    t.SetUp("ZIDUZU_COLOR_BEAMER", 4, 2);
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("Add"), &window);
    auto* view = new CQuiltmarkView(t.doc, &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(button);
    layout->addWidget(view);
    window.resize(600, 500);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    button->setFocus();
    view->OnInitialUpdate();
    EXPECT_EQ(QApplication::focusWidget(), view);
}

TEST(ViewCommands, ConnectionAndSwitchCommandsCarryCheckMarks)
{
    CViewTestDoc t;
    CViewUnderTest v(t.doc);
    CQuiltmarkView& view = *v.view;
    EXPECT_TRUE(Checked(view, CommandId::ViewHideConnections));
    EXPECT_TRUE(Checked(view, CommandId::ViewSortByPosition));
    view.OnCommand(CommandId::ViewShowActiveConnections);
    EXPECT_EQ(view.GetConnectionMode(), ConnectionMode::ActiveUniverse);
    EXPECT_FALSE(Checked(view, CommandId::ViewHideConnections));
    view.OnCommand(CommandId::ViewSortByAddress);
    EXPECT_TRUE(Checked(view, CommandId::ViewSortByAddress));
    EXPECT_FALSE(Checked(view, CommandId::ViewShowSwitches));
    view.OnCommand(CommandId::ViewShowSwitches);
    EXPECT_TRUE(Checked(view, CommandId::ViewShowSwitches));
    view.OnCommand(CommandId::ViewShowSwitches);
    EXPECT_FALSE(view.IsShowingSwitches());

    // Handlers come first; commands nobody knows stay unhandled.
    ClaimingHandler handler(CommandId::ViewZoomIn);
    view.AddCommandHandler(&handler);
    const int zoom = view.GetZoom();
    EXPECT_TRUE(view.OnCommand(CommandId::ViewZoomIn));
    EXPECT_EQ(handler.calls, 1);
    EXPECT_EQ(view.GetZoom(), zoom);
    view.RemoveCommandHandler(&handler);
    CCommandState state;
    EXPECT_FALSE(view.OnUpdateCommand(CommandId::FileSave, state));
    EXPECT_FALSE(view.OnCommand(CommandId::FileSave));
}

TEST(ViewCommands, StatusTextNamesTheTileAndItsChannels)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 703, 1);
    s.GetTile(1, 0)->universe = -1;
    s.GetTile(2, 0)->excluded = 1;
    CViewUnderTest v(t.doc);
    CQuiltmarkView& view = *v.view;
    EXPECT_EQ(view.StatusText(0, 0), QStringLiteral("POS: A1     DMX: U01.1 ... 3"));
    EXPECT_EQ(view.StatusText(1, 0), QStringLiteral("POS: B1   WARNING! Undefined Item!"));
    EXPECT_EQ(view.StatusText(2, 0), QStringLiteral("POS: C1 "));
    EXPECT_TRUE(view.StatusText(27, 0).startsWith(QStringLiteral("POS: AB1 ")));
    EXPECT_TRUE(view.StatusText(702, 0).startsWith(QStringLiteral("POS: AAA1 ")));

    QSignalSpy spy(&view, &CQuiltmarkView::statusTextChanged);
    view.ShowStatus(0, 0);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), view.StatusText(0, 0));

    view.RecomputeLayout();
    int column = -1;
    int row = -1;
    EXPECT_TRUE(view.HitTest(QPoint(140, 130), column, row));
    EXPECT_EQ(column, 1);
    EXPECT_FALSE(view.HitTest(QPoint(10, 130), column, row));
}
