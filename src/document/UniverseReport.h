#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class CQuiltmarkDoc;

// A tile of the project: section position and tile column and row.
struct CReportTile {
    int section = 0;
    int column = 0;
    int row = 0;

    bool operator==(const CReportTile& o) const
    {
        return section == o.section && column == o.column && row == o.row;
    }
};

// The tiles of one section on a universe: how many, and the rectangle around them.
struct CUniverseOccupant {
    int section = 0;
    int tiles = 0;
    int firstColumn = 0;
    int firstRow = 0;
    int lastColumn = 0;
    int lastRow = 0;
};

// Channels that more than one tile occupies, with every tile taking part. The range runs
// from the first to the last shared channel, one-based and counted in the universe of the
// row (a footprint that runs past 512 counts on).
struct CUniverseConflict {
    int64_t firstAddress = 0;
    int64_t lastAddress = 0;
    std::vector<CReportTile> tiles; // in channel order
};

struct CUniverseReportRow {
    int universe = 0; // zero-based
    int64_t channelsUsed = 0; // of the universe's 512
    // One-based last channel of the universe's tiles; above 512 when a footprint runs past
    // the universe's end. 0 when no tile occupies a channel.
    int64_t highestAddress = 0;
    std::vector<CUniverseOccupant> occupants; // in section order
    int device = -1; // list position of the first device with a port on the universe
    int port = -1; // zero-based, that device's first such port
    std::vector<CUniverseConflict> conflicts; // in channel order

    bool IsConnected() const { return device >= 0; }
    bool NeedsAttention() const { return !conflicts.empty() || device < 0; }
};

// One row per universe in use, ascending, from the document's tables and one pass over
// each section's tiles. A tile's conflict goes to the row of the universe of the lowest
// tile in its group.
std::vector<CUniverseReportRow> BuildUniverseReport(const CQuiltmarkDoc& doc);

// Texts of a row, as the report shows them.
std::string UniverseText(int universe); // "U03"
std::string UsageText(const CUniverseReportRow& row); // "504 / 512"
std::string OccupantsText(const CUniverseReportRow& row); // "S1 A1–P2, S2 C3"
std::string OutputText(const CQuiltmarkDoc& doc, const CUniverseReportRow& row);
// "145–156: S1 B3, S2 A1"; at most `maxTiles` tiles named, then how many more.
std::string ConflictText(const CUniverseConflict& conflict, std::size_t maxTiles = 8);
std::string ConflictsText(const CUniverseReportRow& row);
// The report as plain text (one line per row, tab-separated, header first) and as CSV.
std::string UniverseReportText(
    const CQuiltmarkDoc& doc, const std::vector<CUniverseReportRow>& rows);
void ForEachUniverseReportCsvPiece(const CQuiltmarkDoc& doc,
    const std::vector<CUniverseReportRow>& rows,
    const std::function<void(std::string_view)>& piece);
bool WriteUniverseReportCsv(
    const CQuiltmarkDoc& doc, const std::vector<CUniverseReportRow>& rows, std::ostream& out);

constexpr const char* kUniverseReportCsvHeader
    = "universe,channels_used,highest_address,sections,device,port,conflicts";
constexpr const char* kNotConnected = "not connected";
