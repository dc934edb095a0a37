#include "formats/PatchList.h"

#include "app/FixtureType.h"
#include "document/SubDoc.h"
#include "formats/NumberText.h"

#include <algorithm>
#include <cstdint>

namespace {

// Appends the patch line after its constant "item;screen;" prefix.
void AppendPatchNumbers(std::string& out, int screenId, int universe, int address)
{
    AppendDecimal(out, screenId);
    out.append(";U");
    AppendZeroPadded(out, static_cast<long long>(universe) + 1, 2);
    out.push_back('.');
    AppendDecimal(out, static_cast<long long>(address) + 1);
}

// Names in a patch line are fixed fields of at most 127 bytes; a longer library name is
// cut rather than written whole.
void AppendPatchName(std::string& out, const std::string& name)
{
    if (name.size() <= static_cast<std::size_t>(CSubDoc::kMaxTextLength)) {
        out.append(name);
    } else {
        std::string cut = name;
        CutTextKeepingUtf8(cut, CSubDoc::kMaxTextLength);
        out.append(cut);
    }
    out.push_back(';');
}

int64_t ChannelKey(const CPatchEntry& entry)
{
    return static_cast<int64_t>(entry.universe) * 512 + entry.address;
}

constexpr int kIndexBits = 24; // CSubDoc::kMaxItems == 1 << 24
constexpr int64_t kPackedKeySpan = int64_t { 1 } << (64 - kIndexBits);

// Calls `visit` with every item index in ascending key order, ties by index. Keys and
// indices are packed into one 64-bit word when they fit, which sorts 16M items in one
// flat array; otherwise the indices are sorted by looking up their keys.
template <typename Visit> void VisitSortedItems(const CSubDoc& section, Visit visit)
{
    const std::size_t count = static_cast<std::size_t>(section.GetItemCount());
    if (count == 0)
        return;
    const auto item
        = [&section](std::size_t i) { return section.ItemAtIndex(static_cast<int>(i)); };
    int64_t lowest = ChannelKey(item(0));
    int64_t highest = lowest;
    for (std::size_t i = 0; i < count; ++i) {
        const int64_t key = ChannelKey(item(i));
        lowest = std::min(lowest, key);
        highest = std::max(highest, key);
    }
    const bool packable
        = count <= (std::size_t { 1 } << kIndexBits) && highest - lowest < kPackedKeySpan;
    if (packable) {
        std::vector<uint64_t> packed(count);
        for (std::size_t i = 0; i < count; ++i)
            packed[i] = (static_cast<uint64_t>(ChannelKey(item(i)) - lowest) << kIndexBits) | i;
        std::sort(packed.begin(), packed.end());
        const uint64_t indexMask = (uint64_t { 1 } << kIndexBits) - 1;
        for (uint64_t word : packed)
            visit(static_cast<int32_t>(word & indexMask));
        return;
    }
    std::vector<int32_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = static_cast<int32_t>(i);
    std::sort(order.begin(), order.end(), [&item](int32_t a, int32_t b) {
        const int64_t keyA = ChannelKey(item(a));
        const int64_t keyB = ChannelKey(item(b));
        return keyA != keyB ? keyA < keyB : a < b;
    });
    for (int32_t index : order)
        visit(index);
}

} // namespace

std::string FormatPatchLine(const std::string& itemName, const std::string& screenName,
    int screenId, int universe, int address)
{
    std::string line;
    line.reserve(itemName.size() + screenName.size() + 32);
    AppendPatchName(line, itemName);
    AppendPatchName(line, screenName);
    AppendPatchNumbers(line, screenId, universe, address);
    return line;
}

std::vector<int32_t> SortedPatchOrder(const CSubDoc& section)
{
    std::vector<int32_t> order;
    order.reserve(static_cast<std::size_t>(section.GetItemCount()));
    VisitSortedItems(section, [&order](int32_t index) { order.push_back(index); });
    return order;
}

void ForEachPatchLine(CSubDoc& section, const std::function<void(const std::string&)>& line)
{
    const CFixtureType* type = section.GetFixtureType();
    if (type == nullptr || section.GetTileCount() <= 0)
        return;
    section.RebuildItems();

    std::string prefix;
    AppendPatchName(prefix, type->quarkName);
    AppendPatchName(prefix, section.setup.screen_med_name);

    // One buffer for every line: its capacity is reused, so the list needs no
    // allocation per item.
    std::string text;
    text.reserve(prefix.size() + 32);
    VisitSortedItems(section, [&](int32_t index) {
        const CPatchEntry entry = section.ItemAtIndex(index);
        text.assign(prefix);
        AppendPatchNumbers(text, section.ScreenIdAtIndex(index), entry.universe, entry.address);
        line(text);
    });
}

std::vector<std::string> BuildPatchList(CSubDoc& section)
{
    std::vector<std::string> lines;
    ForEachPatchLine(section, [&lines](const std::string& text) { lines.push_back(text); });
    return lines;
}
