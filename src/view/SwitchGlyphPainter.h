#pragma once

#include "app/library/SwitchGlyph.h"

#include <QRect>
#include <QString>

class QPainter;
class CFixtureType;

// Draws a fixture's DIP-switch block as LayoutSwitchGlyph laid it out.
void DrawSwitchGlyph(QPainter& painter, const CFixtureType& type, const QRect& target, int address);
void DrawSwitchGlyph(QPainter& painter, const CFixtureType& type, const CSwitchGlyphLayout& layout);

// Text centred in `area`, reading upwards when vertical; left out when it does not fit
// along the reading direction.
void DrawCentredText(QPainter& painter, const QRect& area, bool vertical, const QString& text);

inline QRect ToQRect(const CGlyphRect& r)
{
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
