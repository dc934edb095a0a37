#include "ViewTestSupport.h"

#include "app/library/FixtureType.h"
#include "view/SwitchGlyphPainter.h"

#include <gtest/gtest.h>

namespace {

CFixtureType Pod(bool topIsOn, int width = 1, int height = 1)
{
    CFixtureType t;
    t.width = width;
    t.height = height;
    t.hasSwitch = true;
    t.switchStart = 1;
    t.switchEnd = 10;
    t.switchCount = 10;
    t.topIsOn = topIsOn;
    for (int j = 0; j < 9; ++j)
        t.dmxBit[j] = j + 1;
    return t;
}

struct Drawn {
    QImage image;
    CSwitchGlyphLayout layout;
};

Drawn Draw(const CFixtureType& type, QRect target, int address)
{
    Drawn d;
    d.image = QImage(400, 400, QImage::Format_RGB32);
    d.image.fill(QColor(0, 0, 96));
    QPainter painter(&d.image);
    DrawSwitchGlyph(painter, type, target, address);
    d.layout = LayoutSwitchGlyph(type,
        { target.left(), target.top(), target.left() + target.width(),
            target.top() + target.height() },
        address);
    return d;
}

// Colour at the middle of the first (top or left) and the second half of a switch body.
std::pair<QColor, QColor> Halves(const Drawn& d, int number)
{
    const CSwitchKnob* k = FindFinalKnob(d.layout, number);
    if (!k)
        return {};
    const QRect b = ToQRect(k->body);
    if (d.layout.vertical)
        return { d.image.pixelColor(b.x() + b.width() / 4, b.center().y()),
            d.image.pixelColor(b.x() + b.width() * 3 / 4, b.center().y()) };
    return { d.image.pixelColor(b.center().x(), b.y() + b.height() / 4),
        d.image.pixelColor(b.center().x(), b.y() + b.height() * 3 / 4) };
}

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

} // namespace

TEST(SwitchGlyphPaint, KnobsShowAddressFiveOnSwitchesOneAndThree)
{
    const Drawn d = Draw(Pod(true), QRect(10, 10, 360, 120), 5);
    for (int s = 1; s <= 9; ++s) {
        const auto [top, bottom] = Halves(d, s);
        const bool on = s == 1 || s == 3;
        EXPECT_EQ(top, on ? kBlack : kWhite) << s;
        EXPECT_EQ(bottom, on ? kWhite : kBlack) << s;
    }
    // Switch 10 carries nothing: a grey cell.
    const QRect ten = ToQRect(d.layout.cells.back().body);
    EXPECT_EQ(d.image.pixelColor(ten.center()), QColor(150, 150, 150));
}

TEST(SwitchGlyphPaint, AddOperationFixedSwitchAndLowerOnSide)
{
    CFixtureType pod = Pod(false);
    CSwitchOperation add;
    add.Parse("add", "1");
    pod.operations.push_back(add);
    pod.fixedSwitches.push_back({ 10, true });
    const Drawn d = Draw(pod, QRect(10, 10, 360, 120), 5);
    // 6 = switches 2 and 3, ON at the bottom; switch 10 fixed ON.
    for (int s : { 2, 3, 10 }) {
        EXPECT_EQ(Halves(d, s).second, kBlack) << s;
        EXPECT_EQ(Halves(d, s).first, kWhite) << s;
    }
    EXPECT_EQ(Halves(d, 1).first, kBlack);
}

TEST(SwitchGlyphPaint, TallFixtureDrawsAnUprightBlock)
{
    const Drawn d = Draw(Pod(true, 1, 2), QRect(10, 10, 100, 380), 5);
    ASSERT_TRUE(d.layout.vertical);
    EXPECT_EQ(Halves(d, 1).first, kBlack); // left half is the ON side
    EXPECT_EQ(Halves(d, 2).second, kBlack); // off
    EXPECT_GT(d.layout.cells[0].body.top, d.layout.cells[9].body.top);
}

TEST(SwitchGlyphPaint, LabelsThatDoNotFitAreLeftOut)
{
    QImage image(200, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font("Arial");
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(Qt::black);
    DrawCentredText(painter, QRect(0, 0, 10, 40), false, QStringLiteral("OFF"));
    DrawCentredText(painter, QRect(20, 0, 100, 8), false, QStringLiteral("OFF"));
    EXPECT_EQ(CountNear(image, image.rect(), QColor(0, 0, 0), 200), 0);
    DrawCentredText(painter, QRect(0, 0, 100, 40), false, QStringLiteral("OFF"));
    EXPECT_GT(CountNear(image, QRect(0, 0, 100, 40), QColor(0, 0, 0), 200), 0);
    painter.end();

    // A tiny switch picture still draws its switches.
    const Drawn d = Draw(Pod(true), QRect(10, 10, 120, 30), 1);
    EXPECT_EQ(Halves(d, 1).first, kBlack);
}

TEST(SwitchGlyphPaint, ViewDrawsSwitchesOnlyWhenAskedFor)
{
    CViewTestDoc t;
    t.SetUp("FERROLUX_SWITCHPOD", 2, 1);
    CViewUnderTest v(t.doc);
    const QRect area = SwitchArea(v.view->RecomputeLayout().TileRect(1, 0).adjusted(2, 2, -2, -2));
    EXPECT_EQ(CountNear(v.Render(), area, kWhite, 3), 0);
    v.view->SetShowSwitches(true);
    EXPECT_GT(CountNear(v.Render(), area, kWhite, 3), 20);
}
