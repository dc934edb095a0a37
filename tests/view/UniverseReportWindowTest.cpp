#include "../shell/FakePrompts.h"

#include "ViewTestSupport.h"
#include "app/base/UserMessages.h"
#include "dialogs/UniverseReportDlg.h"
#include "document/QuiltmarkDoc.h"
#include "formats/PatchCsv.h"
#include "shell/toolkit/ExtTabCtrl.h"
#include "shell/MainFrame.h"
#include "shell/RecentFileList.h"
#include "view/DialogBarPages.h"
#include "view/ExportCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// Two sections on universe 3 (zero-based 2), the first from the third tile's channels on
// and one channel later: the second's C1 shares all but one channel with the first's A1.
int MakeOverlap(CQuiltmarkDoc& doc)
{
    CSectionSetup setup;
    setup.fix_type = doc.GetLibrary().IndexOfType("BRAKWELL_TILE_2X2");
    setup.matrix_width = 4;
    setup.matrix_height = 1;
    setup.base_universe = 2;
    const int channels = doc.GetLibrary().GetAt(setup.fix_type)->ChannelsPerFixture();
    setup.addr_first = 2 * channels + 1;
    EXPECT_TRUE(doc.SetUpSection(*doc.GetSection(0), setup));
    CSubDoc* second = doc.AppendSection();
    setup.matrix_width = 3;
    setup.addr_first = 0;
    setup.screen_id = 1000;
    EXPECT_TRUE(doc.SetUpSection(*second, setup));
    return channels;
}

QTreeWidgetItem* Top(const CUniverseReportDlg& report, int row)
{
    return report.Tree()->topLevelItem(row);
}

} // namespace

TEST(UniverseReportWindow, FollowsEditsShowsConflictTilesAndCopies)
{
    QSettings().remove(QStringLiteral("Recent File List"));
    CRecordingMessages messages;
    CFakePrompts prompts;
    CRecentFileList recent;
    recent.Load();
    CMainFrame frame(messages, prompts, recent, nullptr);
    CQuiltmarkDoc& doc = frame.GetDocument();
    ASSERT_TRUE(doc.OnNewDocument());
    frame.resize(1000, 700);
    frame.show();
    const int channels = MakeOverlap(doc);
    doc.SetCurrentSection(0);

    ASSERT_TRUE(frame.ExecuteCommand(CommandId::ViewUniverseReport));
    auto* report = frame.findChild<CUniverseReportDlg*>(QStringLiteral("universeReport"));
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_FALSE(report->isModal());
    ASSERT_EQ(report->Tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* row = Top(*report, 0);
    EXPECT_EQ(row->text(0), QStringLiteral("U03"));
    EXPECT_EQ(row->text(2), QStringLiteral("%1 / 512").arg(6 * channels + 1));
    EXPECT_EQ(row->text(3), QStringLiteral("S1 A1\u2013D1, S2 A1\u2013C1"));
    EXPECT_EQ(row->text(4), QStringLiteral("not connected"));
    const QColor conflictColour = row->background(0).color();
    EXPECT_NE(row->background(0).style(), Qt::NoBrush);
    EXPECT_EQ(row->text(5), QStringLiteral("1 conflict"));
    ASSERT_EQ(row->childCount(), 1);
    EXPECT_EQ(row->child(0)->text(5),
        QStringLiteral("%1\u2013%2: S2 C1, S1 A1").arg(2 * channels + 2).arg(3 * channels));

    // A double-click on the conflict: the second section comes up with just its tile.
    QApplication::processEvents();
    report->Tree()->scrollToItem(row->child(0));
    const QRect rect = report->Tree()->visualItemRect(row->child(0));
    ASSERT_FALSE(rect.isEmpty());
    QTest::mousePress(report->Tree()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(report->Tree()->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 1);
    EXPECT_EQ(frame.GetSectionsBar().Tabs().currentIndex(), 1);
    const CSubDoc& second = *doc.GetSection(1);
    EXPECT_TRUE(second.GetTile(2, 0)->selected);
    EXPECT_FALSE(second.GetTile(0, 0)->selected || second.GetTile(1, 0)->selected);
    EXPECT_EQ(frame.GetView().GetFocusColumn(), 2);
    EXPECT_EQ(frame.GetView().GetTileMode(), TileMode::MoveEdit); // where a selection shows

    // An edit that ends the conflict and a device that carries the universe: the open
    // report follows both without being asked.
    doc.ExcludeTiles(*doc.GetSection(1), { { 2, 0 } }, true);
    ASSERT_EQ(report->Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(Top(*report, 0)->childCount(), 0);
    EXPECT_NE(Top(*report, 0)->background(0).color(), conflictColour); // still: unconnected
    doc.BeginEdit("Connect");
    doc.GetDevices().AddDeviceFromText("PORTER", "10.0.0.1");
    doc.GetDevices().GetDevice(0)->SetPortUniverse(0, 2);
    doc.EndEdit();
    EXPECT_EQ(Top(*report, 0)->text(4), QStringLiteral("Kelvra porter 10.0.0.1 port 1"));
    EXPECT_EQ(Top(*report, 0)->background(0).style(), Qt::NoBrush);
    doc.Undo();
    EXPECT_EQ(Top(*report, 0)->text(4), QStringLiteral("not connected"));

    QTest::mouseClick(
        report->findChild<QPushButton*>(QStringLiteral("copyButton")), Qt::LeftButton);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("Universe\tChannels\t"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QStringLiteral("\nU03\t"))) << copied.toStdString();
}

TEST(UniverseReportWindow, CsvExportsWriteSafelyAndReportFailures)
{
    CViewTestDoc t;
    MakeOverlap(t.doc);
    CViewUnderTest view(t.doc);
    CExportCommands commands(t.doc, t.messages, nullptr, view.view.get());
    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("patch.csv"));
    QStringList proposed;
    commands.SetFileChooser([&](const QString& name) {
        proposed << name;
        return target;
    });
    t.doc.SetPathName(dir.filePath(QStringLiteral("wall.patch")).toStdString());

    ASSERT_TRUE(commands.OnCommand(CommandId::FileExportPatchCsv));
    EXPECT_EQ(proposed.value(0), dir.filePath(QStringLiteral("wall.csv")));
    QFile patch(target);
    ASSERT_TRUE(patch.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = patch.readAll().split('\n');
    EXPECT_EQ(lines.value(0), QByteArray(kPatchCsvHeader));
    // Both sections' items, one line each, and the empty piece after the last line end.
    EXPECT_EQ(lines.size(), 1 + (4 + 3) * 4 + 1);

    ASSERT_TRUE(commands.OnCommand(CommandId::ViewUniverseReport));
    ASSERT_NE(commands.Report(), nullptr);
    target = dir.filePath(QStringLiteral("universes.csv"));
    QTest::mouseClick(commands.Report()->findChild<QPushButton*>(QStringLiteral("saveCsvButton")),
        Qt::LeftButton);
    EXPECT_EQ(proposed.value(1), dir.filePath(QStringLiteral("wall-universes.csv")));
    QFile universes(target);
    ASSERT_TRUE(universes.open(QIODevice::ReadOnly));
    EXPECT_TRUE(universes.readAll().startsWith(QByteArray(kUniverseReportCsvHeader) + "\nU03,"));
    EXPECT_TRUE(t.messages.calls.empty());

    // A folder cannot be written as a file: the system's reason is shown, nothing else.
    target = dir.path();
    commands.OnExportPatchCsv();
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].icon, MessageIcon::Error);
    target.clear(); // cancelled
    commands.OnExportPatchCsv();
    EXPECT_EQ(t.messages.calls.size(), 1u);
}
