#pragma once

#include "view/SectionPaintState.h"
#include "view/ViewGeometry.h"

class QPainter;
class CSubDoc;
class CDrawToolkit;

// Draws the connection chains of a section for the screen or a printed page: lines or
// arrows, markers and the legend. The section painter decides the mode it draws in.
class CConnectionPainter {
public:
    // Below this the 10-pixel markers of the connections cover their neighbours; only
    // the lines are drawn.
    static constexpr int kMarkerTile = 10;

    struct CMode {
        bool tiny = false; // tiles of a few pixels: chains drawn as coloured cells
        bool paperCells = false; // printed as filled cells: only jumps and legend boxes
        int unitScale = 1;
        int activeUniverse = -1;
    };

    CConnectionPainter(const CSubDoc& section, const CViewLayout& layout,
        const CSectionPaintState& state, const CDrawToolkit& fonts, const CMode& mode);

    void Paint(QPainter& painter, const QRect& area, const CConnectionChains& chains) const;

private:
    void PaintTiny(QPainter& painter, const QRect& area, const CConnectionChains& chains) const;
    void PaintLegend(QPainter& painter, const QRect& area, const CConnectionChains& chains,
        size_t chain, const QPen& pen, const QBrush& markerFill) const;

    const CSubDoc& m_section;
    const CViewLayout& m_layout;
    const CSectionPaintState& m_state;
    const CDrawToolkit& m_fonts;
    CMode m_mode;
};
