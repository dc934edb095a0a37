#include "shell/toolkit/ExtTabCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// Typed text as the keyboard delivers it, also outside ASCII.
void Type(QWidget* w, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

void Click(QWidget* w, QPoint pos)
{
    SendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonRelease, pos, Qt::NoButton);
}

// Presses on `from`, moves in steps to `to` and releases there.
void Drag(QWidget* w, QPoint from, QPoint to)
{
    SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int i = 1; i <= 10; ++i)
        SendMouse(w, QEvent::MouseMove, from + (to - from) * i / 10, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

class ExtTabCtrlTest : public ::testing::Test {
protected:
    void Fill(int n)
    {
        for (int i = 0; i < n; ++i)
            tabs.InsertItem(i, QStringLiteral("new %1").arg(i + 1));
        tabs.resize(1200, 30);
        tabs.show();
        QApplication::processEvents();
    }
    QPoint Centre(int i) const { return tabs.tabRect(i).center(); }
    QPoint LeftPart(int i) const { return tabs.tabRect(i).topLeft() + QPoint(3, 5); }

    CExtTabCtrl tabs;
};

} // namespace

TEST_F(ExtTabCtrlTest, ClickOnSelectedTabEditsWithLimitAndOneNotificationPerEnter)
{
    Fill(2);
    tabs.SetMaxLabelLength(30);
    QSignalSpy edited(&tabs, &CExtTabCtrl::labelEdited);

    Click(&tabs, Centre(0));
    ASSERT_TRUE(tabs.IsEditing());
    EXPECT_EQ(tabs.GetCaret(), 5);
    // "new 1" + 25 characters reaches 30; the 31st is ignored; control characters never go in.
    QTest::keyClicks(&tabs, QString(25, QLatin1Char('x')) + QStringLiteral("y"));
    EXPECT_EQ(tabs.GetEditText().size(), 30);
    EXPECT_FALSE(tabs.GetEditText().endsWith(QLatin1Char('y')));
    EXPECT_EQ(tabs.GetLabel(0), tabs.GetEditText()); // shown at once
    EXPECT_EQ(edited.count(), 0);

    QTest::keyClick(&tabs, Qt::Key_Return);
    EXPECT_EQ(edited.count(), 1);
    EXPECT_FALSE(tabs.IsEditing());
    QTest::keyClick(&tabs, Qt::Key_Return);
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(tabs.GetEditedTab(), 0);
}

TEST_F(ExtTabCtrlTest, RejectRestoresSavedLabelAndAcceptKeepsIt)
{
    Fill(2);
    bool accept = false;
    QObject::connect(
        &tabs, &CExtTabCtrl::labelEdited, &tabs, [&accept](CExtTabCtrl* t) { t->EndEdit(accept); });

    tabs.StartEdit(1);
    QTest::keyClick(&tabs, Qt::Key_Backspace);
    QTest::keyClicks(&tabs, QStringLiteral("9"));
    EXPECT_EQ(tabs.GetLabel(1), QStringLiteral("new 9"));
    QTest::keyClick(&tabs, Qt::Key_Enter);
    EXPECT_EQ(tabs.GetLabel(1), QStringLiteral("new 2"));

    accept = true;
    tabs.StartEdit(1);
    QTest::keyClick(&tabs, Qt::Key_Home);
    QTest::keyClick(&tabs, Qt::Key_Delete);
    QTest::keyClick(&tabs, Qt::Key_Right);
    QTest::keyClicks(&tabs, QStringLiteral("E"));
    QTest::keyClick(&tabs, Qt::Key_End);
    QTest::keyClick(&tabs, Qt::Key_Left);
    Type(&tabs, QStringLiteral("ü"));
    QTest::keyClick(&tabs, Qt::Key_Return);
    EXPECT_EQ(tabs.GetLabel(1), QStringLiteral("eEw ü2"));
    EXPECT_EQ(tabs.GetEditState(), CExtTabCtrl::EditState::None);
}

TEST_F(ExtTabCtrlTest, SelectingAnotherTabCommitsAndEscapeCancels)
{
    Fill(3);
    QSignalSpy edited(&tabs, &CExtTabCtrl::labelEdited);
    tabs.StartEdit(0);
    QTest::keyClicks(&tabs, QStringLiteral("a"));
    Click(&tabs, Centre(2));
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(tabs.GetLabel(0), QStringLiteral("new 1a"));
    EXPECT_EQ(tabs.currentIndex(), 2);
    EXPECT_FALSE(tabs.IsEditing()); // a click on another tab only selects it

    tabs.StartEdit(2);
    QTest::keyClicks(&tabs, QStringLiteral("zz"));
    QTest::keyClick(&tabs, Qt::Key_Escape);
    EXPECT_EQ(tabs.GetLabel(2), QStringLiteral("new 3"));
    EXPECT_EQ(edited.count(), 1);
}

TEST_F(ExtTabCtrlTest, MaxLabelLengthIsClamped)
{
    tabs.SetMaxLabelLength(-5);
    EXPECT_EQ(tabs.GetMaxLabelLength(), 0);
    tabs.SetMaxLabelLength(1000);
    EXPECT_EQ(tabs.GetMaxLabelLength(), 256);
}

TEST_F(ExtTabCtrlTest, DragReportsSourceAndFinalIndex)
{
    Fill(5);
    QSignalSpy moved(&tabs, &CExtTabCtrl::tabMovedTo);
    QSignalSpy selected(&tabs, &CExtTabCtrl::selectionChanged);

    Drag(&tabs, Centre(3), LeftPart(1));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(0).toInt(), 3);
    EXPECT_EQ(moved.at(0).at(1).toInt(), 1);
    EXPECT_EQ(tabs.GetLabel(1), QStringLiteral("new 4"));
    EXPECT_EQ(tabs.currentIndex(), 1);
    EXPECT_EQ(selected.last().at(0).toInt(), 1);
    EXPECT_FALSE(tabs.IsDragging());
    EXPECT_FALSE(tabs.IsEditing());

    const QRect last = tabs.tabRect(4);
    Drag(&tabs, Centre(0), QPoint(last.right() + 40, last.center().y()));
    ASSERT_EQ(moved.count(), 2);
    EXPECT_EQ(moved.at(1).at(0).toInt(), 0);
    EXPECT_EQ(moved.at(1).at(1).toInt(), 4);
    EXPECT_EQ(tabs.GetLabel(4), QStringLiteral("new 1"));
    EXPECT_EQ(tabs.currentIndex(), 4);
}

TEST_F(ExtTabCtrlTest, DropNextToTheSourceMovesNothing)
{
    Fill(3);
    QSignalSpy moved(&tabs, &CExtTabCtrl::tabMovedTo);
    // The right half of the source itself is the position after it: the same place.
    Drag(&tabs, LeftPart(1), tabs.tabRect(1).center() + QPoint(10, 0));
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(tabs.GetLabel(1), QStringLiteral("new 2"));
}

TEST_F(ExtTabCtrlTest, SingleTabIsNotDraggedAndAClickEditsIt)
{
    Fill(1);
    QSignalSpy moved(&tabs, &CExtTabCtrl::tabMovedTo);
    SendMouse(&tabs, QEvent::MouseButtonPress, Centre(0), Qt::LeftButton);
    SendMouse(&tabs, QEvent::MouseMove, Centre(0) + QPoint(300, 0), Qt::LeftButton);
    EXPECT_FALSE(tabs.IsDragging());
    SendMouse(&tabs, QEvent::MouseButtonRelease, Centre(0) + QPoint(300, 0), Qt::NoButton);
    EXPECT_EQ(moved.count(), 0);

    Click(&tabs, Centre(0));
    EXPECT_TRUE(tabs.IsEditing());
}

TEST_F(ExtTabCtrlTest, SelectAllAndPasteKeepTheLimitAndWholeCharacters)
{
    Fill(2);
    tabs.SetMaxLabelLength(30);
    QLineEdit* editor = tabs.Editor();
    tabs.StartEdit(0);
    ASSERT_TRUE(editor->isVisible());
    EXPECT_TRUE(tabs.tabRect(0).contains(editor->geometry().center()));

    // Control characters are dropped; what goes past 30 characters too.
    QApplication::clipboard()->setText(
        QStringLiteral("B\u00fchne\n") + QString(40, QLatin1Char('x')));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(tabs.GetEditText(), QStringLiteral("B\u00fchne") + QString(25, QLatin1Char('x')));
    EXPECT_EQ(tabs.GetLabel(0), tabs.GetEditText());

    // A character outside the basic plane counts once and is never split.
    const QString smile = QString::fromUcs4(U"\U0001F600");
    QApplication::clipboard()->setText(QString(29, QLatin1Char('a')) + smile + smile);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(tabs.GetEditText(), QString(29, QLatin1Char('a')) + smile);

    // Pasted in the middle, the excess is taken from the pasted text, not from the end.
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("XYZ"));
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(tabs.GetEditText(), QStringLiteral("XY") + QString(27, QLatin1Char('a')) + smile);

    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(tabs.IsEditing());
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(tabs.GetLabel(0), QStringLiteral("XY") + QString(27, QLatin1Char('a')) + smile);
}

TEST_F(ExtTabCtrlTest, AStoredLabelLongerThanTheLimitIsKeptWhole)
{
    Fill(1);
    tabs.SetMaxLabelLength(30);
    const QString longName(40, QLatin1Char('n'));
    tabs.SetLabel(0, longName);
    tabs.StartEdit(0);
    EXPECT_EQ(tabs.GetEditText(), longName);
    QTest::keyClicks(tabs.Editor(), QStringLiteral("z"));
    EXPECT_EQ(tabs.GetEditText(), longName);
    QTest::keyClick(tabs.Editor(), Qt::Key_Escape);
    EXPECT_EQ(tabs.GetLabel(0), longName);
}
