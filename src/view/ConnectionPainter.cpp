#include "view/ConnectionPainter.h"

#include "document/section/SubDoc.h"
#include "shell/toolkit/DrawToolkit.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>

namespace {

struct ChainStyle {
    QPen pen;
    QBrush fill;
    bool visible = true;
};

QRect Bounds(std::initializer_list<QPoint> points, int margin)
{
    int l = points.begin()->x(), r = l, t = points.begin()->y(), b = t;
    for (const QPoint& p : points) {
        l = std::min(l, p.x());
        r = std::max(r, p.x());
        t = std::min(t, p.y());
        b = std::max(b, p.y());
    }
    return QRect(QPoint(l - margin, t - margin), QPoint(r + margin, b + margin));
}

// The arrow as the front view bends it, taken to the rear view's side: a nearly vertical
// link then bulges the mirrored way too.
CCurvedArrow ArrowBetween(const CViewLayout& layout, QPoint from, QPoint to, int bulge, int s)
{
    CCurvedArrow a = ComputeCurvedArrow(layout.Mirrored(from), layout.Mirrored(to), bulge, s);
    for (QPoint* p : { &a.p0, &a.p1, &a.p2, &a.p3 })
        *p = layout.Mirrored(*p);
    for (QPoint& p : a.head)
        p = layout.Mirrored(p);
    return a;
}

// The legend of the front view, mirrored whole in the rear view; the wire still ends on
// the centre of the tile as it is drawn.
CLegendEntry LegendEntryFor(
    const CViewLayout& layout, int n, int universes, int firstColumn, int firstRow, int s)
{
    if (!layout.rear)
        return ComputeLegendEntry(layout, n, universes, firstColumn, firstRow, s);
    CLegendEntry e = ComputeLegendEntry(layout.Front(), n, universes, firstColumn, firstRow, s);
    e.box = layout.Mirrored(e.box);
    e.labelArea = layout.Mirrored(e.labelArea);
    e.boxTop = QPoint(e.box.x() + e.box.width() / 2, e.box.y());
    e.attachX = layout.MirrorX(e.attachX);
    e.firstCentre = TileCentre(layout.TileRect(firstColumn, firstRow));
    e.turn = QPoint(e.attachX, e.firstCentre.y() + std::abs(e.attachX - e.firstCentre.x()));
    return e;
}

} // namespace

CConnectionPainter::CConnectionPainter(const CSubDoc& section, const CViewLayout& layout,
    const CSectionPaintState& state, const CDrawToolkit& fonts, const CMode& mode)
    : m_section(section)
    , m_layout(layout)
    , m_state(state)
    , m_fonts(fonts)
    , m_mode(mode)
{
}

void CConnectionPainter::Paint(
    QPainter& painter, const QRect& area, const CConnectionChains& chains) const
{
    if (m_state.connectionMode == ConnectionMode::Hidden || chains.chains.empty())
        return;
    if (m_mode.tiny || m_mode.paperCells) {
        PaintTiny(painter, area, chains);
        return;
    }
    const bool byAddress = m_state.connectionOrder == ConnectionOrder::ByAddress;
    const int active = m_mode.activeUniverse;
    const bool markers = m_state.printing
        || (m_layout.tile.width() >= kMarkerTile && m_layout.tile.height() >= kMarkerTile);
    const int bulge = m_layout.tile.height() / 2;
    const int s = m_mode.unitScale;
    // Lines and curves of a chain stay within a tile (plus the marker) around its tiles.
    const int margin = std::max(m_layout.tile.width(), m_layout.tile.height()) + 12 * s;
    const CTileRange reach = m_layout.VisibleTiles(area.adjusted(-margin, -margin, margin, margin));

    // Two styles serve every chain; making pens per chain costs more than drawing on a
    // section of many universes.
    ChainStyle activeStyle;
    ChainStyle otherStyle;
    for (ChainStyle* style : { &activeStyle, &otherStyle }) {
        const bool isActive = style == &activeStyle;
        if (!isActive && m_state.connectionMode == ConnectionMode::ActiveUniverse) {
            style->visible = false;
            style->pen = Qt::NoPen;
            style->fill = Qt::NoBrush;
        } else {
            const QColor colour = isActive
                ? (byAddress ? ViewColours::ChainActiveAddress : ViewColours::ChainActivePosition)
                : (byAddress ? ViewColours::ChainOtherAddress : ViewColours::ChainOtherPosition);
            style->pen = m_state.printing && m_state.print ? m_state.print->pen3 : QPen(colour, 2);
            style->fill = QBrush(Qt::white);
        }
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (size_t k = 0; k < chains.chains.size(); ++k) {
        const CConnectionChains::Chain& chain = chains.chains[k];
        const bool isActive = chain.universe == active;
        const ChainStyle& style = isActive ? activeStyle : otherStyle;
        const bool inReach = !reach.IsEmpty() && chain.lastColumn >= reach.firstColumn
            && chain.firstColumn <= reach.lastColumn && chain.lastRow >= reach.firstRow
            && chain.firstRow <= reach.lastRow;
        if (style.visible && inReach) {
            painter.setPen(style.pen);
            painter.setBrush(style.fill);
            QPoint previous;
            for (int i = chain.begin; i < chain.end; ++i) {
                const CConnectionChains::Cell& cell = chains.cells[static_cast<size_t>(i)];
                const QPoint centre = TileCentre(m_layout.TileRect(cell.column, cell.row));
                const QRect marker = MarkerRect(centre, s);
                const bool markerShown
                    = markers && marker.adjusted(-2 * s, -2 * s, 2 * s, 2 * s).intersects(area);
                // By position the line arrives before the marker; by address the marker
                // comes first and the arrow head is drawn onto it.
                if (byAddress && markerShown)
                    painter.drawEllipse(marker);
                if (i > chain.begin) {
                    if (byAddress) {
                        const CCurvedArrow a = ArrowBetween(m_layout, previous, centre, bulge, s);
                        if (Bounds({ a.p0, a.p1, a.p2, a.p3 }, 12 * s).intersects(area)) {
                            QPainterPath path(a.p0);
                            path.cubicTo(a.p1, a.p2, a.p3);
                            painter.setBrush(Qt::NoBrush);
                            painter.drawPath(path);
                            if (a.hasHead) {
                                painter.setBrush(style.pen.color());
                                painter.drawPolygon(a.head.data(), 3);
                            }
                            painter.setBrush(style.fill);
                        }
                    } else if (Bounds({ previous, centre }, 2 * s).intersects(area)) {
                        painter.drawLine(previous, centre);
                    }
                }
                if (!byAddress && markerShown)
                    painter.drawEllipse(marker);
                previous = centre;
            }
        }
        PaintLegend(painter, area, chains, k, style.pen, style.fill);
    }
    painter.restore();
}

void CConnectionPainter::PaintLegend(QPainter& painter, const QRect& area,
    const CConnectionChains& chains, size_t chain, const QPen& pen, const QBrush& markerFill) const
{
    const CConnectionChains::Chain& c = chains.chains[chain];
    const CConnectionChains::Cell& first = chains.cells[static_cast<size_t>(c.begin)];
    const int s = m_mode.unitScale;
    const CLegendEntry e = LegendEntryFor(m_layout, chains.LegendNumber(chain),
        m_section.GetUniverseCount(), first.column, first.row, s);

    if (e.box.intersects(area)) {
        if (m_state.printing && m_state.print) {
            painter.setPen(m_state.print->pen3);
            painter.setBrush(Qt::white);
        } else {
            painter.setPen(QPen(ViewColours::LegendOutline, 2));
            painter.setBrush(ViewColours::LegendFill);
        }
        painter.drawRect(e.box);
    }

    if (pen.style() != Qt::NoPen
        && Bounds({ e.boxTop, QPoint(e.boxTop.x(), e.laneY), QPoint(e.attachX, e.laneY), e.turn,
                      e.firstCentre },
            8 * s)
               .intersects(area)) {
        painter.setPen(pen);
        painter.setBrush(markerFill);
        painter.drawLine(e.boxTop, QPoint(e.boxTop.x(), e.laneY));
        painter.drawEllipse(MarkerRect(e.boxTop, s));
        painter.drawLine(QPoint(e.boxTop.x(), e.laneY), QPoint(e.attachX, e.laneY));
        painter.drawLine(QPoint(e.attachX, e.laneY), e.turn);
        painter.drawLine(e.turn, e.firstCentre);
    }

    if (!e.labelArea.intersects(area))
        return;
    if (m_state.printing && m_state.print) {
        painter.setFont(m_state.print->legendFont);
        painter.setPen(Qt::black);
    } else {
        painter.setFont(m_fonts.GetFont(CDrawToolkit::SMALL));
        painter.setPen(Qt::white);
    }
    const QString label = UniverseLabel(c.universe);
    const QFontMetrics fm = painter.fontMetrics();
    if (fm.horizontalAdvance(label) <= e.labelArea.width() && fm.height() <= e.labelArea.height())
        painter.drawText(e.labelArea, Qt::AlignCenter | Qt::TextSingleLine, label);
}

void CConnectionPainter::PaintTiny(
    QPainter& painter, const QRect& area, const CConnectionChains& chains) const
{
    // At a few pixels per tile a chain is drawn as its tiles in the chain colour, plus a
    // line wherever it jumps to a tile that is not a neighbour; markers and the legend
    // wiring would only cover the matrix. Paper has one ink: the cells already show the
    // tiles, so only the jumps and the legend boxes are added.
    const bool paper = m_mode.paperCells;
    const CTileRange range = m_layout.VisibleTiles(area);
    const bool byAddress = m_state.connectionOrder == ConnectionOrder::ByAddress;
    const int active = m_mode.activeUniverse;
    const QRgb activeColour = paper
        ? qRgb(0, 0, 0)
        : (byAddress ? ViewColours::ChainActiveAddress : ViewColours::ChainActivePosition).rgb();
    const QRgb otherColour = paper
        ? qRgb(0, 0, 0)
        : (byAddress ? ViewColours::ChainOtherAddress : ViewColours::ChainOtherPosition).rgb();
    QImage none;
    QImage& image = range.IsEmpty() || paper
        ? none
        : ScratchImage(1,
              QSize(range.lastColumn - range.firstColumn + 1, range.lastRow - range.firstRow + 1),
              QImage::Format_ARGB32_Premultiplied);
    if (!image.isNull())
        image.fill(Qt::transparent);
    // Written directly: QImage's pixel accessors check and detach on every call.
    uchar* pixels = image.isNull() ? nullptr : image.bits();
    const qsizetype stride = image.isNull() ? 0 : image.bytesPerLine();
    std::vector<QLine> activeJumps;
    std::vector<QLine> otherJumps;
    for (const CConnectionChains::Chain& chain : chains.chains) {
        const bool isActive = chain.universe == active;
        if (!isActive && m_state.connectionMode == ConnectionMode::ActiveUniverse)
            continue;
        if (range.IsEmpty() || chain.lastColumn < range.firstColumn
            || chain.firstColumn > range.lastColumn || chain.lastRow < range.firstRow
            || chain.firstRow > range.lastRow)
            continue;
        const QRgb colour = (isActive ? activeColour : otherColour) | 0xff000000u;
        std::vector<QLine>& jumps = isActive ? activeJumps : otherJumps;
        int previousColumn = 0;
        int previousRow = 0;
        for (int i = chain.begin; i < chain.end; ++i) {
            const int row = chains.cells[static_cast<size_t>(i)].row;
            const int column = chains.cells[static_cast<size_t>(i)].column;
            if (pixels && row >= range.firstRow && row <= range.lastRow
                && column >= range.firstColumn && column <= range.lastColumn)
                reinterpret_cast<QRgb*>(pixels
                    + (row - range.firstRow) * stride)[m_layout.rear ? range.lastColumn - column
                                                                     : column - range.firstColumn]
                    = colour;
            if (i > chain.begin
                && (std::abs(column - previousColumn) > 1 || std::abs(row - previousRow) > 1)) {
                const QPoint a = TileCentre(m_layout.TileRect(previousColumn, previousRow));
                const QPoint b = TileCentre(m_layout.TileRect(column, row));
                if (Bounds({ a, b }, 1).intersects(area))
                    jumps.emplace_back(a, b);
            }
            previousColumn = column;
            previousRow = row;
        }
    }
    painter.save();
    if (!image.isNull()) {
        const QRect first = m_layout.TileRect(range.firstColumn, range.firstRow)
                                .united(m_layout.TileRect(range.lastColumn, range.firstRow));
        painter.drawImage(QRect(first.topLeft(),
                              QSize(image.width() * m_layout.tile.width(),
                                  image.height() * m_layout.tile.height())),
            image);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor::fromRgb(otherColour), 0));
    painter.drawLines(otherJumps.data(), static_cast<int>(otherJumps.size()));
    painter.setPen(QPen(QColor::fromRgb(activeColour), 0));
    painter.drawLines(activeJumps.data(), static_cast<int>(activeJumps.size()));

    // Legend boxes stay, as small as they are, so the universes can still be counted.
    const QColor boxColour = paper ? QColor(Qt::black) : ViewColours::LegendFill;
    const int w = m_layout.half.width();
    const int q = m_layout.legendUnit;
    const int top = m_layout.MatrixBottom() + 4 * q + (m_section.GetUniverseCount() - 1) * q;
    if (w > 0
        && area.intersects(m_layout.Mirrored(
            QRect(m_layout.origin.x(), top, w * static_cast<int>(chains.chains.size()), w)))) {
        const int d = paper ? w * 5 / 100 : 0;
        for (size_t k = 0; k < chains.chains.size(); ++k) {
            const QRect box = m_layout.Mirrored(
                QRect(m_layout.origin.x() + static_cast<int>(k) * w, top, w, w));
            if (box.intersects(area))
                painter.fillRect(box.adjusted(d, d, -d, -d), boxColour);
        }
    }
    painter.restore();
}
