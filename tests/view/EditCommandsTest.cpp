#include "view/EditCommands.h"
#include "ViewTestSupport.h"
#include "dialogs/QuiltmarkBasicDlg.h"
#include "dialogs/QuiltmarkLayoutDlg.h"
#include "dialogs/SetupSheets.h"
#include "app/base/StoredText.h"

#include <gtest/gtest.h>

namespace {

class EditCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.SetUp("LUMORA_PIXELDOT_RGB", 6, 3);
        data.doc.SetModifiedFlag(false);
        ui = std::make_unique<CViewUnderTest>(data.doc);
        commands = std::make_unique<CEditCommands>(data.doc, *ui->view);
        ui->view->AddCommandHandler(commands.get());
    }

    bool Checked(CommandId id)
    {
        CCommandState state;
        EXPECT_TRUE(ui->view->OnUpdateCommand(id, state));
        return state.checked;
    }
    CSubDoc& Section() { return *data.doc.GetCurrentSection(); }

    CViewTestDoc data;
    std::unique_ptr<CViewUnderTest> ui;
    std::unique_ptr<CEditCommands> commands;
};

TEST_F(EditCommandsTest, TileModesCarryTheirCheckMarks)
{
    EXPECT_TRUE(Checked(CommandId::EditToggleTileMode));
    EXPECT_FALSE(Checked(CommandId::EditMoveTileMode));
    ui->view->OnCommand(CommandId::EditMoveTileMode);
    EXPECT_EQ(ui->view->GetTileMode(), TileMode::MoveEdit);
    EXPECT_TRUE(Checked(CommandId::EditMoveTileMode));
    EXPECT_FALSE(Checked(CommandId::EditToggleTileMode));
    ui->view->OnCommand(CommandId::EditToggleTileMode);
    EXPECT_EQ(ui->view->GetTileMode(), TileMode::Toggle);
}

TEST_F(EditCommandsTest, AutomaticAddressingAsksFirstAndLeavesAddressesUntilTheNextEdit)
{
    Section().GetTile(0, 0)->address = 100;
    data.messages.answers = { MessageAnswer::No };
    ui->view->OnCommand(CommandId::EditAutoAddressing);
    ASSERT_EQ(data.messages.calls.size(), 1u);
    EXPECT_TRUE(data.messages.calls[0].question);
    EXPECT_EQ(data.messages.calls[0].icon, MessageIcon::Warning);
    EXPECT_EQ(data.messages.calls[0].text,
        "Do you really wish to enable auto adressing?\nIf you click YES, all manual address "
        "settings in all sections will be lost.");
    EXPECT_FALSE(data.doc.autoAddressing);
    EXPECT_TRUE(Checked(CommandId::EditManualAddressing));
    EXPECT_EQ(Section().GetTile(0, 0)->address, 100);

    ui->view->OnCommand(CommandId::EditAutoAddressing); // answered Yes
    EXPECT_TRUE(data.doc.autoAddressing);
    EXPECT_TRUE(Checked(CommandId::EditAutoAddressing));
    EXPECT_FALSE(Checked(CommandId::EditManualAddressing));
    EXPECT_EQ(Section().GetTile(0, 0)->address, 100);

    // Already on: no question; Manual switches off without one.
    ui->view->OnCommand(CommandId::EditAutoAddressing);
    ui->view->OnCommand(CommandId::EditManualAddressing);
    EXPECT_EQ(data.messages.calls.size(), 2u);
    EXPECT_FALSE(data.doc.autoAddressing);
}

TEST_F(EditCommandsTest, PageInfoEditsTheSectionsText)
{
    Section().info = "old";
    QString seen;
    commands->SetTextPrompt(
        [&](const QString& title, const QString& prompt, int maxLength, QString& text) {
            seen = title + "|" + prompt + "|" + QString::number(maxLength) + "|" + text;
            return false;
        });
    ui->view->OnCommand(CommandId::EditPageInfo);
    EXPECT_EQ(seen, "Page-Info|Page-Info:|250|old");
    EXPECT_EQ(Section().info, "old");
    EXPECT_FALSE(data.doc.IsModified());

    commands->SetTextPrompt([](const QString&, const QString&, int, QString& text) {
        text = QString::fromUtf8("Bühne links");
        return true;
    });
    ui->view->OnCommand(CommandId::EditPageInfo);
    EXPECT_EQ(Section().info, "B\xC3\xBChne links");
    EXPECT_TRUE(data.doc.IsModified());
}

TEST_F(EditCommandsTest, PageInfoTurnsControlCharactersIntoAStandInAndSaysSo)
{
    commands->SetTextPrompt([](const QString&, const QString&, int, QString& text) {
        text = QStringLiteral("Row\x01 1\tleft\nnext");
        return true;
    });
    ui->view->OnCommand(CommandId::EditPageInfo);
    EXPECT_EQ(Section().info, "Row? 1\tleft\nnext");
    ASSERT_EQ(data.messages.calls.size(), 1u);
    EXPECT_EQ(data.messages.calls[0].text, kControlsReplacedMessage);
}

TEST_F(EditCommandsTest, CreateMatrixSetsUpTheCurrentSection)
{
    ui->view->SetFocusCell(5, 2);
    bool cancel = true;
    commands->SetSheetRunner([&](QDialog& dialog) {
        auto* sheet = qobject_cast<CCreateMatrixSheet*>(&dialog);
        EXPECT_NE(sheet, nullptr);
        if (!sheet || cancel)
            return false;
        sheet->BasicPage()->width = 3;
        sheet->BasicPage()->height = 2;
        sheet->BasicPage()->LoadControls();
        sheet->accept();
        return true;
    });
    ui->view->OnCommand(CommandId::EditCreateMatrix);
    EXPECT_EQ(Section().GetTileColumns(), 6);
    EXPECT_FALSE(data.doc.IsModified());

    cancel = false;
    ui->view->OnCommand(CommandId::EditCreateMatrix);
    EXPECT_EQ(Section().GetTileColumns(), 3);
    EXPECT_EQ(Section().GetTileRows(), 2);
    EXPECT_EQ(Section().GetTile(2, 1)->address, 15);
    // The old focus cell no longer exists.
    EXPECT_EQ(ui->view->GetFocusColumn(), 0);
    EXPECT_EQ(ui->view->GetFocusRow(), 0);
    EXPECT_TRUE(data.doc.IsModified());
}

} // namespace
