#include "view/ViewGeometry.h"

#include <algorithm>

namespace {

long long FloorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

struct Extent64 {
    long long w = 1;
    long long h = 1;
};

void SetTileSize(CViewLayout& l, const CLayoutInput& in)
{
    if (in.printDeviceList) {
        l.tile = { 400, 400 };
    } else {
        const int w = in.tileColumns > 0 ? in.itemsAcross * l.itemBase.width() : l.itemBase.width();
        const int h = in.tileRows > 0 ? in.itemsDown * l.itemBase.height() : l.itemBase.height();
        l.tile = { std::max(w, 1), std::max(h, 1) };
    }
    l.half = { l.tile.width() / 2, l.tile.width() / 2 };
    l.legendUnit = std::max(l.tile.width(), l.tile.height()) / 4;
}

Extent64 ExtentFor(const CLayoutInput& in, long long tileW, long long tileH)
{
    Extent64 e;
    if (in.printDeviceList)
        return { 6 * 400, 6 * 400 };
    long long w = in.tileColumns * tileW;
    long long h = in.tileRows * tileH;
    if (in.legend) {
        const long long half = tileW / 2;
        const long long q = std::max(tileW, tileH) / 4;
        const long long u = std::max(in.universes, 0);
        const long long legendW = u * half;
        long long legendH = half + 4 * q;
        if (u > 1)
            legendH += (u - 1) * q;
        w = std::max(w, legendW);
        h += legendH;
    }
    if (w < 1 || h < 1)
        return { 1, 1 };
    e.w = w;
    e.h = h;
    return e;
}

void SetExtent(CViewLayout& l, const CLayoutInput& in)
{
    const Extent64 e = ExtentFor(in, l.tile.width(), l.tile.height());
    l.extent = { static_cast<int>(std::min<long long>(e.w, CViewLayout::kMaxExtent)),
        static_cast<int>(std::min<long long>(e.h, CViewLayout::kMaxExtent)) };
}

int FitZoom(const CLayoutInput& in, QSize area, QSize extent)
{
    const long long ew = extent.width();
    const long long eh = extent.height();
    const long long zx = area.width() * 100LL / ew;
    const long long zy = area.height() * 100LL / eh;
    switch (in.mode) {
    case ZoomMode::PageWidth:
        return static_cast<int>(zx);
    case ZoomMode::PageHeight:
        return static_cast<int>(zy);
    case ZoomMode::Page:
        return static_cast<int>(area.height() < eh * zx / 100 ? zy : zx);
    case ZoomMode::Manual:
        break;
    }
    return in.zoom;
}

// The largest zoom not above `zoom` whose extent stays within kMaxExtent: a 2000-tile
// section of large fixtures at 10000 % would otherwise run past the int range.
int LimitZoom(const CLayoutInput& in, QSize base, int zoom)
{
    auto fits = [&](int z) {
        const long long bw = std::max<long long>(base.width() * static_cast<long long>(z) / 100, 1);
        const long long bh
            = std::max<long long>(base.height() * static_cast<long long>(z) / 100, 1);
        const long long tw = in.tileColumns > 0 ? in.itemsAcross * bw : bw;
        const long long th = in.tileRows > 0 ? in.itemsDown * bh : bh;
        const Extent64 e = ExtentFor(in, tw, th);
        return e.w <= CViewLayout::kMaxExtent && e.h <= CViewLayout::kMaxExtent;
    };
    if (zoom <= 1 || fits(zoom))
        return zoom;
    int lo = 1;
    int hi = zoom;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

} // namespace

QRect CViewLayout::TileRect(int column, int row) const
{
    return Mirrored(QRect(column * tile.width() + origin.x(), row * tile.height() + origin.y(),
        tile.width(), tile.height()));
}

QRect CViewLayout::MatrixRect() const
{
    return Mirrored(
        QRect(origin.x(), origin.y(), tileColumns * tile.width(), tileRows * tile.height()));
}

QRect CViewLayout::Mirrored(const QRect& r) const
{
    if (!rear)
        return r;
    return QRect(MirrorX(r.x() + r.width()), r.y(), r.width(), r.height());
}

QRect CViewLayout::MirroredIn(const QRect& r, const QRect& within) const
{
    if (!rear)
        return r;
    return QRect(2 * within.x() + within.width() - r.x() - r.width(), r.y(), r.width(), r.height());
}

bool CViewLayout::HitTest(QPoint logical, int& column, int& row) const
{
    // A pixel at x covers x .. x + 1, which the mirror takes to extent - 1 - x.
    const int x = rear ? extent.width() - 1 - (logical.x() - origin.x()) : logical.x() - origin.x();
    const int y = logical.y() - origin.y();
    if (x < 0 || y < 0 || tile.width() < 1 || tile.height() < 1)
        return false;
    const int c = x / tile.width();
    const int r = y / tile.height();
    if (c >= tileColumns || r >= tileRows)
        return false;
    column = c;
    row = r;
    return true;
}

CTileRange CViewLayout::VisibleTiles(const QRect& area) const
{
    CTileRange range;
    if (area.isEmpty() || tileColumns < 1 || tileRows < 1 || tile.width() < 1 || tile.height() < 1)
        return range;
    long long left = area.left() - origin.x();
    const long long top = area.top() - origin.y();
    long long right = left + area.width() - 1;
    if (rear) {
        const long long mirroredLeft = extent.width() - 1 - right;
        right = extent.width() - 1 - left;
        left = mirroredLeft;
    }
    const long long bottom = top + area.height() - 1;
    range.firstColumn = static_cast<int>(std::max<long long>(0, FloorDiv(left, tile.width())));
    range.lastColumn
        = static_cast<int>(std::min<long long>(tileColumns - 1, FloorDiv(right, tile.width())));
    range.firstRow = static_cast<int>(std::max<long long>(0, FloorDiv(top, tile.height())));
    range.lastRow
        = static_cast<int>(std::min<long long>(tileRows - 1, FloorDiv(bottom, tile.height())));
    return range;
}

CViewLayout CViewLayout::Shifted(QPoint scroll) const
{
    CViewLayout l = *this;
    l.origin -= scroll;
    l.header -= scroll;
    return l;
}

CViewLayout ComputeLayout(const CLayoutInput& in)
{
    CViewLayout l;
    l.rear = in.rear;
    l.tileColumns = std::max(in.tileColumns, 0);
    l.tileRows = std::max(in.tileRows, 0);
    const int across = std::max(in.itemsAcross, 1);
    const int down = std::max(in.itemsDown, 1);
    CLayoutInput input = in;
    input.itemsAcross = across;
    input.itemsDown = down;

    // Elongated units keep a total of 200 along their long side.
    QSize base(100, 100);
    if (l.tileColumns > 0 && l.tileRows > 0 && across != down) {
        if (across > down)
            base.setWidth(200 / across);
        else
            base.setHeight(200 / down);
    }
    l.itemBase = base;
    if (in.printing) {
        l.origin = { 0, 0 };
        l.header = { 0, 0 };
    }
    SetTileSize(l, input);
    SetExtent(l, input);
    l.zoom = in.zoom;
    if (!in.printing) {
        const int availW = std::max(in.client.width() - 2 * l.origin.x(), 100);
        const int availH = std::max(in.client.height() - l.origin.x() - l.origin.y(), 100);
        int zoom = FitZoom(input, QSize(availW, availH), l.extent);
        zoom = LimitZoom(input, base, zoom);
        l.itemBase = { static_cast<int>(std::max<long long>(
                           base.width() * static_cast<long long>(zoom) / 100, 1)),
            static_cast<int>(
                std::max<long long>(base.height() * static_cast<long long>(zoom) / 100, 1)) };
        l.zoom = zoom;
        SetTileSize(l, input);
        SetExtent(l, input);
        l.total = { l.extent.width() + 2 * l.origin.x(),
            l.origin.y() + l.extent.height() + l.origin.x() };
    } else {
        l.total = l.extent;
    }
    return l;
}

int ZoomInStep(int zoom)
{
    if (zoom < kZoomSteps[0])
        return kZoomSteps[0];
    for (int s : kZoomSteps) {
        if (s > zoom)
            return s;
    }
    return kZoomSteps[std::size(kZoomSteps) - 1];
}

std::optional<int> ZoomOutStep(int zoom, QSize tile)
{
    if (static_cast<long long>(zoom) * tile.width() <= 40
        || static_cast<long long>(zoom) * tile.height() <= 40)
        return std::nullopt;
    if (zoom <= kZoomSteps[0])
        return kZoomSteps[0];
    int previous = kZoomSteps[0];
    for (int s : kZoomSteps) {
        if (s >= zoom)
            return previous;
        previous = s;
    }
    return previous;
}

QRect ItemCellRect(const QRect& tile, int i, int j, int across, int down)
{
    const long long w = tile.width();
    const long long h = tile.height();
    const int left = tile.x() + static_cast<int>(w * i / across);
    const int top = tile.y() + static_cast<int>(h * j / down);
    const int right = tile.x() + static_cast<int>(w * (i + 1) / across);
    const int bottom = tile.y() + static_cast<int>(h * (j + 1) / down);
    return QRect(left, top, right - left, bottom - top);
}

CLabelBands ComputeLabelBands(QSize aaa, QSize tile)
{
    CLabelBands b;
    b.bandHeight = aaa.height() * 150 / 100;
    b.rowLabelWidth = aaa.width() * 150 / 100;
    b.columns = tile.width() >= aaa.width();
    b.rows = tile.height() >= aaa.height();
    b.corner = tile.height() >= b.rowLabelWidth && tile.height() >= b.bandHeight;
    return b;
}

QRect SwitchArea(const QRect& r)
{
    if (r.width() < r.height())
        return QRect(r.x() + r.width() / 2, r.y(), r.width() - r.width() / 2, r.height());
    if (r.width() == r.height())
        return QRect(r.x(), r.y() + r.height() * 3 / 4, r.width(), r.height() - r.height() * 3 / 4);
    return QRect(r.x(), r.y() + r.height() / 2, r.width(), r.height() - r.height() / 2);
}

QString AddressLabel(int universe, int address)
{
    return QString::asprintf(
        "U%02lld.%lld", static_cast<long long>(universe) + 1, static_cast<long long>(address) + 1);
}

QString UniverseLabel(int universe)
{
    return QString::asprintf("U%02lld", static_cast<long long>(universe) + 1);
}
