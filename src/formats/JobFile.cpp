#include "formats/JobFile.h"

#include "app/base/NumberText.h"
#include "app/base/StoredText.h"
#include "app/library/FixtureType.h"
#include "app/library/MetaLib.h"
#include "document/section/SubDoc.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace {

constexpr std::size_t kMaxLineLength = 255;

// Keys are plain ASCII; the <cctype> functions would follow the user's locale (a Turkish
// one lower-cases 'I' differently) and could reject MATRIX_WIDTH or accept 8-bit letters.
bool IsKeyChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// A signed decimal number after optional blanks, like strtol. Values that an int cannot
// hold are treated as unreadable, so the key keeps its default instead of a clamped
// extreme that later arithmetic would have to survive.
bool ReadInteger(const std::string& text, int& value)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
        return false;
    long long magnitude = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    const long long result = negative ? -magnitude : magnitude;
    if (result > INT_MAX || result < INT_MIN)
        return false;
    value = static_cast<int>(result);
    return true;
}

// Reads the next key line of `tag` and hands its value to `apply` when its key is one of
// `keys` (ignoring case); returns when the block or the file ends.
template <typename Apply>
void ReadBlock(CJobLineReader& reader, const std::string& tag,
    std::initializer_list<const char*> keys, Apply apply)
{
    std::string key;
    std::string value;
    while (reader.NextKeyLine(tag, key, value)) {
        for (const char* name : keys) {
            if (EqualsIgnoringCase(key, name)) {
                apply(name, value);
                break;
            }
        }
    }
}

void ReadJobBlock(CJobLineReader& reader, CSectionSetup& setup, bool& replaced)
{
    setup.fix_type = 0;
    setup.matrix_width = 0;
    setup.matrix_height = 0;
    setup.screen_med_name = "<none>";
    setup.screen_id = 0;
    setup.base_universe = 0;
    setup.addr_first = 0;
    setup.addr_count = 0;
    setup.address_origin = 0;
    setup.primary_direction = 0;
    setup.check_invert_secondaries = 0;
    setup.orientation = 0;
    setup.section_id = 0;

    const std::pair<const char*, int*> numbers[] = {
        { "fix_type", &setup.fix_type },
        { "matrix_width", &setup.matrix_width },
        { "matrix_height", &setup.matrix_height },
        { "screen_id", &setup.screen_id },
        { "base_universe", &setup.base_universe },
        { "addr_first", &setup.addr_first },
        { "addr_count", &setup.addr_count },
        { "address_origin", &setup.address_origin },
        { "primary_direction", &setup.primary_direction },
        { "check_invert_secondaries", &setup.check_invert_secondaries },
        { "orientation", &setup.orientation },
        { "section_id", &setup.section_id },
    };
    ReadBlock(reader, "JOB",
        { "fix_type", "matrix_width", "matrix_height", "screen_med_name", "screen_id",
            "base_universe", "addr_first", "addr_count", "address_origin", "primary_direction",
            "check_invert_secondaries", "orientation", "section_id" },
        [&](const char* name, const std::string& value) {
            if (std::string(name) == "screen_med_name") {
                setup.screen_med_name = value;
                replaced = MakeStorableText(setup.screen_med_name) || replaced;
                CutTextKeepingUtf8(setup.screen_med_name, CSubDoc::kMaxTextLength);
                return;
            }
            for (const auto& number : numbers) {
                if (std::string(name) == number.first) {
                    ReadInteger(value, *number.second);
                    return;
                }
            }
        });
}

void ReadTileBlock(CJobLineReader& reader, CTileRecord& tile)
{
    int universe = 0;
    int address = 0;
    int excluded = 0;
    ReadBlock(reader, "META_ITEM", { "universe_id", "dmx_address", "exclude_area" },
        [&](const char* name, const std::string& value) {
            const std::string key = name;
            ReadInteger(value,
                key == "universe_id"       ? universe
                    : key == "dmx_address" ? address
                                           : excluded);
        });
    tile = CTileRecord {};
    tile.universe = universe;
    tile.address = address;
    tile.excluded = excluded != 0 ? 1 : 0;
}

void SetError(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
}

} // namespace

bool CJobLineReader::NextKeyLine(const std::string& tag, std::string& key, std::string& value)
{
    const std::string opening = "<" + tag + ">";
    const std::string closing = "</" + tag + ">";
    std::streambuf* buffer = m_in.rdbuf();
    if (buffer == nullptr || !m_in.good())
        return false;

    std::string& line = m_line;
    for (;;) {
        // Read one line, leading blanks and tabs skipped. Only the first characters are
        // kept; the rest of an overlong line is dropped rather than read as a new line.
        line.clear();
        bool leading = true;
        bool anything = false;
        int c;
        while ((c = buffer->sbumpc()) != std::char_traits<char>::eof()) {
            anything = true;
            if (c == '\n')
                break;
            if (leading && (c == ' ' || c == '\t'))
                continue;
            leading = false;
            if (line.size() < kMaxLineLength + 1)
                line.push_back(static_cast<char>(c));
        }
        if (c == std::char_traits<char>::eof()) {
            m_in.setstate(std::ios::eofbit);
            if (!anything)
                return false;
        }
        if (StartsWith(line, closing))
            return false;
        if (StartsWith(line, opening)) {
            if (!m_in.good())
                return false;
            continue;
        }

        CutTextKeepingUtf8(line, kMaxLineLength);
        const std::size_t end = line.find_first_of("\r\n");
        if (end != std::string::npos)
            line.resize(end);
        const std::size_t slash = line.find('/');
        if (slash != std::string::npos && slash + 1 < line.size() && line[slash + 1] == '/')
            line.resize(slash);
        for (char& ch : line) {
            if (ch == '\t')
                ch = ' ';
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();

        const std::size_t equals = line.find('=');
        if (!line.empty() && equals != std::string::npos) {
            std::size_t keyEnd = 0;
            while (keyEnd < line.size() && IsKeyChar(line[keyEnd]))
                ++keyEnd;
            key = line.substr(0, keyEnd);
            value = line.substr(equals + 1);
            return true;
        }
        if (!m_in.good())
            return false;
    }
}

bool ReadJobFile(std::istream& in, CSubDoc& section, const CMetaLib& library, std::string* error,
    bool* replacedControls)
{
    CJobLineReader reader(in);
    CSectionSetup setup = section.setup;
    bool replaced = false;
    ReadJobBlock(reader, setup, replaced);
    if (replacedControls)
        *replacedControls = replaced;
    // Job files name the type by its old library number; no match leaves the section
    // without a type, and everything that needs one skips it.
    setup.fix_type = library.IndexOfOldIndex(setup.fix_type);

    const int columns = setup.matrix_width;
    const int rows = setup.matrix_height;
    if (columns < 0 || rows < 0) {
        SetError(error,
            "The job file gives a negative matrix size (" + std::to_string(columns) + " x "
                + std::to_string(rows) + ").");
        return false;
    }
    const long long tiles = static_cast<long long>(columns) * rows;
    if (tiles > CSubDoc::kMaxTiles) {
        SetError(error,
            "The job file's matrix of " + std::to_string(columns) + " x " + std::to_string(rows)
                + " tiles is too large: at most " + std::to_string(CSubDoc::kMaxTiles)
                + " tiles are allowed.");
        return false;
    }
    const CFixtureType* type = library.GetAt(setup.fix_type);
    if (type != nullptr && type->IsUsable()) {
        // A quarter turn swaps the item axes but keeps their number.
        const long long items = tiles * type->width * type->height;
        if (items > CSubDoc::kMaxItems) {
            SetError(error,
                "The job file's matrix of " + std::to_string(columns) + " x " + std::to_string(rows)
                    + " tiles would hold " + std::to_string(items) + " items: at most "
                    + std::to_string(CSubDoc::kMaxItems) + " items are allowed.");
            return false;
        }
    }
    const CSectionSetup previous = section.setup;
    section.setup = setup;
    if (!section.ResizeTiles(columns, rows)) {
        section.setup = previous;
        SetError(error,
            "The job file's matrix of " + std::to_string(columns) + " x " + std::to_string(rows)
                + " tiles cannot be created.");
        return false;
    }

    std::vector<CTileRecord>& records = section.Tiles();
    for (CTileRecord& tile : records) {
        if (!in.good())
            break; // the file ended early: the remaining tiles stay all zero
        ReadTileBlock(reader, tile);
    }
    section.initialised = true;
    if (section.GetFixtureType() != nullptr)
        section.RebuildItems();
    return true;
}
