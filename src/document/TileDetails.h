#pragma once

#include <cstdint>
#include <string>

class CQuiltmarkDoc;
class CSubDoc;

// What the view tells about one tile when the pointer rests on it. Everything is looked up
// directly (the tile, the device list, the channel table): nothing walks the wall.
struct CTileDetails {
    bool exists = false; // false outside the grid
    bool excluded = false;
    bool undefined = false; // no universe or no address
    std::string tileName; // "B3"
    std::string fixtureName; // the type's name, bytes as the library holds them
    int universe = -1; // zero-based
    int address = -1; // zero-based start address
    int channels = 0; // of the fixture type
    bool hasScreenIds = false;
    long long firstScreenId = 0;
    long long lastScreenId = 0;
    // The first device in list order with a port carrying the universe; -1 when none.
    int device = -1;
    int port = -1; // zero-based port of that device
    std::string deviceName; // "Kelvra porter 10.0.0.1"
    // Channel keys (universe * 512 + address) of the first and last channel of the tile
    // that another tile uses too; -1 without a conflict.
    int64_t conflictFirst = -1;
    int64_t conflictLast = -1;
};

CTileDetails GetTileDetails(const CQuiltmarkDoc& doc, const CSubDoc& section, int column, int row);
