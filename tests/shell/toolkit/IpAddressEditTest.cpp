#include "../../devices/gui/ModalHelper.h"

#include "devices/KelvraDevice.h"
#include "devices/gui/DialogDeviceEdit.h"
#include "shell/toolkit/IpAddressEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Addresses are compared as dotted text so that a failure reads like the fields.
std::string Dotted(uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "."
        + std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

// With no widget named, QTest sends each key wherever the focus is at that moment, as a user's
// keyboard would.
QWidget* const kFocus = nullptr;

void Type(const char* keys)
{
    QTest::keyClicks(kFocus, QString::fromLatin1(keys));
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(kFocus, key, modifiers);
}

QWidget* Focus()
{
    return QApplication::focusWidget();
}

// Keys as typed, and the address meant: with and without dots, with leading zeros, a dot
// after a full octet or not, and a stray dot at the end.
const std::pair<const char*, const char*> kTyped[] = {
    { "192.168.1.50", "192.168.1.50" },
    { "10.200.1.5", "10.200.1.5" },
    { "255.255.255.255", "255.255.255.255" },
    { "172.016.005.200", "172.16.5.200" },
    { "0.0.0.0", "0.0.0.0" },
    { "1.22.133.4", "1.22.133.4" },
    { "100.20.3.255", "100.20.3.255" },
    { "192168001050", "192.168.1.50" },
    { "192.168001.7", "192.168.1.7" },
    { "10.0.0.250.", "10.0.0.250" },
};

class IpAddressEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        edit.show();
        edit.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
        Restart();
    }

    void Restart()
    {
        edit.Clear();
        edit.Field(0)->setFocus();
    }

    QString Fields() const
    {
        QStringList texts;
        for (int i = 0; i < 4; ++i)
            texts << edit.Field(i)->text();
        return texts.join(u'|');
    }

    std::string Address() const { return Dotted(edit.GetAddress()); }

    CIpAddressEdit edit;
};

TEST_F(IpAddressEditTest, StoresExactlyWhatWasTyped)
{
    enum Way { InOneGo, Slowly, KeyByKey, OverAnAddress };
    for (Way way : { InOneGo, Slowly, KeyByKey, OverAnAddress }) {
        for (const auto& [keys, meant] : kTyped) {
            Restart();
            if (way == OverAnAddress) {
                // As the device dialog offers it: an address is shown and the user tabs in.
                edit.SetAddress(0x0A000005);
                edit.Field(3)->setFocus();
                edit.Field(0)->setFocus(Qt::TabFocusReason);
            }
            if (way == InOneGo || way == OverAnAddress)
                Type(keys);
            // Key by key straight to the focused field, or with pauses in which events run.
            for (const char* k = keys; (way == KeyByKey || way == Slowly) && *k; ++k) {
                QTest::keyClick(way == KeyByKey ? Focus() : kFocus, *k);
                if (way == Slowly)
                    QTest::qWait(5);
            }
            EXPECT_EQ(Address(), meant)
                << "typed " << keys << " way " << way << " fields " << Fields().toStdString();
        }
    }
}

TEST_F(IpAddressEditTest, ADotMovesOnOnceAfterAThirdDigit)
{
    Type("192");
    EXPECT_EQ(Focus(), edit.Field(1));
    // Every dot is taken back while the field that the third digit moved to is untouched.
    Type("..");
    EXPECT_EQ(Focus(), edit.Field(1));
    Type("7.");
    EXPECT_EQ(Focus(), edit.Field(2));

    // A dot that needs Shift (as on some keyboards) is still the one dot after the move; the
    // keypad's decimal key may give a comma, which separates like a dot.
    Restart();
    Type("255");
    Press(Qt::Key_Period, Qt::ShiftModifier);
    Type("1");
    Press(Qt::Key_Comma, Qt::KeypadModifier);
    Type("2");
    EXPECT_EQ(Fields(), "255|1|2|");

    // Once the user has left the field, a dot there moves on again.
    Restart();
    Type("123");
    edit.Field(3)->setFocus();
    edit.Field(1)->setFocus();
    Type(".4");
    EXPECT_EQ(Fields(), "123||4|");

    // Without a third digit before, dots in empty fields move on; the last field keeps them
    // out. Empty fields count as 0.
    Restart();
    Type("..7.9..");
    EXPECT_EQ(Fields(), "||7|9");
    EXPECT_EQ(Address(), "0.0.7.9");
}

TEST_F(IpAddressEditTest, ValuesAbove255AreRefusedAndLeadingZerosReadAsDecimal)
{
    Type("300a-+ x.256.1.1");
    EXPECT_EQ(Fields(), "30|25|1|1");
    // Inserting before the digits cannot make a value above 255 either.
    edit.Field(1)->setFocus();
    edit.Field(1)->home(false);
    Type("91");
    EXPECT_EQ(Address(), "30.125.1.1");

    Restart();
    Type("016.08");
    EXPECT_EQ(Fields(), "16|08||");
    EXPECT_EQ(Address(), "16.8.0.0");
    edit.Field(2)->setFocus();
    EXPECT_EQ(Fields(), "16|8||");
}

TEST_F(IpAddressEditTest, BackspaceAndArrowsCrossFields)
{
    Type("12.34");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(Fields(), "12|||");
    // At the start of a field Backspace deletes in the previous one.
    Press(Qt::Key_Backspace);
    EXPECT_EQ(Focus(), edit.Field(0));
    Type("0.5");
    EXPECT_EQ(Address(), "10.5.0.0");

    // Back over a third digit, then typing it again moves on just once more.
    Restart();
    Type("192");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(Fields(), "19|||");
    Type("3.1.2.3");
    EXPECT_EQ(Address(), "193.1.2.3");
    for (int i = 0; i < 12; ++i)
        Press(Qt::Key_Backspace);
    EXPECT_TRUE(edit.IsBlank());

    Restart();
    Type("1.2");
    Press(Qt::Key_Left);
    Press(Qt::Key_Left);
    EXPECT_EQ(Focus(), edit.Field(0));
    Type("0");
    Press(Qt::Key_Right);
    EXPECT_EQ(Focus(), edit.Field(1));
    Type("3");
    // With Shift the keys select within the field and do not leave it.
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), edit.Field(1));
    EXPECT_EQ(Fields(), "10|32||");
}

TEST_F(IpAddressEditTest, PastingOrDroppingTakesAWholeAddressAndNothingHalf)
{
    edit.SetAddress(0x01020304);
    edit.Field(1)->setFocus();
    QApplication::clipboard()->setText(QStringLiteral(" 192.168.001.50\n"));
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Fields(), "192|168|1|50");
    EXPECT_EQ(Focus(), edit.Field(3));

    // Plain digits paste into the field like typing; anything else changes nothing, and a long
    // number is not cut to fit.
    Restart();
    QApplication::clipboard()->setText(QStringLiteral("10"));
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Fields(), "10|||");
    for (const char* text : { "abc", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.-4", "1..2.3",
             "1.2.3.4x", "1234", "0x10.1.1.1", "1 .2.3.4", "" }) {
        edit.SetAddress(0x0A000005);
        edit.Field(2)->setFocus();
        edit.Field(2)->selectAll();
        QApplication::clipboard()->setText(QString::fromLatin1(text));
        Press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Address(), "10.0.0.5") << "pasted \"" << text << "\"";
    }

    // Only a real drag gets a drop delivered, so hand it over the way the application would:
    // to the control's filter first, then to the field.
    auto drop = [this](const char* text) {
        QMimeData mime;
        mime.setText(QString::fromLatin1(text));
        QDropEvent event(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QObject* field = edit.Field(1);
        if (!static_cast<QObject&>(edit).eventFilter(field, &event))
            field->event(&event);
    };
    drop("1234");
    drop("1.2.3");
    EXPECT_EQ(Address(), "10.0.0.5");
    drop("192.168.1.50");
    EXPECT_EQ(Address(), "192.168.1.50");
}

TEST_F(IpAddressEditTest, PasteFromTheContextMenuTakesAWholeAddress)
{
    QApplication::clipboard()->setText(QStringLiteral("172.16.5.200"));
    bool pasted = false;
    QTimer::singleShot(0, [&pasted] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QLineEdit::tr("&Paste"))) {
                action->trigger();
                pasted = true;
            }
        }
        menu->close();
    });
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, QPoint(2, 2), edit.Field(0)->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(edit.Field(0), &event);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    ASSERT_TRUE(pasted);
    EXPECT_EQ(Address(), "172.16.5.200");
}

TEST_F(IpAddressEditTest, TabEntersAtTheFirstFieldAndLeavesFromAny)
{
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* ip = new CIpAddressEdit(&window);
    auto* after = new QLineEdit(&window);
    ip->move(0, 40);
    after->move(0, 80);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ip->SetAddress(0x0A000005);
    before->setFocus();

    Press(Qt::Key_Tab);
    EXPECT_EQ(Focus(), ip->Field(0));
    EXPECT_EQ(ip->Field(0)->selectedText(), "10");
    // After a third digit a Tab still leaves the control; it is no field separator.
    Type("192");
    Press(Qt::Key_Tab);
    EXPECT_EQ(Focus(), after);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), ip->Field(0));
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), before);
    ip->Field(2)->setFocus();
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), before);
    EXPECT_EQ(Dotted(ip->GetAddress()), "192.0.0.5");
}

TEST_F(IpAddressEditTest, SetAddressShowsMostSignificantFirstAndChangesAreReported)
{
    std::vector<uint32_t> reported;
    QObject::connect(&edit, &CIpAddressEdit::addressChanged,
        [&reported](uint32_t address) { reported.push_back(address); });
    edit.SetAddress(0xFFFFFFFFu);
    EXPECT_EQ(Fields(), "255|255|255|255");
    edit.SetAddress(1);
    EXPECT_EQ(Fields(), "0|0|0|1");
    edit.Field(3)->setFocus();
    edit.Field(3)->selectAll();
    Type("70");
    // A leading zero keeps the value, so it is not reported.
    edit.Field(3)->home(false);
    Type("0");
    edit.Field(0)->setFocus();
    EXPECT_EQ(reported, (std::vector<uint32_t> { 0xFFFFFFFFu, 1u, 7u, 70u }));
}

// The device dialog as the device manager runs it: the user tabs from the type to the address,
// types over the address offered and confirms with Enter.
TEST(DeviceEditDialogAddress, TheDeviceGetsTheAddressTyped)
{
    for (const auto& [keys, meant] : kTyped) {
        CKelvraDevice device;
        device.SetType(0, 1);
        CDialogDeviceEdit dialog(device, CDialogDeviceEdit::Edit, "Edit Device");
        OnNextModal([keys = keys](QWidget* modal) {
            modal->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(modal));
            Child<QComboBox>(modal, "typeCombo")->setFocus();
            Press(Qt::Key_Tab);
            Type(keys);
            Press(Qt::Key_Return);
        });
        ASSERT_EQ(dialog.exec(), QDialog::Accepted) << keys;
        EXPECT_EQ(Dotted(device.GetIpAddress()), meant) << "typed " << keys;
    }
}

} // namespace
