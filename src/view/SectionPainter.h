#pragma once

#include "view/SectionPaintState.h"
#include "view/ViewGeometry.h"

class QPainter;
class CQuiltmarkDoc;
class CSubDoc;
class CFixtureType;
class CDrawToolkit;

// Draws one section for the screen or a printed page. The layout is in painter
// coordinates (already shifted by the scroll position); `area` is the part to paint, and
// only tiles that meet it are drawn.
class CSectionPainter {
public:
    // Tiles smaller than this show no body on screen (the 2-pixel gaps eat them), so they
    // are drawn as one block per tile instead.
    static constexpr int kTinyTile = 5;

    CSectionPainter(const CQuiltmarkDoc& doc, const CSubDoc& section, int sectionNumber,
        const CViewLayout& layout, const CSectionPaintState& state);

    bool IsTiny() const;
    // The whole pass in its order: header, labels, tiles, addresses, marks, connections.
    void PaintAll(QPainter& painter, const QRect& area, const CConnectionChains* chains) const;

    void PaintHeader(QPainter& painter) const;
    void PaintLabels(QPainter& painter, const QRect& area) const;
    void PaintTiles(QPainter& painter, const QRect& area) const;
    void PaintTileAddresses(QPainter& painter, const QRect& area) const;
    void PaintSelectionMarks(QPainter& painter, const QRect& area) const;
    void PaintConnections(
        QPainter& painter, const QRect& area, const CConnectionChains& chains) const;

    // Universe whose chain is highlighted: the focus tile's, or -1.
    int ActiveUniverse() const;

private:
    // Page units per unit of the fixed sizes: 1 on screen.
    int UnitScale() const;
    void PaintTinyTiles(QPainter& painter, const CTileRange& range) const;
    bool PrintsCells() const;
    void PaintTile(QPainter& painter, int column, int row, const QRect& area) const;
    void PaintItemCells(QPainter& painter, int column, int row, const QRect& body) const;
    void PaintPrintedAddress(QPainter& painter, const QRect& tile, int universe, int address) const;

    const CQuiltmarkDoc& m_doc;
    const CSubDoc& m_section;
    int m_sectionNumber;
    const CViewLayout& m_layout;
    const CSectionPaintState& m_state;
    const CFixtureType* m_type;
    const CDrawToolkit& m_fonts;
    int m_across;
    int m_down;
};

// The toolkit fonts, creating the toolkit when nothing did yet (tests, benchmarks).
const CDrawToolkit& ViewFonts();
