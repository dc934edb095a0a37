#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

enum class ZoomMode { Manual, Page, PageWidth, PageHeight };

// What the layout needs to know about the section and the window.
struct CLayoutInput {
    int tileColumns = 0;
    int tileRows = 0;
    int itemsAcross = 1; // items per tile, after the section's orientation
    int itemsDown = 1;
    bool printing = false;
    bool printDeviceList = false;
    bool legend = false; // connections shown: the legend sits below the matrix
    int universes = 0; // universes used by the section (legend boxes)
    QSize client; // screen only
    ZoomMode mode = ZoomMode::Page;
    int zoom = 100;
    bool rear = false; // seen from behind the wall: mirrored left to right
};

// Visible tile columns and rows, both ends included; empty when first > last.
struct CTileRange {
    int firstColumn = 0;
    int lastColumn = -1;
    int firstRow = 0;
    int lastRow = -1;

    bool IsEmpty() const { return firstColumn > lastColumn || firstRow > lastRow; }
    long long Count() const
    {
        return IsEmpty()
            ? 0
            : static_cast<long long>(lastColumn - firstColumn + 1) * (lastRow - firstRow + 1);
    }
};

// Geometry of one drawing pass. Positions are logical units (screen pixels, or page
// units when printing); Shifted() gives painter coordinates for a scroll position.
struct CViewLayout {
    // Extents stay below this so that pixel positions fit the painter's fixed-point range.
    static constexpr int kMaxExtent = 1 << 24;

    QSize itemBase { 100, 100 };
    QSize tile { 100, 100 };
    QSize half { 50, 50 };
    int legendUnit = 25;
    QPoint origin { 35, 120 };
    QPoint header { 20, 20 };
    QSize extent { 1, 1 };
    QSize total { 1, 1 };
    int zoom = 100;
    int tileColumns = 0;
    int tileRows = 0;
    // Rear view: everything is drawn mirrored about the middle of the extent, so a column
    // is drawn at its mirrored place while keeping its name and its tiles' addresses.
    bool rear = false;

    // Where a tile is drawn (mirrored in the rear view).
    QRect TileRect(int column, int row) const;
    QRect MatrixRect() const;
    // Positions and rectangles of the front view taken to where the rear view draws them
    // (unchanged in the front view); each is its own inverse.
    int MirrorX(int x) const { return rear ? 2 * origin.x() + extent.width() - x : x; }
    QPoint Mirrored(QPoint p) const { return QPoint(MirrorX(p.x()), p.y()); }
    QRect Mirrored(const QRect& r) const;
    // `r` mirrored inside `within` when the view is mirrored: parts of a tile (item cells,
    // the switch picture) keep their side as seen from where the view looks.
    QRect MirroredIn(const QRect& r, const QRect& within) const;
    // Drawn column of the leftmost column of a block `width` columns wide starting at
    // `column`, and back: the same map both ways.
    int DrawnBlockColumn(int column, int width) const
    {
        return rear ? tileColumns - column - width : column;
    }
    // The front view's layout of the same geometry.
    CViewLayout Front() const
    {
        CViewLayout l = *this;
        l.rear = false;
        return l;
    }
    int MatrixBottom() const { return origin.y() + tileRows * tile.height(); }
    // Tile under a logical point; false left of, above or beyond the matrix.
    bool HitTest(QPoint logical, int& column, int& row) const;
    CTileRange VisibleTiles(const QRect& area) const;
    CViewLayout Shifted(QPoint scroll) const;
};

CViewLayout ComputeLayout(const CLayoutInput& in);

// The 27 zoom steps, percent.
constexpr int kZoomSteps[] = { 1, 2, 3, 4, 5, 10, 15, 20, 25, 30, 40, 50, 75, 100, 125, 150, 200,
    300, 400, 800, 1000, 2000, 3000, 4000, 5000, 7500, 10000 };
int ZoomInStep(int zoom);
// None when the tiles of the last layout are already too small to shrink further.
std::optional<int> ZoomOutStep(int zoom, QSize tile);

// Cell of item (i, j) inside a tile of X x Y items, before the 1-pixel gap is taken off.
QRect ItemCellRect(const QRect& tile, int i, int j, int across, int down);

// Labels are left out unless they fit with room to spare.
inline bool TextFitsStrictly(QSize text, QSize area)
{
    return text.width() < area.width() && text.height() < area.height();
}

// Column and row label band sizes derived from the size of "AAA".
struct CLabelBands {
    int bandHeight = 0;
    int rowLabelWidth = 0;
    bool columns = false; // column names fit above the tiles
    bool rows = false;
    bool corner = false;
};
CLabelBands ComputeLabelBands(QSize aaa, QSize tile);

// Part of a tile that shows the switch picture.
QRect SwitchArea(const QRect& tile);

// "U%02d.%d" of a stored zero-based universe and address, shown one-based. Files may hold
// any int, so the shown numbers are formed in 64 bits: 2147483647 shows as 2147483648.
QString AddressLabel(int universe, int address);
// "U%02d" of a stored zero-based universe, shown one-based.
QString UniverseLabel(int universe);
