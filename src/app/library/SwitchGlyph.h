#pragma once

#include <string>
#include <vector>

class CFixtureType;

// Rectangle in device units of the drawing surface; right and bottom are exclusive.
struct CGlyphRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const CGlyphRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// One DIP switch of the block: its number, the grey cell, and where its number is written.
struct CSwitchCell {
    int number = 0;
    CGlyphRect body;
    CGlyphRect numberArea;
};

// A switch that shows a setting: white body with a black knob at the ON or OFF side.
struct CSwitchKnob {
    int number = 0;
    bool on = false;
    CGlyphRect body;
    CGlyphRect knob;
};

// Everything needed to draw a fixture's switch block; no drawing surface involved, so
// the printer and the screen get the same picture and tests can check it directly.
struct CSwitchGlyphLayout {
    bool visible = false; // false: the fixture has no usable switch
    bool vertical = false;
    CGlyphRect block;
    CGlyphRect inner; // switch row area, after the label margin was cut off
    int cell = 0; // size of one switch along the row
    CGlyphRect onLabel;
    CGlyphRect offLabel;
    int fontHeight = 0;
    std::vector<CSwitchCell> cells;
    // In drawing order: address bits first, then fixed switches (which may repeat a number).
    std::vector<CSwitchKnob> knobs;
};

// Lays out the switch block of `type` inside `target` for the tile's zero-based address;
// a negative (undefined) address sets only the fixed switches.
CSwitchGlyphLayout LayoutSwitchGlyph(const CFixtureType& type, CGlyphRect target, int address);

// The knob of switch `number` as drawn last (fixed settings win over address bits).
const CSwitchKnob* FindFinalKnob(const CSwitchGlyphLayout& layout, int number);
