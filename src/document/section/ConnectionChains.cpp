#include "document/section/ConnectionChains.h"

#include <algorithm>
#include <functional>

namespace {

// Read access to a grid's tiles as the chains see them: the universe of a tile that takes
// part (not excluded, patched), else -1.
struct CRecordGrid {
    const std::vector<CTileRecord>& tiles;
    int32_t Universe(int i) const
    {
        const CTileRecord& t = tiles[static_cast<size_t>(i)];
        return t.excluded || t.universe < 0 ? -1 : t.universe;
    }
    int32_t Address(int i) const { return tiles[static_cast<size_t>(i)].address; }
};

struct CCopiedGrid {
    const CChainGrid& grid;
    int32_t Universe(int i) const { return grid.universes[static_cast<size_t>(i)]; }
    int32_t Address(int i) const { return grid.addresses[static_cast<size_t>(i)]; }
};

// The universes the chains run through, ascending, each with its range of chain
// positions. Real projects number universes densely, so a table indexed by universe is
// the common case; absurd universe numbers from a file fall back to a sorted list.
class CUniverseBuckets {
public:
    // `takesPart(i)` gives the universe of tile i when it takes part, else -1.
    template <typename Takes> CUniverseBuckets(int count, Takes takesPart)
    {
        constexpr int kDirectLimit = 1 << 22;
        std::vector<int> counts;
        bool sparse = false;
        for (int i = 0; i < count; ++i) {
            const int universe = takesPart(i);
            if (universe < 0)
                continue;
            if (universe >= kDirectLimit) {
                sparse = true;
                continue;
            }
            const size_t u = static_cast<size_t>(universe);
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
                const int universe = takesPart(i);
                if (universe >= 0 && universe != last)
                    universes.push_back(last = universe);
            }
            std::sort(universes.begin(), universes.end());
            universes.erase(std::unique(universes.begin(), universes.end()), universes.end());
            sizes.assign(universes.size(), 0);
            for (int i = 0; i < count; ++i) {
                const int universe = takesPart(i);
                if (universe >= 0)
                    ++sizes[SlotOf(universe)];
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

// A tile's sort key in a walk from `from`: the address above `from` in the high half, the
// tile index in the low half. Every address that takes part is `from` or above.
uint64_t WalkKey(int32_t address, int from, int index)
{
    return (static_cast<uint64_t>(static_cast<int64_t>(address) - from) << 32)
        | static_cast<uint32_t>(index);
}

// Sorts one universe's keys into address order, scan order within an address;
// `addresses` is the number of possible address values. Patched universes are mostly in
// order or reversed already, which is checked first; a large universe in no order is
// counted into place.
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

// Hands the sorted keys of one universe to `append` in walk order. The running address
// starts at the `from` group (key 0), where the repeated "same address: last such tile"
// rule takes the tiles from the last back; every higher group is entered at its first
// scanned tile and continues from its last one back.
template <typename Append>
void WalkSortedKeys(std::vector<uint64_t>::const_iterator first,
    std::vector<uint64_t>::const_iterator last, Append append)
{
    for (auto g = first; g != last;) {
        const uint64_t group = *g >> 32;
        auto groupEnd = g + 1;
        while (groupEnd != last && (*groupEnd >> 32) == group)
            ++groupEnd;
        auto rest = g;
        if (group != 0)
            append(static_cast<int>(static_cast<uint32_t>(*rest++)));
        for (auto r = groupEnd; r != rest;)
            append(static_cast<int>(static_cast<uint32_t>(*--r)));
        g = groupEnd;
    }
}

// Snake through the rows: even rows left to right, odd rows right to left.
template <typename Grid>
void BuildByPosition(CConnectionChains& result, const Grid& grid, int columns, int rows)
{
    CUniverseBuckets buckets(columns * rows, [&](int i) { return grid.Universe(i); });
    result.tiles.resize(static_cast<size_t>(buckets.Total()));
    result.cells.resize(result.tiles.size());
    auto visit = [&](int row, int column) {
        const int index = row * columns + column;
        const int universe = grid.Universe(index);
        if (universe < 0)
            return;
        const size_t at = buckets.Place(universe);
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

// Every universe walked from address -1 at once, as AppendTilesOfUniverse walks one.
template <typename Grid>
void BuildByAddress(
    CConnectionChains& result, const Grid& grid, int columns, int rows, int highestAddress)
{
    const long long upper = static_cast<long long>(highestAddress) + 1;
    auto takesPart = [&](int i) {
        const int universe = grid.Universe(i);
        if (universe < 0)
            return -1;
        const int32_t address = grid.Address(i);
        return address >= -1 && address < upper ? universe : -1;
    };
    const int count = columns * rows;
    CUniverseBuckets buckets(count, takesPart);
    std::vector<uint64_t> keys(static_cast<size_t>(buckets.Total()));
    for (int i = 0; i < count; ++i) {
        const int universe = takesPart(i);
        if (universe >= 0)
            keys[buckets.Place(universe)] = WalkKey(grid.Address(i), -1, i);
    }

    result.tiles.resize(keys.size());
    result.cells.resize(keys.size());
    std::vector<uint64_t> scratch;
    std::vector<int> counts;
    size_t out = 0;
    auto append = [&](int index) {
        const int row = index / columns;
        result.tiles[out] = index;
        result.cells[out++] = { index - row * columns, row };
    };
    for (size_t k = 0; k < buckets.universes.size(); ++k) {
        const auto first = keys.begin() + buckets.offsets[k];
        const auto last = keys.begin() + buckets.offsets[k + 1];
        SortKeys(first, last, upper + 1, scratch, counts);
        WalkSortedKeys(first, last, append);
    }
    AddChains(result, buckets);
}

template <typename Grid>
CConnectionChains BuildChains(
    const Grid& grid, int columns, int rows, int highestAddress, ConnectionOrder order)
{
    CConnectionChains result;
    if (order == ConnectionOrder::ByPosition)
        BuildByPosition(result, grid, columns, rows);
    else
        BuildByAddress(result, grid, columns, rows, highestAddress);

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

// The universe of a tile, negative when it takes no part: without branches, since the
// window's thread runs this over every tile before each build aside.
int32_t TakingPart(const CTileRecord& t)
{
    return t.universe | -static_cast<int32_t>(t.excluded != 0);
}

bool FitsGrid(int columns, int rows, size_t tileCount)
{
    return columns >= 1 && rows >= 1
        && static_cast<long long>(columns) * rows <= static_cast<long long>(tileCount);
}

} // namespace

void AppendTilesOfUniverse(std::vector<int>& out, const std::vector<CTileRecord>& tiles,
    int universe, int highestAddress, int fromAddress, bool skipVisited)
{
    // Higher addresses count up to the highest; the running address itself may lie beyond.
    const long long upper = static_cast<long long>(highestAddress) + 1;
    std::vector<uint64_t> keys;
    const int count = static_cast<int>(tiles.size());
    for (int i = 0; i < count; ++i) {
        const CTileRecord& t = tiles[static_cast<size_t>(i)];
        if (t.excluded || t.universe != universe || (skipVisited && t.visited))
            continue;
        if (t.address == fromAddress || (t.address > fromAddress && t.address < upper))
            keys.push_back(WalkKey(t.address, fromAddress, i));
    }
    const long long span = std::max(upper, static_cast<long long>(fromAddress) + 1) - fromAddress;
    std::vector<uint64_t> scratch;
    std::vector<int> counts;
    SortKeys(keys.begin(), keys.end(), span, scratch, counts);
    out.reserve(out.size() + keys.size());
    WalkSortedKeys(keys.cbegin(), keys.cend(), [&](int index) { out.push_back(index); });
}

void CopyChainGrid(CChainGrid& grid, const std::vector<CTileRecord>& tiles, int columns, int rows,
    int highestAddress, ConnectionOrder order)
{
    grid.columns = columns;
    grid.rows = rows;
    grid.highestAddress = highestAddress;
    grid.order = order;
    if (!FitsGrid(columns, rows, tiles.size())) {
        grid.universes.clear();
        grid.addresses.clear();
        return;
    }
    const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    // Runs on the window's thread before every build aside: one pass, no checks per tile.
    grid.universes.resize(count);
    const CTileRecord* tile = tiles.data();
    int32_t* universe = grid.universes.data();
    if (order == ConnectionOrder::ByAddress) {
        grid.addresses.resize(count);
        int32_t* address = grid.addresses.data();
        for (size_t i = 0; i < count; ++i) {
            universe[i] = TakingPart(tile[i]);
            address[i] = tile[i].address;
        }
    } else {
        std::vector<int32_t>().swap(grid.addresses);
        for (size_t i = 0; i < count; ++i)
            universe[i] = TakingPart(tile[i]);
    }
}

CConnectionChains BuildConnectionChains(const std::vector<CTileRecord>& tiles, int columns,
    int rows, int highestAddress, ConnectionOrder order)
{
    if (!FitsGrid(columns, rows, tiles.size()))
        return {};
    return BuildChains(CRecordGrid { tiles }, columns, rows, highestAddress, order);
}

CConnectionChains BuildConnectionChains(const CChainGrid& grid)
{
    const size_t needed = grid.order == ConnectionOrder::ByAddress ? grid.universes.size() : 0;
    if (!FitsGrid(grid.columns, grid.rows, grid.universes.size()) || grid.addresses.size() < needed)
        return {};
    return BuildChains(
        CCopiedGrid { grid }, grid.columns, grid.rows, grid.highestAddress, grid.order);
}
