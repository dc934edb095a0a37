#include "formats/PatchList.h"

#include "app/base/NumberText.h"
#include "app/library/FixtureType.h"
#include "document/section/SubDoc.h"

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
// Items sorted at once: 16 MB of sort keys, so that the list of the largest section needs
// no memory in proportion to it.
constexpr std::size_t kWindowItems = std::size_t { 1 } << 21;
constexpr int64_t kBuckets = 4096;

// Visits, in ascending key order and ties by index, the `count` items whose keys lie in
// low..high. Few items are sorted at once (in one flat array of packed key and index where
// the keys are close enough); more are split by a histogram of their keys into parts that
// are few enough, so the memory stays bounded whatever the section's size.
template <typename Visit>
void VisitKeyRange(
    const CSubDoc& section, int64_t low, int64_t high, std::size_t count, Visit& visit)
{
    const std::size_t total = static_cast<std::size_t>(section.GetItemCount());
    const auto key = [&section](std::size_t i) {
        return ChannelKey(section.ItemAtIndex(static_cast<int>(i)));
    };
    const bool packable = total <= (std::size_t { 1 } << kIndexBits) && high - low < kPackedKeySpan;
    if (count <= kWindowItems && !packable) {
        std::vector<int32_t> order;
        order.reserve(count);
        for (std::size_t i = 0; i < total; ++i) {
            const int64_t k = key(i);
            if (k >= low && k <= high)
                order.push_back(static_cast<int32_t>(i));
        }
        std::sort(order.begin(), order.end(), [&key](int32_t a, int32_t b) {
            const int64_t keyA = key(static_cast<std::size_t>(a));
            const int64_t keyB = key(static_cast<std::size_t>(b));
            return keyA != keyB ? keyA < keyB : a < b;
        });
        for (int32_t index : order)
            visit(index);
        return;
    }
    if (count <= kWindowItems) {
        std::vector<uint64_t> packed;
        packed.reserve(count);
        for (std::size_t i = 0; i < total; ++i) {
            const int64_t k = key(i);
            if (k >= low && k <= high)
                packed.push_back((static_cast<uint64_t>(k - low) << kIndexBits) | i);
        }
        std::sort(packed.begin(), packed.end());
        const uint64_t indexMask = (uint64_t { 1 } << kIndexBits) - 1;
        for (uint64_t word : packed)
            visit(static_cast<int32_t>(word & indexMask));
        return;
    }
    if (low == high) {
        for (std::size_t i = 0; i < total; ++i) {
            if (key(i) == low)
                visit(static_cast<int32_t>(i));
        }
        return;
    }
    const uint64_t span = static_cast<uint64_t>(high - low);
    int shift = 0;
    while ((span >> shift) >= static_cast<uint64_t>(kBuckets))
        ++shift;
    std::vector<std::size_t> counts(static_cast<std::size_t>(span >> shift) + 1);
    for (std::size_t i = 0; i < total; ++i) {
        const int64_t k = key(i);
        if (k >= low && k <= high)
            ++counts[static_cast<std::size_t>(static_cast<uint64_t>(k - low) >> shift)];
    }
    std::size_t first = 0;
    while (first < counts.size()) {
        std::size_t last = first;
        std::size_t sum = counts[first];
        while (last + 1 < counts.size() && sum + counts[last + 1] <= kWindowItems)
            sum += counts[++last];
        if (sum > 0) {
            const int64_t from = low + static_cast<int64_t>(uint64_t { first } << shift);
            const int64_t to
                = std::min(high, low + static_cast<int64_t>((uint64_t { last } + 1) << shift) - 1);
            VisitKeyRange(section, from, to, sum, visit);
        }
        first = last + 1;
    }
}

// Calls `visit` with every item index in ascending key order, ties by index.
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
    VisitKeyRange(section, lowest, highest, count, visit);
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

void ForEachItemInPatchOrder(const CSubDoc& section, const std::function<void(int32_t)>& visit)
{
    VisitSortedItems(section, visit);
}

void ForEachPatchLine(CSubDoc& section, const std::function<void(const std::string&)>& line)
{
    if (section.GetFixtureType() == nullptr || section.GetTileCount() <= 0)
        return;
    section.RebuildItems();
    ForEachPatchLineOf(section, line);
}

void ForEachPatchLineOf(const CSubDoc& section, const std::function<void(const std::string&)>& line)
{
    const CFixtureType* type = section.GetFixtureType();
    if (type == nullptr || section.GetTileCount() <= 0)
        return;

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
