#include "ViewTestSupport.h"

#include "devices/KelvraDeviceList.h"

#include <QApplication>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

// S1: 60 x 40 pixels (3 channels) in universe 1, larger than the window at 100 %;
// (170 tiles to a universe: universes 1 to 15); S2: 4 x 2 tiles of 2 x 2 items (12 channels)
// in universe 21, screen ids from 5000.
class GoToCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.SetUp("LUMORA_PIXELDOT_RGB", 60, 40);
        CSubDoc* s2 = data.doc.AddSection();
        s2->setup.screen_id = 5000;
        data.SetUp(*s2, "BRAKWELL_TILE_2X2", 4, 2, 20);
        data.doc.SetCurrentSection(0);
        data.doc.SetModifiedFlag(false);
        ui = std::make_unique<CViewUnderTest>(data.doc);
        ui->view->SetZoom(100);
        ui->view->SetGoToPrompt([this](const QString& title, const QString&, int, QString& text) {
            titles << title;
            text = answer;
            return !answer.isEmpty();
        });
    }

    void GoTo(const char* text)
    {
        answer = QString::fromUtf8(text);
        data.messages.calls.clear();
        ui->view->OnCommand(CommandId::EditGoTo);
    }
    int SelectedCount(int section)
    {
        int n = 0;
        for (const CTileRecord& t : data.doc.GetSection(section)->Tiles())
            n += t.selected;
        return n;
    }
    QPoint Scroll() const { return ui->view->ScrollPosition(); }
    // Distance of the tile's centre from the middle of the window.
    QPoint OffCentre(int column, int row)
    {
        const QRect r = ui->view->RecomputeLayout().TileRect(column, row).translated(-Scroll());
        return r.center() - ui->view->viewport()->rect().center();
    }

    CViewTestDoc data;
    std::unique_ptr<CViewUnderTest> ui;
    QString answer;
    QStringList titles;
};

} // namespace

TEST_F(GoToCommandTest, TileNameSelectsFocusesAndCentres)
{
    GoTo("AX30");
    EXPECT_TRUE(data.messages.calls.empty());
    EXPECT_EQ(titles, QStringList { QStringLiteral("Go To") });
    EXPECT_EQ(data.doc.GetCurrentSectionIndex(), 0);
    EXPECT_EQ(ui->view->GetFocusColumn(), 49);
    EXPECT_EQ(ui->view->GetFocusRow(), 29);
    EXPECT_TRUE(data.doc.GetSection(0)->GetTile(49, 29)->selected);
    EXPECT_EQ(SelectedCount(0), 1);
    EXPECT_LE(std::abs(OffCentre(49, 29).x()), 1);
    EXPECT_LE(std::abs(OffCentre(49, 29).y()), 1);
    // Only the view moved: the project is as it was.
    EXPECT_FALSE(data.doc.IsModified());

    // In the rear view the same tile is centred where it is drawn.
    ui->view->SetRearView(true);
    GoTo("ad20");
    EXPECT_EQ(ui->view->GetFocusColumn(), 29);
    EXPECT_LE(std::abs(OffCentre(29, 19).x()), 1);
    EXPECT_LE(std::abs(OffCentre(29, 19).y()), 1);
}

TEST_F(GoToCommandTest, AddressesAndScreenIdsSwitchSection)
{
    QSignalSpy reset(ui->view.get(), &CQuiltmarkView::sectionsReset);
    // Universe 21 is S2's: its tiles start at 0, 12, 24, 36 on the first row.
    GoTo("U21.30");
    EXPECT_TRUE(data.messages.calls.empty());
    EXPECT_EQ(data.doc.GetCurrentSectionIndex(), 1);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(ui->view->GetFocusColumn(), 2);
    EXPECT_EQ(ui->view->GetFocusRow(), 0);
    EXPECT_EQ(SelectedCount(1), 1);

    GoTo("1.13"); // S1's fifth tile
    EXPECT_EQ(data.doc.GetCurrentSectionIndex(), 0);
    EXPECT_EQ(ui->view->GetFocusColumn(), 4);

    // S2's items: 8 x 4, numbered column by column from 5000; 5013 is item (3, 1), tile B1.
    GoTo("5013");
    EXPECT_EQ(data.doc.GetCurrentSectionIndex(), 1);
    EXPECT_EQ(ui->view->GetFocusColumn(), 1);
    EXPECT_EQ(ui->view->GetFocusRow(), 0);
}

TEST_F(GoToCommandTest, NothingFoundOrNotUnderstoodChangesNothing)
{
    GoTo("AX30");
    const QPoint scroll = Scroll();
    for (const char* text : { "BZ1", "U19.1", "99999", "2:E1", "5:A1" }) {
        SCOPED_TRACE(text);
        GoTo(text);
        ASSERT_EQ(data.messages.calls.size(), 1u);
        EXPECT_EQ(data.messages.calls[0].icon, MessageIcon::Information);
        EXPECT_EQ(data.doc.GetCurrentSectionIndex(), 0);
        EXPECT_EQ(ui->view->GetFocusColumn(), 49);
        EXPECT_TRUE(data.doc.GetSection(0)->GetTile(49, 29)->selected);
        EXPECT_EQ(SelectedCount(0), 1);
        EXPECT_EQ(Scroll(), scroll);
    }
    EXPECT_EQ(data.messages.calls[0].text, "There is no section S5.");
    GoTo("U19.1");
    EXPECT_EQ(data.messages.calls[0].text, "No tile is patched on U19.1.");
    GoTo("B0");
    ASSERT_EQ(data.messages.calls.size(), 1u);
    EXPECT_EQ(data.messages.calls[0].text, CQuiltmarkView::kGoToNotUnderstood);
    EXPECT_EQ(ui->view->GetFocusColumn(), 49);
    // Cancel asks nothing more.
    GoTo("");
    EXPECT_TRUE(data.messages.calls.empty());
    EXPECT_EQ(ui->view->GetFocusColumn(), 49);
}

TEST_F(GoToCommandTest, TinyTilesAreZoomedIntoSight)
{
    ui->view->SetZoomMode(ZoomMode::Page);
    data.SetUp("LUMORA_PIXELDOT_RGB", 400, 300);
    ASSERT_LT(ui->view->RecomputeLayout().tile.width(), 5);
    GoTo("OJ250"); // column 399
    const CViewLayout& l = ui->view->RecomputeLayout();
    EXPECT_GE(l.tile.width(), 24);
    EXPECT_EQ(ui->view->GetZoomMode(), ZoomMode::Manual);
    EXPECT_EQ(ui->view->GetFocusColumn(), 399);
    EXPECT_LE(std::abs(OffCentre(399, 249).y()), l.tile.height());
}

TEST_F(GoToCommandTest, ToolTipTellsTileTypeChannelsIdsFeedAndConflict)
{
    data.doc.SetCurrentSection(1);
    // B2 of S2: the sixth tile of the walk, addresses 60..71 in universe 21.
    QString tip = ui->view->ToolTipText(1, 1);
    const QStringList lines = tip.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4) << tip.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("B2  Brakwell Tile 2x2 RGB"));
    EXPECT_EQ(lines[1], QStringLiteral("DMX: U21.61\u201372"));
    EXPECT_EQ(lines[2], QStringLiteral("Fed by: not connected"));
    // Items (2..3, 2..3) of 8 x 4 from 5000.
    EXPECT_EQ(lines[3], QStringLiteral("Screen ids: 5010\u20135015"));

    CKelvraDeviceList& devices = data.doc.GetDevices();
    devices.AddDeviceFromText("PORTER", "10.0.0.7");
    devices.GetDevice(0)->SetPortUniverse(1, 20);
    // A tile of S1 moved onto channels 69..71 of that universe.
    data.doc.GetSection(0)->GetTile(20, 0)->universe = 20;
    data.doc.GetSection(0)->GetTile(20, 0)->address = 68;
    data.doc.RebuildDerivedData();
    tip = ui->view->ToolTipText(1, 1);
    EXPECT_TRUE(tip.contains(QStringLiteral("Fed by: Kelvra porter 10.0.0.7, port 2")))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("Conflict: U21.69\u201371"))) << tip.toStdString();

    data.doc.GetSection(1)->GetTile(0, 0)->excluded = 1;
    EXPECT_EQ(
        ui->view->ToolTipText(0, 0), QStringLiteral("A1  Brakwell Tile 2x2 RGB\nNo fixture here"));
    EXPECT_TRUE(ui->view->ToolTipText(4, 0).isEmpty());

    // The view answers the tool tip event with that text.
    ui->view->SetZoom(100);
    const QPoint at = ui->view->RecomputeLayout().TileRect(1, 1).center();
    QHelpEvent help(QEvent::ToolTip, at, ui->view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(ui->view->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), ui->view->ToolTipText(1, 1));
    QToolTip::hideText();
}
