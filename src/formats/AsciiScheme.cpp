#include "formats/AsciiScheme.h"

#include "Version.h"
#include "app/base/NumberText.h"
#include "document/section/SubDoc.h"

#include <sstream>

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kIndent = "    ";

std::string RepeatedLine(int columns, const char* cell, const char* last)
{
    std::string line = kIndent;
    for (int x = 0; x < columns; ++x)
        line.append(cell);
    line.append(last).append(kLineEnd);
    return line;
}

} // namespace

void WriteAsciiScheme(const CSubDoc& section, std::ostream& out)
{
    std::string header = "// Kelvra ASCII Patch Scheme";
    header.append(kLineEnd).append("// Created with Kelvra Quiltmark V");
    AppendDecimal(header, QUILTMARK_VERSION_MAJOR);
    header.push_back('.');
    AppendDecimal(header, QUILTMARK_VERSION_MINOR);
    header.push_back('.');
    AppendZeroPadded(header, QUILTMARK_VERSION_BUILD, 3);
    header.append(kLineEnd);
    out << header;

    // The drawn grid is the one that exists: a section that was never set up has no
    // tiles, whatever its setup size says, and draws only the closing border.
    const int columns = section.GetTileColumns();
    const int rows = section.GetTileRows();
    const std::string border = RepeatedLine(columns, "+----------", "+");
    const std::string blank = RepeatedLine(columns, "|          ", "|");
    std::string cells;
    for (int y = 0; y < rows; ++y) {
        cells.assign(kIndent);
        for (int x = 0; x < columns; ++x) {
            const CTileRecord* tile = section.GetTile(x, y);
            const long long universe = tile ? static_cast<long long>(tile->universe) + 1 : 0;
            const long long address = tile ? static_cast<long long>(tile->address) + 1 : 0;
            cells.append("| U");
            AppendZeroPadded(cells, universe, 2);
            cells.push_back('.');
            AppendZeroPadded(cells, address, 3);
            cells.append("  ");
        }
        cells.append("|").append(kLineEnd);
        out << border << blank << cells << blank;
    }
    out << border;
}

std::string BuildAsciiScheme(const CSubDoc& section)
{
    std::ostringstream out;
    WriteAsciiScheme(section, out);
    return out.str();
}
