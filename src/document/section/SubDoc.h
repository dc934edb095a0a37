#pragma once

#include "document/section/Addressing.h"
#include "document/section/SectionSetup.h"
#include "document/section/TileRecord.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CMetaLib;
class CFixtureType;

// One item (quark) of a tile. Item name, screen name and screen id are the section's and
// are produced when exporting (ScreenIdAt, the fixture's quarkName, screen_med_name).
struct CPatchEntry {
    int32_t universe = 0; // -1 when the tile is excluded
    int32_t address = 0; // -1 when the tile is excluded

    bool operator==(const CPatchEntry& o) const
    {
        return universe == o.universe && address == o.address;
    }
    bool operator!=(const CPatchEntry& o) const { return !(*this == o); }
};

// Makes `map` hold exactly `counts` (ascending keys, each once), keeping the nodes of keys it
// already has: universe tables change little from one edit to the next.
void AssignSortedCounts(std::map<int, int>& map, const std::vector<std::pair<int, int>>& counts);

struct CTileRect {
    int x = 0, y = 0, w = 0, h = 0;
};

// One matrix of identical fixtures.
class CSubDoc {
public:
    // Size limits: what the setup page allows, and what the item grid may hold.
    static constexpr int kMaxTiles = 4000000;
    static constexpr int kMaxItems = 16777216;
    static constexpr int kMaxTextLength = 127;

    // `library` is the document's fixture library; it outlives the section and is
    // consulted on every use (the section keeps an index, never a pointer to a type).
    explicit CSubDoc(const CMetaLib* library);
    // The section moves to a document with its own copy of the same library.
    void SetLibrary(const CMetaLib* library) { m_library = library; }

    CSectionSetup setup;
    std::string name;
    std::string info;
    bool initialised = false;
    // The document's name for the section in its edit history; kept across undo and redo.
    uint64_t editId = 0;

    // The fixture type at setup.fix_type when it exists and IsUsable(); otherwise none,
    // and every operation that needs it is a safe no-op.
    const CFixtureType* GetFixtureType() const;
    int ChannelsPerFixture() const; // 0 without a fixture type

    // Items per tile for the section's orientation (0 without a fixture type).
    int ItemsPerTileX() const;
    int ItemsPerTileY() const;

    // Actual grid sizes (0 x 0 until set up, whatever setup.matrix_width says).
    int GetTileColumns() const { return m_columns; }
    int GetTileRows() const { return m_rows; }
    int GetTileCount() const { return m_columns * m_rows; }
    int GetItemColumns() const { return m_itemColumns; }
    int GetItemRows() const { return m_itemRows; }
    int GetItemCount() const { return m_itemColumns * m_itemRows; }

    CTileRecord* GetTile(int x, int y);
    const CTileRecord* GetTile(int x, int y) const;
    CTileRecord* GetTileAt(int index);
    const CTileRecord* GetTileAt(int index) const;
    // Items are not stored: each is worked out from its tile and the item layout of the last
    // RebuildItems when asked for, so a refresh costs nothing per item. None outside the grid.
    std::optional<CPatchEntry> GetItem(int i, int j) const;
    std::optional<CPatchEntry> GetItemAt(int index) const;
    // The same without the range check, for loops over the item grid.
    CPatchEntry ItemAt(int i, int j) const;
    CPatchEntry ItemAtIndex(int index) const
    {
        return ItemAt(index % m_itemColumns, index / m_itemColumns);
    }
    // screen_id + i * IH + j: items are numbered column by column.
    int ScreenIdAt(int i, int j) const;
    int ScreenIdAtIndex(int index) const;
    // Number of screen ids the section covers: setup W x H x the fixture's quarks.
    long long ScreenIdCount() const;

    // Set up: marks the section initialised, resizes the tile grid to setup W x H when
    // the size differs (all-zero records, items emptied), then addresses every tile with
    // the section's own parameters and rebuilds the items. Returns false, and changes
    // nothing, when W x H or the item grid would exceed the limits; W or H below 1 gives
    // a section without tiles.
    bool SetUp();
    // Makes a W x H grid of all-zero tile records (readers). False beyond the limits.
    bool ResizeTiles(int width, int height);
    // Takes the item layout from the fixture type and orientation as they are now and gives
    // excluded tiles universe and address -1.
    void RebuildItems();
    // The item layout alone, for callers that just addressed every tile (which already
    // cleared the excluded ones).
    void UpdateItemLayout();
    // Re-derives the items of one tile (after a swap): an excluded tile loses its address.
    void DeriveItems(int x, int y);

    int SelectAll(bool select); // tiles whose flag changed
    int SelectRect(int x0, int y0, int x1, int y1); // corners in any order, both inside
    int SelectUndefined();
    int ExcludeSelected(bool exclude);
    void SetAllMoveTargets(bool mark);
    void SetAllVisited(bool mark);
    void SetUniverseVisited(int universe, bool mark);
    void SetExcludedVisited(bool mark);
    int CountVisited(bool mark) const;
    // Smallest rectangle holding every selected tile; none when nothing is selected.
    std::optional<CTileRect> GetSelectionBounds() const;
    // Moves the selected block so its bounding box's top-left lands on (x, y).
    void MoveSelection(int x, int y);
    // Exchanges two whole tile records and re-derives both positions' items. With
    // selectedOnly the swap is refused unless the first tile is selected.
    bool SwapTiles(int x0, int y0, int x1, int y1, bool selectedOnly);
    // Next tile of universe u in address order (connections display): see the section
    // docs; `address` is the running address (start with -1). Sets the tile's visited
    // mark. Returns the tile index, or -1 when no tile qualifies.
    int NextTileOfUniverse(int universe, int& address);

    // Universe counts: universe -> number of non-excluded tiles with that universe.
    void RecountUniverses();
    void AddUniverseTile(int universe);
    void RemoveUniverseTile(int universe);
    int GetUniverseCount() const { return static_cast<int>(m_universeCounts.size()); }
    int GetHighestUniverse() const;
    const std::map<int, int>& GetUniverseCounts() const { return m_universeCounts; }

    // Raw access for the addressing routines.
    std::vector<CTileRecord>& Tiles() { return m_tiles; }
    const std::vector<CTileRecord>& Tiles() const { return m_tiles; }

    // Universe counts made by a walk that already knows them (addressing every tile):
    // ascending universes, each once, with counts above 0.
    void AssignUniverseCounts(const std::vector<std::pair<int, int>>& counts);

private:
    void ClearItemLayout();
    bool ItemLayoutFits() const;
    void ClearExcludedAddress(int x, int y);

    const CMetaLib* m_library;
    int m_columns = 0;
    int m_rows = 0;
    // The item layout of the last RebuildItems: grid size, items per tile, the channel offset
    // of each item of a tile from the tile's address (-1: no channel) with the header added.
    int m_itemColumns = 0;
    int m_itemRows = 0;
    int m_itemsPerTileX = 1;
    int m_itemsPerTileY = 1;
    std::vector<long long> m_itemOffsets;
    std::vector<CTileRecord> m_tiles;
    std::map<int, int> m_universeCounts;
};

inline CPatchEntry CSubDoc::ItemAt(int i, int j) const
{
    const CTileRecord& tile = m_tiles[static_cast<size_t>(i / m_itemsPerTileX)
        + static_cast<size_t>(j / m_itemsPerTileY) * static_cast<size_t>(m_columns)];
    const long long offset = m_itemOffsets[static_cast<size_t>(i % m_itemsPerTileX)
        + static_cast<size_t>(j % m_itemsPerTileY) * static_cast<size_t>(m_itemsPerTileX)];
    // A tile without a universe or address has no item addresses either; deriving them from
    // -1 would give plausible-looking but wrong channels.
    if (tile.excluded || tile.universe < 0 || tile.address < 0 || offset < 0)
        return { -1, -1 };
    const long long address = tile.address + offset;
    return { tile.universe, address > INT32_MAX ? INT32_MAX : static_cast<int32_t>(address) };
}

// Gives the section's tiles their universe and start address, then recounts its universes.
// Does nothing when the section has no usable fixture type or no tile grid. The walk covers
// the section's actual tile grid; params.width and params.height are not used to reach
// beyond it. Returns, when every tile was addressed, the number of tiles placed (for
// ChannelRangesOfAddressedTiles), else -1.
long long AddressTiles(CSubDoc& section, const CAddressingParams& params, AddressScope scope);

// Whether every tile holds what AddressTiles over all tiles with `params` would give it: then
// that run, not the tiles, is enough to bring the addresses back. False without a fixture
// type or tiles.
bool TilesFollowAddressing(const CSubDoc& section, const CAddressingParams& params);

// When the tiles follow the addressing (as TilesFollowAddressing): the channel ranges they
// occupy, as TileGridChannelRanges. False, with no ranges, without a fixture type or tiles.
bool AddressedChannelRanges(const CSubDoc& section, const CAddressingParams& params,
    std::vector<std::pair<int64_t, int64_t>>& ranges);

// The same for tiles known to follow: AddressTiles over all tiles with `params` has just
// returned `placed` (>= 0) and nothing has written them since. Spares the check's pass.
bool ChannelRangesOfAddressedTiles(const CSubDoc& section, const CAddressingParams& params,
    long long placed, std::vector<std::pair<int64_t, int64_t>>& ranges);
