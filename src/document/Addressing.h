#pragma once

class CSubDoc;
struct CSectionSetup;

// The parameters of one automatic addressing run.
struct CAddressingParams {
    int width = 0;
    int height = 0;
    int baseUniverse = 0;
    int firstAddress = 0;     // zero-based
    int highestAddress = 512; // one-based
    int origin = 0;
    int direction = 0;
    int snake = 0;

    static CAddressingParams FromSetup(const CSectionSetup& setup);
};

enum class AddressScope { AllTiles, SelectedTiles };

// Gives tiles their universe and start address, then recounts the section's universes.
// Does nothing when the section has no usable fixture type or no tile grid.
void AddressTiles(CSubDoc& section, const CAddressingParams& params, AddressScope scope);

// Writes universe and address of the items of the tile at (x, y).
void DeriveTileItems(CSubDoc& section, int x, int y);

// The fixture's flags remapped for the section's orientation (0..3).
int TransformFlagsForOrientation(int flags, int orientation);
