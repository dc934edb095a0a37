#include "../FakeUsedUniverses.h"
#include "ModalHelper.h"

#include "devices/KelvraDevice.h"
#include "devices/KelvraDeviceList.h"
#include "devices/gui/DialogDeviceDmxEdit.h"
#include "devices/gui/DialogDeviceEdit.h"
#include "shell/toolkit/IpAddressEdit.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <set>

namespace {

QStringList Entries(QComboBox* combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

void SetNumberText(QWidget* dialog, const char* text)
{
    auto* spin = Child<QAbstractSpinBox>(dialog, "numberSpin");
    spin->findChild<QLineEdit*>()->clear();
    QTest::keyClicks(spin, QString::fromLatin1(text));
}

QString NumberText(QWidget* dialog)
{
    return Child<QAbstractSpinBox>(dialog, "numberSpin")->text();
}

TEST(DeviceEditDialog, EditAppliesTypeAndAddressOnlyOnOk)
{
    CKelvraDevice device;
    device.SetType(7, (10u << 24) + 5);
    device.SetPortUniverse(0, 3);
    device.SetPortUniverse(1, 4);
    device.SetPortUniverse(2, 5);

    {
        CDialogDeviceEdit dialog(device, CDialogDeviceEdit::Edit, "Edit Device");
        dialog.show();
        auto* type = Child<QComboBox>(&dialog, "typeCombo");
        EXPECT_EQ(type->count(), kDeviceTypeCount);
        EXPECT_EQ(type->itemText(0), "Kelvra porter");
        EXPECT_EQ(type->currentIndex(), 7);
        EXPECT_FALSE(type->isEditable());
        EXPECT_EQ(Child<CIpAddressEdit>(&dialog, "ipAddress")->GetAddress(), (10u << 24) + 5);
        EXPECT_FALSE(Child<QAbstractSpinBox>(&dialog, "numberSpin")->isVisible());
        type->setCurrentIndex(1);
        Child<QPushButton>(&dialog, "cancelButton")->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(device.GetType(), 7);

    CDialogDeviceEdit dialog(device, CDialogDeviceEdit::Edit, "Edit Device");
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Edit Device");
    Child<QComboBox>(&dialog, "typeCombo")->setCurrentIndex(4);
    Child<CIpAddressEdit>(&dialog, "ipAddress")->SetAddress((192u << 24) + 7);
    Child<QPushButton>(&dialog, "okButton")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(device.GetType(), 4);
    EXPECT_EQ(device.GetIpAddress(), (192u << 24) + 7);
    ASSERT_EQ(device.GetPortCount(), 2);
    EXPECT_EQ(device.GetPortUniverse(0), 3);
    EXPECT_EQ(device.GetPortUniverse(1), 4);
}

TEST(DeviceEditDialog, NumberIsShownOnlyWhenAdding)
{
    CKelvraDevice device;
    device.SetType(0, 1);
    CDialogDeviceEdit add(device, CDialogDeviceEdit::Add, "Add New Device");
    add.show();
    EXPECT_TRUE(Child<QAbstractSpinBox>(&add, "numberSpin")->isVisible());
    EXPECT_EQ(NumberText(&add), "1");

    CDialogDeviceEdit connect(device, CDialogDeviceEdit::AddAndConnect, "x");
    connect.show();
    EXPECT_FALSE(Child<QAbstractSpinBox>(&connect, "numberSpin")->isVisible());
    Child<QPushButton>(&connect, "okButton")->click();
    EXPECT_EQ(connect.result(), QDialog::Accepted);
}

TEST(DeviceEditDialog, NumberTakesTwoDigitsAndTheArrowsStayWithin1To99)
{
    CKelvraDevice device;
    device.SetType(0, 1);
    CDialogDeviceEdit dialog(device, CDialogDeviceEdit::Add, "Add New Device");
    dialog.show();
    auto* spin = Child<QAbstractSpinBox>(&dialog, "numberSpin");

    SetNumberText(&dialog, "a1-2x3");
    EXPECT_EQ(NumberText(&dialog), "12");

    SetNumberText(&dialog, "98");
    spin->stepUp();
    spin->stepUp();
    EXPECT_EQ(NumberText(&dialog), "99");

    SetNumberText(&dialog, "0");
    EXPECT_EQ(NumberText(&dialog), "0");
    spin->stepDown();
    EXPECT_EQ(NumberText(&dialog), "1");
    spin->stepDown();
    EXPECT_EQ(NumberText(&dialog), "1");

    SetNumberText(&dialog, "0");
    Child<QPushButton>(&dialog, "okButton")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetNumber(), 0);
}

TEST(DeviceEditDialog, EmptyNumberIsRefusedAndTheDialogStaysOpen)
{
    CKelvraDevice device;
    device.SetType(0, 1);
    CDialogDeviceEdit dialog(device, CDialogDeviceEdit::Add, "Add New Device");
    dialog.show();
    Child<QComboBox>(&dialog, "typeCombo")->setCurrentIndex(3);
    SetNumberText(&dialog, "");

    QStringList shown;
    OnNextModal([&shown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown << box->text();
        box->accept();
    });
    Child<QPushButton>(&dialog, "okButton")->click();
    EXPECT_EQ(shown, QStringList { "Please enter an integer." });
    EXPECT_TRUE(dialog.isVisible());
    // Nothing was applied while the count was unreadable.
    EXPECT_EQ(device.GetType(), 0);

    SetNumberText(&dialog, "7");
    Child<QPushButton>(&dialog, "okButton")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.GetNumber(), 7);
    EXPECT_EQ(device.GetType(), 3);
}

TEST(PortDialog, UnusedUniverseIsOfferedAndSelected)
{
    FakeUsedUniverses used({ 0, 1 });
    CDialogDeviceDmxEdit dialog(used, 9, "Edit DMX-Port->Universe");
    dialog.show();
    auto* combo = Child<QComboBox>(&dialog, "universeCombo");
    EXPECT_EQ(Entries(combo), (QStringList { "U01", "U02", "U10 [does not exist]", "" }));
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(dialog.windowTitle(), "Edit DMX-Port->Universe");

    // Confirming unchanged keeps the universe no section uses.
    Child<QPushButton>(&dialog, "okButton")->click();
    EXPECT_EQ(dialog.GetUniverse(), 9);
}

TEST(PortDialog, SelectionFollowsTheGivenUniverse)
{
    FakeUsedUniverses used({ 0, 1, 4 });
    {
        CDialogDeviceDmxEdit dialog(used, 4, "t");
        auto* combo = Child<QComboBox>(&dialog, "universeCombo");
        EXPECT_EQ(Entries(combo), (QStringList { "U01", "U02", "U05", "" }));
        EXPECT_EQ(combo->currentIndex(), 2);
    }
    {
        CDialogDeviceDmxEdit dialog(used, -1, "t");
        dialog.show();
        auto* combo = Child<QComboBox>(&dialog, "universeCombo");
        EXPECT_EQ(combo->currentIndex(), 3);
        combo->setCurrentIndex(1);
        Child<QPushButton>(&dialog, "okButton")->click();
        EXPECT_EQ(dialog.GetUniverse(), 1);
    }
    {
        CDialogDeviceDmxEdit dialog(used, 4, "t");
        dialog.show();
        Child<QComboBox>(&dialog, "universeCombo")->setCurrentIndex(3);
        Child<QPushButton>(&dialog, "okButton")->click();
        EXPECT_EQ(dialog.GetUniverse(), -1);
    }
    {
        CDialogDeviceDmxEdit dialog(used, 4, "t");
        dialog.show();
        Child<QComboBox>(&dialog, "universeCombo")->setCurrentIndex(0);
        Child<QPushButton>(&dialog, "cancelButton")->click();
        EXPECT_EQ(dialog.GetUniverse(), 4);
    }
}

} // namespace
