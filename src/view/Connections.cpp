#include "view/Connections.h"

#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

CConnectionChains BuildConnectionChains(const CSubDoc& section, ConnectionOrder order)
{
    return BuildConnectionChains(section.Tiles(), section.GetTileColumns(), section.GetTileRows(),
        section.setup.addr_count, order);
}

QPoint TileCentre(const QRect& tile)
{
    return QPoint(tile.x() + tile.width() / 2, tile.y() + tile.height() / 2);
}

QRect MarkerRect(QPoint centre, int unitScale)
{
    const int s = std::max(unitScale, 1);
    return QRect(centre.x() - 5 * s, centre.y() - 5 * s, 10 * s, 10 * s);
}

CCurvedArrow ComputeCurvedArrow(QPoint from, QPoint to, int bulge, int unitScale)
{
    CCurvedArrow a;
    const int h = (to.x() - from.x()) / 10;
    int b = bulge;
    if (b == 0)
        b = std::abs(h) * 5;
    int startOffset = h;
    int endOffset = h;
    if (std::abs(h) < 2) {
        startOffset = std::abs(b);
        endOffset = -std::abs(b);
    }
    a.p0 = from;
    a.p1 = QPoint(from.x() + startOffset, from.y() + b);
    a.p2 = QPoint(to.x() - endOffset, to.y() + b);
    a.p3 = to;

    double dx = a.p2.x() - a.p3.x();
    double dy = a.p2.y() - a.p3.y();
    if (dx == 0 && dy == 0) {
        dx = a.p0.x() - a.p3.x();
        dy = a.p0.y() - a.p3.y();
    }
    const double len = std::hypot(dx, dy);
    if (len > 0) {
        dx /= len;
        dy /= len;
        const double length = 10.0 * std::max(unitScale, 1);
        const double side = length / 2;
        const double bx = a.p3.x() + length * dx;
        const double by = a.p3.y() + length * dy;
        a.head[0] = a.p3;
        a.head[1] = QPoint(static_cast<int>(std::lround(bx - side * dy)),
            static_cast<int>(std::lround(by + side * dx)));
        a.head[2] = QPoint(static_cast<int>(std::lround(bx + side * dy)),
            static_cast<int>(std::lround(by - side * dx)));
        a.hasHead = true;
    }
    return a;
}

CLegendEntry ComputeLegendEntry(
    const CViewLayout& layout, int n, int universes, int firstColumn, int firstRow, int unitScale)
{
    CLegendEntry e;
    const int w = layout.half.width();
    const int q = layout.legendUnit;
    const int m = layout.MatrixBottom();
    const int u = std::max(universes, 1);
    const QRect square(layout.origin.x() + (n - 1) * w, m + 4 * q + (u - 1) * q, w, w);
    const int d5 = w * 5 / 100;
    const int d6 = w * 6 / 100;
    e.box = square.adjusted(d5, d5, -d5, -d5);
    e.labelArea = square.adjusted(d6, d6, -d6, -d6);
    e.boxTop = QPoint(e.box.x() + e.box.width() / 2, e.box.y());
    e.laneY = m + 2 * q + (n - 1) * q;

    const QRect first = layout.TileRect(firstColumn, firstRow);
    const int rows = std::max(layout.tileRows, 1);
    // The wire keeps clear of the tile's outline by the same share on a finer page.
    const int s = std::max(unitScale, 1);
    if (first.width() < 10 * s)
        e.attachX = first.x() + firstRow * (first.width() / rows);
    else
        e.attachX = first.x() + 5 * s + firstRow * ((first.width() - 10 * s) / rows);
    e.firstCentre = TileCentre(first);
    e.turn = QPoint(e.attachX, e.firstCentre.y() + std::abs(e.attachX - e.firstCentre.x()));
    return e;
}
