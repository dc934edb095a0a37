#pragma once

#include <climits>
#include <vector>

class CSubDoc;
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

// Gives tiles their universe and start address, then recounts the section's universes.
// Does nothing when the section has no usable fixture type or no tile grid. The walk
// covers the section's actual tile grid; params.width and params.height are not used to
// reach beyond it.
void AddressTiles(CSubDoc& section, const CAddressingParams& params, AddressScope scope);

// Writes universe and address of the items of the tile at (x, y).
void DeriveTileItems(CSubDoc& section, int x, int y);

// The fixture's flags remapped for the section's orientation (0..3).
int TransformFlagsForOrientation(int flags, int orientation);

// Channel offset of every item of one tile, counted from the tile's first item channel
// (tile address + headerAddresses), indexed by item column + item row * X for the
// orientation. -1 marks items that an explicit offset table does not reach (a non-square
// table on a quarter-turned tile).
std::vector<int> ItemOffsetsForTile(const CFixtureType& type, int orientation);

// Writes the items of the tile at (x, y) from precomputed offsets; the item grid must
// already have the size for the section's tile grid and orientation.
void ApplyItemOffsets(
    CSubDoc& section, const CFixtureType& type, const std::vector<int>& offsets, int x, int y);
