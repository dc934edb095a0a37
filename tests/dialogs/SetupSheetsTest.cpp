#include "dialogs/SetupSheets.h"
#include "app/base/UserMessages.h"
#include "dialogs/ClampedSpinBox.h"
#include "dialogs/QuiltmarkBasicDlg.h"
#include "dialogs/QuiltmarkLayoutDlg.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"
#include "document/section/SubDoc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <gtest/gtest.h>
#include <memory>

namespace {

class SetupSheetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc = std::make_unique<CQuiltmarkDoc>(
            messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml");
        ASSERT_TRUE(doc->OnNewDocument());
        pixel = doc->GetLibrary().IndexOfType("LUMORA_PIXELDOT_RGB");
        ASSERT_GE(pixel, 0);
    }

    // Sets up the current section as W x H pixels from `base` (zero-based) onwards.
    void MakeMatrix(int w, int h, int base, int screenId = 1)
    {
        CSubDoc* s = doc->GetCurrentSection();
        s->setup.fix_type = pixel;
        s->setup.matrix_width = w;
        s->setup.matrix_height = h;
        s->setup.base_universe = base;
        s->setup.screen_id = screenId;
        ASSERT_TRUE(s->SetUp());
        s->RebuildItems();
        doc->RebuildTables();
    }

    template <typename T> static T* Child(QWidget& parent, const char* name)
    {
        T* w = parent.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    static void Type(QAbstractSpinBox* spin, const QString& text)
    {
        spin->setFocus();
        QLineEdit* edit = spin->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    CRecordingMessages messages;
    std::unique_ptr<CQuiltmarkDoc> doc;
    int pixel = -1;
};

TEST_F(SetupSheetsTest, ProposesTheBaseUniverseAfterThoseInUse)
{
    {
        CCreateMatrixSheet fresh(*doc);
        EXPECT_EQ(fresh.LayoutPage()->baseUniverse, 1);
    }
    // Universes 1..4 (one-based) in use by the first section: 4 x 170 pixels of 3 channels.
    MakeMatrix(170, 4, 0);
    EXPECT_EQ(doc->GetHighestUsedUniverse(), 3);
    doc->AddSection();
    CCreateMatrixSheet next(*doc);
    EXPECT_EQ(next.LayoutPage()->baseUniverse, 5);
    next.reject();
    // Cancelled: the proposal never reached the section.
    EXPECT_EQ(doc->GetCurrentSection()->setup.base_universe, 0);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(doc->CanUndo());
}

TEST_F(SetupSheetsTest, UndoOfFinishBringsBackTheProjectWithItsUnsetBaseUniverse)
{
    MakeMatrix(2, 1, 0);
    const std::string before = CProjectFileWriter::Write(*doc, "2024-01-01");
    CCreateMatrixSheet sheet(*doc);
    sheet.BasicPage()->width = 2;
    sheet.BasicPage()->height = 2;
    sheet.BasicPage()->LoadControls();
    sheet.accept();
    // The proposal after the universe in use, taken on Finish.
    ASSERT_EQ(doc->GetCurrentSection()->setup.base_universe, 1);
    EXPECT_EQ(doc->GetCurrentSection()->GetTile(0, 0)->universe, 1);
    EXPECT_EQ(doc->GetUndoName(), "Create Matrix");
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(doc->GetCurrentSection()->setup.base_universe, 0);
    EXPECT_EQ(CProjectFileWriter::Write(*doc, "2024-01-01"), before);
    EXPECT_FALSE(doc->IsModified());

    // Cancelling the sheet for the selection records nothing either.
    doc->GetCurrentSection()->SelectAll(true);
    CModifySelectionSheet modify(*doc, 0, 0, false);
    modify.reject();
    EXPECT_FALSE(doc->CanUndo());
}

TEST_F(SetupSheetsTest, PagesCarryTheirLabels)
{
    CCreateMatrixSheet sheet(*doc);
    QStringList texts;
    for (const QLabel* label : sheet.findChildren<QLabel*>())
        texts << label->text();
    for (const QGroupBox* box : sheet.findChildren<QGroupBox*>())
        texts << box->title();
    for (const QRadioButton* radio : sheet.findChildren<QRadioButton*>())
        texts << radio->text();
    texts << Child<QCheckBox>(sheet, "snakeMode")->text();
    for (const char* expected :
        { "Fixture Type", "*Skope ready", "&Orientation", "Skope Style", "Width", "Height", "units",
            "Screen Name", "Basic Screen ID", "Meta Type", "Size", "Screen ID", "Base &Universe",
            "&Start Address On First Universe", "&Highest Allowed DMX Address In Each Universe",
            "Enter the origin where DMX addressing should start:", "&Top Left", "Top &Right",
            "&Bottom Left", "B&ottom Right", "&Primary Addressing Direction",
            "Snake Mode: &Invert addressing direction for every second line.", "Base Address",
            "Layout", "Matrix",
            "Combined fixtures count as one unit. E.g. one Virezoviv counts as one unit "
            "although it contains two RGB Faders in each column and each row." })
        EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
    auto* orientation = Child<QComboBox>(sheet, "orientation");
    ASSERT_EQ(orientation->count(), 4);
    EXPECT_EQ(orientation->itemText(0), QString::fromUtf8("Standard (0\u00b0)"));
    EXPECT_EQ(orientation->itemText(3), QString::fromUtf8("Turned clockwise (270\u00b0)"));
    auto* direction = Child<QComboBox>(sheet, "primaryDirection");
    EXPECT_EQ(direction->itemText(0), "Horizontal");
    EXPECT_EQ(direction->itemText(1), "Vertical");
}

TEST_F(SetupSheetsTest, StyleListFollowsTheFixtureType)
{
    // A library in which the beamer has no styles at all.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile shipped(QStringLiteral(QUILTMARK_SOURCE_DIR "/resources/metalib.xml"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    QString xml = QString::fromUtf8(shipped.readAll());
    const QString beamerStyles = QStringLiteral(
        "<style type=\"Beamer Wash\" />\n                <style type=\"Beamer Spot\" />");
    ASSERT_TRUE(xml.contains(beamerStyles));
    xml.replace(beamerStyles, QString());
    QFile library(dir.filePath(QStringLiteral("metalib.xml")));
    ASSERT_TRUE(library.open(QIODevice::WriteOnly));
    library.write(xml.toUtf8());
    library.close();
    doc = std::make_unique<CQuiltmarkDoc>(messages, library.fileName().toStdString());
    ASSERT_TRUE(doc->OnNewDocument());

    CCreateMatrixSheet sheet(*doc);
    sheet.show();
    auto* fixture = Child<QComboBox>(sheet, "fixtureType");
    auto* style = Child<QComboBox>(sheet, "skopeStyle");
    auto* label = Child<QLabel>(sheet, "skopeStyleLabel");
    const CMetaLib& lib = doc->GetLibrary();
    const int withoutStyles = lib.IndexOfType("ZIDUZU_COLOR_BEAMER");
    const int withStyles = lib.IndexOfType("LUMORA_PIXELDOT_RGB");
    ASSERT_GE(withoutStyles, 0);
    ASSERT_TRUE(lib.GetAt(withoutStyles)->styles.empty());
    ASSERT_EQ(lib.GetAt(withStyles)->styles.size(), 3u);
    sheet.BasicPage()->styleIndex = 5; // beyond any list: the first style is chosen
    fixture->setCurrentIndex(withStyles);
    EXPECT_TRUE(style->isVisible());
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(style->currentIndex(), 0);
    EXPECT_EQ(style->count(), 3);
    EXPECT_EQ(style->itemText(1), QStringLiteral("Dot Square"));
    fixture->setCurrentIndex(withoutStyles);
    EXPECT_FALSE(style->isVisible());
    EXPECT_FALSE(label->isVisible());
    // And back: the list returns with the other type's styles.
    fixture->setCurrentIndex(withStyles);
    EXPECT_TRUE(style->isVisible());
    EXPECT_EQ(style->count(), 3);
}

TEST_F(SetupSheetsTest, CollidingScreenIdIsMovedWithAMessage)
{
    MakeMatrix(4, 2, 0, 1); // screen ids 1..8
    doc->GetCurrentSection()->initialised = true;
    doc->AddSection();
    doc->GetCurrentSection()->setup.screen_id = 5;
    CCreateMatrixSheet sheet(*doc);
    sheet.show();
    Child<QComboBox>(sheet, "fixtureType")->setCurrentIndex(pixel);
    Type(Child<CClampedSpinBox>(sheet, "screenId"), "5");
    sheet.next();
    EXPECT_EQ(sheet.currentPage(), sheet.LayoutPage());
    EXPECT_EQ(sheet.BasicPage()->screenId, 9);
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text,
        "The screen-id must be uniqe in this quiltmark document.\nYour screen-id was modified by "
        "quiltmark from 5 to 9");
    EXPECT_EQ(messages.calls[0].icon, MessageIcon::Warning);
}

TEST_F(SetupSheetsTest, SizesBeyondTheLimitsAreRefused)
{
    CCreateMatrixSheet sheet(*doc);
    sheet.show();
    Child<QComboBox>(sheet, "fixtureType")->setCurrentIndex(pixel);
    Type(Child<CClampedSpinBox>(sheet, "matrixWidth"), "0");
    sheet.next();
    EXPECT_EQ(sheet.currentPage(), sheet.BasicPage());
    ASSERT_EQ(messages.calls.size(), 1u);
    Type(Child<CClampedSpinBox>(sheet, "matrixWidth"), "2001");
    sheet.next();
    EXPECT_EQ(sheet.currentPage(), sheet.BasicPage());
    EXPECT_EQ(messages.calls.size(), 2u);
    EXPECT_EQ(doc->GetCurrentSection()->GetTileCount(), 0);
}

TEST_F(SetupSheetsTest, LayoutNumbersAreClampedWhenRead)
{
    CCreateMatrixSheet sheet(*doc);
    sheet.show();
    Child<QComboBox>(sheet, "fixtureType")->setCurrentIndex(pixel);
    sheet.next();
    Type(Child<CClampedSpinBox>(sheet, "baseUniverse"), "0");
    Type(Child<CClampedSpinBox>(sheet, "highestAddress"), "600");
    sheet.accept();
    const CSubDoc* s = doc->GetCurrentSection();
    EXPECT_EQ(s->setup.base_universe, 0);
    EXPECT_EQ(s->setup.addr_count, 512);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(SetupSheetsTest, TypedLayoutValuesSurviveGoingBack)
{
    CCreateMatrixSheet sheet(*doc);
    sheet.show();
    Child<QComboBox>(sheet, "fixtureType")->setCurrentIndex(pixel);
    sheet.next();
    Child<QRadioButton>(sheet, "originTopRight")->setChecked(true);
    Type(Child<CClampedSpinBox>(sheet, "baseUniverse"), "7");
    sheet.back();
    EXPECT_EQ(sheet.currentPage(), sheet.BasicPage());
    sheet.next();
    EXPECT_EQ(Child<CClampedSpinBox>(sheet, "baseUniverse")->value(), 7);
    sheet.accept();
    EXPECT_EQ(doc->GetCurrentSection()->setup.base_universe, 6);
    EXPECT_EQ(doc->GetCurrentSection()->setup.address_origin, 1);
}

TEST_F(SetupSheetsTest, ExtremeStoredValuesOpenWithoutOverflow)
{
    // Values a damaged project file can carry.
    MakeMatrix(2, 1, 0);
    CSubDoc* s = doc->GetCurrentSection();
    s->GetTile(0, 0)->universe = INT_MAX;
    s->GetTile(0, 0)->address = INT_MAX;
    s->SelectAll(true);
    {
        CModifySelectionSheet sheet(*doc, 0, 0, false);
        EXPECT_GT(sheet.LayoutPage()->baseUniverse, 0);
        EXPECT_GT(sheet.LayoutPage()->firstAddress, 0);
        sheet.accept();
        EXPECT_EQ(s->GetTile(0, 0)->universe, 511);
    }
    s->RecountUniverses();
    s->GetTile(1, 0)->universe = INT_MAX;
    s->RecountUniverses();
    doc->RebuildUniverseUse();
    s->setup.base_universe = 0;
    s->setup.addr_first = INT_MAX;
    CCreateMatrixSheet sheet(*doc);
    EXPECT_GT(sheet.LayoutPage()->baseUniverse, 0);
    sheet.show();
    sheet.next();
    sheet.accept();
    // Read back through the page's 1..512 range.
    EXPECT_EQ(s->setup.base_universe, 511);
    EXPECT_EQ(s->setup.addr_first, 511);
}

TEST_F(SetupSheetsTest, FinishAddressesFromTheBottomRightColumnUpwards)
{
    CCreateMatrixSheet sheet(*doc);
    sheet.show();
    Child<QComboBox>(sheet, "fixtureType")->setCurrentIndex(pixel);
    Type(Child<CClampedSpinBox>(sheet, "matrixWidth"), "3");
    Type(Child<CClampedSpinBox>(sheet, "matrixHeight"), "2");
    sheet.next();
    Child<QRadioButton>(sheet, "originBottomRight")->setChecked(true);
    Child<QComboBox>(sheet, "primaryDirection")->setCurrentIndex(1);
    Child<QCheckBox>(sheet, "snakeMode")->setChecked(true);
    sheet.accept();

    const CSubDoc* s = doc->GetCurrentSection();
    ASSERT_EQ(s->GetTileColumns(), 3);
    ASSERT_EQ(s->GetTileRows(), 2);
    // Right column bottom to top, middle column top to bottom, left column bottom to top.
    const int expected[2][3] = { { 15, 6, 3 }, { 12, 9, 0 } };
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(s->GetTile(x, y)->address, expected[y][x]) << x << "," << y;
    EXPECT_TRUE(s->initialised);
    EXPECT_EQ(doc->GetUsedUniverseCount(), 1);
}

TEST_F(SetupSheetsTest, ModifySelectionStartsAtTheFocusTile)
{
    MakeMatrix(4, 2, 0);
    CSubDoc* s = doc->GetCurrentSection();
    s->GetTile(1, 1)->universe = 2;
    s->GetTile(1, 1)->address = 9;
    CModifySelectionSheet sheet(*doc, 1, 1, false);
    EXPECT_EQ(sheet.LayoutPage()->baseUniverse, 3);
    EXPECT_EQ(sheet.LayoutPage()->firstAddress, 10);
}

TEST_F(SetupSheetsTest, CreateItemsInSelectionRestoresAndAddressesOnlySelectedTiles)
{
    MakeMatrix(4, 1, 0);
    CSubDoc* s = doc->GetCurrentSection();
    s->GetTile(1, 0)->excluded = 1;
    s->GetTile(2, 0)->excluded = 1;
    s->SelectRect(1, 0, 2, 0);
    CModifySelectionSheet sheet(*doc, 1, 0, true);
    sheet.show();
    Type(Child<CClampedSpinBox>(sheet, "baseUniverse"), "3");
    Type(Child<CClampedSpinBox>(sheet, "firstAddress"), "101");
    sheet.accept();
    EXPECT_FALSE(s->GetTile(1, 0)->excluded);
    EXPECT_EQ(s->GetTile(1, 0)->universe, 2);
    EXPECT_EQ(s->GetTile(1, 0)->address, 100);
    EXPECT_EQ(s->GetTile(2, 0)->address, 103);
    // Unselected tiles keep what they had.
    EXPECT_EQ(s->GetTile(0, 0)->universe, 0);
    EXPECT_EQ(s->GetTile(3, 0)->address, 9);
    // The section's own parameters stay.
    EXPECT_EQ(s->setup.base_universe, 0);
    EXPECT_TRUE(doc->IsModified());
}

} // namespace
