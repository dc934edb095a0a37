#pragma once

#include <optional>
#include <string>

class CQuiltmarkDoc;

// What "Go To" was asked for.
struct CGoToTarget {
    enum class Kind { Tile, Address, ScreenId };
    Kind kind = Kind::Tile;
    int section = -1; // Tile: zero-based section of "2:B3"; -1 for the current one
    int column = 0; // Tile, zero-based
    int row = 0;
    int universe = 0; // Address, zero-based
    int address = 0;
    long long screenId = 0;
};

// A tile name ("B3", or "2:B3" / "S2:B3" for another section), a DMX address ("U03.145" or
// "3.145", one-based) or a screen id ("1234"). Blanks around the text and letter case do not
// matter. None for anything else, numbers out of range included.
std::optional<CGoToTarget> ParseGoTo(const std::string& text);

struct CTileLocation {
    int section = 0; // zero-based
    int column = 0;
    int row = 0;

    bool operator==(const CTileLocation& o) const
    {
        return section == o.section && column == o.column && row == o.row;
    }
};

// The tile the target names. A tile name is looked up in its section (the current one unless
// given); addresses and screen ids in every section. An address finds the tile whose channels
// cover it, a tile that starts on it before one that merely covers it; excluded tiles have no
// address and no screen id. Ties go to the first section in order, then the first tile in
// row order. One pass over the tiles at most: no index is kept between searches.
std::optional<CTileLocation> FindGoTo(const CQuiltmarkDoc& doc, const CGoToTarget& target);

// The target as the user would write it: "B3", "S2:B3", "U03.145", "screen id 1234".
std::string GoToTargetText(const CGoToTarget& target);
