#include "document/UniverseReport.h"

#include "document/QuiltmarkDoc.h"
#include "app/base/NumberText.h"
#include "formats/PatchCsv.h"

#include <algorithm>
#include <ostream>

namespace {

constexpr const char* kDash = "\xE2\x80\x93"; // en dash, UTF-8

// A tile whose channels someone else occupies too.
struct Claim {
    int64_t first; // channel key
    int64_t end; // exclusive
    int section;
    int index;
};

void AppendTile(std::string& out, int section, int column, int row)
{
    out.push_back('S');
    AppendDecimal(out, static_cast<long long>(section) + 1);
    out.push_back(' ');
    AppendTileName(out, column, row);
}

// Groups the claims into conflicts (claims joined by overlapping channels) and hands each
// to the row of its lowest claim's universe.
void AddConflicts(
    std::vector<Claim>& claims, const CQuiltmarkDoc& doc, std::vector<CUniverseReportRow>& rows)
{
    std::sort(claims.begin(), claims.end(), [](const Claim& a, const Claim& b) {
        if (a.first != b.first)
            return a.first < b.first;
        return a.section != b.section ? a.section < b.section : a.index < b.index;
    });
    std::vector<std::pair<int64_t, int>> events;
    std::size_t begin = 0;
    while (begin < claims.size()) {
        std::size_t end = begin + 1;
        int64_t reach = claims[begin].end;
        while (end < claims.size() && claims[end].first < reach) {
            reach = std::max(reach, claims[end].end);
            ++end;
        }
        // The first and last channel more than one claim of the group holds.
        events.clear();
        for (std::size_t k = begin; k < end; ++k) {
            events.emplace_back(claims[k].first, 1);
            events.emplace_back(claims[k].end, -1);
        }
        std::sort(events.begin(), events.end());
        int64_t firstShared = -1;
        int64_t lastShared = -1;
        int count = 0;
        for (std::size_t e = 0; e < events.size();) {
            const int64_t key = events[e].first;
            while (e < events.size() && events[e].first == key)
                count += events[e++].second;
            if (count > 1) {
                if (firstShared < 0)
                    firstShared = key;
                const int64_t next = e < events.size() ? events[e].first : key + 1;
                lastShared = next - 1;
            }
        }
        const Claim& lowest = claims[begin];
        const CSubDoc* section = doc.GetSection(lowest.section);
        const int universe = section->Tiles()[static_cast<std::size_t>(lowest.index)].universe;
        const auto row = std::lower_bound(rows.begin(), rows.end(), universe,
            [](const CUniverseReportRow& r, int u) { return r.universe < u; });
        if (firstShared >= 0 && row != rows.end() && row->universe == universe) {
            CUniverseConflict conflict;
            const int64_t base = static_cast<int64_t>(universe) * 512;
            conflict.firstAddress = firstShared - base + 1;
            conflict.lastAddress = lastShared - base + 1;
            conflict.tiles.reserve(end - begin);
            for (std::size_t k = begin; k < end; ++k) {
                const int columns = doc.GetSection(claims[k].section)->GetTileColumns();
                conflict.tiles.push_back(
                    { claims[k].section, claims[k].index % columns, claims[k].index / columns });
            }
            row->conflicts.push_back(std::move(conflict));
        }
        begin = end;
    }
}

} // namespace

std::vector<CUniverseReportRow> BuildUniverseReport(const CQuiltmarkDoc& doc)
{
    std::vector<CUniverseReportRow> rows;
    rows.reserve(doc.GetUniverseUse().size());
    for (const auto& [universe, sections] : doc.GetUniverseUse()) {
        (void)sections;
        CUniverseReportRow row;
        row.universe = universe;
        row.channelsUsed = doc.CountUsedChannels(static_cast<long long>(universe) * 512, 512);
        rows.push_back(std::move(row));
    }
    const auto rowOf = [&rows](int universe) -> CUniverseReportRow* {
        const auto found = std::lower_bound(rows.begin(), rows.end(), universe,
            [](const CUniverseReportRow& r, int u) { return r.universe < u; });
        return found != rows.end() && found->universe == universe ? &*found : nullptr;
    };

    std::vector<Claim> claims;
    for (int s = 0; s < doc.GetSectionCount(); ++s) {
        const CSubDoc& section = *doc.GetSection(s);
        const int columns = section.GetTileColumns();
        const int channels = section.ChannelsPerFixture();
        const std::vector<CTileRecord>& tiles = section.Tiles();
        // Tiles of one universe mostly follow each other: the row found last is tried first.
        CUniverseReportRow* row = nullptr;
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            const CTileRecord& tile = tiles[i];
            if (tile.excluded || tile.universe < 0 || tile.address < 0)
                continue;
            if (row == nullptr || row->universe != tile.universe)
                row = rowOf(tile.universe);
            if (row == nullptr)
                continue;
            const int column = static_cast<int>(i % static_cast<std::size_t>(columns));
            const int rowIndex = static_cast<int>(i / static_cast<std::size_t>(columns));
            if (row->occupants.empty() || row->occupants.back().section != s) {
                row->occupants.push_back({ s, 0, column, rowIndex, column, rowIndex });
            }
            CUniverseOccupant& occupant = row->occupants.back();
            ++occupant.tiles;
            occupant.firstColumn = std::min(occupant.firstColumn, column);
            occupant.lastColumn = std::max(occupant.lastColumn, column);
            occupant.lastRow = std::max(occupant.lastRow, rowIndex);
            if (channels <= 0)
                continue;
            row->highestAddress = std::max<int64_t>(
                row->highestAddress, static_cast<int64_t>(tile.address) + channels);
            const int64_t key = static_cast<int64_t>(tile.universe) * 512 + tile.address;
            if (doc.IsChannelRangeShared(key, channels))
                claims.push_back({ key, key + channels, s, static_cast<int>(i) });
        }
    }
    AddConflicts(claims, doc, rows);

    const CKelvraDeviceList& devices = doc.GetDevices();
    for (int d = 0; d < devices.GetDeviceCount(); ++d) {
        const CKelvraDevice* device = devices.GetDevice(d);
        for (int p = 0; p < device->GetPortCount(); ++p) {
            CUniverseReportRow* row = rowOf(device->GetPortUniverse(p));
            if (row != nullptr && row->device < 0) {
                row->device = d;
                row->port = p;
            }
        }
    }
    return rows;
}

std::string UniverseText(int universe)
{
    std::string text = "U";
    AppendZeroPadded(text, static_cast<long long>(universe) + 1, 2);
    return text;
}

std::string UsageText(const CUniverseReportRow& row)
{
    std::string text;
    AppendDecimal(text, row.highestAddress);
    text.append(" / 512");
    return text;
}

std::string OccupantsText(const CUniverseReportRow& row)
{
    std::string text;
    for (const CUniverseOccupant& occupant : row.occupants) {
        if (!text.empty())
            text.append(", ");
        AppendTile(text, occupant.section, occupant.firstColumn, occupant.firstRow);
        if (occupant.lastColumn != occupant.firstColumn || occupant.lastRow != occupant.firstRow) {
            text.append(kDash);
            AppendTileName(text, occupant.lastColumn, occupant.lastRow);
        }
    }
    return text;
}

std::string OutputText(const CQuiltmarkDoc& doc, const CUniverseReportRow& row)
{
    if (!row.IsConnected())
        return kNotConnected;
    std::string text = DeviceText(doc.GetDevices(), row.device);
    text.append(" port ");
    AppendDecimal(text, static_cast<long long>(row.port) + 1);
    return text;
}

std::string ConflictText(const CUniverseConflict& conflict, std::size_t maxTiles)
{
    std::string text;
    AppendDecimal(text, conflict.firstAddress);
    if (conflict.lastAddress != conflict.firstAddress) {
        text.append(kDash);
        AppendDecimal(text, conflict.lastAddress);
    }
    text.append(": ");
    const std::size_t named = std::min(maxTiles, conflict.tiles.size());
    for (std::size_t k = 0; k < named; ++k) {
        if (k > 0)
            text.append(", ");
        const CReportTile& tile = conflict.tiles[k];
        AppendTile(text, tile.section, tile.column, tile.row);
    }
    if (named < conflict.tiles.size()) {
        text.append(" and ");
        AppendDecimal(text, static_cast<long long>(conflict.tiles.size() - named));
        text.append(" more");
    }
    return text;
}

std::string ConflictsText(const CUniverseReportRow& row)
{
    std::string text;
    for (const CUniverseConflict& conflict : row.conflicts) {
        if (!text.empty())
            text.append("; ");
        text.append(ConflictText(conflict, conflict.tiles.size()));
    }
    return text;
}

std::string UniverseReportText(
    const CQuiltmarkDoc& doc, const std::vector<CUniverseReportRow>& rows)
{
    std::string text = "Universe\tChannels\tHighest\tSections\tOutput\tConflicts\n";
    for (const CUniverseReportRow& row : rows) {
        text.append(UniverseText(row.universe));
        text.push_back('\t');
        AppendDecimal(text, row.channelsUsed);
        text.push_back('\t');
        text.append(UsageText(row));
        text.push_back('\t');
        text.append(OccupantsText(row));
        text.push_back('\t');
        text.append(OutputText(doc, row));
        text.push_back('\t');
        text.append(ConflictsText(row));
        text.push_back('\n');
    }
    return text;
}

void ForEachUniverseReportCsvPiece(const CQuiltmarkDoc& doc,
    const std::vector<CUniverseReportRow>& rows, const std::function<void(std::string_view)>& piece)
{
    std::string text = kUniverseReportCsvHeader;
    text.push_back('\n');
    for (const CUniverseReportRow& row : rows) {
        text.append(UniverseText(row.universe));
        text.push_back(',');
        AppendDecimal(text, row.channelsUsed);
        text.push_back(',');
        AppendDecimal(text, row.highestAddress);
        text.push_back(',');
        AppendCsvField(text, OccupantsText(row));
        text.push_back(',');
        if (row.IsConnected()) {
            AppendCsvField(text, DeviceText(doc.GetDevices(), row.device));
            text.push_back(',');
            AppendDecimal(text, static_cast<long long>(row.port) + 1);
        } else {
            text.push_back(',');
        }
        text.push_back(',');
        AppendCsvField(text, ConflictsText(row));
        text.push_back('\n');
        if (text.size() >= (std::size_t { 1 } << 16)) {
            piece(text);
            text.clear();
        }
    }
    if (!text.empty())
        piece(text);
}

bool WriteUniverseReportCsv(
    const CQuiltmarkDoc& doc, const std::vector<CUniverseReportRow>& rows, std::ostream& out)
{
    ForEachUniverseReportCsvPiece(doc, rows, [&out](std::string_view text) {
        if (out)
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
    });
    return static_cast<bool>(out.flush());
}
