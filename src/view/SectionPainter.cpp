#include "view/SectionPainter.h"

#include "app/library/FixtureType.h"
#include "document/QuiltmarkDoc.h"
#include "shell/toolkit/DrawToolkit.h"
#include "shell/toolkit/ModelText.h"
#include "view/ConnectionPainter.h"
#include "view/SwitchGlyphPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

const QString kWidestAddress = QStringLiteral("U999.999");

void TextAt(QPainter& painter, int x, int y, const QString& text)
{
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

QSize TextSize(const QFontMetrics& fm, const QString& text)
{
    return QSize(fm.horizontalAdvance(text), fm.height());
}

// Inverts the pixels under `r`, as selection marks always did on screen.
void InvertRect(QPainter& painter, const QRect& r)
{
    if (r.isEmpty())
        return;
    const QPainter::CompositionMode previous = painter.compositionMode();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(r, Qt::white);
    painter.setCompositionMode(previous);
}

long long ChannelKey(int universe, int address)
{
    return static_cast<long long>(universe) * 512 + address;
}

} // namespace

const CDrawToolkit& ViewFonts()
{
    CDrawToolkit* toolkit = CDrawToolkit::Instance();
    if (!toolkit) {
        toolkit = CDrawToolkit::Create();
        toolkit->CreateAllFonts();
    }
    return *toolkit;
}

CSectionPainter::CSectionPainter(const CQuiltmarkDoc& doc, const CSubDoc& section,
    int sectionNumber, const CViewLayout& layout, const CSectionPaintState& state)
    : m_doc(doc)
    , m_section(section)
    , m_sectionNumber(sectionNumber)
    , m_layout(layout)
    , m_state(state)
    , m_type(doc.GetFixtureType(section))
    , m_fonts(ViewFonts())
{
    const int columns = section.GetTileColumns();
    const int rows = section.GetTileRows();
    m_across = columns > 0 ? std::max(section.GetItemColumns() / columns, 1) : 1;
    m_down = rows > 0 ? std::max(section.GetItemRows() / rows, 1) : 1;
}

bool CSectionPainter::IsTiny() const
{
    return !m_state.printing
        && (m_layout.tile.width() < kTinyTile || m_layout.tile.height() < kTinyTile);
}

bool CSectionPainter::PrintsCells() const
{
    return m_state.printing && m_state.print && m_state.print->filledCells;
}

int CSectionPainter::UnitScale() const
{
    return m_state.printing && m_state.print ? std::max(m_state.print->unitScale, 1) : 1;
}

void CSectionPainter::PaintConnections(
    QPainter& painter, const QRect& area, const CConnectionChains& chains) const
{
    const CConnectionPainter::CMode mode { IsTiny(), PrintsCells(), UnitScale(), ActiveUniverse() };
    CConnectionPainter(m_section, m_layout, m_state, m_fonts, mode).Paint(painter, area, chains);
}

int CSectionPainter::ActiveUniverse() const
{
    const CTileRecord* focus = m_section.GetTile(m_state.focusColumn, m_state.focusRow);
    return focus && focus->universe >= 0 ? focus->universe : -1;
}

void CSectionPainter::PaintAll(
    QPainter& painter, const QRect& area, const CConnectionChains* chains) const
{
    if (!m_state.printing)
        PaintHeader(painter);
    if (m_section.GetTileCount() < 1)
        return;
    PaintLabels(painter, area);
    PaintTiles(painter, area);
    PaintTileAddresses(painter, area);
    if (!m_state.printing)
        PaintSelectionMarks(painter, area);
    if (chains && m_state.connectionMode != ConnectionMode::Hidden)
        PaintConnections(painter, area, *chains);
}

void CSectionPainter::PaintHeader(QPainter& painter) const
{
    painter.save();
    const int x = m_layout.header.x();
    int y = m_layout.header.y();
    painter.setFont(m_fonts.GetFont(CDrawToolkit::BIG));
    if (m_section.GetTileCount() < 1) {
        painter.setPen(ViewColours::EmptyTitle);
        TextAt(painter, x, y, QStringLiteral("Kelvra Quiltmark"));
        painter.restore();
        return;
    }
    const QString typeName = m_type ? FromModelText(m_type->metaName) : QString();
    QString title = QString::asprintf("%s :: S%d : %s", qUtf8Printable(typeName), m_sectionNumber,
        qUtf8Printable(FromModelText(m_section.name)));
    if (m_layout.rear)
        title += QStringLiteral("   REAR VIEW");
    painter.setPen(ViewColours::HeaderTitle);
    TextAt(painter, x, y, title);
    y += painter.fontMetrics().height();

    painter.setFont(m_fonts.GetFont(CDrawToolkit::SMALL));
    painter.setPen(ViewColours::HeaderDetail);
    const QFontMetrics fm = painter.fontMetrics();
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("XXXXXXXXXXX"));
    const int line = fm.height();
    const int secondColumn = x + fm.horizontalAdvance(QString(45, QLatin1Char('X')));
    auto row = [&](int left, int top, const char* label, const QString& value) {
        TextAt(painter, left, top, QString::fromLatin1(label));
        TextAt(painter, left + labelWidth, top, value);
    };

    const int columns = m_section.GetTileColumns();
    const int rows = m_section.GetTileRows();
    const int itemColumns = m_section.GetItemColumns();
    const int itemRows = m_section.GetItemRows();
    // The header has one line for it: line breaks of a longer text become blanks.
    QString info = FromModelText(m_section.info);
    info.replace(QLatin1String("\r\n"), QLatin1String(" "));
    info.replace(QLatin1Char('\n'), QLatin1Char(' '));
    info.replace(QLatin1Char('\r'), QLatin1Char(' '));
    row(x, y, "Page-Info:", info);
    y += line;
    row(x, y, "Meta Size:", QString::asprintf("%d x %d (%d units)", columns, rows, columns * rows));
    row(secondColumn, y, "Universes Size:",
        QString::asprintf("%d universes in '%s'   %d universes in the entire document",
            m_section.GetUniverseCount(), qUtf8Printable(FromModelText(m_section.name)),
            m_doc.GetUsedUniverseCount()));
    y += line;
    row(x, y, "Fixture Size:",
        QString::asprintf("%d x %d (%lld items)", columns * m_across, rows * m_down,
            static_cast<long long>(columns) * m_across * rows * m_down));
    const int firstId = m_section.GetItemCount() > 0 ? m_section.ScreenIdAt(0, 0) : 0;
    const int lastId
        = m_section.GetItemCount() > 0 ? m_section.ScreenIdAt(itemColumns - 1, itemRows - 1) : 0;
    row(secondColumn, y, "Screen-ID:", QString::asprintf("from %i to %i ", firstId, lastId));
    painter.restore();
}

void CSectionPainter::PaintLabels(QPainter& painter, const QRect& area) const
{
    painter.save();
    if (m_state.printing && m_state.print) {
        painter.setFont(m_state.print->labelFont);
        painter.setPen(Qt::black);
    } else {
        painter.setFont(m_fonts.GetFont(CDrawToolkit::SMALL));
        painter.setPen(Qt::white);
    }
    const QSize aaa = TextSize(painter.fontMetrics(), QStringLiteral("AAA"));
    const CLabelBands bands = ComputeLabelBands(aaa, m_layout.tile);
    const int ox = m_layout.origin.x();
    const int oy = m_layout.origin.y();
    const int tw = m_layout.tile.width();
    const int th = m_layout.tile.height();
    const QRect matrix = m_layout.MatrixRect();
    const CTileRange range
        = m_layout.VisibleTiles(QRect(area.x(), oy, area.width(), matrix.height()));
    if (bands.columns && !range.IsEmpty()
        && area.intersects(
            QRect(matrix.x(), oy - bands.bandHeight, matrix.width(), bands.bandHeight))) {
        for (int c = range.firstColumn; c <= range.lastColumn; ++c) {
            painter.drawText(
                QRect(m_layout.TileRect(c, 0).x(), oy - bands.bandHeight, tw, bands.bandHeight),
                Qt::AlignCenter | Qt::TextSingleLine,
                QString::fromStdString(CQuiltmarkDoc::ColumnLetters(c)));
        }
    }
    const CTileRange rowRange
        = m_layout.VisibleTiles(QRect(matrix.x(), area.y(), matrix.width(), area.height()));
    if (bands.rows && !rowRange.IsEmpty()
        && area.intersects(
            QRect(ox - bands.rowLabelWidth, oy, bands.rowLabelWidth, matrix.height()))) {
        for (int r = rowRange.firstRow; r <= rowRange.lastRow; ++r) {
            painter.drawText(QRect(ox - bands.rowLabelWidth, oy + r * th, bands.rowLabelWidth, th),
                Qt::AlignCenter | Qt::TextSingleLine, QString::number(r + 1));
        }
    }
    if (bands.corner) {
        painter.drawText(QRect(ox - bands.rowLabelWidth, oy - bands.bandHeight, bands.rowLabelWidth,
                             bands.bandHeight),
            Qt::AlignCenter | Qt::TextSingleLine, QString::asprintf("S%d:", m_sectionNumber));
    }
    painter.restore();
}

void CSectionPainter::PaintTiles(QPainter& painter, const QRect& area) const
{
    const CTileRange range = m_layout.VisibleTiles(area);
    if (range.IsEmpty())
        return;
    if (IsTiny() || PrintsCells()) {
        PaintTinyTiles(painter, range);
        return;
    }
    painter.save();
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn; ++column)
            PaintTile(painter, column, row, area);
        if (m_state.rowPainted)
            m_state.rowPainted(row);
    }
    painter.restore();
}

void CSectionPainter::PaintTinyTiles(QPainter& painter, const CTileRange& range) const
{
    // One pixel per tile, stretched to the tile size: what a few-pixel tile can show is
    // whether it is present, excluded, undefined or the start of a universe.
    const int w = range.lastColumn - range.firstColumn + 1;
    const int h = range.lastRow - range.firstRow + 1;
    QImage& image = ScratchImage(0, QSize(w, h), QImage::Format_RGB32);
    const bool paper = PrintsCells();
    const QRgb body = (paper ? PrintCellColours::Tile : ViewColours::TileBody).rgb();
    const QRgb excluded = (paper ? PrintCellColours::Excluded : ViewColours::Excluded).rgb();
    const QRgb start
        = (paper ? PrintCellColours::FirstAddress : ViewColours::FirstAddressEdge).rgb();
    const QRgb undefined
        = (paper ? PrintCellColours::Undefined : ViewColours::ItemUndefinedEven).rgb();
    // Selection marks are the screen's only.
    const bool marks = !paper && (m_state.tileMode == TileMode::MoveEdit || m_state.dragging);
    const int columns = m_section.GetTileColumns();
    const std::vector<CTileRecord>& tiles = m_section.Tiles();
    // The rear view fills each line from its right end.
    const int step = m_layout.rear ? -1 : 1;
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y)) + (m_layout.rear ? w - 1 : 0);
        const CTileRecord* t
            = &tiles[static_cast<size_t>((range.firstRow + y) * columns + range.firstColumn)];
        for (int x = 0; x < w; ++x, ++t, line += step) {
            QRgb c = t->excluded                      ? excluded
                : t->address == 0                     ? start
                : (t->universe < 0 && t->address < 0) ? undefined
                                                      : body;
            if (marks
                && ((m_state.tileMode == TileMode::MoveEdit && t->selected)
                    || (m_state.dragging && t->moveTarget)))
                c ^= 0x00ffffff;
            *line = c;
        }
    }
    const QRect first = m_layout.TileRect(range.firstColumn, range.firstRow)
                            .united(m_layout.TileRect(range.lastColumn, range.firstRow));
    painter.drawImage(
        QRect(first.topLeft(), QSize(w * m_layout.tile.width(), h * m_layout.tile.height())),
        image);
}

void CSectionPainter::PaintTile(QPainter& painter, int column, int row, const QRect&) const
{
    const CTileRecord* tile = m_section.GetTile(column, row);
    if (!tile)
        return;
    const QRect cell = m_layout.TileRect(column, row);
    if (m_state.printing) {
        const int inset = cell.width() * 4 / 100;
        const QRect r = cell.adjusted(inset, inset, -inset, -inset);
        painter.setPen(m_state.print ? m_state.print->pen1 : QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r);
        if (tile->excluded) {
            if (m_layout.rear)
                painter.drawLine(r.topRight(), r.bottomLeft());
            else
                painter.drawLine(r.topLeft(), r.bottomRight());
            return;
        }
        if (m_state.showSwitches && m_type) {
            const int d = 10 * UnitScale();
            const QRect inner = r.adjusted(d, d, -d, -d);
            DrawSwitchGlyph(
                painter, *m_type, m_layout.MirroredIn(SwitchArea(inner), inner), tile->address);
        }
        return;
    }

    const QRect r = cell.adjusted(2, 2, -2, -2);
    if (tile->excluded) {
        painter.fillRect(r, ViewColours::Excluded);
        return;
    }
    // The white edge marks the tile's top-left corner as the wall is seen.
    if (tile->address == 0)
        painter.fillRect(r.translated(m_layout.rear ? 2 : -2, -2), ViewColours::FirstAddressEdge);
    painter.fillRect(r, ViewColours::TileBody);
    if (m_layout.tile.width() >= 5)
        PaintItemCells(painter, column, row, r);
    // The picture itself is not mirrored: it shows the switches as they are read.
    if (m_state.showSwitches && m_type)
        DrawSwitchGlyph(painter, *m_type, m_layout.MirroredIn(SwitchArea(r), r), tile->address);
}

void CSectionPainter::PaintItemCells(
    QPainter& painter, int column, int row, const QRect& body) const
{
    // Cells lose a pixel on every side; cells of two pixels or less show nothing at all.
    if ((body.width() + m_across - 1) / m_across <= 2 || (body.height() + m_down - 1) / m_down <= 2)
        return;
    const CTileRecord* tile = m_section.GetTile(column, row);
    const bool undefined = tile->universe < 0 && tile->address < 0;
    const bool labelUndefined = tile->universe < 0 || tile->address < 0;
    const QColor odd = undefined ? ViewColours::ItemUndefinedOdd : ViewColours::ItemDefinedOdd;
    const QColor even = undefined ? ViewColours::ItemUndefinedEven : ViewColours::ItemDefinedEven;

    const QFont& font = m_fonts.GetFont(CDrawToolkit::VERY_SMALL);
    const QFontMetrics fm(font, painter.device());
    const QSize widest = TextSize(fm, kWidestAddress);
    bool fontSet = false;
    for (int j = 0; j < m_down; ++j) {
        for (int i = 0; i < m_across; ++i) {
            const QRect cell = m_layout.MirroredIn(ItemCellRect(body, i, j, m_across, m_down), body)
                                   .adjusted(1, 1, -1, -1);
            if (cell.isEmpty())
                continue;
            painter.fillRect(cell, ((j % 2) != (i % 2)) ? odd : even);
            if (!TextFitsStrictly(widest, cell.size()))
                continue;
            QString label = QStringLiteral("U**.*");
            QColor colour = ViewColours::ItemText;
            if (!labelUndefined) {
                const std::optional<CPatchEntry> item
                    = m_section.GetItem(column * m_across + i, row * m_down + j);
                if (item) {
                    label = AddressLabel(item->universe, item->address);
                    if (m_doc.IsChannelShared(ChannelKey(tile->universe, item->address)))
                        colour = ViewColours::Conflict;
                }
            }
            if (!fontSet) {
                painter.setFont(font);
                fontSet = true;
            }
            painter.setPen(colour);
            painter.drawText(cell.adjusted(2, 2, -2, -2),
                (m_layout.rear ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignBottom
                    | Qt::TextSingleLine,
                label);
        }
    }
}

void CSectionPainter::PaintTileAddresses(QPainter& painter, const QRect& area) const
{
    const CTileRange range = m_layout.VisibleTiles(area);
    if (range.IsEmpty() || (m_state.printing && m_state.print && !m_state.print->addresses))
        return;
    painter.save();
    const int channels = m_type ? m_type->ChannelsPerFixture() : 0;
    if (!m_state.printing) {
        painter.setFont(m_fonts.GetFont(CDrawToolkit::SMALL));
        const QSize widest = TextSize(painter.fontMetrics(), kWidestAddress);
        // The same test for every tile: one size for all of them.
        if (!TextFitsStrictly(widest, m_layout.tile - QSize(4, 4))) {
            painter.restore();
            return;
        }
    }
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
            const CTileRecord* tile = m_section.GetTile(column, row);
            if (!tile || tile->excluded)
                continue;
            const QRect cell = m_layout.TileRect(column, row);
            if (m_state.printing) {
                PaintPrintedAddress(painter, cell, tile->universe, tile->address);
                continue;
            }
            const bool undefined = tile->universe < 0 || tile->address < 0;
            QString label = QStringLiteral("Undefined");
            QColor colour = ViewColours::TileText;
            if (!undefined) {
                label = AddressLabel(tile->universe, tile->address);
                if (m_doc.IsChannelRangeShared(ChannelKey(tile->universe, tile->address), channels))
                    colour = ViewColours::Conflict;
            }
            painter.setPen(colour);
            painter.drawText(cell.adjusted(4, 4, -4, -4),
                (m_layout.rear ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop
                    | Qt::TextSingleLine,
                label);
        }
    }
    painter.restore();
}

void CSectionPainter::PaintPrintedAddress(
    QPainter& painter, const QRect& cell, int universe, int address) const
{
    const int inset = cell.width() / 10;
    const QRect r = cell.adjusted(inset, inset, -inset, -inset);
    const QString label = (universe < 0 || address < 0) ? QStringLiteral("Undefined")
                                                        : AddressLabel(universe, address);
    if (m_state.print)
        painter.setFont(
            address == 0 ? m_state.print->firstAddressFont : m_state.print->addressFont);
    painter.setPen(Qt::black);
    const bool rotated
        = m_state.print ? m_state.print->rotatedAddresses : cell.height() > cell.width();
    if (!rotated) {
        painter.drawText(r,
            (m_layout.rear ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine,
            label);
        return;
    }
    // Upright tiles read their address from the bottom-left corner upwards.
    painter.save();
    painter.translate(r.left(), r.bottom() + 1);
    painter.rotate(-90);
    painter.drawText(QRect(0, 0, r.height(), r.width()),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, label);
    painter.restore();
}

void CSectionPainter::PaintSelectionMarks(QPainter& painter, const QRect& area) const
{
    if (IsTiny()) {
        // Tiny tiles carry their selection in the tile colour; the focus still shows.
        const QRect f = m_layout.TileRect(m_state.focusColumn, m_state.focusRow);
        if (m_section.GetTile(m_state.focusColumn, m_state.focusRow) && f.intersects(area)) {
            painter.save();
            painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(f.adjusted(-2, -2, 1, 1));
            painter.restore();
        }
        return;
    }
    const CTileRange range = m_layout.VisibleTiles(area);
    if (range.IsEmpty())
        return;
    painter.save();
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
            const CTileRecord* tile = m_section.GetTile(column, row);
            const QRect r = m_layout.TileRect(column, row).adjusted(2, 2, -2, -2);
            if (m_state.tileMode == TileMode::MoveEdit && tile->selected) {
                InvertRect(painter, r.adjusted(1, 1, -1, -1));
                InvertRect(painter, r.adjusted(5, 5, -5, -5));
            }
            if (column == m_state.focusColumn && row == m_state.focusRow) {
                const QRect f = r.adjusted(-1, -1, 1, 1);
                painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(f.adjusted(0, 0, -1, -1));
            }
            if (m_state.dragging && tile->moveTarget)
                InvertRect(painter, r.adjusted(5, 5, -5, -5));
        }
    }
    painter.restore();
}
