#include "shell/IpAddressEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class IpAddressEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        edit.show();
        edit.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
        edit.Field(0)->setFocus();
    }

    // Keys go wherever the focus is, as they would for a user.
    void Type(const char* keys)
    {
        for (const char* k = keys; *k; ++k)
            QTest::keyClick(QApplication::focusWidget(), *k);
    }

    QString Fields() const
    {
        QStringList texts;
        for (int i = 0; i < 4; ++i)
            texts << edit.Field(i)->text();
        return texts.join(u'|');
    }

    CIpAddressEdit edit;
};

TEST_F(IpAddressEditTest, DotsAndThirdDigitsMoveToTheNextField)
{
    Type("10.0.0.1");
    EXPECT_EQ(Fields(), "10|0|0|1");
    EXPECT_EQ(edit.GetAddress(), (10u << 24) + 1u);

    edit.Clear();
    edit.Field(0)->setFocus();
    Type("192168001020");
    EXPECT_EQ(edit.GetAddress(), (192u << 24) | (168u << 16) | (1u << 8) | 20u);
    EXPECT_EQ(QApplication::focusWidget(), edit.Field(3));

    // A dot in the last field goes nowhere and leaves the text alone.
    Type(".");
    EXPECT_EQ(edit.Field(3)->text(), "020");
}

TEST_F(IpAddressEditTest, ValuesAbove255AreRefused)
{
    Type("300");
    EXPECT_EQ(edit.Field(0)->text(), "30");
    EXPECT_EQ(QApplication::focusWidget(), edit.Field(0));
    Type("a-");
    EXPECT_EQ(edit.Field(0)->text(), "30");
    edit.Field(0)->clear();
    Type("255");
    EXPECT_EQ(edit.GetOctet(0), 255);
    EXPECT_EQ(QApplication::focusWidget(), edit.Field(1));
}

TEST_F(IpAddressEditTest, EmptyFieldsCountAsZero)
{
    EXPECT_TRUE(edit.IsBlank());
    EXPECT_EQ(edit.GetAddress(), 0u);
    Type("..7");
    EXPECT_EQ(Fields(), "||7|");
    EXPECT_EQ(edit.GetAddress(), 7u << 8);
}

TEST_F(IpAddressEditTest, BackspaceAtTheStartGoesBack)
{
    Type("12.34");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(QApplication::focusWidget(), edit.Field(1));
    EXPECT_TRUE(edit.Field(1)->text().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(QApplication::focusWidget(), edit.Field(0));
    // Back in the first field the cursor is at the end, so the next Backspace edits it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(edit.Field(0)->text(), "1");
}

TEST_F(IpAddressEditTest, SetAddressShowsMostSignificantFirst)
{
    edit.SetAddress(0xFFFFFFFFu);
    EXPECT_EQ(Fields(), "255|255|255|255");
    EXPECT_EQ(edit.GetAddress(), 0xFFFFFFFFu);
    edit.SetAddress(1);
    EXPECT_EQ(Fields(), "0|0|0|1");
}

} // namespace
