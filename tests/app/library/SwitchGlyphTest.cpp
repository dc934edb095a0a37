#include "app/library/SwitchGlyph.h"
#include "app/library/FixtureType.h"

#include <gtest/gtest.h>

namespace {

// Ten switches, bits 0..8 of the address on switches 1..9, switch 10 free.
CFixtureType TenSwitchPod()
{
    CFixtureType t;
    t.width = 1;
    t.height = 1;
    t.hasSwitch = true;
    t.switchStart = 1;
    t.switchEnd = 10;
    t.switchCount = 10;
    for (int j = 0; j < 9; ++j)
        t.dmxBit[j] = j + 1;
    return t;
}

bool KnobInFirstHalf(const CSwitchGlyphLayout& g, int number)
{
    const CSwitchKnob* k = FindFinalKnob(g, number);
    EXPECT_NE(k, nullptr) << "switch " << number;
    if (!k)
        return false;
    if (g.vertical)
        return k->knob.right <= k->body.left + k->body.Width() / 2 + 1;
    return k->knob.bottom <= k->body.top + k->body.Height() / 2 + 1;
}

const CGlyphRect kTarget { 10, 20, 250, 100 };

} // namespace

TEST(SwitchGlyph, AddressBitsSetKnobsOnTheOnSide)
{
    const CFixtureType pod = TenSwitchPod();
    const CSwitchGlyphLayout g = LayoutSwitchGlyph(pod, kTarget, 5);
    ASSERT_TRUE(g.visible);
    EXPECT_FALSE(g.vertical);
    ASSERT_EQ(g.cells.size(), 10u);
    // 5 = bits 0 and 2: switches 1 and 3 on (top), the rest of 1..9 off, 10 grey.
    for (int s = 1; s <= 9; ++s) {
        const bool on = s == 1 || s == 3;
        EXPECT_EQ(FindFinalKnob(g, s)->on, on) << s;
        EXPECT_EQ(KnobInFirstHalf(g, s), on) << s;
    }
    EXPECT_EQ(FindFinalKnob(g, 10), nullptr);
}

TEST(SwitchGlyph, BlockKeepsItsAspectAndSitsBottomRight)
{
    const CFixtureType pod = TenSwitchPod();
    const CSwitchGlyphLayout wide = LayoutSwitchGlyph(pod, kTarget, 0);
    // 240 x 80 target, 12 : 3 block: width-limited, 240 x 60 at the bottom.
    EXPECT_EQ(wide.block, (CGlyphRect { 10, 40, 250, 100 }));
    const CSwitchGlyphLayout tall = LayoutSwitchGlyph(pod, { 0, 0, 120, 300 }, 0);
    EXPECT_EQ(tall.block, (CGlyphRect { 0, 270, 120, 300 }));
    // The switch row starts after two label cells; the labels stack in that margin.
    EXPECT_EQ(wide.cells.front().body.left, wide.inner.left);
    EXPECT_LT(wide.onLabel.top, wide.offLabel.top);
    EXPECT_EQ(wide.fontHeight, 20 * 7 / 10);
}

TEST(SwitchGlyph, OperationsAndFixedSwitchesChangeTheSettings)
{
    CFixtureType pod = TenSwitchPod();
    CSwitchOperation add;
    add.Parse("add", "1");
    pod.operations.push_back(add);
    pod.fixedSwitches.push_back({ 10, true });
    const CSwitchGlyphLayout g = LayoutSwitchGlyph(pod, kTarget, 5);
    // Address 5 plus one is 6: bits 1 and 2.
    EXPECT_FALSE(FindFinalKnob(g, 1)->on);
    EXPECT_TRUE(FindFinalKnob(g, 2)->on);
    EXPECT_TRUE(FindFinalKnob(g, 3)->on);
    ASSERT_NE(FindFinalKnob(g, 10), nullptr);
    EXPECT_TRUE(FindFinalKnob(g, 10)->on);

    // A fixed setting drawn after the address bit wins on the same switch.
    pod.fixedSwitches = { { 1, true }, { 99, true }, { -1, false } };
    const CSwitchGlyphLayout fixed = LayoutSwitchGlyph(pod, kTarget, 0);
    EXPECT_TRUE(FindFinalKnob(fixed, 1)->on);
    EXPECT_EQ(fixed.knobs.size(), 10u); // nine bits, one fixed switch in range

    // An undefined tile shows no address (not 511): only the fixed switch is set.
    const CSwitchGlyphLayout undefined = LayoutSwitchGlyph(pod, kTarget, -1);
    ASSERT_EQ(undefined.knobs.size(), 1u);
    EXPECT_EQ(undefined.knobs[0].number, 1);
    EXPECT_EQ(FindFinalKnob(undefined, 2), nullptr);
}

TEST(SwitchGlyph, TopIsOnFalseMovesOnKnobsDown)
{
    CFixtureType pod = TenSwitchPod();
    pod.topIsOn = false;
    const CSwitchGlyphLayout g = LayoutSwitchGlyph(pod, kTarget, 5);
    EXPECT_FALSE(KnobInFirstHalf(g, 1));
    EXPECT_TRUE(KnobInFirstHalf(g, 2));
    EXPECT_GT(g.onLabel.top, g.offLabel.top);
}

TEST(SwitchGlyph, TallFixtureStandsUprightWithSwitchOneAtTheBottom)
{
    CFixtureType pod = TenSwitchPod();
    pod.width = 1;
    pod.height = 2;
    const CSwitchGlyphLayout g = LayoutSwitchGlyph(pod, { 0, 0, 60, 300 }, 5);
    ASSERT_TRUE(g.vertical);
    EXPECT_EQ(g.block.Width() * 12, g.block.Height() * 3);
    const CSwitchCell& first = g.cells.front();
    const CSwitchCell& second = g.cells[1];
    EXPECT_EQ(first.body.bottom, g.inner.bottom);
    EXPECT_GT(first.body.top, second.body.top);
    EXPECT_TRUE(KnobInFirstHalf(g, 1)); // on, topIsOn: the left half
    EXPECT_FALSE(KnobInFirstHalf(g, 2));
}

TEST(SwitchGlyph, NothingWithoutUsableSwitchOrRoom)
{
    CFixtureType none;
    EXPECT_FALSE(LayoutSwitchGlyph(none, kTarget, 5).visible);

    // An inverted target is normalised; a degenerate one gives empty cells, no crash.
    const CFixtureType pod = TenSwitchPod();
    const CSwitchGlyphLayout flipped = LayoutSwitchGlyph(pod, { 250, 100, 10, 20 }, 5);
    EXPECT_EQ(flipped.block, LayoutSwitchGlyph(pod, kTarget, 5).block);
    const CSwitchGlyphLayout tiny = LayoutSwitchGlyph(pod, { 0, 0, 3, 1 }, 5);
    EXPECT_EQ(tiny.cell, 0);
    EXPECT_EQ(tiny.fontHeight, 0);
}
