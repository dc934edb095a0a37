#include "view/Connections.h"

#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Groups the chain candidates by universe with a counting sort keyed on the universes
// present, keeping the scan order within each universe.
struct Bucketed {
    std::vector<int> universes; // ascending
    std::vector<int> offsets; // universes.size() + 1
    std::vector<int> tiles;
};

template <typename Scan> Bucketed BucketByUniverse(const std::vector<CTileRecord>& tiles, Scan scan)
{
    Bucketed b;
    auto universeOf = [&](int index) { return tiles[static_cast<size_t>(index)].universe; };
    int highest = -1;
    scan([&](int index) { highest = std::max(highest, universeOf(index)); });
    if (highest < 0)
        return b;

    // Real projects number universes densely, so a direct table is the common case;
    // absurd universe numbers from a file fall back to a sorted list of those present.
    constexpr int kDirectLimit = 1 << 22;
    std::vector<int> slotOfUniverse;
    if (highest < kDirectLimit) {
        std::vector<char> present(static_cast<size_t>(highest) + 1, 0);
        scan([&](int index) { present[static_cast<size_t>(universeOf(index))] = 1; });
        slotOfUniverse.assign(present.size(), -1);
        for (size_t u = 0; u < present.size(); ++u) {
            if (present[u]) {
                slotOfUniverse[u] = static_cast<int>(b.universes.size());
                b.universes.push_back(static_cast<int>(u));
            }
        }
    } else {
        int last = -1;
        scan([&](int index) {
            if (universeOf(index) != last)
                b.universes.push_back(last = universeOf(index));
        });
        std::sort(b.universes.begin(), b.universes.end());
        b.universes.erase(std::unique(b.universes.begin(), b.universes.end()), b.universes.end());
    }
    int lastUniverse = -1;
    int lastSlot = 0;
    auto slotOf = [&](int u) {
        if (u != lastUniverse) {
            lastUniverse = u;
            lastSlot = !slotOfUniverse.empty()
                ? slotOfUniverse[static_cast<size_t>(u)]
                : static_cast<int>(std::lower_bound(b.universes.begin(), b.universes.end(), u)
                    - b.universes.begin());
        }
        return static_cast<size_t>(lastSlot);
    };
    std::vector<int> counts(b.universes.size() + 1, 0);
    scan([&](int index) { ++counts[slotOf(universeOf(index)) + 1]; });
    for (size_t i = 1; i < counts.size(); ++i)
        counts[i] += counts[i - 1];
    b.offsets = counts;
    b.tiles.resize(static_cast<size_t>(counts.back()));
    std::vector<int> fill(counts.begin(), counts.end() - 1);
    scan([&](int index) {
        const size_t s = slotOf(universeOf(index));
        b.tiles[static_cast<size_t>(fill[s]++)] = index;
    });
    return b;
}

bool TakesPart(const CTileRecord& t)
{
    return !t.excluded && t.universe >= 0;
}

} // namespace

namespace {

CConnectionChains BuildChainOrder(const std::vector<CTileRecord>& tiles, int columns, int rows,
    int highestAddress, ConnectionOrder order)
{
    CConnectionChains result;
    if (columns < 1 || rows < 1
        || static_cast<long long>(columns) * rows > static_cast<long long>(tiles.size()))
        return result;

    if (order == ConnectionOrder::ByPosition) {
        // Snake through the rows: even rows left to right, odd rows right to left.
        auto scan = [&](auto&& visit) {
            for (int row = 0; row < rows; ++row) {
                const int base = row * columns;
                if (row % 2 == 0) {
                    for (int c = 0; c < columns; ++c) {
                        if (TakesPart(tiles[static_cast<size_t>(base + c)]))
                            visit(base + c);
                    }
                } else {
                    for (int c = columns - 1; c >= 0; --c) {
                        if (TakesPart(tiles[static_cast<size_t>(base + c)]))
                            visit(base + c);
                    }
                }
            }
        };
        Bucketed b = BucketByUniverse(tiles, scan);
        result.tiles = std::move(b.tiles);
        for (size_t i = 0; i < b.universes.size(); ++i) {
            if (b.offsets[i + 1] > b.offsets[i])
                result.chains.push_back({ b.universes[i], b.offsets[i], b.offsets[i + 1] });
        }
        return result;
    }

    // By address: a stable sort by address within each universe. The running address
    // starts at -1, so tiles without an address come first, the last one scanned first;
    // within every other address the first scanned tile opens the group and the rest
    // follow from the last one backwards, as the repeated "same address: last such tile"
    // rule produces.
    const long long upper = static_cast<long long>(highestAddress) + 1;
    const int count = columns * rows;
    auto takesPart = [&](const CTileRecord& t) {
        return TakesPart(t) && t.address >= -1 && t.address < upper;
    };
    std::vector<int> sorted;
    constexpr long long kCountingLimit = 1 << 16;
    if (upper <= kCountingLimit) {
        // Counting sort on the address keeps scan order on equal addresses.
        std::vector<int> starts(static_cast<size_t>(upper + 2), 0);
        for (int i = 0; i < count; ++i) {
            const CTileRecord& t = tiles[static_cast<size_t>(i)];
            if (takesPart(t))
                ++starts[static_cast<size_t>(t.address + 2)];
        }
        for (size_t k = 1; k < starts.size(); ++k)
            starts[k] += starts[k - 1];
        sorted.resize(static_cast<size_t>(starts.back()));
        for (int i = 0; i < count; ++i) {
            const CTileRecord& t = tiles[static_cast<size_t>(i)];
            if (takesPart(t))
                sorted[static_cast<size_t>(starts[static_cast<size_t>(t.address + 1)]++)] = i;
        }
    } else {
        for (int i = 0; i < count; ++i) {
            if (takesPart(tiles[static_cast<size_t>(i)]))
                sorted.push_back(i);
        }
        std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int c) {
            return tiles[static_cast<size_t>(a)].address < tiles[static_cast<size_t>(c)].address;
        });
    }
    auto scan = [&](auto&& visit) {
        for (int index : sorted)
            visit(index);
    };
    Bucketed b = BucketByUniverse(tiles, scan);
    result.tiles.reserve(b.tiles.size());
    for (size_t u = 0; u < b.universes.size(); ++u) {
        auto first = b.tiles.begin() + b.offsets[u];
        auto last = b.tiles.begin() + b.offsets[u + 1];
        const int begin = static_cast<int>(result.tiles.size());
        for (auto g = first; g != last;) {
            const int address = tiles[static_cast<size_t>(*g)].address;
            auto groupEnd = g;
            while (groupEnd != last && tiles[static_cast<size_t>(*groupEnd)].address == address)
                ++groupEnd;
            auto rest = g;
            if (address != -1)
                result.tiles.push_back(*rest++);
            for (auto r = groupEnd; r != rest;)
                result.tiles.push_back(*--r);
            g = groupEnd;
        }
        const int end = static_cast<int>(result.tiles.size());
        if (end > begin)
            result.chains.push_back({ b.universes[u], begin, end });
    }
    return result;
}

} // namespace

CConnectionChains BuildConnectionChains(const std::vector<CTileRecord>& tiles, int columns,
    int rows, int highestAddress, ConnectionOrder order)
{
    CConnectionChains result = BuildChainOrder(tiles, columns, rows, highestAddress, order);
    // Positions and bounds let a paint skip whole chains and avoid a division per tile.
    result.cells.resize(result.tiles.size());
    for (CConnectionChains::Chain& chain : result.chains) {
        chain.firstColumn = columns;
        chain.firstRow = rows;
        chain.lastColumn = -1;
        chain.lastRow = -1;
        for (int i = chain.begin; i < chain.end; ++i) {
            const int index = result.tiles[static_cast<size_t>(i)];
            const int row = index / columns;
            const int column = index - row * columns;
            result.cells[static_cast<size_t>(i)] = { column, row };
            chain.firstColumn = std::min(chain.firstColumn, column);
            chain.lastColumn = std::max(chain.lastColumn, column);
            chain.firstRow = std::min(chain.firstRow, row);
            chain.lastRow = std::max(chain.lastRow, row);
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

QRect MarkerRect(QPoint centre)
{
    return QRect(centre.x() - 5, centre.y() - 5, 10, 10);
}

CCurvedArrow ComputeCurvedArrow(QPoint from, QPoint to, int bulge)
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
        const double bx = a.p3.x() + 10 * dx;
        const double by = a.p3.y() + 10 * dy;
        a.head[0] = a.p3;
        a.head[1] = QPoint(
            static_cast<int>(std::lround(bx - 5 * dy)), static_cast<int>(std::lround(by + 5 * dx)));
        a.head[2] = QPoint(
            static_cast<int>(std::lround(bx + 5 * dy)), static_cast<int>(std::lround(by - 5 * dx)));
        a.hasHead = true;
    }
    return a;
}

CLegendEntry ComputeLegendEntry(
    const CViewLayout& layout, int n, int universes, int firstColumn, int firstRow)
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
    if (first.width() < 10)
        e.attachX = first.x() + firstRow * (first.width() / rows);
    else
        e.attachX = first.x() + 5 + firstRow * ((first.width() - 10) / rows);
    e.firstCentre = TileCentre(first);
    e.turn = QPoint(e.attachX, e.firstCentre.y() + std::abs(e.attachX - e.firstCentre.x()));
    return e;
}
