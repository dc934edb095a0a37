#pragma once

#include "document/section/TileRecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ConnectionOrder { ByPosition, ByAddress };

// The tiles of one universe in address order, the order in which the data runs through
// them: first the tiles at `fromAddress`, from the last in scan order back; then each
// higher address up to `highestAddress` (one-based) in turn, the first scanned tile of an
// address opening its group and the others following from the last back. Excluded tiles
// take no part, nor visited ones when `skipVisited`. Appends tile indices to `out`.
void AppendTilesOfUniverse(std::vector<int>& out, const std::vector<CTileRecord>& tiles,
    int universe, int highestAddress, int fromAddress = -1, bool skipVisited = false);

// The connection chains of one section: per universe (ascending) the tiles in the order
// the data runs through them. Chains are never empty; chain k gets legend box k + 1.
struct CConnectionChains {
    struct Chain {
        int universe = 0;
        int begin = 0; // range in `tiles`
        int end = 0;
        // Tiles the chain touches: column and row ranges, both ends included.
        int firstColumn = 0;
        int lastColumn = -1;
        int firstRow = 0;
        int lastRow = -1;
    };
    std::vector<Chain> chains;
    std::vector<int> tiles; // tile indices, row-major (column + row * columns)
    struct Cell {
        int32_t column = 0;
        int32_t row = 0;
    };
    std::vector<Cell> cells; // the same tiles by column and row

    int LegendNumber(size_t chain) const { return static_cast<int>(chain) + 1; }
};

// What the chains read of a grid, copied for a build that runs while the tiles may be
// edited: a third of the tiles' size by position, two thirds by address.
struct CChainGrid {
    int columns = 0;
    int rows = 0;
    int highestAddress = 0;
    ConnectionOrder order = ConnectionOrder::ByPosition;
    std::vector<int32_t> universes; // -1 where the tile takes no part
    std::vector<int32_t> addresses; // by address only
};
// Fills `grid` from the tiles, reusing its memory.
void CopyChainGrid(CChainGrid& grid, const std::vector<CTileRecord>& tiles, int columns, int rows,
    int highestAddress, ConnectionOrder order);

// Builds every chain in one sweep over the tiles. Tiles that are excluded or have no
// universe take no part. By address, each chain is its universe's AppendTilesOfUniverse.
CConnectionChains BuildConnectionChains(const std::vector<CTileRecord>& tiles, int columns,
    int rows, int highestAddress, ConnectionOrder order);
CConnectionChains BuildConnectionChains(const CChainGrid& grid);
