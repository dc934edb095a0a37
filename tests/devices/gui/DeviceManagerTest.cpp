#include "ModalHelper.h"

#include "app/base/UserMessages.h"
#include "devices/KelvraDeviceList.h"
#include "devices/gui/DeviceCommands.h"
#include "devices/gui/DialogDeviceManager.h"
#include "document/QuiltmarkDoc.h"
#include "shell/toolkit/IpAddressEdit.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <initializer_list>

namespace {

class DeviceManagerTest : public ::testing::Test {
protected:
    void TearDown() override { CancelPendingModalActions(); }

    // Sections whose tiles use these universes.
    void UseUniverses(std::initializer_list<int> universes)
    {
        CSubDoc* section = doc.AddSection();
        ASSERT_NE(section, nullptr);
        for (int u : universes)
            section->AddUniverseTile(u);
        doc.RebuildUniverseUse();
    }

    CKelvraDevice& AddDevice(int type, uint32_t address)
    {
        auto device = std::make_unique<CKelvraDevice>();
        device->SetType(type, address);
        CKelvraDevice& ref = *device;
        devices().AddDevice(std::move(device));
        return ref;
    }

    CKelvraDeviceList& devices() { return doc.GetDevices(); }

    std::unique_ptr<CDialogDeviceManager> Open()
    {
        auto dialog = std::make_unique<CDialogDeviceManager>(doc);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    static QTreeWidgetItem* Root(CDialogDeviceManager& dialog)
    {
        return dialog.Tree()->topLevelItem(0);
    }

    static QStringList Labels(QTreeWidgetItem* item)
    {
        QStringList labels;
        for (int i = 0; i < item->childCount(); ++i)
            labels << item->child(i)->text(0);
        return labels;
    }

    static void Select(CDialogDeviceManager& dialog, QTreeWidgetItem* item)
    {
        dialog.Tree()->setCurrentItem(item);
    }

    static void Click(CDialogDeviceManager& dialog, const char* button)
    {
        Child<QPushButton>(&dialog, button)->click();
    }

    // Fills the device dialog that `button` opens and confirms it.
    void AddVia(CDialogDeviceManager& dialog, const char* button, int type, const char* number,
        bool confirm = true)
    {
        OnNextModal([=](QWidget* modal) {
            Child<QComboBox>(modal, "typeCombo")->setCurrentIndex(type);
            if (number) {
                auto* spin = Child<QAbstractSpinBox>(modal, "numberSpin");
                spin->findChild<QLineEdit*>()->clear();
                QTest::keyClicks(spin, QString::fromLatin1(number));
            }
            Child<QPushButton>(modal, confirm ? "okButton" : "cancelButton")->click();
        });
        Click(dialog, button);
    }

    CRecordingMessages messages;
    CQuiltmarkDoc doc { messages, QUILTMARK_BIN_DIR "/metalib.xml" };
};

TEST_F(DeviceManagerTest, OpensWithTitleRootAndDeviceLabels)
{
    AddDevice(3, (10u << 24) + 3);
    CKelvraDevice& span = AddDevice(7, 1);
    span.SetPortUniverse(1, 6);
    auto dialog = Open();

    EXPECT_EQ(dialog->windowTitle(), "Device-Manager");
    ASSERT_EQ(dialog->Tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = Root(*dialog);
    EXPECT_EQ(root->text(0), "DMX Outputs");
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(root->isSelected());
    EXPECT_EQ(Labels(root), (QStringList { "k:gate512  ::  10.0.0.3", "k:span2048  ::  0.0.0.1" }));
    EXPECT_EQ(Labels(root->child(1)), (QStringList { "DMX 1:", "DMX 2: U07", "DMX 3:", "DMX 4:" }));
    EXPECT_TRUE(Child<QPushButton>(dialog.get(), "closeButton")->isDefault());
}

TEST_F(DeviceManagerTest, AddCreatesNumberDevicesFromTheNextFreeAddress)
{
    auto dialog = Open();
    AddVia(*dialog, "addButton", 0, "3");
    ASSERT_EQ(devices().GetDeviceCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(devices().GetDevice(i)->GetIpAddress(), static_cast<uint32_t>(i + 1));
        EXPECT_EQ(devices().GetDevice(i)->GetType(), 0);
    }
    EXPECT_EQ(Labels(Root(*dialog)).last(), "Kelvra porter  ::  0.0.0.3");

    AddVia(*dialog, "addButton", 5, "0");
    EXPECT_EQ(devices().GetDeviceCount(), 3);
    AddVia(*dialog, "addButton", 5, "2", false);
    EXPECT_EQ(devices().GetDeviceCount(), 3);
    AddVia(*dialog, "addButton", 5, "1");
    ASSERT_EQ(devices().GetDeviceCount(), 4);
    EXPECT_EQ(devices().GetDevice(3)->GetIpAddressText(), "0.0.0.4");
    EXPECT_EQ(Root(*dialog)->childCount(), 4);
}

TEST_F(DeviceManagerTest, EditingTheTypeKeepsTheFirstPortsUniverses)
{
    CKelvraDevice& device = AddDevice(7, 9);
    for (int p = 0; p < 4; ++p)
        device.SetPortUniverse(p, 4 + p);
    auto dialog = Open();
    QTreeWidgetItem* item = Root(*dialog)->child(0);

    // The event sequence of a real double click: the second press arrives as a double click.
    auto doubleClick = [&dialog](QTreeWidgetItem* target) {
        QWidget* viewport = dialog->Tree()->viewport();
        const QPoint centre = dialog->Tree()->visualItemRect(target).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
        QTest::mousePress(viewport, Qt::LeftButton, {}, centre);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre);
    };

    // A double click edits the item its first click selected, and does not unfold it.
    OnNextModal([](QWidget* modal) { Child<QPushButton>(modal, "cancelButton")->click(); });
    doubleClick(item);
    EXPECT_TRUE(item->isSelected());
    EXPECT_FALSE(item->isExpanded());
    EXPECT_FALSE(device.expanded);
    EXPECT_EQ(device.GetType(), 7);

    QString title;
    OnNextModal([&title](QWidget* modal) {
        title = modal->windowTitle();
        EXPECT_FALSE(Child<QAbstractSpinBox>(modal, "numberSpin")->isVisible());
        Child<QComboBox>(modal, "typeCombo")->setCurrentIndex(0);
        Child<QPushButton>(modal, "okButton")->click();
    });
    doubleClick(item);
    EXPECT_EQ(title, "Edit Device");

    EXPECT_EQ(device.GetType(), 0);
    ASSERT_EQ(device.GetPortCount(), 2);
    EXPECT_EQ(device.GetPortUniverse(0), 4);
    EXPECT_EQ(device.GetPortUniverse(1), 5);
    item = Root(*dialog)->child(0);
    EXPECT_EQ(item->text(0), "Kelvra porter  ::  0.0.0.9");
    EXPECT_EQ(Labels(item), (QStringList { "DMX 1: U05", "DMX 2: U06" }));
    EXPECT_FALSE(item->isExpanded());
    EXPECT_FALSE(device.expanded);
    EXPECT_TRUE(item->isSelected());
}

TEST_F(DeviceManagerTest, PortEditOffersUsedUniversesAndKeepsAnUnusedOne)
{
    UseUniverses({ 0, 1 });
    CKelvraDevice& device = AddDevice(0, 1);
    device.SetPortUniverse(0, 9);
    auto dialog = Open();
    EXPECT_EQ(doc.GetUsedUniverseCount(), 2);
    Select(*dialog, Root(*dialog)->child(0)->child(0));

    QStringList entries;
    int current = -1;
    OnNextModal([&](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "Edit DMX-Port->Universe");
        auto* combo = Child<QComboBox>(modal, "universeCombo");
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        current = combo->currentIndex();
        combo->setCurrentIndex(1);
        Child<QPushButton>(modal, "okButton")->click();
    });
    Click(*dialog, "editButton");
    EXPECT_EQ(entries, (QStringList { "U01", "U02", "U10 [does not exist]", "" }));
    EXPECT_EQ(current, 2);
    EXPECT_EQ(device.GetPortUniverse(0), 1);
    QTreeWidgetItem* port = Root(*dialog)->child(0)->child(0);
    EXPECT_EQ(port->text(0), "DMX 1: U02");
    EXPECT_TRUE(port->isSelected());
}

TEST_F(DeviceManagerTest, RemoveTakesTheSelectedDeviceAndKeepsTheOthersState)
{
    AddDevice(0, 1);
    CKelvraDevice& second = AddDevice(3, 2);
    CKelvraDevice& third = AddDevice(5, 3);
    auto dialog = Open();
    Root(*dialog)->child(2)->setExpanded(true);
    EXPECT_TRUE(third.expanded);

    // A port is not a device: Remove ignores it.
    Select(*dialog, Root(*dialog)->child(1)->child(0));
    Click(*dialog, "removeButton");
    EXPECT_EQ(devices().GetDeviceCount(), 3);
    EXPECT_TRUE(second.GetPort(0)->selected);

    Select(*dialog, Root(*dialog)->child(1));
    EXPECT_TRUE(second.selected);
    EXPECT_FALSE(second.GetPort(0)->selected);
    Click(*dialog, "removeButton");
    ASSERT_EQ(devices().GetDeviceCount(), 2);
    EXPECT_EQ(devices().GetDevice(1), &third);
    EXPECT_TRUE(dialog->Tree()->selectedItems().isEmpty());
    EXPECT_EQ(Labels(Root(*dialog)),
        (QStringList { "Kelvra porter  ::  0.0.0.1", "k:span512  ::  0.0.0.3" }));
    EXPECT_TRUE(Root(*dialog)->child(1)->isExpanded());
    EXPECT_FALSE(Root(*dialog)->child(0)->isExpanded());

    // Nothing selected: nothing happens.
    Click(*dialog, "removeButton");
    EXPECT_EQ(devices().GetDeviceCount(), 2);
}

TEST_F(DeviceManagerTest, MovesStopAtTheEndsAndTheSelectionFollows)
{
    CKelvraDevice& first = AddDevice(0, 1);
    CKelvraDevice& last = AddDevice(3, 2);
    auto dialog = Open();

    Select(*dialog, Root(*dialog)->child(0));
    Click(*dialog, "moveUpButton");
    EXPECT_EQ(devices().GetDevice(0), &first);
    Select(*dialog, Root(*dialog)->child(1));
    Click(*dialog, "moveDownButton");
    EXPECT_EQ(devices().GetDevice(1), &last);

    Click(*dialog, "moveUpButton");
    EXPECT_EQ(devices().GetDevice(0), &last);
    EXPECT_EQ(last.GetListIndex(), 0);
    EXPECT_TRUE(Root(*dialog)->child(0)->isSelected());
    Click(*dialog, "moveUpButton");
    EXPECT_EQ(devices().GetDevice(0), &last);

    // The root carries no device.
    Select(*dialog, Root(*dialog));
    EXPECT_FALSE(last.selected);
    Click(*dialog, "moveDownButton");
    EXPECT_EQ(devices().GetDevice(0), &last);
}

TEST_F(DeviceManagerTest, CreateAndConnectReplacesTheListOnlyWhenConfirmed)
{
    UseUniverses({ 0, 1, 2 });
    CKelvraDevice& kept = AddDevice(0, 50);
    kept.SetPortUniverse(0, 7);
    auto dialog = Open();

    AddVia(*dialog, "createConnectButton", 7, nullptr, false);
    ASSERT_EQ(devices().GetDeviceCount(), 1);
    EXPECT_EQ(devices().GetDevice(0), &kept);
    EXPECT_EQ(kept.GetPortUniverse(0), 7);

    QString title;
    OnNextModal([&title](QWidget* modal) {
        title = modal->windowTitle();
        EXPECT_FALSE(Child<QAbstractSpinBox>(modal, "numberSpin")->isVisible());
        EXPECT_EQ(Child<CIpAddressEdit>(modal, "ipAddress")->GetAddress(), 51u);
        Child<QComboBox>(modal, "typeCombo")->setCurrentIndex(7);
        Child<QPushButton>(modal, "okButton")->click();
    });
    Click(*dialog, "createConnectButton");
    EXPECT_EQ(title, "Add & Connect New Devices to available Universes");
    ASSERT_EQ(devices().GetDeviceCount(), 1);
    const CKelvraDevice* created = devices().GetDevice(0);
    EXPECT_EQ(created->GetType(), 7);
    EXPECT_EQ(created->GetIpAddressText(), "0.0.0.51");
    EXPECT_EQ(Labels(Root(*dialog)->child(0)),
        (QStringList { "DMX 1: U01", "DMX 2: U02", "DMX 3: U03", "DMX 4:" }));
    EXPECT_TRUE(messages.calls.empty());
}

TEST_F(DeviceManagerTest, AutoConnectReportsTooFewPortsOnce)
{
    UseUniverses({ 0, 1, 2 });
    CKelvraDevice& spark = AddDevice(1, 1);
    spark.SetPortUniverse(0, 8);
    auto dialog = Open();
    Click(*dialog, "autoConnectButton");
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text, CKelvraDeviceList::kNotEnoughDevices);
    EXPECT_FALSE(messages.calls[0].question);
    EXPECT_EQ(spark.GetPortUniverse(0), 0);
    EXPECT_EQ(Labels(Root(*dialog)->child(0)), QStringList { "DMX 1: U01" });
}

TEST_F(DeviceManagerTest, SelectionAndExpansionSurviveReopening)
{
    CKelvraDevice& device = AddDevice(6, 1);
    AddDevice(0, 2);
    {
        auto dialog = Open();
        Root(*dialog)->child(0)->setExpanded(true);
        Select(*dialog, Root(*dialog)->child(0)->child(1));
    }
    EXPECT_TRUE(device.expanded);
    EXPECT_TRUE(device.GetPort(1)->selected);

    auto dialog = Open();
    QTreeWidgetItem* item = Root(*dialog)->child(0);
    EXPECT_TRUE(item->isExpanded());
    EXPECT_FALSE(Root(*dialog)->child(1)->isExpanded());
    EXPECT_EQ(dialog->Tree()->selectedItems(), QList<QTreeWidgetItem*> { item->child(1) });

    item->setExpanded(false);
    EXPECT_FALSE(device.expanded);
}

TEST_F(DeviceManagerTest, ASessionIsOneStepThatUndoesToTheCleanProject)
{
    UseUniverses({ 0, 1, 2 });
    AddDevice(0, 50).SetPortUniverse(0, 7);
    doc.SetModifiedFlag(false);
    CDeviceCommands commands(doc, nullptr);
    OnNextModal([this](QWidget* manager) {
        auto& dialog = static_cast<CDialogDeviceManager&>(*manager);
        AddVia(dialog, "createConnectButton", 7, nullptr);
        Click(dialog, "closeButton");
    });
    commands.OpenDeviceManager();
    ASSERT_EQ(devices().GetDeviceCount(), 1);
    ASSERT_EQ(devices().GetDevice(0)->GetType(), 7);
    EXPECT_EQ(doc.GetUndoName(), "Device Changes");

    ASSERT_TRUE(doc.Undo());
    ASSERT_EQ(devices().GetDeviceCount(), 1);
    const CKelvraDevice& device = *devices().GetDevice(0);
    EXPECT_EQ(device.GetType(), 0);
    EXPECT_EQ(device.GetIpAddress(), 50u);
    EXPECT_EQ(device.GetPortUniverse(0), 7);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DeviceManagerTest, CommandMarksTheDocumentModifiedHoweverClosed)
{
    int closed = 0;
    CDeviceCommands commands(doc, nullptr, [&closed] { ++closed; });
    CCommandState state;
    state.enabled = false;
    EXPECT_TRUE(commands.OnUpdateCommand(CommandId::EditDeviceManager, state));
    EXPECT_TRUE(state.enabled);
    EXPECT_FALSE(commands.OnUpdateCommand(CommandId::FileSave, state));
    EXPECT_FALSE(commands.OnCommand(CommandId::FileSave));

    const std::vector<std::function<void(QWidget*)>> closers {
        [](QWidget* w) { Child<QPushButton>(w, "closeButton")->click(); },
        [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); },
        [](QWidget* w) { w->close(); },
    };
    for (const auto& closeIt : closers) {
        doc.SetModifiedFlag(false);
        QString title;
        OnNextModal([&title, closeIt](QWidget* w) {
            title = w->windowTitle();
            closeIt(w);
        });
        EXPECT_TRUE(commands.OnCommand(CommandId::EditDeviceManager));
        EXPECT_EQ(title, "Device-Manager");
        EXPECT_TRUE(doc.IsModified());
    }
    EXPECT_EQ(closed, 3);
}

} // namespace
