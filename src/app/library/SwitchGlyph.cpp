#include "app/library/SwitchGlyph.h"

#include "app/library/FixtureType.h"

#include <algorithm>
#include <cstdint>

namespace {

// The glyph works on 64-bit intermediates: printer pages use large device units.
int Scaled(long long value, long long mul, long long div)
{
    return div == 0 ? 0 : static_cast<int>(value * mul / div);
}

CGlyphRect Normalised(CGlyphRect r)
{
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

CGlyphRect SwitchBody(const CSwitchGlyphLayout& g, int k)
{
    const CGlyphRect& in = g.inner;
    if (g.vertical)
        return { in.left + in.Width() / 3, in.bottom - g.cell * (k + 1), in.right,
            in.bottom - g.cell * k };
    return { in.left + g.cell * k, in.top + in.Height() / 3, in.left + g.cell * (k + 1),
        in.bottom };
}

CSwitchKnob MakeKnob(const CSwitchGlyphLayout& g, const CFixtureType& type, int number, bool on)
{
    CSwitchKnob knob;
    knob.number = number;
    knob.on = on;
    knob.body = SwitchBody(g, number - type.switchStart);
    const CGlyphRect& b = knob.body;
    const int dx = Scaled(b.Width(), 5, 100);
    const int dy = Scaled(b.Height(), 5, 100);
    CGlyphRect area { b.left + dx, b.top + dy, b.right - dx, b.bottom - dy };
    // The knob sits on the side the switch is pushed to; topIsOn says where ON is.
    const bool firstHalf = type.topIsOn == on;
    if (g.vertical) {
        const int mid = area.left + area.Width() / 2;
        if (firstHalf)
            area.right = mid;
        else
            area.left = mid;
    } else {
        const int mid = area.top + area.Height() / 2;
        if (firstHalf)
            area.bottom = mid;
        else
            area.top = mid;
    }
    knob.knob = area;
    return knob;
}

} // namespace

CSwitchGlyphLayout LayoutSwitchGlyph(const CFixtureType& type, CGlyphRect target, int address)
{
    CSwitchGlyphLayout g;
    if (!type.hasSwitch || type.switchCount < 1)
        return g;
    const CGlyphRect r = Normalised(target);
    const long long n = type.switchCount;
    const long long rw = r.Width();
    const long long rh = r.Height();
    g.vertical = type.height > type.width;

    // Largest block of the grid's aspect ratio that fits, placed bottom right.
    const long long along = n + 2;
    const long long ratioW = g.vertical ? 3 : along;
    const long long ratioH = g.vertical ? along : 3;
    long long bw = 0;
    long long bh = 0;
    if (rw * ratioH > rh * ratioW) {
        bh = rh;
        bw = rh * ratioW / ratioH;
    } else {
        bw = rw;
        bh = rw * ratioH / ratioW;
    }
    g.block
        = { r.right - static_cast<int>(bw), r.bottom - static_cast<int>(bh), r.right, r.bottom };
    const CGlyphRect& b = g.block;

    const int mx = Scaled(b.Width(), 5, 100);
    const int my = Scaled(b.Height(), 5, 100);
    g.inner = { b.left + mx, b.top + my, b.right - mx, b.bottom - my };
    const int length = g.vertical ? g.inner.Height() : g.inner.Width();
    g.cell = std::abs(length / static_cast<int>(along));
    if (g.vertical)
        g.inner.bottom -= 2 * g.cell;
    else
        g.inner.left += 2 * g.cell;

    if (g.vertical) {
        const int top = b.bottom - Scaled(b.Height(), 2, along);
        const int third = b.Width() / 3;
        const int first = b.left + Scaled(b.Width(), 1, 3);
        const int second = b.left + Scaled(b.Width(), 2, 3);
        g.onLabel = { type.topIsOn ? first : second, top, 0, b.bottom };
        g.offLabel = { type.topIsOn ? second : first, top, 0, b.bottom };
        g.onLabel.right = g.onLabel.left + third;
        g.offLabel.right = g.offLabel.left + third;
        g.fontHeight = Scaled(b.Height() / along, 7, 10);
    } else {
        const int right = b.left + Scaled(b.Height(), 2, 3);
        const int third = b.Height() / 3;
        const int first = b.top + Scaled(b.Height(), 1, 3);
        const int second = b.top + Scaled(b.Height(), 2, 3);
        g.onLabel = { b.left, type.topIsOn ? first : second, right, 0 };
        g.offLabel = { b.left, type.topIsOn ? second : first, right, 0 };
        g.onLabel.bottom = g.onLabel.top + third;
        g.offLabel.bottom = g.offLabel.top + third;
        g.fontHeight = Scaled(b.Height() / 3, 7, 10);
    }

    g.cells.reserve(static_cast<size_t>(n));
    for (int k = 0; k < static_cast<int>(n); ++k) {
        CSwitchCell c;
        c.number = type.switchStart + k;
        c.body = SwitchBody(g, k);
        if (g.vertical)
            c.numberArea = { g.inner.left, c.body.top, c.body.left, c.body.bottom };
        else
            c.numberArea = { c.body.left, g.inner.top, c.body.right, c.body.top };
        g.cells.push_back(c);
    }

    auto inRange = [&](int s) { return s >= 0 && s >= type.switchStart && s <= type.switchEnd; };
    // A tile without an address has no setting to show: -1 would read as all bits set and
    // send an installer to set address 511. Its address switches stay grey.
    if (address >= 0) {
        const uint32_t value = type.SwitchValue(static_cast<uint32_t>(address));
        for (int j = 0; j < 9; ++j) {
            const int s = type.dmxBit[j];
            if (inRange(s))
                g.knobs.push_back(MakeKnob(g, type, s, (value & (1u << j)) != 0));
        }
    }
    for (const CFixedSwitch& f : type.fixedSwitches) {
        if (inRange(f.position))
            g.knobs.push_back(MakeKnob(g, type, f.position, f.on));
    }
    g.visible = true;
    return g;
}

const CSwitchKnob* FindFinalKnob(const CSwitchGlyphLayout& layout, int number)
{
    const CSwitchKnob* found = nullptr;
    for (const CSwitchKnob& k : layout.knobs) {
        if (k.number == number)
            found = &k;
    }
    return found;
}
