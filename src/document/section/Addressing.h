#pragma once

#include "document/section/TileRecord.h"

#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

class CFixtureType;
struct CSectionSetup;

// Tiles that would need a universe beyond this stay undefined (-1/-1): the counter never
// wraps, and the one-based universe shown to the user still fits an int.
constexpr int kHighestUniverse = INT_MAX - 1;

// The parameters of one automatic addressing run.
struct CAddressingParams {
    int width = 0;
    int height = 0;
    int baseUniverse = 0;
    int firstAddress = 0; // zero-based
    int highestAddress = 512; // one-based
    int origin = 0;
    int direction = 0;
    int snake = 0;

    static CAddressingParams FromSetup(const CSectionSetup& setup);
};

enum class AddressScope { AllTiles, SelectedTiles };

// Calls visit(index) for every tile of a width x height grid in the order in which an
// addressing run with `params` gives out addresses: from the origin corner along the primary
// direction, every second line the other way in snake mode.
template <typename Visit>
void ForEachTileInAddressOrder(int width, int height, const CAddressingParams& params, Visit visit)
{
    if (width <= 0 || height <= 0)
        return;
    const long long stride = width;
    if (params.direction == 0) {
        for (int line = 0; line < height; ++line) {
            int origin = params.origin;
            if (params.snake && (line & 1))
                origin ^= 1;
            const long long row = ((origin & 2) ? height - 1 - line : line) * stride;
            if (origin & 1) {
                for (long long x = width - 1; x >= 0; --x)
                    visit(row + x);
            } else {
                for (long long x = 0; x < width; ++x)
                    visit(row + x);
            }
        }
    } else {
        for (int line = 0; line < width; ++line) {
            int origin = params.origin;
            if (params.snake && (line & 1))
                origin ^= 2;
            const long long x = (origin & 1) ? width - 1 - line : line;
            if (origin & 2) {
                for (long long y = height - 1; y >= 0; --y)
                    visit(x + y * stride);
            } else {
                for (long long y = 0; y < height; ++y)
                    visit(x + y * stride);
            }
        }
    }
}

// What addressing sees of a section: the size of its tile grid, whose records lie row by row,
// and the channels one tile takes (F of the fixture type). The section's own entry points
// (AddressTiles and the others in SubDoc.h) hand it over.
struct CTileGrid {
    int columns = 0;
    int rows = 0;
    long long channelsPerFixture = 0;
};

// Gives tiles their universe and start address. True when `counts` then holds the tiles of
// each universe (ascending universes, counts above 0), as a walk over every tile knows them;
// false when the caller has to recount (only the selected tiles, or no tile grid).
bool AddressTileGrid(CTileRecord* tiles, const CTileGrid& grid, const CAddressingParams& params,
    AddressScope scope, std::vector<std::pair<int, int>>& counts);

// Whether every tile holds what AddressTileGrid over all tiles with `params` would give it.
// False without tiles.
bool TileGridFollowsAddressing(
    const CTileRecord* tiles, const CTileGrid& grid, const CAddressingParams& params);

// When the tiles follow the addressing: the channel keys (universe * 512 + address) they
// occupy as ascending ranges first .. end - 1, joined where they touch, worked out from the
// parameters without visiting the tiles in walk order. False, with no ranges, when the tiles
// do not follow or their footprints overlap.
bool TileGridChannelRanges(const CTileRecord* tiles, const CTileGrid& grid,
    const CAddressingParams& params, std::vector<std::pair<int64_t, int64_t>>& ranges);

// The same for tiles known to follow, from the number of tiles that are not excluded:
// AddressTileGrid over all tiles with `params` has just placed `placed` tiles and nothing has
// written them since. Spares the check's pass over the grid.
bool PlacedTileChannelRanges(const CTileGrid& grid, const CAddressingParams& params,
    long long placed, std::vector<std::pair<int64_t, int64_t>>& ranges);

// The fixture's flags remapped for the section's orientation (0..3).
int TransformFlagsForOrientation(int flags, int orientation);

// Channel offset of every item of one tile, counted from the tile's first item channel
// (tile address + headerAddresses), indexed by item column + item row * X for the
// orientation. -1 marks items that an explicit offset table does not reach (a non-square
// table on a quarter-turned tile).
std::vector<int> ItemOffsetsForTile(const CFixtureType& type, int orientation);
