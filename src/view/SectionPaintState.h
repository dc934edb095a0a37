#pragma once

#include "view/Connections.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <functional>

enum class TileMode { Toggle, MoveEdit };

// The colours of the matrix view on screen.
namespace ViewColours {
inline const QColor Background(0, 0, 96);
inline const QColor TileBody(100, 100, 128);
inline const QColor Excluded(0, 0, 0);
inline const QColor FirstAddressEdge(255, 255, 255);
inline const QColor ItemDefinedOdd(100, 130, 128);
inline const QColor ItemDefinedEven(130, 100, 128);
inline const QColor ItemUndefinedOdd(240, 180, 128);
inline const QColor ItemUndefinedEven(240, 100, 128);
inline const QColor ItemText(192, 192, 192);
inline const QColor TileText(255, 255, 255);
inline const QColor Conflict(255, 120, 100);
inline const QColor HeaderTitle(255, 255, 255);
inline const QColor HeaderDetail(191, 181, 231);
inline const QColor EmptyTitle(100, 100, 128);
inline const QColor ChainActivePosition(187, 255, 113);
inline const QColor ChainActiveAddress(255, 202, 78);
inline const QColor ChainOtherPosition(0, 180, 0);
inline const QColor ChainOtherAddress(230, 60, 60);
inline const QColor LegendOutline(100, 20, 30);
inline const QColor LegendFill(157, 45, 68);
} // namespace ViewColours

// Fonts and pens of a printed page, made per page by the printing code.
struct CPrintResources {
    QFont addressFont;
    QFont firstAddressFont; // bold, underlined
    QFont labelFont;
    QFont legendFont;
    bool rotatedAddresses = false; // tiles higher than wide print their address upwards
    QPen pen1 { Qt::black, 1 };
    QPen pen2 { Qt::black, 2 };
    QPen pen3 { Qt::black, 3 };
    // Small matrices print in finer units; fixed sizes (markers, arrowheads, insets) are
    // multiplied by this so they keep their size next to the scaled pens.
    int unitScale = 1;
    // Tiles of a few printer dots print as filled cells, as tiny tiles do on screen: their
    // outlines would merge into a grey blur that takes minutes and gigabytes to put out.
    bool filledCells = false;
    // Addresses in a font smaller than a printer can form are left out.
    bool addresses = true;
};

// Shades of the filled cells on paper.
namespace PrintCellColours {
inline const QColor Tile(128, 128, 128);
inline const QColor FirstAddress(0, 0, 0);
inline const QColor Undefined(208, 208, 208);
inline const QColor Excluded(255, 255, 255);
} // namespace PrintCellColours

// What the view contributes to a drawing pass besides the section itself.
struct CSectionPaintState {
    bool printing = false;
    const CPrintResources* print = nullptr; // required when printing
    bool showSwitches = false;
    ConnectionMode connectionMode = ConnectionMode::Hidden;
    ConnectionOrder connectionOrder = ConnectionOrder::ByPosition;
    TileMode tileMode = TileMode::Toggle;
    int focusColumn = 0;
    int focusRow = 0;
    bool dragging = false;
    // Told after each row of tiles drawn (printing large sections reports progress).
    std::function<void(int row)> rowPainted;
};

// A picture of `size` kept for the next paint of the same size: tiny tiles are drawn
// through such pictures on every paint, and fresh memory of that size costs more than the
// drawing. `slot` tells the users apart. Painting thread only; a painter that keeps the
// picture (a preview, a PDF) shares it and the next use makes its own copy.
QImage& ScratchImage(int slot, QSize size, QImage::Format format);
