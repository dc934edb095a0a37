#include "document/section/Addressing.h"

#include "app/library/FixtureType.h"
#include "document/section/SectionSetup.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstring>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

namespace {

int SwapLowBits(int flags)
{
    return (flags & ~3) | ((flags & 1) << 1) | ((flags >> 1) & 1);
}

int ClampToInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// The running (address, universe) pair of one tile addressing run.
class CAddressCounter {
public:
    CAddressCounter(const CAddressingParams& params, long long channels)
        : m_address(params.firstAddress)
        , m_universe(params.baseUniverse)
        , m_highest(params.highestAddress)
        , m_channels(channels)
    {
    }

    void Place(CTileRecord& tile) { Next(tile.universe, tile.address); }

    void Next(int32_t& universe, int32_t& address)
    {
        if (m_universe > kHighestUniverse) {
            universe = -1;
            address = -1;
            return;
        }
        universe = static_cast<int32_t>(m_universe);
        address = static_cast<int32_t>(m_address);
        m_address += m_channels;
        // Look ahead: the next tile stays only if all its channels fit below the limit,
        // so a fixture never straddles two universes.
        if (m_address + m_channels > m_highest) {
            m_address = 0;
            ++m_universe;
        }
    }

private:
    long long m_address;
    long long m_universe;
    long long m_highest;
    long long m_channels;
};

// The same run as CAddressCounter as arithmetic: where the k-th placed tile lands. With it
// every walk goes over the grid row by row and splits in halves: stepping along a column
// of a large grid would touch a new cache line and page at every tile.
class CAddressSequence {
public:
    struct Place {
        long long universe;
        long long address;
    };

    CAddressSequence(const CAddressingParams& params, long long channels)
        : m_first(params.firstAddress)
        , m_base(params.baseUniverse)
        , m_highest(params.highestAddress)
        , m_channels(channels)
        // The first tile of a universe is placed even when it does not fit.
        , m_inFirst(std::max(1LL, (m_highest - m_first) / std::max(channels, 1LL)))
        , m_inOthers(std::max(1LL, m_highest / std::max(channels, 1LL)))
    {
    }

    // Negative starts and channel counts of 0 step in ways the arithmetic does not follow.
    bool Applies() const { return m_channels > 0 && m_first >= 0 && m_base >= 0; }

    Place At(long long rank) const
    {
        if (rank < m_inFirst)
            return { m_base, m_first + rank * m_channels };
        const long long later = rank - m_inFirst;
        return { m_base + 1 + later / m_inOthers, (later % m_inOthers) * m_channels };
    }

    // Tiles per universe when `placed` tiles are addressed: ascending, each once.
    void Counts(long long placed, std::vector<std::pair<int, int>>& counts) const
    {
        counts.clear();
        long long universe = m_base;
        long long left = placed;
        long long room = m_inFirst;
        while (left > 0 && universe <= kHighestUniverse) {
            const long long here = std::min(left, room);
            counts.emplace_back(static_cast<int>(universe), static_cast<int>(here));
            left -= here;
            ++universe;
            room = m_inOthers;
        }
    }

    long long Channels() const { return m_channels; }
    // Position of the tile of that rank within its universe.
    long long IndexInUniverse(long long rank) const
    {
        return rank < m_inFirst ? rank : (rank - m_inFirst) % m_inOthers;
    }
    long long FirstAddressIn(long long universe) const { return universe == m_base ? m_first : 0; }
    long long TilesIn(long long universe) const
    {
        return universe == m_base ? m_inFirst : m_inOthers;
    }

private:
    long long m_first;
    long long m_base;
    long long m_highest;
    long long m_channels;
    long long m_inFirst; // tiles in the base universe
    long long m_inOthers; // tiles in each later universe
};

// A tile's universe and address as one word, as CTileRecord stores them: a step of the
// address is then one addition.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "PackPlace puts the address in the high half, where a little-endian CTileRecord has it"
#endif
uint64_t PackPlace(long long universe, long long address)
{
    return static_cast<uint32_t>(universe)
        | static_cast<uint64_t>(static_cast<uint32_t>(address)) << 32;
}

uint64_t PlaceOf(const CTileRecord& tile)
{
    static_assert(offsetof(CTileRecord, address) == offsetof(CTileRecord, universe) + 4);
    uint64_t place;
    std::memcpy(&place, &tile.universe, sizeof place);
    return place;
}

constexpr uint64_t kNoPlace = ~uint64_t { 0 }; // universe and address -1

// Runs work(0) .. work(chunks - 1) on this thread and, when there is more than one chunk
// and a thread can be had, on a second one, each taking the next chunk not yet taken: a
// second core that is busy elsewhere then only delays the chunk it took.
template <typename Work> void RunChunks(int chunks, Work work)
{
    std::atomic<int> next { 0 };
    const auto take = [&] {
        for (int chunk = next++; chunk < chunks; chunk = next++)
            work(chunk);
    };
    std::exception_ptr failure;
    std::thread second;
    if (chunks > 1) {
        try {
            second = std::thread([&] {
                try {
                    take();
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
        }
    }
    try {
        take();
    } catch (...) {
        if (second.joinable())
            second.join();
        throw;
    }
    if (second.joinable())
        second.join();
    if (failure)
        std::rethrow_exception(failure);
}

// Calls visit(tile, place) for every tile, going over the grid row by row whatever the
// walk order, with the packed universe and address that addressing all tiles with `params`
// gives it (kNoPlace for excluded tiles); stops when visit returns false. A first pass
// counts the tiles of each walk line (row or column), which gives every line the rank its
// walk starts at; after that a tile costs one step of its line's place, and bands of rows
// go to the two cores. `placed` receives the number of tiles in
// the walk. Empty when the walk reaches beyond the highest universe (the caller steps).
template <typename Tile, typename Visit>
std::optional<bool> ForEachPlaceByRows(Tile* tiles, int width, int height,
    const CAddressingParams& params, const CAddressSequence& sequence, long long& placed,
    Visit visit)
{
    const bool columns = params.direction != 0;
    const std::size_t lines = static_cast<std::size_t>(columns ? width : height);
    // Bands of rows, shared out between two cores on large grids.
    const int chunks
        = static_cast<long long>(width) * height >= (1 << 18) ? std::min(height, 8) : 1;
    const auto rowsOf = [&](int chunk) {
        return std::make_pair(static_cast<int>(static_cast<long long>(height) * chunk / chunks),
            static_cast<int>(static_cast<long long>(height) * (chunk + 1) / chunks));
    };
    // Tiles per line; for columns also per band, turned into where each band starts.
    std::vector<long long> inLine(lines, 0);
    std::vector<std::vector<long long>> inBand(columns ? chunks : 0);
    RunChunks(chunks, [&](int chunk) {
        const auto [top, bottom] = rowsOf(chunk);
        std::vector<long long> counted(columns ? lines : 0, 0);
        for (int y = top; y < bottom; ++y) {
            const Tile* row = tiles + static_cast<std::size_t>(y) * width;
            long long inRow = 0;
            for (int x = 0; x < width; ++x) {
                const long long here = row[x].excluded ? 0 : 1;
                inRow += here;
                if (columns)
                    counted[static_cast<std::size_t>(x)] += here;
            }
            if (!columns)
                inLine[static_cast<std::size_t>(y)] = inRow;
        }
        if (columns)
            inBand[static_cast<std::size_t>(chunk)] = std::move(counted);
    });
    // For columns, each band's counts become those of the bands above it.
    for (std::vector<long long>& band : inBand) {
        for (std::size_t x = 0; x < lines; ++x) {
            const long long here = band[x];
            band[x] = inLine[x];
            inLine[x] += here;
        }
    }
    placed = 0;
    for (long long count : inLine)
        placed += count;
    if (placed > 0 && sequence.At(placed - 1).universe > kHighestUniverse)
        return std::nullopt;

    // Rank of each line's first tile in the walk, and whether storage order meets its
    // tiles backwards (a row walked leftwards, a column walked upwards).
    std::vector<long long> start(lines, 0);
    std::vector<char> backwards(lines, 0);
    const bool fromFar = columns ? (params.origin & 1) != 0 : (params.origin & 2) != 0;
    const int along = columns ? 2 : 1;
    long long rank = 0;
    for (std::size_t step = 0; step < lines; ++step) {
        const std::size_t line = fromFar ? lines - 1 - step : step;
        int origin = params.origin;
        if (params.snake && (step & 1))
            origin ^= along;
        backwards[line] = (origin & along) ? 1 : 0;
        start[line] = rank;
        rank += inLine[line];
    }

    // Where one line's walk stands: the next place met in storage order and the tiles left
    // in its universe that way. Small, as a column walk keeps one per column.
    struct Cursor {
        uint64_t next = 0;
        int32_t left = 0;
        bool backwards = false;
    };
    const long long channels = sequence.Channels();
    const uint64_t forwardStep = static_cast<uint64_t>(channels) << 32;
    const uint64_t backwardStep = static_cast<uint64_t>(-channels) << 32;
    // `before` tiles of the line lie before this point in storage order.
    const auto cursorAt = [&](std::size_t line, long long before) {
        Cursor cursor;
        cursor.backwards = backwards[line] != 0;
        const long long count = inLine[line];
        if (before >= count)
            return cursor; // no tile of the line is met from here
        const long long at
            = cursor.backwards ? start[line] + count - 1 - before : start[line] + before;
        const CAddressSequence::Place place = sequence.At(at);
        const long long index = sequence.IndexInUniverse(at);
        cursor.next = PackPlace(place.universe, place.address);
        cursor.left = static_cast<int32_t>(
            cursor.backwards ? index + 1 : sequence.TilesIn(place.universe) - index);
        return cursor;
    };
    // Into the next universe in the line's direction (rare: once per universe).
    // The universe is the low half of the packed place, which steps of the address leave.
    const auto turn = [&](Cursor& cursor) {
        const long long universe = static_cast<long long>(static_cast<uint32_t>(cursor.next))
            + (cursor.backwards ? -1 : 1);
        const long long room = sequence.TilesIn(universe);
        cursor.left = static_cast<int32_t>(room);
        cursor.next = PackPlace(universe,
            sequence.FirstAddressIn(universe) + (cursor.backwards ? (room - 1) * channels : 0));
    };

    // One tile met in storage order; false stops the walk.
    const auto meet = [&](Tile& tile, Cursor& cursor) {
        if (tile.excluded)
            return visit(tile, kNoPlace);
        if (!visit(tile, cursor.next))
            return false;
        cursor.next += cursor.backwards ? backwardStep : forwardStep;
        if (--cursor.left == 0)
            turn(cursor);
        return true;
    };
    std::atomic<bool> stop { false };
    RunChunks(chunks, [&](int chunk) {
        const auto [top, bottom] = rowsOf(chunk);
        // Separate loops, so that a row's cursor can live in registers.
        if (!columns) {
            for (int y = top; y < bottom && !stop.load(std::memory_order_relaxed); ++y) {
                Tile* row = tiles + static_cast<std::size_t>(y) * width;
                Cursor cursor = cursorAt(static_cast<std::size_t>(y), 0);
                for (int x = 0; x < width; ++x) {
                    if (!meet(row[x], cursor)) {
                        stop = true;
                        return;
                    }
                }
            }
            return;
        }
        std::vector<Cursor> cursors(lines);
        for (std::size_t x = 0; x < lines; ++x)
            cursors[x] = cursorAt(x, inBand[static_cast<std::size_t>(chunk)][x]);
        for (int y = top; y < bottom && !stop.load(std::memory_order_relaxed); ++y) {
            Tile* row = tiles + static_cast<std::size_t>(y) * width;
            for (int x = 0; x < width; ++x) {
                if (!meet(row[x], cursors[static_cast<std::size_t>(x)])) {
                    stop = true;
                    return;
                }
            }
        }
    });
    return !stop.load();
}

// AddressTileGrid over all tiles, row by row; false when it has to step.
bool AddressAllByRows(CTileRecord* tiles, const CTileGrid& grid, const CAddressingParams& params,
    const CAddressSequence& sequence, std::vector<std::pair<int, int>>& counts)
{
    long long placed = 0;
    const std::optional<bool> done = ForEachPlaceByRows(tiles, grid.columns, grid.rows, params,
        sequence, placed, [](CTileRecord& tile, uint64_t place) {
            std::memcpy(&tile.universe, &place, sizeof place);
            return true;
        });
    if (!done)
        return false;
    sequence.Counts(placed, counts);
    return true;
}

// TileGridFollowsAddressing, row by row; `placed` as ForEachPlaceByRows.
std::optional<bool> FollowedByRows(const CTileRecord* tiles, const CTileGrid& grid,
    const CAddressingParams& params, const CAddressSequence& sequence, long long& placed)
{
    return ForEachPlaceByRows(tiles, grid.columns, grid.rows, params, sequence, placed,
        [](const CTileRecord& tile, uint64_t place) { return PlaceOf(tile) == place; });
}

} // namespace

CAddressingParams CAddressingParams::FromSetup(const CSectionSetup& setup)
{
    CAddressingParams params;
    params.width = setup.matrix_width;
    params.height = setup.matrix_height;
    params.baseUniverse = setup.base_universe;
    params.firstAddress = setup.addr_first;
    params.highestAddress = setup.addr_count;
    params.origin = setup.address_origin;
    params.direction = setup.primary_direction;
    params.snake = setup.check_invert_secondaries;
    return params;
}

bool AddressTileGrid(CTileRecord* tiles, const CTileGrid& grid, const CAddressingParams& params,
    AddressScope scope, std::vector<std::pair<int, int>>& counts)
{
    counts.clear();
    const int width = grid.columns;
    const int height = grid.rows;
    if (width <= 0 || height <= 0)
        return false;

    const CAddressSequence sequence(params, grid.channelsPerFixture);
    if (scope == AddressScope::AllTiles && sequence.Applies()
        && AddressAllByRows(tiles, grid, params, sequence, counts))
        return true;
    counts.clear();
    CAddressCounter counter(params, grid.channelsPerFixture);
    if (scope == AddressScope::SelectedTiles) {
        ForEachTileInAddressOrder(width, height, params, [&](long long index) {
            CTileRecord& tile = tiles[index];
            if (!tile.selected)
                return;
            if (tile.excluded) {
                tile.universe = -1;
                tile.address = -1;
                return;
            }
            counter.Place(tile);
        });
        return false;
    }

    // Every tile: the walk hands out universes in ascending order, so it counts them too
    // (a recount in storage order would meet a new universe at almost every tile of a
    // vertical walk).
    ForEachTileInAddressOrder(width, height, params, [&](long long index) {
        CTileRecord& tile = tiles[index];
        if (tile.excluded) {
            tile.universe = -1;
            tile.address = -1;
            return;
        }
        counter.Place(tile);
        if (tile.universe < 0)
            return;
        if (counts.empty() || counts.back().first != tile.universe)
            counts.emplace_back(tile.universe, 0);
        ++counts.back().second;
    });
    return true;
}

bool TileGridFollowsAddressing(
    const CTileRecord* tiles, const CTileGrid& grid, const CAddressingParams& params)
{
    const int width = grid.columns;
    const int height = grid.rows;
    if (width <= 0 || height <= 0)
        return false;
    const CAddressSequence sequence(params, grid.channelsPerFixture);
    long long placed = 0;
    if (sequence.Applies()) {
        if (const std::optional<bool> follows
            = FollowedByRows(tiles, grid, params, sequence, placed))
            return *follows;
    }
    CAddressCounter counter(params, grid.channelsPerFixture);
    bool same = true;
    ForEachTileInAddressOrder(width, height, params, [&](long long index) {
        const CTileRecord& tile = tiles[index];
        int32_t universe = -1;
        int32_t address = -1;
        if (!tile.excluded)
            counter.Next(universe, address);
        same = same && tile.universe == universe && tile.address == address;
    });
    return same;
}

bool TileGridChannelRanges(const CTileRecord* tiles, const CTileGrid& grid,
    const CAddressingParams& params, std::vector<std::pair<int64_t, int64_t>>& ranges)
{
    ranges.clear();
    if (static_cast<long long>(grid.columns) * grid.rows <= 0)
        return false;
    const CAddressSequence sequence(params, grid.channelsPerFixture);
    long long placed = 0;
    if (!sequence.Applies()
        || FollowedByRows(tiles, grid, params, sequence, placed) != std::optional<bool>(true))
        return false;
    return PlacedTileChannelRanges(grid, params, placed, ranges);
}

bool PlacedTileChannelRanges(const CTileGrid& grid, const CAddressingParams& params,
    long long placed, std::vector<std::pair<int64_t, int64_t>>& ranges)
{
    ranges.clear();
    if (static_cast<long long>(grid.columns) * grid.rows <= 0 || placed < 0)
        return false;
    const long long channels = grid.channelsPerFixture;
    const CAddressSequence sequence(params, channels);
    if (!sequence.Applies())
        return false;
    long long total = placed;
    // Within a universe the tiles follow each other without a gap: one run each, joined to
    // the previous one where they touch.
    int64_t first = INT64_MIN;
    int64_t end = INT64_MIN;
    for (long long universe = params.baseUniverse; total > 0 && universe <= kHighestUniverse;
         ++universe) {
        const long long here = std::min(total, sequence.TilesIn(universe));
        total -= here;
        const int64_t start
            = static_cast<int64_t>(universe) * 512 + sequence.FirstAddressIn(universe);
        if (start == end) {
            end += here * channels;
        } else if (start > end) {
            if (end != INT64_MIN)
                ranges.emplace_back(first, end);
            first = start;
            end = start + here * channels;
        } else {
            ranges.clear();
            return false;
        }
    }
    if (end != INT64_MIN)
        ranges.emplace_back(first, end);
    return true;
}

int TransformFlagsForOrientation(int flags, int orientation)
{
    switch (orientation) {
    case 1:
        return SwapLowBits(flags) ^ (CFixtureType::kFlagColumnMajor | CFixtureType::kFlagReverseX);
    case 2:
        return flags ^ (CFixtureType::kFlagReverseX | CFixtureType::kFlagReverseY);
    case 3:
        return SwapLowBits(flags) ^ (CFixtureType::kFlagColumnMajor | CFixtureType::kFlagReverseY);
    default:
        return flags;
    }
}

std::vector<int> ItemOffsetsForTile(const CFixtureType& type, int orientation)
{
    const bool quarterTurn = orientation == 1 || orientation == 3;
    const int columns = std::max(0, quarterTurn ? type.height : type.width);
    const int rows = std::max(0, quarterTurn ? type.width : type.height);
    std::vector<int> offsets(static_cast<size_t>(columns) * rows, -1);

    if (type.flags & CFixtureType::kFlagDmxMatrix) {
        // The table is in the fixture's own frame; cells beyond a quarter-turned,
        // non-square tile are dropped so that no other tile's items are touched.
        for (int k = 0; k < type.height && k < rows; ++k)
            for (int m = 0; m < type.width && m < columns; ++m)
                offsets[static_cast<size_t>(m) + static_cast<size_t>(k) * columns]
                    = type.MatrixOffset(m, k);
        return offsets;
    }

    const int g = TransformFlagsForOrientation(type.flags, orientation);
    const bool snake = (g & CFixtureType::kFlagSnake) != 0;
    long long counter = 0;
    auto place = [&](int i, int j, int o) {
        const int column = (o & 1) ? columns - 1 - i : i;
        const int row = (o & 2) ? rows - 1 - j : j;
        offsets[static_cast<size_t>(column) + static_cast<size_t>(row) * columns]
            = ClampToInt(counter);
        counter += type.addressesPerQuark;
    };
    if (g & CFixtureType::kFlagColumnMajor) {
        for (int i = 0; i < columns; ++i) {
            const int o = (g & 3) ^ ((snake && (i & 1)) ? 2 : 0);
            for (int j = 0; j < rows; ++j)
                place(i, j, o);
        }
    } else {
        for (int j = 0; j < rows; ++j) {
            const int o = (g & 3) ^ ((snake && (j & 1)) ? 1 : 0);
            for (int i = 0; i < columns; ++i)
                place(i, j, o);
        }
    }
    return offsets;
}
