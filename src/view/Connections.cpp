#include "view/Connections.h"

#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace {

bool TakesPart(const CTileRecord& t)
{
    return !t.excluded && t.universe >= 0;
}

// The universes the chains run through, ascending, each with its range of chain
// positions. Real projects number universes densely, so a table indexed by universe is
// the common case; absurd universe numbers from a file fall back to a sorted list.
class CUniverseBuckets {
public:
    template <typename Takes>
    CUniverseBuckets(const std::vector<CTileRecord>& tiles, int count, Takes takesPart)
    {
        constexpr int kDirectLimit = 1 << 22;
        std::vector<int> counts;
        bool sparse = false;
        for (int i = 0; i < count; ++i) {
            const CTileRecord& t = tiles[static_cast<size_t>(i)];
            if (!takesPart(t))
                continue;
            if (t.universe >= kDirectLimit) {
                sparse = true;
                continue;
            }
            const size_t u = static_cast<size_t>(t.universe);
            if (u >= counts.size())
                counts.resize(
                    std::min(std::max(u + 1, counts.size() * 2), size_t { kDirectLimit }));
            ++counts[u];
        }
        std::vector<int> sizes;
        if (!sparse) {
            m_slotOfUniverse.assign(counts.size(), -1);
            for (size_t u = 0; u < counts.size(); ++u) {
                if (counts[u] > 0) {
                    m_slotOfUniverse[u] = static_cast<int>(universes.size());
                    universes.push_back(static_cast<int>(u));
                    sizes.push_back(counts[u]);
                }
            }
        } else {
            int last = -1;
            for (int i = 0; i < count; ++i) {
                const CTileRecord& t = tiles[static_cast<size_t>(i)];
                if (takesPart(t) && t.universe != last)
                    universes.push_back(last = t.universe);
            }
            std::sort(universes.begin(), universes.end());
            universes.erase(std::unique(universes.begin(), universes.end()), universes.end());
            sizes.assign(universes.size(), 0);
            for (int i = 0; i < count; ++i) {
                const CTileRecord& t = tiles[static_cast<size_t>(i)];
                if (takesPart(t))
                    ++sizes[SlotOf(t.universe)];
            }
        }
        offsets.assign(universes.size() + 1, 0);
        for (size_t k = 0; k < sizes.size(); ++k)
            offsets[k + 1] = offsets[k] + sizes[k];
        m_cursor.assign(offsets.begin(), offsets.end() - 1);
    }

    int Total() const { return offsets.back(); }

    // Next free position in the range of a universe that takes part.
    size_t Place(int universe) { return static_cast<size_t>(m_cursor[SlotOf(universe)]++); }

    std::vector<int> universes;
    std::vector<int> offsets; // universes.size() + 1

private:
    size_t SlotOf(int universe)
    {
        // Neighbouring tiles mostly share a universe.
        if (universe != m_lastUniverse) {
            m_lastUniverse = universe;
            m_lastSlot = !m_slotOfUniverse.empty()
                ? m_slotOfUniverse[static_cast<size_t>(universe)]
                : static_cast<int>(std::lower_bound(universes.begin(), universes.end(), universe)
                    - universes.begin());
        }
        return static_cast<size_t>(m_lastSlot);
    }

    std::vector<int> m_slotOfUniverse;
    std::vector<int> m_cursor;
    int m_lastUniverse = -1;
    int m_lastSlot = 0;
};

void AddChains(CConnectionChains& result, const CUniverseBuckets& buckets)
{
    for (size_t k = 0; k < buckets.universes.size(); ++k)
        result.chains.push_back(
            { buckets.universes[k], buckets.offsets[k], buckets.offsets[k + 1] });
}

// Snake through the rows: even rows left to right, odd rows right to left.
void BuildByPosition(
    CConnectionChains& result, const std::vector<CTileRecord>& tiles, int columns, int rows)
{
    CUniverseBuckets buckets(tiles, columns * rows, TakesPart);
    result.tiles.resize(static_cast<size_t>(buckets.Total()));
    result.cells.resize(result.tiles.size());
    auto visit = [&](int row, int column) {
        const int index = row * columns + column;
        const CTileRecord& t = tiles[static_cast<size_t>(index)];
        if (!TakesPart(t))
            return;
        const size_t at = buckets.Place(t.universe);
        result.tiles[at] = index;
        result.cells[at] = { column, row };
    };
    for (int row = 0; row < rows; ++row) {
        if (row % 2 == 0) {
            for (int c = 0; c < columns; ++c)
                visit(row, c);
        } else {
            for (int c = columns - 1; c >= 0; --c)
                visit(row, c);
        }
    }
    AddChains(result, buckets);
}

// Sorts one universe's keys (address + 1 above, tile index below) into address order,
// scan order within an address; `addresses` is the number of possible address values.
// Patched universes are mostly in order or reversed already, which is checked first;
// a large universe in no order is counted into place.
void SortKeys(std::vector<uint64_t>::iterator first, std::vector<uint64_t>::iterator last,
    long long addresses, std::vector<uint64_t>& scratch, std::vector<int>& counts)
{
    const long long n = last - first;
    if (n < 2 || std::is_sorted(first, last))
        return;
    if (std::is_sorted(first, last, std::greater<uint64_t>())) {
        std::reverse(first, last);
        return;
    }
    if (n < 1024 || addresses > n) {
        std::sort(first, last);
        return;
    }
    // The keys arrive in scan order, so a stable count by address is enough.
    counts.assign(static_cast<size_t>(addresses) + 1, 0);
    for (auto k = first; k != last; ++k)
        ++counts[static_cast<size_t>((*k >> 32) + 1)];
    for (size_t a = 1; a < counts.size(); ++a)
        counts[a] += counts[a - 1];
    scratch.resize(static_cast<size_t>(n));
    for (auto k = first; k != last; ++k)
        scratch[static_cast<size_t>(counts[static_cast<size_t>(*k >> 32)]++)] = *k;
    std::copy(scratch.begin(), scratch.end(), first);
}

// By address, equal to repeated CSubDoc::NextTileOfUniverse calls. The running address
// starts at -1, so tiles without an address come first, the last one scanned first;
// within every other address the first scanned tile opens the group and the rest
// follow from the last one backwards, as the repeated "same address: last such tile"
// rule produces.
void BuildByAddress(CConnectionChains& result, const std::vector<CTileRecord>& tiles, int columns,
    int rows, int highestAddress)
{
    const long long upper = static_cast<long long>(highestAddress) + 1;
    auto takesPart = [&](const CTileRecord& t) {
        return TakesPart(t) && t.address >= -1 && t.address < upper;
    };
    const int count = columns * rows;
    CUniverseBuckets buckets(tiles, count, takesPart);
    std::vector<uint64_t> keys(static_cast<size_t>(buckets.Total()));
    for (int i = 0; i < count; ++i) {
        const CTileRecord& t = tiles[static_cast<size_t>(i)];
        if (takesPart(t))
            keys[buckets.Place(t.universe)]
                = (static_cast<uint64_t>(static_cast<int64_t>(t.address) + 1) << 32)
                | static_cast<uint32_t>(i);
    }

    result.tiles.resize(keys.size());
    result.cells.resize(keys.size());
    std::vector<uint64_t> scratch;
    std::vector<int> counts;
    size_t out = 0;
    auto append = [&](uint64_t key) {
        const int index = static_cast<int>(static_cast<uint32_t>(key));
        const int row = index / columns;
        result.tiles[out] = index;
        result.cells[out++] = { index - row * columns, row };
    };
    for (size_t k = 0; k < buckets.universes.size(); ++k) {
        const auto first = keys.begin() + buckets.offsets[k];
        const auto last = keys.begin() + buckets.offsets[k + 1];
        SortKeys(first, last, upper + 1, scratch, counts);
        for (auto g = first; g != last;) {
            const uint64_t address = *g >> 32;
            auto groupEnd = g + 1;
            while (groupEnd != last && (*groupEnd >> 32) == address)
                ++groupEnd;
            auto rest = g;
            if (address != 0)
                append(*rest++);
            for (auto r = groupEnd; r != rest;)
                append(*--r);
            g = groupEnd;
        }
    }
    AddChains(result, buckets);
}

} // namespace

CConnectionChains BuildConnectionChains(const std::vector<CTileRecord>& tiles, int columns,
    int rows, int highestAddress, ConnectionOrder order)
{
    CConnectionChains result;
    if (columns < 1 || rows < 1
        || static_cast<long long>(columns) * rows > static_cast<long long>(tiles.size()))
        return result;
    if (order == ConnectionOrder::ByPosition)
        BuildByPosition(result, tiles, columns, rows);
    else
        BuildByAddress(result, tiles, columns, rows, highestAddress);

    // Bounds let a paint skip whole chains.
    for (CConnectionChains::Chain& chain : result.chains) {
        chain.firstColumn = columns;
        chain.firstRow = rows;
        chain.lastColumn = -1;
        chain.lastRow = -1;
        for (int i = chain.begin; i < chain.end; ++i) {
            const CConnectionChains::Cell& cell = result.cells[static_cast<size_t>(i)];
            chain.firstColumn = std::min(chain.firstColumn, cell.column);
            chain.lastColumn = std::max(chain.lastColumn, cell.column);
            chain.firstRow = std::min(chain.firstRow, cell.row);
            chain.lastRow = std::max(chain.lastRow, cell.row);
        }
    }
    return result;
}

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
