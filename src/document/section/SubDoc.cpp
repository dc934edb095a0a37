#include "document/section/SubDoc.h"

#include "app/library/FixtureType.h"
#include "app/library/MetaLib.h"
#include "document/section/ConnectionChains.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace {

bool IsQuarterTurn(int orientation)
{
    return orientation == 1 || orientation == 3;
}

int ClampToInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

} // namespace

CSubDoc::CSubDoc(const CMetaLib* library)
    : m_library(library)
{
}

const CFixtureType* CSubDoc::GetFixtureType() const
{
    if (!m_library)
        return nullptr;
    const CFixtureType* type = m_library->GetAt(setup.fix_type);
    if (!type || !type->IsUsable())
        return nullptr;
    return type;
}

int CSubDoc::ChannelsPerFixture() const
{
    const CFixtureType* type = GetFixtureType();
    return type ? type->ChannelsPerFixture() : 0;
}

int CSubDoc::ItemsPerTileX() const
{
    const CFixtureType* type = GetFixtureType();
    if (!type)
        return 0;
    return IsQuarterTurn(setup.orientation) ? type->height : type->width;
}

int CSubDoc::ItemsPerTileY() const
{
    const CFixtureType* type = GetFixtureType();
    if (!type)
        return 0;
    return IsQuarterTurn(setup.orientation) ? type->width : type->height;
}

CTileRecord* CSubDoc::GetTile(int x, int y)
{
    if (x < 0 || y < 0 || x >= m_columns || y >= m_rows)
        return nullptr;
    return &m_tiles[static_cast<size_t>(x) + static_cast<size_t>(y) * m_columns];
}

const CTileRecord* CSubDoc::GetTile(int x, int y) const
{
    return const_cast<CSubDoc*>(this)->GetTile(x, y);
}

CTileRecord* CSubDoc::GetTileAt(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_tiles.size())
        return nullptr;
    return &m_tiles[index];
}

const CTileRecord* CSubDoc::GetTileAt(int index) const
{
    return const_cast<CSubDoc*>(this)->GetTileAt(index);
}

std::optional<CPatchEntry> CSubDoc::GetItem(int i, int j) const
{
    if (i < 0 || j < 0 || i >= m_itemColumns || j >= m_itemRows)
        return std::nullopt;
    return ItemAt(i, j);
}

std::optional<CPatchEntry> CSubDoc::GetItemAt(int index) const
{
    if (index < 0 || index >= GetItemCount())
        return std::nullopt;
    return ItemAtIndex(index);
}

int CSubDoc::ScreenIdAt(int i, int j) const
{
    return ClampToInt(
        static_cast<long long>(setup.screen_id) + static_cast<long long>(i) * m_itemRows + j);
}

int CSubDoc::ScreenIdAtIndex(int index) const
{
    if (index < 0 || index >= GetItemCount())
        return -1;
    return ScreenIdAt(index % m_itemColumns, index / m_itemColumns);
}

long long CSubDoc::ScreenIdCount() const
{
    const CFixtureType* type = GetFixtureType();
    if (!type || setup.matrix_width < 1 || setup.matrix_height < 1)
        return 0;
    return static_cast<long long>(setup.matrix_width) * setup.matrix_height
        * type->QuarksPerFixture();
}

bool CSubDoc::ResizeTiles(int width, int height)
{
    if (width < 1 || height < 1) {
        width = 0;
        height = 0;
    }
    const long long tiles = static_cast<long long>(width) * height;
    if (tiles > kMaxTiles)
        return false;
    const long long items = tiles * ItemsPerTileX() * ItemsPerTileY();
    if (items > kMaxItems)
        return false;

    m_columns = width;
    m_rows = height;
    // assign() reuses the buffer when it is large enough and zeroes every record.
    m_tiles.assign(static_cast<size_t>(tiles), CTileRecord {});
    ClearItemLayout();
    m_universeCounts.clear();
    return true;
}

bool CSubDoc::SetUp()
{
    // Without a usable fixture type nothing can be addressed; leave the section as it is.
    if (!GetFixtureType())
        return false;
    int width = setup.matrix_width;
    int height = setup.matrix_height;
    if (width < 1 || height < 1) {
        width = 0;
        height = 0;
    }
    const long long tiles = static_cast<long long>(width) * height;
    const long long items = tiles * ItemsPerTileX() * ItemsPerTileY();
    if (tiles > kMaxTiles || items > kMaxItems)
        return false;

    initialised = true;
    // Same dimensions: keep the records, and with them every exclusion.
    if (width != m_columns || height != m_rows)
        ResizeTiles(width, height);
    // Addressing every tile clears the excluded ones and counts the universes.
    AddressTiles(*this, CAddressingParams::FromSetup(setup), AddressScope::AllTiles);
    UpdateItemLayout();
    return true;
}

void CSubDoc::ClearItemLayout()
{
    m_itemColumns = 0;
    m_itemRows = 0;
    m_itemsPerTileX = 1;
    m_itemsPerTileY = 1;
    m_itemOffsets.clear();
}

void CSubDoc::UpdateItemLayout()
{
    const CFixtureType* type = GetFixtureType();
    const int perTileX = ItemsPerTileX();
    const int perTileY = ItemsPerTileY();
    const long long itemColumns = static_cast<long long>(m_columns) * perTileX;
    const long long itemRows = static_cast<long long>(m_rows) * perTileY;
    if (!type || m_tiles.empty() || itemColumns * itemRows > kMaxItems) {
        ClearItemLayout();
        return;
    }
    m_itemColumns = static_cast<int>(itemColumns);
    m_itemRows = static_cast<int>(itemRows);
    m_itemsPerTileX = perTileX;
    m_itemsPerTileY = perTileY;
    const std::vector<int> offsets = ItemOffsetsForTile(*type, setup.orientation);
    m_itemOffsets.assign(offsets.size(), -1);
    for (size_t k = 0; k < offsets.size(); ++k)
        if (offsets[k] >= 0)
            m_itemOffsets[k] = static_cast<long long>(offsets[k]) + type->headerAddresses;
}

void CSubDoc::RebuildItems()
{
    UpdateItemLayout();
    if (m_itemColumns == 0)
        return;
    for (CTileRecord& tile : m_tiles) {
        if (tile.excluded) {
            tile.universe = -1;
            tile.address = -1;
        }
    }
}

bool CSubDoc::ItemLayoutFits() const
{
    // A layout taken for another grid or turn, or none, is left alone until the next rebuild.
    return m_itemColumns > 0 && GetFixtureType() && m_itemsPerTileX == ItemsPerTileX()
        && m_itemsPerTileY == ItemsPerTileY() && m_itemColumns == m_columns * m_itemsPerTileX
        && m_itemRows == m_rows * m_itemsPerTileY;
}

void CSubDoc::DeriveItems(int x, int y)
{
    if (ItemLayoutFits())
        ClearExcludedAddress(x, y);
}

void CSubDoc::ClearExcludedAddress(int x, int y)
{
    CTileRecord* tile = GetTile(x, y);
    if (tile && tile->excluded) {
        tile->universe = -1;
        tile->address = -1;
    }
}

int CSubDoc::SelectAll(bool select)
{
    const uint8_t value = select ? 1 : 0;
    int changed = 0;
    for (CTileRecord& tile : m_tiles) {
        if (tile.selected != value) {
            tile.selected = value;
            ++changed;
        }
    }
    return changed;
}

int CSubDoc::SelectRect(int x0, int y0, int x1, int y1)
{
    if (!GetTile(x0, y0) || !GetTile(x1, y1))
        return 0;
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            GetTile(x, y)->selected = 1;
    return (x1 - x0 + 1) * (y1 - y0 + 1);
}

int CSubDoc::SelectUndefined()
{
    int count = 0;
    for (CTileRecord& tile : m_tiles) {
        if (tile.IsUndefined()) {
            tile.selected = 1;
            ++count;
        }
    }
    return count;
}

int CSubDoc::ExcludeSelected(bool exclude)
{
    int count = 0;
    for (CTileRecord& tile : m_tiles) {
        if (tile.selected) {
            tile.excluded = exclude ? 1 : 0;
            ++count;
        }
    }
    return count;
}

void CSubDoc::SetAllMoveTargets(bool mark)
{
    for (CTileRecord& tile : m_tiles)
        tile.moveTarget = mark ? 1 : 0;
}

void CSubDoc::SetAllVisited(bool mark)
{
    for (CTileRecord& tile : m_tiles)
        tile.visited = mark ? 1 : 0;
}

void CSubDoc::SetUniverseVisited(int universe, bool mark)
{
    for (CTileRecord& tile : m_tiles)
        if (tile.universe == universe)
            tile.visited = mark ? 1 : 0;
}

void CSubDoc::SetExcludedVisited(bool mark)
{
    for (CTileRecord& tile : m_tiles)
        if (tile.excluded)
            tile.visited = mark ? 1 : 0;
}

int CSubDoc::CountVisited(bool mark) const
{
    const uint8_t value = mark ? 1 : 0;
    int count = 0;
    for (const CTileRecord& tile : m_tiles)
        if ((tile.visited != 0) == (value != 0))
            ++count;
    return count;
}

std::optional<CTileRect> CSubDoc::GetSelectionBounds() const
{
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = 0; y < m_rows; ++y) {
        const CTileRecord* row = &m_tiles[static_cast<size_t>(y) * m_columns];
        for (int x = 0; x < m_columns; ++x) {
            if (!row[x].selected)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (right < 0)
        return std::nullopt;
    return CTileRect { left, top, right - left + 1, bottom - top + 1 };
}

void CSubDoc::MoveSelection(int x, int y)
{
    const std::optional<CTileRect> bounds = GetSelectionBounds();
    if (!bounds)
        return;
    const int dx = bounds->x - x;
    const int dy = bounds->y - y;
    if (dx == 0 && dy == 0)
        return;
    // Visit the target cells so that a tile is never overwritten before it has moved:
    // moving up (or left in the same rows) starts at the top left, otherwise at the
    // bottom right.
    const bool forward = dy > 0 || (dy == 0 && dx > 0);
    const bool derive = ItemLayoutFits();
    auto visit = [&](int c, int r) {
        CTileRecord* target = GetTile(c, r);
        CTileRecord* source = GetTile(c + dx, r + dy);
        if (!target || !source || !source->selected)
            return;
        std::swap(*target, *source);
        if (derive) {
            ClearExcludedAddress(c, r);
            ClearExcludedAddress(c + dx, r + dy);
        }
    };
    if (forward) {
        for (int r = y; r < y + bounds->h; ++r)
            for (int c = x; c < x + bounds->w; ++c)
                visit(c, r);
    } else {
        for (int r = y + bounds->h - 1; r >= y; --r)
            for (int c = x + bounds->w - 1; c >= x; --c)
                visit(c, r);
    }
}

bool CSubDoc::SwapTiles(int x0, int y0, int x1, int y1, bool selectedOnly)
{
    CTileRecord* first = GetTile(x0, y0);
    CTileRecord* second = GetTile(x1, y1);
    if (!first || !second)
        return false;
    if (selectedOnly && !first->selected)
        return false;
    std::swap(*first, *second);
    DeriveItems(x0, y0);
    DeriveItems(x1, y1);
    return true;
}

int CSubDoc::NextTileOfUniverse(int universe, int& address)
{
    std::vector<int> walk;
    AppendTilesOfUniverse(walk, m_tiles, universe, setup.addr_count, address, true);
    if (walk.empty())
        return -1;
    CTileRecord& tile = m_tiles[static_cast<size_t>(walk.front())];
    address = tile.address;
    tile.visited = 1;
    return walk.front();
}

void AssignSortedCounts(std::map<int, int>& map, const std::vector<std::pair<int, int>>& counts)
{
    // Updated in place: after an edit the set of universes is mostly the same, and a map
    // built anew would allocate a node for each of them.
    auto it = map.begin();
    for (const auto& [universe, count] : counts) {
        while (it != map.end() && it->first < universe)
            it = map.erase(it);
        if (it != map.end() && it->first == universe) {
            it->second = count;
            ++it;
        } else {
            map.emplace_hint(it, universe, count);
        }
    }
    map.erase(it, map.end());
}

void CSubDoc::AssignUniverseCounts(const std::vector<std::pair<int, int>>& counts)
{
    AssignSortedCounts(m_universeCounts, counts);
}

void CSubDoc::RecountUniverses()
{
    int lowest = INT_MAX;
    int highest = -1;
    for (const CTileRecord& tile : m_tiles) {
        if (tile.excluded || tile.universe < 0)
            continue;
        lowest = std::min(lowest, tile.universe);
        highest = std::max(highest, tile.universe);
    }
    std::vector<std::pair<int, int>> counts;
    if (highest < 0) {
        AssignUniverseCounts(counts);
        return;
    }
    const long long range = static_cast<long long>(highest) - lowest + 1;
    if (range <= static_cast<long long>(m_tiles.size()) + 4096) {
        // Few enough universes to count in an array: storage order meets them in any order.
        std::vector<int> dense(static_cast<size_t>(range), 0);
        for (const CTileRecord& tile : m_tiles)
            if (!tile.excluded && tile.universe >= 0)
                ++dense[static_cast<size_t>(tile.universe - lowest)];
        for (long long k = 0; k < range; ++k)
            if (dense[static_cast<size_t>(k)] > 0)
                counts.emplace_back(static_cast<int>(lowest + k), dense[static_cast<size_t>(k)]);
        AssignUniverseCounts(counts);
        return;
    }
    // Universes spread wider than there are tiles: count runs, as neighbours mostly share one.
    std::map<int, int> sparse;
    int runUniverse = -1;
    int runLength = 0;
    for (const CTileRecord& tile : m_tiles) {
        if (tile.excluded || tile.universe < 0)
            continue;
        if (tile.universe != runUniverse) {
            if (runLength > 0)
                sparse[runUniverse] += runLength;
            runUniverse = tile.universe;
            runLength = 0;
        }
        ++runLength;
    }
    if (runLength > 0)
        sparse[runUniverse] += runLength;
    m_universeCounts = std::move(sparse);
}

void CSubDoc::AddUniverseTile(int universe)
{
    if (universe >= 0)
        ++m_universeCounts[universe];
}

void CSubDoc::RemoveUniverseTile(int universe)
{
    auto it = m_universeCounts.find(universe);
    if (it == m_universeCounts.end())
        return;
    if (--it->second <= 0)
        m_universeCounts.erase(it);
}

int CSubDoc::GetHighestUniverse() const
{
    return m_universeCounts.empty() ? -1 : m_universeCounts.rbegin()->first;
}

namespace {

CTileGrid GridOf(const CSubDoc& section, const CFixtureType& type)
{
    return { section.GetTileColumns(), section.GetTileRows(), type.ChannelsPerFixture() };
}

} // namespace

long long AddressTiles(CSubDoc& section, const CAddressingParams& params, AddressScope scope)
{
    const CFixtureType* type = section.GetFixtureType();
    if (!type || section.GetTileColumns() <= 0 || section.GetTileRows() <= 0)
        return -1;
    std::vector<std::pair<int, int>> counts;
    if (!AddressTileGrid(section.Tiles().data(), GridOf(section, *type), params, scope, counts)) {
        section.RecountUniverses();
        return -1;
    }
    section.AssignUniverseCounts(counts);
    long long placed = 0;
    for (const auto& [universe, tiles] : counts)
        placed += tiles;
    return placed;
}

bool TilesFollowAddressing(const CSubDoc& section, const CAddressingParams& params)
{
    const CFixtureType* type = section.GetFixtureType();
    return type
        && TileGridFollowsAddressing(section.Tiles().data(), GridOf(section, *type), params);
}

bool ChannelRangesOfAddressedTiles(const CSubDoc& section, const CAddressingParams& params,
    long long placed, std::vector<std::pair<int64_t, int64_t>>& ranges)
{
    ranges.clear();
    const CFixtureType* type = section.GetFixtureType();
    return type && PlacedTileChannelRanges(GridOf(section, *type), params, placed, ranges);
}

bool AddressedChannelRanges(const CSubDoc& section, const CAddressingParams& params,
    std::vector<std::pair<int64_t, int64_t>>& ranges)
{
    ranges.clear();
    const CFixtureType* type = section.GetFixtureType();
    return type
        && TileGridChannelRanges(section.Tiles().data(), GridOf(section, *type), params, ranges);
}
