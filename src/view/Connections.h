#pragma once

#include "document/SubDoc.h"

#include <QPoint>
#include <QRect>
#include <array>
#include <cstdint>
#include <vector>

struct CViewLayout;

enum class ConnectionMode { Hidden, All, ActiveUniverse };
enum class ConnectionOrder { ByPosition, ByAddress };

// The connection chains of one section: per universe (ascending) the tiles in the order
// the data runs through them. Chains are never empty; chain k gets legend box k + 1.
struct CConnectionChains {
    struct Chain {
        int universe = 0;
        int begin = 0; // range in `tiles`
        int end = 0;
        // Tiles the chain touches: column and row ranges, both ends included.
        int firstColumn = 0;
        int lastColumn = -1;
        int firstRow = 0;
        int lastRow = -1;
    };
    std::vector<Chain> chains;
    std::vector<int> tiles; // tile indices, row-major (column + row * columns)
    struct Cell {
        int32_t column = 0;
        int32_t row = 0;
    };
    std::vector<Cell> cells; // the same tiles by column and row

    int LegendNumber(size_t chain) const { return static_cast<int>(chain) + 1; }
};

// Builds every chain in one sweep over the tiles. Tiles that are excluded or have no
// universe take no part. By address, the order equals repeated CSubDoc::NextTileOfUniverse
// calls: tiles of one address follow each other, tiles beyond `highestAddress` are left out.
CConnectionChains BuildConnectionChains(const std::vector<CTileRecord>& tiles, int columns,
    int rows, int highestAddress, ConnectionOrder order);
CConnectionChains BuildConnectionChains(const CSubDoc& section, ConnectionOrder order);

// Centre of a tile rectangle, where lines and markers meet.
QPoint TileCentre(const QRect& tile);
// The 10-unit marker circle around a centre. Pages drawn in finer units pass their unit
// scale, so that markers, arrowheads and insets keep their size on paper.
QRect MarkerRect(QPoint centre, int unitScale = 1);

// A cubic Bezier from the previous tile to the next, sagging by `bulge`, with its head.
struct CCurvedArrow {
    QPoint p0, p1, p2, p3;
    std::array<QPoint, 3> head; // tip at p3
    bool hasHead = false;
};
CCurvedArrow ComputeCurvedArrow(QPoint from, QPoint to, int bulge, int unitScale = 1);

// Legend box of the n-th chain (n from 1) and the wire to the chain's first tile.
struct CLegendEntry {
    QRect box; // outlined and filled
    QRect labelArea; // label only when it fits here
    QPoint boxTop; // marker and start of the wire
    int laneY = 0;
    int attachX = 0;
    QPoint turn; // where the wire leaves the column at 45 degrees
    QPoint firstCentre;
};
CLegendEntry ComputeLegendEntry(const CViewLayout& layout, int n, int universes, int firstColumn,
    int firstRow, int unitScale = 1);
