#include "document/Addressing.h"

#include "app/FixtureType.h"
#include "document/SubDoc.h"

#include <algorithm>
#include <climits>

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

void AddressTiles(CSubDoc& section, const CAddressingParams& params, AddressScope scope)
{
    const CFixtureType* type = section.GetFixtureType();
    const int width = section.GetTileColumns();
    const int height = section.GetTileRows();
    if (!type || width <= 0 || height <= 0)
        return;

    CAddressCounter counter(params, type->ChannelsPerFixture());
    CTileRecord* tiles = section.Tiles().data();
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
        section.RecountUniverses();
        return;
    }

    // Every tile: the walk hands out universes in ascending order, so it counts them too
    // (a recount in storage order would meet a new universe at almost every tile of a
    // vertical walk).
    std::vector<std::pair<int, int>> counts;
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
    section.AssignUniverseCounts(counts);
}

bool TilesFollowAddressing(const CSubDoc& section, const CAddressingParams& params)
{
    const CFixtureType* type = section.GetFixtureType();
    const int width = section.GetTileColumns();
    const int height = section.GetTileRows();
    if (!type || width <= 0 || height <= 0)
        return false;
    CAddressCounter counter(params, type->ChannelsPerFixture());
    const CTileRecord* tiles = section.Tiles().data();
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
