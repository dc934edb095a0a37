#include "document/GoTo.h"

#include "document/QuiltmarkDoc.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

std::string Trimmed(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// Digits only, at most `maxDigits` of them, as a number.
std::optional<long long> Number(const std::string& text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "B3": column letters (A to ZZZ) and a row number from 1.
bool ParseTileName(const std::string& text, int& column, int& row)
{
    std::size_t letters = 0;
    while (letters < text.size() && std::isalpha(static_cast<unsigned char>(text[letters])))
        ++letters;
    if (letters < 1 || letters > 3)
        return false;
    int value = 0;
    for (std::size_t i = 0; i < letters; ++i)
        value = value * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
    const std::optional<long long> number = Number(text.substr(letters), 9);
    if (!number || *number < 1)
        return false;
    column = value - 1;
    row = static_cast<int>(*number - 1);
    return true;
}

int64_t ChannelKey(int universe, int address)
{
    return static_cast<int64_t>(universe) * 512 + address;
}

std::optional<CTileLocation> FindAddress(const CQuiltmarkDoc& doc, int universe, int address)
{
    const int64_t key = ChannelKey(universe, address);
    std::optional<CTileLocation> covering;
    for (int s = 0; s < doc.GetSectionCount(); ++s) {
        const CSubDoc& section = *doc.GetSection(s);
        const int columns = section.GetTileColumns();
        const int64_t channels = section.ChannelsPerFixture();
        const std::vector<CTileRecord>& tiles = section.Tiles();
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            const CTileRecord& t = tiles[i];
            if (t.excluded || t.universe < 0 || t.address < 0)
                continue;
            const int64_t first = ChannelKey(t.universe, t.address);
            if (key < first || key >= first + channels)
                continue;
            const CTileLocation at { s, static_cast<int>(i % static_cast<std::size_t>(columns)),
                static_cast<int>(i / static_cast<std::size_t>(columns)) };
            if (first == key)
                return at;
            if (!covering)
                covering = at;
        }
    }
    return covering;
}

std::optional<CTileLocation> FindScreenId(const CQuiltmarkDoc& doc, long long id)
{
    for (int s = 0; s < doc.GetSectionCount(); ++s) {
        const CSubDoc& section = *doc.GetSection(s);
        const long long itemColumns = section.GetItemColumns();
        const long long itemRows = section.GetItemRows();
        if (section.GetTileCount() < 1 || itemColumns < 1 || itemRows < 1)
            continue;
        // Items are numbered column by column from the section's first screen id.
        const long long k = id - section.setup.screen_id;
        if (k < 0 || k >= itemColumns * itemRows)
            continue;
        const int i = static_cast<int>(k / itemRows);
        const int j = static_cast<int>(k % itemRows);
        // Ids past the int range are shown clamped: only the id as shown counts.
        if (section.ScreenIdAt(i, j) != id)
            continue;
        const int column
            = i / static_cast<int>(std::max<long long>(itemColumns / section.GetTileColumns(), 1));
        const int row
            = j / static_cast<int>(std::max<long long>(itemRows / section.GetTileRows(), 1));
        const CTileRecord* tile = section.GetTile(column, row);
        if (tile && !tile->excluded)
            return CTileLocation { s, column, row };
    }
    return std::nullopt;
}

} // namespace

std::optional<CGoToTarget> ParseGoTo(const std::string& input)
{
    const std::string text = Trimmed(input);
    if (text.empty())
        return std::nullopt;
    CGoToTarget target;

    const std::size_t dot = text.find('.');
    if (dot != std::string::npos) {
        std::string universe = text.substr(0, dot);
        if (!universe.empty() && (universe[0] == 'U' || universe[0] == 'u'))
            universe.erase(0, 1);
        const std::optional<long long> u = Number(universe, 9);
        const std::optional<long long> a = Number(text.substr(dot + 1), 3);
        if (!u || !a || *u < 1 || *a < 1 || *a > 512)
            return std::nullopt;
        target.kind = CGoToTarget::Kind::Address;
        target.universe = static_cast<int>(*u - 1);
        target.address = static_cast<int>(*a - 1);
        return target;
    }

    if (const std::optional<long long> id = Number(text, 10)) {
        target.kind = CGoToTarget::Kind::ScreenId;
        target.screenId = *id;
        return target;
    }

    std::string name = text;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        std::string number = Trimmed(text.substr(0, colon));
        if (!number.empty() && (number[0] == 'S' || number[0] == 's'))
            number.erase(0, 1);
        const std::optional<long long> section = Number(number, 1);
        if (!section || *section < 1 || *section > CQuiltmarkDoc::kMaxSections)
            return std::nullopt;
        target.section = static_cast<int>(*section - 1);
        name = Trimmed(text.substr(colon + 1));
    }
    if (!ParseTileName(name, target.column, target.row))
        return std::nullopt;
    target.kind = CGoToTarget::Kind::Tile;
    return target;
}

std::optional<CTileLocation> FindGoTo(const CQuiltmarkDoc& doc, const CGoToTarget& target)
{
    switch (target.kind) {
    case CGoToTarget::Kind::Tile: {
        const int index = target.section >= 0 ? target.section : doc.GetCurrentSectionIndex();
        const CSubDoc* section = doc.GetSection(index);
        if (!section || !section->GetTile(target.column, target.row))
            return std::nullopt;
        return CTileLocation { index, target.column, target.row };
    }
    case CGoToTarget::Kind::Address:
        return FindAddress(doc, target.universe, target.address);
    case CGoToTarget::Kind::ScreenId:
        return FindScreenId(doc, target.screenId);
    }
    return std::nullopt;
}

std::string GoToTargetText(const CGoToTarget& target)
{
    switch (target.kind) {
    case CGoToTarget::Kind::Tile: {
        std::string text = CQuiltmarkDoc::ColumnLetters(target.column)
            + std::to_string(static_cast<long long>(target.row) + 1);
        if (target.section >= 0)
            text = "S" + std::to_string(target.section + 1) + ":" + text;
        return text;
    }
    case CGoToTarget::Kind::Address: {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "U%02lld.%lld",
            static_cast<long long>(target.universe) + 1,
            static_cast<long long>(target.address) + 1);
        return buffer;
    }
    case CGoToTarget::Kind::ScreenId:
        return "screen id " + std::to_string(target.screenId);
    }
    return {};
}
