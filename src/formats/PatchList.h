#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSubDoc;

// "%s;%s;%d;U%02d.%d": item name, screen name, screen id, universe + 1, address + 1.
// Names longer than 127 bytes are cut (never inside a UTF-8 sequence).
std::string FormatPatchLine(const std::string& itemName, const std::string& screenName,
    int screenId, int universe, int address);

// Item indices of the section's item grid in ascending channel-key order (universe * 512 +
// address; excluded items, key -513, first). The item grid itself is not touched.
std::vector<int32_t> SortedPatchOrder(const CSubDoc& section);
// The same order item by item, in memory bounded whatever the section's size.
void ForEachItemInPatchOrder(const CSubDoc& section, const std::function<void(int32_t)>& visit);

// Rebuilds the section's items, then calls `line` once per patch line in sorted order.
// Nothing for a section without tiles or without a fixture type.
void ForEachPatchLine(CSubDoc& section, const std::function<void(const std::string&)>& line);
// The same from the items as they are, without rebuilding them (a writer that only reads
// the project, possibly beside a window that shows it).
void ForEachPatchLineOf(
    const CSubDoc& section, const std::function<void(const std::string&)>& line);

// All lines, sorted (small sections, tests).
std::vector<std::string> BuildPatchList(CSubDoc& section);
