#pragma once

#include "document/section/ConnectionChains.h"
#include "document/section/SubDoc.h"

#include <QPoint>
#include <QRect>
#include <array>

struct CViewLayout;

enum class ConnectionMode { Hidden, All, ActiveUniverse };

// The chains of a section as it is now.
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
