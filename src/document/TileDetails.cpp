#include "document/TileDetails.h"

#include "app/library/FixtureType.h"
#include "document/QuiltmarkDoc.h"
#include "formats/PatchCsv.h"

namespace {

// Smallest n in 1..count for which `shared(n)` holds, `shared` being monotone; 0 when
// none does. Keeps a hover at a few table look-ups even for fixtures of many channels.
template <typename Shared> int64_t FirstTrue(int64_t count, Shared shared)
{
    if (count < 1 || !shared(count))
        return 0;
    int64_t lo = 1;
    int64_t hi = count;
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (shared(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

} // namespace

CTileDetails GetTileDetails(const CQuiltmarkDoc& doc, const CSubDoc& section, int column, int row)
{
    CTileDetails d;
    const CTileRecord* tile = section.GetTile(column, row);
    if (!tile)
        return d;
    d.exists = true;
    d.tileName = CQuiltmarkDoc::ColumnLetters(column) + std::to_string(row + 1);
    if (const CFixtureType* type = doc.GetFixtureType(section))
        d.fixtureName = type->metaName;
    d.excluded = tile->excluded != 0;
    if (d.excluded)
        return d;
    d.channels = section.ChannelsPerFixture();

    // Screen ids run column by column through the item grid, so a tile's lowest id is at its
    // top-left item and its highest at the bottom-right.
    const int across
        = section.GetTileColumns() > 0 ? section.GetItemColumns() / section.GetTileColumns() : 0;
    const int down = section.GetTileRows() > 0 ? section.GetItemRows() / section.GetTileRows() : 0;
    if (across > 0 && down > 0) {
        d.hasScreenIds = true;
        d.firstScreenId = section.ScreenIdAt(column * across, row * down);
        d.lastScreenId = section.ScreenIdAt(column * across + across - 1, row * down + down - 1);
    }

    d.undefined = tile->universe < 0 || tile->address < 0;
    if (d.undefined)
        return d;
    d.universe = tile->universe;
    d.address = tile->address;
    const CUniverseOutput output = FindUniverseOutput(doc.GetDevices(), d.universe);
    if (output.device >= 0) {
        d.device = output.device;
        d.port = output.port;
        d.deviceName = DeviceText(doc.GetDevices(), output.device);
    }

    const int64_t first = static_cast<int64_t>(d.universe) * 512 + d.address;
    const int64_t count = d.channels;
    const int64_t head = FirstTrue(
        count, [&](int64_t n) { return doc.IsChannelRangeShared(first, static_cast<int>(n)); });
    if (head > 0) {
        const int64_t tail = FirstTrue(count, [&](int64_t n) {
            return doc.IsChannelRangeShared(first + count - n, static_cast<int>(n));
        });
        d.conflictFirst = first + head - 1;
        d.conflictLast = first + count - tail;
    }
    return d;
}
