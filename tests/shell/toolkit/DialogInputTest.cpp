#include "shell/toolkit/DialogInput.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

TEST(DialogInputTest, TextIsLimitedToTheMaximumLength)
{
    CDialogInput dialog(20);
    dialog.SetTitle(QStringLiteral("Page-Info"));
    dialog.SetPrompt(QStringLiteral("Page-Info:"));
    dialog.SetText(QString(30, QLatin1Char('a'))); // an initial text is cut as well
    EXPECT_EQ(dialog.GetText().size(), 20);

    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("inputText"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, QString(25, QLatin1Char('b')));
    EXPECT_EQ(dialog.GetText(), QString(20, QLatin1Char('b')));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Page-Info"));
}
