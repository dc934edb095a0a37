#include "document/QuiltmarkDoc.h"

#include "app/UserMessages.h"
#include "document/ChannelOccupancy.h"
#include "document/ProjectFile.h"
#include "document/SafeFile.h"
#include "formats/JobFile.h"
#include "formats/SkopeScript.h"
#include "formats/StoredText.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <sstream>
#include <utility>

struct CQuiltmarkDoc::ChannelTable : CChannelOccupancy { };

namespace {

constexpr const char* kJobFirstLine = "<JOB>";

} // namespace

CQuiltmarkDoc::CQuiltmarkDoc(IUserMessages& messages, std::string libraryPath)
    : m_messages(messages)
    , m_libraryPath(std::move(libraryPath))
    , m_channels(std::make_unique<ChannelTable>())
{
}

CQuiltmarkDoc::~CQuiltmarkDoc() = default;

// ---- lifecycle --------------------------------------------------------------------

bool CQuiltmarkDoc::Reset()
{
    m_sections.clear();
    m_devices.RemoveAllDevices();
    m_universeUse.clear();
    m_currentSection = 0;
    if (!m_library.Load(m_libraryPath)) {
        m_messages.ShowMessage(kLibraryInvalid, MessageIcon::Error);
        return false;
    }
    return true;
}

bool CQuiltmarkDoc::OnNewDocument()
{
    m_modified = false;
    m_pathName.clear();
    const bool ok = Reset();
    if (m_sections.empty())
        AddSection();
    // Reset keeps the old tables; a new project must not show the old one's conflicts.
    RebuildTables();
    m_loadSucceeded = true;
    m_pathHoldsProject = true;
    return ok;
}

bool CQuiltmarkDoc::OnOpenDocument(const std::string& path, std::string* error)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error, kMaxProjectFileBytes))
        return false;
    LoadFromBuffer(bytes.data(), bytes.size());
    // The open counts as done even when the content was refused: the path is kept.
    m_pathName = path;
    m_modified = false;
    return true;
}

bool CQuiltmarkDoc::LoadFromBuffer(const char* data, std::size_t size)
{
    autoAddressing = false;
    std::size_t lineEnd = 0;
    while (lineEnd < size && data[lineEnd] != '\n')
        ++lineEnd;
    std::size_t lineLength = lineEnd;
    if (lineLength > 0 && data[lineLength - 1] == '\r')
        --lineLength;
    // Compared in place: a project written on one line may be very long.
    const bool isJob = lineLength == std::strlen(kJobFirstLine)
        && std::memcmp(data, kJobFirstLine, lineLength) == 0;

    bool ok = false;
    std::string error;
    if (isJob) {
        Reset();
        CSubDoc* section = AddSection();
        const std::size_t rest = std::min(size, lineEnd + 1);
        std::istringstream in(std::string(data + rest, size - rest));
        bool replaced = false;
        if (section && ReadJobFile(in, *section, m_library, &error, &replaced)) {
            if (replaced)
                m_messages.ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
            section->initialised = true;
            section->name = "new 1";
            section->RecountUniverses();
            RebuildUniverseUse();
            m_currentSection = 0;
            ok = true;
        }
    } else {
        ok = CProjectFileReader::Read(*this, data, size, &error);
    }

    if (!ok) {
        Reset();
        if (m_sections.empty())
            AddSection();
        std::string text = kCannotLoad;
        if (!error.empty())
            text += "\n" + error;
        m_messages.ShowMessage(text, MessageIcon::Error);
    }
    // Reset leaves the screen-id and channel tables alone; rebuild them for what is loaded.
    RebuildTables();
    SetCurrentSection(0);
    m_loadSucceeded = ok;
    m_pathHoldsProject = ok && !isJob;
    return ok;
}

bool CQuiltmarkDoc::OnSaveDocument(const std::string& path, std::string* error)
{
    const std::string date
        = m_scriptDate.empty() ? FormatScriptDate(std::time(nullptr)) : m_scriptDate;
    const std::string text = CProjectFileWriter::Write(*this, date);
    std::string reason;
    if (!WriteFileSafely(path, text, &reason)) {
        m_messages.ShowMessage("The document could not be saved.\n" + reason, MessageIcon::Error);
        if (error)
            *error = reason;
        return false;
    }
    m_pathName = path;
    m_modified = false;
    m_pathHoldsProject = true;
    return true;
}

std::string CQuiltmarkDoc::GetTitle() const
{
    if (m_pathName.empty())
        return "Untitled";
    const std::size_t slash = m_pathName.find_last_of('/');
    return slash == std::string::npos ? m_pathName : m_pathName.substr(slash + 1);
}

// ---- sections ---------------------------------------------------------------------

CSubDoc* CQuiltmarkDoc::GetSection(int index)
{
    if (index < 0 || index >= GetSectionCount())
        return nullptr;
    return m_sections[static_cast<std::size_t>(index)].get();
}

const CSubDoc* CQuiltmarkDoc::GetSection(int index) const
{
    return const_cast<CQuiltmarkDoc*>(this)->GetSection(index);
}

CSubDoc* CQuiltmarkDoc::GetCurrentSection()
{
    if (m_sections.empty())
        return nullptr;
    if (m_currentSection < 0 || m_currentSection >= GetSectionCount())
        m_currentSection = 0;
    return m_sections[static_cast<std::size_t>(m_currentSection)].get();
}

CSubDoc* CQuiltmarkDoc::SetCurrentSection(int index)
{
    if (m_currentSection < 0 || m_currentSection >= GetSectionCount())
        return nullptr;
    m_currentSection = index;
    return GetCurrentSection();
}

CSubDoc* CQuiltmarkDoc::AddSection()
{
    if (GetSectionCount() < kMaxSections) {
        m_sections.push_back(std::make_unique<CSubDoc>(&m_library));
        m_currentSection = GetSectionCount() - 1;
        m_sections.back()->name = MakeUniqueSectionName();
    }
    return GetCurrentSection();
}

bool CQuiltmarkDoc::DeleteSection(int index)
{
    if (m_sections.empty() || index < 0 || index >= GetSectionCount() || GetSectionCount() == 1)
        return false;
    m_sections.erase(m_sections.begin() + index);
    const int last = GetSectionCount() - 1;
    if (m_currentSection >= last)
        m_currentSection = last;
    return true;
}

bool CQuiltmarkDoc::MoveSection(int from, int to)
{
    if (m_sections.empty())
        return false;
    const int last = GetSectionCount() - 1;
    from = std::clamp(from, 0, last);
    to = std::clamp(to, 0, last);
    if (from == to)
        return false;
    std::unique_ptr<CSubDoc> moving = std::move(m_sections[static_cast<std::size_t>(from)]);
    m_sections.erase(m_sections.begin() + from);
    m_sections.insert(m_sections.begin() + to, std::move(moving));
    m_modified = true;
    return true;
}

// ---- edits ------------------------------------------------------------------------

void CQuiltmarkDoc::RefreshAfterTileChange(CSubDoc& section)
{
    // Addressing walks the existing grid and never resizes it, unlike a full set-up.
    if (autoAddressing)
        AddressTiles(section, CAddressingParams::FromSetup(section.setup), AddressScope::AllTiles);
    section.RebuildItems();
    section.RecountUniverses();
    RebuildTables();
    m_modified = true;
}

bool CQuiltmarkDoc::SetUpSection(CSubDoc& section, const CSectionSetup& setup)
{
    const CSectionSetup previous = section.setup;
    section.setup = setup;
    if (!section.SetUp()) {
        // The section refuses what it cannot hold; keep what it had.
        section.setup = previous;
        m_messages.ShowMessage(
            "The matrix could not be created: it would be larger than Quiltmark can hold.",
            MessageIcon::Warning);
        return false;
    }
    section.RebuildItems();
    section.RecountUniverses();
    RebuildTables();
    m_modified = true;
    return true;
}

void CQuiltmarkDoc::SetUpAllSections()
{
    for (const std::unique_ptr<CSubDoc>& section : m_sections) {
        if (section->initialised)
            section->SetUp();
    }
    RebuildTables();
    m_modified = true;
}

int CQuiltmarkDoc::ExcludeTiles(
    CSubDoc& section, const std::vector<std::pair<int, int>>& cells, bool exclude)
{
    int changed = 0;
    for (const auto& [column, row] : cells) {
        CTileRecord* tile = section.GetTile(column, row);
        if (!tile || (tile->excluded != 0) == exclude)
            continue;
        tile->excluded = exclude ? 1 : 0;
        ++changed;
        // Only these tiles change unless the section is re-addressed below: keep the counts
        // and items in step here instead of rebuilding the section on every cell of a drag.
        if (tile->universe >= 0) {
            if (exclude)
                section.RemoveUniverseTile(tile->universe);
            else
                section.AddUniverseTile(tile->universe);
        }
        section.DeriveItems(column, row);
    }
    if (changed == 0)
        return 0;
    if (autoAddressing) {
        AddressTiles(section, CAddressingParams::FromSetup(section.setup), AddressScope::AllTiles);
        section.RebuildItems();
    }
    RebuildTables();
    m_modified = true;
    return changed;
}

int CQuiltmarkDoc::ExcludeSelectedTiles(CSubDoc& section, bool exclude)
{
    const int changed = section.ExcludeSelected(exclude);
    if (changed > 0)
        RefreshAfterTileChange(section);
    return changed;
}

void CQuiltmarkDoc::MoveSelectedTiles(CSubDoc& section, int x, int y)
{
    section.MoveSelection(x, y);
    RefreshAfterTileChange(section);
}

void CQuiltmarkDoc::AddressSelectedTiles(
    CSubDoc& section, const CAddressingParams& params, bool createItems)
{
    if (createItems)
        section.ExcludeSelected(false);
    AddressTiles(section, params, AddressScope::SelectedTiles);
    section.RebuildItems();
    section.RecountUniverses();
    RebuildTables();
    m_modified = true;
}

CSubDoc* CQuiltmarkDoc::AppendSection()
{
    if (GetSectionCount() >= kMaxSections)
        return nullptr;
    CSubDoc* section = AddSection();
    m_modified = true;
    return section;
}

bool CQuiltmarkDoc::RemoveSection(int index)
{
    if (!DeleteSection(index))
        return false;
    // Its tiles no longer occupy channels, universes or screen ids.
    RebuildTables();
    m_modified = true;
    return true;
}

bool CQuiltmarkDoc::RenameSection(int index, const std::string& name)
{
    CSubDoc* section = GetSection(index);
    if (!section || !IsSectionNameFree(name))
        return false;
    section->name = name;
    m_modified = true;
    return true;
}

void CQuiltmarkDoc::SetPageInfo(CSubDoc& section, const std::string& text)
{
    section.info = text;
    m_modified = true;
}

int CQuiltmarkDoc::FindSectionByName(const std::string& name) const
{
    for (int i = 0; i < GetSectionCount(); ++i)
        if (m_sections[static_cast<std::size_t>(i)]->name == name)
            return i;
    return -1;
}

bool CQuiltmarkDoc::IsSectionNameFree(const std::string& name) const
{
    return FindSectionByName(name) < 0;
}

std::string CQuiltmarkDoc::MakeUniqueSectionName() const
{
    int n = GetSectionCount();
    std::string name = "new " + std::to_string(n);
    while (!IsSectionNameFree(name))
        name = "new " + std::to_string(++n);
    return name;
}

const CFixtureType* CQuiltmarkDoc::GetFixtureType(const CSubDoc& section) const
{
    return m_library.GetAt(section.setup.fix_type);
}

int CQuiltmarkDoc::IndexOfSection(const CSubDoc* section) const
{
    for (int i = 0; i < GetSectionCount(); ++i)
        if (m_sections[static_cast<std::size_t>(i)].get() == section)
            return i;
    return -1;
}

// ---- usage tables -----------------------------------------------------------------

void CQuiltmarkDoc::RebuildUniverseUse()
{
    m_universeUse.clear();
    for (const auto& section : m_sections)
        for (const auto& entry : section->GetUniverseCounts())
            ++m_universeUse[entry.first];
}

int CQuiltmarkDoc::GetUsedUniverseCount() const
{
    return static_cast<int>(m_universeUse.size());
}

int CQuiltmarkDoc::GetNextUsedUniverse(int u) const
{
    auto it = m_universeUse.upper_bound(u);
    return it == m_universeUse.end() ? -1 : it->first;
}

int CQuiltmarkDoc::GetHighestUsedUniverse() const
{
    return m_universeUse.empty() ? -1 : m_universeUse.rbegin()->first;
}

void CQuiltmarkDoc::RebuildScreenIdUse()
{
    // Item screen ids run without gaps from the section's screen_id, so one range per
    // section says everything; an id is shared when two ranges cover it.
    m_screenIdRanges.clear();
    for (const auto& section : m_sections) {
        const long long items = section->GetItemCount();
        if (items <= 0)
            continue;
        const long long first = section->setup.screen_id;
        m_screenIdRanges.emplace_back(first, first + items - 1);
    }
}

bool CQuiltmarkDoc::IsScreenIdShared(long long id) const
{
    int count = 0;
    for (const auto& range : m_screenIdRanges)
        if (range.first <= id && id <= range.second && ++count > 1)
            return true;
    return false;
}

void CQuiltmarkDoc::RebuildChannelUse()
{
    m_channels->Clear();
    std::vector<int64_t> starts;
    for (const auto& section : m_sections) {
        const int channels = section->ChannelsPerFixture();
        if (channels <= 0)
            continue;
        starts.clear();
        starts.reserve(section->Tiles().size());
        // A tile without an address occupies no channel; counting it from -1 would mark
        // the last channel of the previous universe and the first ones of its own.
        for (const CTileRecord& tile : section->Tiles())
            if (!tile.excluded && tile.universe >= 0 && tile.address >= 0)
                starts.push_back(static_cast<int64_t>(tile.universe) * 512 + tile.address);
        m_channels->AddFootprints(starts, channels);
    }
    m_channels->Finish();
}

int CQuiltmarkDoc::GetChannelUseCount(long long key) const
{
    return m_channels->CountAt(key);
}

bool CQuiltmarkDoc::IsChannelShared(long long key) const
{
    return m_channels->IsShared(key);
}

bool CQuiltmarkDoc::IsChannelRangeShared(long long first, int count) const
{
    return m_channels->IsRangeShared(first, count);
}

void CQuiltmarkDoc::RebuildTables()
{
    RebuildUniverseUse();
    RebuildScreenIdUse();
    RebuildChannelUse();
}

// ---- screen-id ranges -------------------------------------------------------------

bool CQuiltmarkDoc::IsScreenIdRangeFree(
    int skip, long long first, int fixtureIndex, int w, int h) const
{
    const CFixtureType* type = m_library.GetAt(fixtureIndex);
    const long long quarks = type ? static_cast<long long>(type->QuarksPerFixture()) : 0;
    const long long count = quarks * std::max(w, 0) * std::max(h, 0);
    // An empty range takes no ids and so collides with nothing.
    if (count <= 0)
        return true;
    const long long last = first + count - 1;
    for (int i = 0; i < GetSectionCount(); ++i) {
        const CSubDoc& section = *m_sections[static_cast<std::size_t>(i)];
        if (i == skip || !section.initialised)
            continue;
        const long long sectionCount = section.ScreenIdCount();
        if (sectionCount <= 0)
            continue;
        const long long start = section.setup.screen_id;
        const long long end = start + sectionCount - 1;
        if (end >= first && start <= last)
            return false;
    }
    return true;
}

long long CQuiltmarkDoc::GetFirstFreeScreenId(int skip, int fixtureIndex, int w, int h) const
{
    long long candidate = 1;
    // Below every screen id: a range that starts at 0 or below (a file may hold such ids)
    // is stepped over like any other instead of leaving the occupied candidate 1.
    long long previousStart = LLONG_MIN;
    int attempts = 0;
    for (;;) {
        if (IsScreenIdRangeFree(skip, candidate, fixtureIndex, w, h))
            return candidate;
        // The next range start above the previous one, among the other sections.
        bool found = false;
        long long next = 0;
        for (int i = 0; i < GetSectionCount(); ++i) {
            const long long start = m_sections[static_cast<std::size_t>(i)]->setup.screen_id;
            if (i != skip && start > previousStart && (!found || start < next)) {
                next = start;
                found = true;
            }
        }
        long long end = 0;
        if (found) {
            for (const auto& section : m_sections)
                if (section->setup.screen_id == next)
                    end = std::max(end, next + section->ScreenIdCount() - 1);
            previousStart = next;
        }
        candidate = end + 1;
        if (++attempts > GetSectionCount())
            return candidate;
    }
}

// ---- texts ------------------------------------------------------------------------

void CQuiltmarkDoc::GetUniversePatchText(int universe, std::string& text)
{
    bool first = true;
    struct Candidate {
        int address;
        int index;
    };
    std::vector<Candidate> candidates;
    for (int s = 0; s < GetSectionCount(); ++s) {
        const CSubDoc& section = *m_sections[static_cast<std::size_t>(s)];
        const int columns = section.GetTileColumns();
        if (columns <= 0)
            continue;
        // The tiles come in the order in which the connections display walks a universe:
        // by address; of several tiles on one address the first in scan order, then the
        // others from the last back. Addresses beyond the section's highest are not
        // walked. Working it out from a sorted list keeps the tiles' visited marks as
        // they are and costs n log n instead of a scan per tile.
        const long long upper = static_cast<long long>(section.setup.addr_count) + 1;
        candidates.clear();
        const std::vector<CTileRecord>& tiles = section.Tiles();
        for (int index = 0; index < static_cast<int>(tiles.size()); ++index) {
            const CTileRecord& tile = tiles[static_cast<std::size_t>(index)];
            if (tile.excluded || tile.universe != universe)
                continue;
            if (tile.address == -1 || (tile.address > -1 && tile.address < upper))
                candidates.push_back({ tile.address, index });
        }
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.address != b.address ? a.address < b.address : a.index < b.index;
        });
        auto append = [&](int index) {
            if (!first)
                text += " \xBB ";
            first = false;
            text += std::to_string(s + 1) + ":" + ColumnLetters(index % columns)
                + std::to_string(index / columns + 1);
        };
        std::size_t g = 0;
        while (g < candidates.size()) {
            std::size_t end = g;
            while (end < candidates.size() && candidates[end].address == candidates[g].address)
                ++end;
            // The walk starts at address -1, where it takes tiles from the last one back.
            if (candidates[g].address == -1) {
                for (std::size_t k = end; k > g; --k)
                    append(candidates[k - 1].index);
            } else {
                append(candidates[g].index);
                for (std::size_t k = end; k > g + 1; --k)
                    append(candidates[k - 1].index);
            }
            g = end;
        }
    }
}

std::string CQuiltmarkDoc::ColumnLetters(int n)
{
    if (n < 0 || n > 18277)
        return std::string();
    std::string letters;
    long long value = static_cast<long long>(n) + 1;
    while (value > 0) {
        const long long digit = (value - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + digit));
        value = (value - 1) / 26;
    }
    return letters;
}
