#include "ViewTestSupport.h"
#include "dialogs/QuiltmarkLayoutDlg.h"
#include "dialogs/SetupSheets.h"
#include "view/EditCommands.h"
#include "view/TileContextMenu.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Entry = CTileContextMenu::Entry;

class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.SetUp("LUMORA_PIXELDOT_RGB", 6, 3);
        data.doc.SetModifiedFlag(false);
        ui = std::make_unique<CViewUnderTest>(data.doc);
        commands = std::make_unique<CEditCommands>(data.doc, *ui->view);
        ui->view->AddCommandHandler(commands.get());
        ui->view->OnCommand(CommandId::EditMoveTileMode);
    }

    CTileContextMenu& Menu() { return commands->ContextMenu(); }
    CSubDoc& Section() { return *data.doc.GetCurrentSection(); }
    int SelectedCount()
    {
        int n = 0;
        for (const CTileRecord& t : Section().Tiles())
            n += t.selected;
        return n;
    }
    QStringList MenuTexts()
    {
        QMenu menu;
        Menu().FillMenu(menu);
        QStringList texts;
        for (QAction* a : menu.actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return texts;
    }

    CViewTestDoc data;
    std::unique_ptr<CViewUnderTest> ui;
    std::unique_ptr<CEditCommands> commands;
};

TEST_F(ContextMenuTest, EntriesFollowTheModeAndTheCommandLine)
{
    EXPECT_EQ(MenuTexts(),
        QStringList({ "Set Properties for Selected Tiles...", "Create New Items in Selection",
            "Delete Selected", "-", "Select Undefined Tiles" }));
    Menu().SetLibraryEntryEnabled(true);
    const QStringList texts = MenuTexts();
    ASSERT_EQ(texts.size(), 7);
    EXPECT_EQ(texts[0], "Generate a new <lamp> metalib.xml entry...");
    EXPECT_EQ(texts[1], "-");
    EXPECT_EQ(texts[2], "Set Properties for Selected Tiles...");
    // Toggle mode has no menu at all.
    ui->view->OnCommand(CommandId::EditToggleTileMode);
    EXPECT_TRUE(Menu().Entries().empty());
    EXPECT_FALSE(Menu().ShowAt(QPoint(85, 170)));
}

TEST_F(ContextMenuTest, MenuKeyOpensTheMenuAtTheFocusTile)
{
    // Runs `request` and reports the first entry and the place of the menu it opened.
    const auto openedBy
        = [&](QWidget* target, QContextMenuEvent::Reason reason, QPoint pos, QPoint& where) {
              QString first;
              QTimer::singleShot(0, [&] {
                  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                      first = menu->actions().value(0)->text();
                      where = menu->pos();
                      menu->close();
                  }
              });
              QContextMenuEvent request(reason, pos, target->mapToGlobal(pos), Qt::NoModifier);
              QApplication::sendEvent(target, &request);
              return first;
          };
    ui->view->SetFocusCell(2, 1);
    QPoint byMouse;
    QPoint byKey;
    // Tile (2, 1) spans 235..335 across and 220..320 down at 100 %.
    EXPECT_EQ(openedBy(ui->view->viewport(), QContextMenuEvent::Mouse, QPoint(285, 270), byMouse),
        "Set Properties for Selected Tiles...");
    // The keyboard's menu request goes to the focused view, not to its viewport.
    EXPECT_EQ(openedBy(ui->view.get(), QContextMenuEvent::Keyboard, QPoint(0, 0), byKey),
        "Set Properties for Selected Tiles...");
    // Both open at the middle of the tile.
    EXPECT_LE((byKey - byMouse).manhattanLength(), 2);
}

TEST_F(ContextMenuTest, SelectUndefinedTilesFindsOnlyPresentTilesWithoutAddress)
{
    Section().SelectRect(0, 0, 2, 1);
    Menu().Run(Entry::SelectUndefined);
    EXPECT_EQ(SelectedCount(), 0);

    Section().GetTile(2, 1)->address = -1;
    Section().GetTile(3, 1)->excluded = 1;
    Section().GetTile(3, 1)->universe = -1;
    Menu().Run(Entry::SelectUndefined);
    EXPECT_EQ(SelectedCount(), 1);
    EXPECT_TRUE(Section().GetTile(2, 1)->selected);
    EXPECT_FALSE(data.doc.IsModified());
}

TEST_F(ContextMenuTest, DeleteSelectedExcludesAndRefreshes)
{
    Menu().Run(Entry::DeleteSelected);
    EXPECT_FALSE(data.doc.IsModified()); // nothing selected, nothing changed

    data.doc.autoAddressing = true;
    Section().GetTile(1, 0)->selected = 1;
    Menu().Run(Entry::DeleteSelected);
    EXPECT_TRUE(Section().GetTile(1, 0)->excluded);
    EXPECT_EQ(Section().GetTile(2, 0)->address, 3);
    EXPECT_EQ(Section().GetItem(1, 0)->universe, -1);
    EXPECT_EQ(Section().GetUniverseCounts().at(0), 17);
    EXPECT_TRUE(data.doc.IsModified());
}

TEST_F(ContextMenuTest, SetPropertiesAndCreateItemsRunTheSheetOnTheSelection)
{
    CSubDoc& s = Section();
    s.GetTile(1, 1)->universe = 2;
    s.GetTile(1, 1)->address = 9;
    s.GetTile(2, 1)->excluded = 1;
    s.SelectRect(1, 1, 2, 1);
    ui->view->SetFocusCell(1, 1);
    int opened = 0;
    commands->SetSheetRunner([&](QDialog& dialog) {
        auto* sheet = qobject_cast<CModifySelectionSheet*>(&dialog);
        EXPECT_NE(sheet, nullptr);
        if (!sheet)
            return false;
        ++opened;
        EXPECT_EQ(sheet->windowTitle(), "Modify selected items in the curret Section");
        EXPECT_EQ(sheet->LayoutPage()->baseUniverse, 3);
        EXPECT_EQ(sheet->LayoutPage()->firstAddress, 10);
        sheet->accept();
        return true;
    });
    Menu().Run(Entry::SetProperties);
    // Set Properties leaves gaps as they are.
    EXPECT_TRUE(s.GetTile(2, 1)->excluded);
    Menu().Run(Entry::CreateItems);
    EXPECT_EQ(opened, 2);
    EXPECT_FALSE(s.GetTile(2, 1)->excluded);
    EXPECT_EQ(s.GetTile(2, 1)->universe, 2);
    EXPECT_EQ(s.GetTile(2, 1)->address, 12);
    EXPECT_EQ(s.GetTile(0, 1)->address, 18); // unselected tiles keep theirs
    EXPECT_TRUE(data.doc.IsModified());
}

// Library entries are written beside the library the document was loaded from.
class LibraryEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        libraryPath = dir.filePath("metalib.xml");
        ASSERT_TRUE(QFile::copy(QUILTMARK_SOURCE_DIR "/resources/metalib.xml", libraryPath));
        doc = std::make_unique<CQuiltmarkDoc>(messages, libraryPath.toStdString());
        ASSERT_TRUE(doc->OnNewDocument());
        CSubDoc& s = *doc->GetCurrentSection();
        s.name = "wall left";
        s.setup.fix_type = doc->GetLibrary().IndexOfType("LUMORA_PIXELDOT_RGB");
        s.setup.matrix_width = 4;
        s.setup.matrix_height = 2;
        ASSERT_TRUE(s.SetUp());
        view = std::make_unique<CQuiltmarkView>(*doc);
        commands = std::make_unique<CEditCommands>(*doc, *view);
        commands->ContextMenu().SetLibraryEntryEnabled(true);
    }

    static QByteArray Bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString libraryPath;
    CRecordingMessages messages;
    std::unique_ptr<CQuiltmarkDoc> doc;
    std::unique_ptr<CQuiltmarkView> view;
    std::unique_ptr<CEditCommands> commands;
};

TEST_F(LibraryEntryTest, WritesTheSectionAsANewLampIntoTheCopy)
{
    const QByteArray original = Bytes(libraryPath);
    QStringList asked;
    commands->SetTextPrompt(
        [&](const QString& title, const QString& prompt, int maxLength, QString& text) {
            asked << title + "|" + prompt + "|" + QString::number(maxLength) + "|" + text;
            if (prompt == "New Type:")
                text = "wall left b";
            return true;
        });
    messages.answers = { MessageAnswer::No };
    commands->ContextMenu().Run(Entry::LibraryEntry);

    EXPECT_EQ(asked,
        QStringList({ "Section to metalib.xml|New MetaName:|128|wall left",
            "Section to metalib.xml|New Type:|128|WALL LEFT" }));
    ASSERT_EQ(messages.calls.size(), 2u);
    EXPECT_EQ(
        messages.calls[0].text, "Modify current metalib?\nclick 'no' to modify 'metalib_new.xml'!");
    EXPECT_EQ(messages.calls[1].text,
        "The fixture library entry was written to " + dir.filePath("metalib_new.xml").toStdString()
            + ".");
    EXPECT_EQ(Bytes(libraryPath), original);

    CMetaLib written;
    ASSERT_TRUE(written.Load(dir.filePath("metalib_new.xml").toStdString()));
    const CFixtureType* lamp = written.GetAt(written.IndexOfType("WALL LEFT B"));
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->metaName, "wall left");
    EXPECT_EQ(lamp->width, 4);
    EXPECT_EQ(lamp->height, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(lamp->MatrixOffset(x, y), (x + y * 4) * 3) << x << "," << y;
}

TEST_F(LibraryEntryTest, CancelWritesNothingAndAnUnreadableLibraryIsReported)
{
    commands->SetTextPrompt([](const QString&, const QString&, int, QString&) { return false; });
    commands->ContextMenu().Run(Entry::LibraryEntry);
    EXPECT_TRUE(messages.calls.empty());
    EXPECT_FALSE(QFile::exists(dir.filePath("metalib_new.xml")));

    commands->SetTextPrompt([](const QString&, const QString&, int, QString&) { return true; });
    QFile::remove(libraryPath);
    commands->ContextMenu().Run(Entry::LibraryEntry);
    ASSERT_EQ(messages.calls.size(), 2u);
    EXPECT_EQ(messages.calls[1].icon, MessageIcon::Error);
    EXPECT_FALSE(QFile::exists(dir.filePath("metalib_new.xml")));
}

TEST(ContextMenuLifetime, AViewDestroyedFirstLeavesTheMenuWithoutIt)
{
    CViewTestDoc data;
    data.SetUp("LUMORA_PIXELDOT_RGB", 2, 2);
    auto view = std::make_unique<CQuiltmarkView>(data.doc);
    CTileContextMenu menu(data.doc, *view);
    view->SetTileMode(TileMode::MoveEdit);
    EXPECT_FALSE(menu.Entries().empty());
    // Tearing the widget down sends it events; the menu must not take it for a view then
    // (the sanitizer build reports the wrong downcast).
    view.reset();
    EXPECT_TRUE(menu.Entries().empty());
    EXPECT_FALSE(menu.ShowAt(QPoint(1, 1)));
}

} // namespace
