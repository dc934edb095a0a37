#include "document/QuiltmarkDoc.h"

#include "app/base/Progress.h"
#include "app/base/SafeFile.h"
#include "app/base/StoredText.h"
#include "app/base/UserMessages.h"
#include "document/LibraryEntry.h"
#include "document/ProjectFile.h"
#include "document/ProjectFileParser.h"
#include "document/TileChanges.h"
#include "document/section/ChannelOccupancy.h"
#include "document/section/ConnectionChains.h"
#include "formats/JobFile.h"
#include "formats/SkopeScript.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <exception>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

struct CQuiltmarkDoc::ChannelTable : CChannelOccupancy {
    // Scratch of the rebuild, kept for the next one.
    std::vector<std::pair<int64_t, int64_t>> ranges;
};

namespace {

constexpr const char* kJobFirstLine = "<JOB>";

// Tiles are kept for undo in parts of this many records, so that an edit of a few tiles
// copies a few parts, not the wall.
constexpr int kTilePart = 4096;

bool SameSetup(const CSectionSetup& a, const CSectionSetup& b)
{
    return a.fix_type == b.fix_type && a.skope_style_type == b.skope_style_type
        && a.matrix_width == b.matrix_width && a.matrix_height == b.matrix_height
        && a.screen_med_name == b.screen_med_name && a.screen_id == b.screen_id
        && a.orientation == b.orientation && a.base_universe == b.base_universe
        && a.addr_first == b.addr_first && a.addr_count == b.addr_count
        && a.address_origin == b.address_origin && a.primary_direction == b.primary_direction
        && a.check_invert_secondaries == b.check_invert_secondaries && a.section_id == b.section_id
        && a.unresolved_fix_type == b.unresolved_fix_type;
}

// Everything of a project but its tiles: small, so every step keeps it whole.
struct SectionState {
    std::uint64_t id = 0;
    std::string name;
    std::string info;
    CSectionSetup setup;
    bool initialised = false;

    bool operator==(const SectionState& o) const
    {
        return id == o.id && name == o.name && info == o.info && initialised == o.initialised
            && SameSetup(setup, o.setup);
    }
};

struct DeviceState {
    int type = 0;
    std::uint32_t ipAddress = 0;
    std::vector<int> portUniverses;

    bool operator==(const DeviceState& o) const
    {
        return type == o.type && ipAddress == o.ipAddress && portUniverses == o.portUniverses;
    }
};

struct DocState {
    std::vector<SectionState> sections;
    int currentSection = 0;
    std::vector<DeviceState> devices;

    bool Lists(std::uint64_t id) const
    {
        return std::any_of(
            sections.begin(), sections.end(), [id](const SectionState& s) { return s.id == id; });
    }
    std::size_t Bytes() const
    {
        std::size_t bytes = sizeof(*this);
        for (const SectionState& s : sections)
            bytes += sizeof(s) + s.name.capacity() + s.info.capacity()
                + s.setup.screen_med_name.capacity() + s.setup.unresolved_fix_type.capacity();
        for (const DeviceState& d : devices)
            bytes += sizeof(d) + d.portUniverses.capacity() * sizeof(int);
        return bytes;
    }
};

const CSectionSetup* SetupIn(const DocState& state, std::uint64_t id)
{
    for (const SectionState& s : state.sections)
        if (s.id == id)
            return &s.setup;
    return nullptr;
}

} // namespace

// What the open step kept of one section's tiles.
struct CQuiltmarkDoc::CapturedTiles {
    std::uint64_t id = 0;
    int columns = 0;
    int rows = 0;
    // The tiles as they were, valid in the parts marked kept: one buffer for the grid,
    // reused from step to step, as a wall's worth of fresh pages costs more than the copy.
    std::vector<CTileRecord> copy;
    std::vector<char> kept;
    std::string selection; // the whole selection when first touched
    // The tiles held what addressing every tile with the section's set-up gives when the
    // step began, and the step re-addresses them so: the parts kept only need to record the
    // exclusions; universes and addresses come back from addressing again.
    bool readdress = false;
    bool readdressedLast = false; // nothing changed the tiles since the last re-address
};

// The open step: the project before it, and the parts of tiles it may change.
struct CQuiltmarkDoc::EditCapture {
    std::string name;
    DocState before;
    std::vector<CapturedTiles> tiles;
    bool changed = false; // an edit said so (what counts when nothing is recorded)
};

struct CQuiltmarkDoc::DocumentStep : CEditStep {
    struct SectionTiles {
        std::uint64_t id = 0;
        std::string diff; // grid kept its size: what changed
        std::string selectionBefore; // with a diff, when the selection changed
        std::string selectionAfter;
        bool whole = false; // grid appeared, vanished or changed size: both grids whole
        // With a diff: every tile is addressed with the section's set-up after the diff is
        // applied, in either direction.
        bool readdress = false;
        int beforeColumns = 0, beforeRows = 0, afterColumns = 0, afterRows = 0;
        std::string before;
        std::string after;
    };
    std::string name;
    DocState before;
    DocState after;
    std::vector<SectionTiles> tiles;
    std::size_t bytes = 0;

    const std::string& Name() const override { return name; }
    std::size_t Bytes() const override { return bytes; }
};

namespace {

// Opens a step for one edit; nested in an open step (a drag) it joins that one.
class CEditScope {
public:
    CEditScope(CQuiltmarkDoc& doc, const char* name)
        : m_doc(doc)
    {
        m_doc.BeginEdit(name);
    }
    ~CEditScope() { m_doc.EndEdit(); }
    CEditScope(const CEditScope&) = delete;
    CEditScope& operator=(const CEditScope&) = delete;

private:
    CQuiltmarkDoc& m_doc;
};

} // namespace

namespace {

// What changed in the kept parts of a grid between `before` and `after`. Many parts (a
// re-addressed wall) are split over two threads, each writing its own half of the ranges.
std::string EncodeKeptParts(
    const std::vector<char>& kept, const CTileRecord* before, const CTileRecord* after, int count)
{
    const auto encode = [&](CTileDiffWriter& diff, std::size_t from, std::size_t to) {
        for (std::size_t part = from; part < to; ++part) {
            if (!kept[part])
                continue;
            const int first = static_cast<int>(part) * kTilePart;
            diff.AddRange(first, before + first, after + first, std::min(kTilePart, count - first));
        }
    };
    const std::size_t parts = kept.size();
    const std::size_t keptCount = static_cast<std::size_t>(std::count(kept.begin(), kept.end(), 1));
    CTileDiffWriter diff;
    if (keptCount < 64) {
        encode(diff, 0, parts);
        return diff.Finish();
    }
    std::size_t split = 0;
    int endBefore = 0;
    for (std::size_t seen = 0; split < parts && seen < keptCount / 2; ++split) {
        if (kept[split]) {
            ++seen;
            endBefore = std::min(static_cast<int>(split + 1) * kTilePart, count);
        }
    }
    CTileDiffWriter later(endBefore);
    std::exception_ptr failure; // out of memory on the worker reaches the caller as here
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                encode(later, split, parts);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        encode(later, split, parts);
    }
    try {
        encode(diff, 0, split);
    } catch (...) {
        if (worker.joinable())
            worker.join();
        throw;
    }
    if (worker.joinable())
        worker.join();
    if (failure)
        std::rethrow_exception(failure);
    diff.Append(std::move(later));
    return diff.Finish();
}

DocState CaptureState(const CQuiltmarkDoc& doc)
{
    DocState state;
    state.currentSection = doc.GetCurrentSectionIndex();
    for (int i = 0; i < doc.GetSectionCount(); ++i) {
        const CSubDoc& section = *doc.GetSection(i);
        state.sections.push_back(
            { section.editId, section.name, section.info, section.setup, section.initialised });
    }
    const CKelvraDeviceList& devices = doc.GetDevices();
    for (int i = 0; i < devices.GetDeviceCount(); ++i) {
        const CKelvraDevice& device = *devices.GetDevice(i);
        DeviceState d { device.GetType(), device.GetIpAddress(), {} };
        for (int p = 0; p < device.GetPortCount(); ++p)
            d.portUniverses.push_back(device.GetPortUniverse(p));
        state.devices.push_back(std::move(d));
    }
    return state;
}

} // namespace

CQuiltmarkDoc::CQuiltmarkDoc(IUserMessages& messages, std::string libraryPath)
    : m_messages(messages)
    , m_libraryPath(std::move(libraryPath))
    , m_channels(std::make_unique<ChannelTable>())
{
}

CQuiltmarkDoc::~CQuiltmarkDoc() = default;

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
    ClearHistory();
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

namespace {

// Whether the first line of a file is the legacy job marker; nothing yet when the bytes
// seen so far do not tell (the first line has not ended and could still be the marker).
std::optional<bool> IsJobStart(std::string_view head, bool whole)
{
    const std::size_t marker = std::strlen(kJobFirstLine);
    const std::size_t lineEnd = head.find('\n');
    if (lineEnd == std::string_view::npos && !whole && head.size() <= marker + 1)
        return std::nullopt;
    std::string_view line = head.substr(0, lineEnd);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line == kJobFirstLine;
}

} // namespace

bool CQuiltmarkDoc::OnOpenDocument(const std::string& path, std::string* error, IProgress* progress)
{
    // A project file streams into the document as it is read; a legacy job file, small
    // and line by line, is read whole.
    std::string head;
    std::optional<bool> isJob;
    std::unique_ptr<CProjectFileParser> parser;
    std::uint64_t fileSize = 0;
    std::uint64_t reported = 0;
    bool exactBytes = false;
    bool stopped = false;
    bool parsed = false; // the parser needs no more of the file
    const auto startParser = [&] {
        parser = std::make_unique<CProjectFileParser>(
            *this, fileSize, fileSize <= CProjectFileReader::kTreeReaderBytes, exactBytes);
        parsed = !parser->Feed(head);
        head = std::string();
    };
    std::string readError;
    const auto readPass = [&] {
        std::uint64_t read = 0;
        return ReadFileInPieces(
            path,
            [&](std::string_view piece, std::uint64_t size) {
                fileSize = size;
                if (!isJob || *isJob) {
                    head.append(piece);
                    if (!isJob && (isJob = IsJobStart(head, false)) && !*isJob) {
                        BeginLoad();
                        startParser();
                    }
                } else if (!parser) {
                    head.assign(piece.data(), piece.size());
                    startParser();
                } else {
                    parsed = !parser->Feed(piece);
                }
                // A second reading reports nothing until it passes the first.
                read += piece.size();
                if (read > reported) {
                    reported = read;
                    if (progress && !progress->Report(std::min(read, size), size)) {
                        stopped = true;
                        return false;
                    }
                }
                return !parsed;
            },
            &readError, kMaxProjectFileBytes);
    };

    bool complete = readPass();
    if (!complete && !stopped && !parsed && !parser) {
        // Not opened, or not read: nothing changed.
        if (error)
            *error = readError;
        return false;
    }
    if (!isJob)
        isJob = IsJobStart(head, true);
    if (*isJob && complete) {
        LoadFromBuffer(head.data(), head.size());
    } else {
        bool ok = false;
        std::string problem;
        for (;;) {
            if (stopped || (!complete && !parsed))
                break;
            if (!parser) {
                BeginLoad();
                startParser();
            }
            const CProjectFileParser::Result result = parser->Finish(problem);
            parser.reset();
            ok = result == CProjectFileParser::Result::Loaded;
            if (result != CProjectFileParser::Result::Unsure)
                break;
            if (fileSize <= CProjectFileReader::kTreeReaderBytes) {
                // Small enough to hold: the tree reader decides, as it always did.
                std::string bytes;
                ok = ReadWholeFile(path, bytes, &problem, CProjectFileReader::kTreeReaderBytes)
                    && CProjectFileReader::ReadTree(*this, bytes.data(), bytes.size(), &problem);
                break;
            }
            // Not the UTF-8 it declares: once more, taking every byte as it is.
            exactBytes = true;
            parsed = false;
            complete = readPass();
        }
        if (stopped || (!complete && !parsed)) {
            // Read in part: the document holds a part of a project, which must not stay.
            parser.reset();
            FinishLoad(false, false, std::string(), true);
            if (error)
                *error = stopped ? std::string(kLoadCancelled) : readError;
            return false;
        }
        FinishLoad(ok, false, problem);
    }
    if (progress)
        progress->Report(fileSize, fileSize);
    // The open counts as done even when the content was refused: the path is kept.
    m_pathName = path;
    SetModifiedFlag(false);
    return true;
}

void CQuiltmarkDoc::BeginLoad()
{
    autoAddressing = false;
    // Steps of another project cannot apply to this one.
    ClearHistory();
}

void CQuiltmarkDoc::FinishLoad(bool ok, bool isJob, const std::string& error, bool quiet)
{
    if (!ok) {
        Reset();
        if (m_sections.empty())
            AddSection();
        std::string text = kCannotLoad;
        if (!error.empty())
            text += "\n" + error;
        if (!quiet)
            m_messages.ShowMessage(text, MessageIcon::Error);
    }
    // A project reader ends with the tables of what it read; Reset and the job reader
    // leave them to be rebuilt here.
    if (!ok || isJob)
        RebuildTables();
    SetCurrentSection(0);
    m_loadSucceeded = ok;
    m_pathHoldsProject = ok && !isJob;
}

bool CQuiltmarkDoc::LoadJob(const char* data, std::size_t size, std::string& error)
{
    Reset();
    CSubDoc* section = AddSection();
    const std::size_t lineEnd = std::min(size, std::string_view(data, size).find('\n'));
    const std::size_t rest = std::min(size, lineEnd + 1);
    std::istringstream in(std::string(data + rest, size - rest));
    bool replaced = false;
    if (!section || !ReadJobFile(in, *section, m_library, &error, &replaced))
        return false;
    if (replaced)
        m_messages.ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
    section->initialised = true;
    section->name = "new 1";
    section->RecountUniverses();
    RebuildUniverseUse();
    m_currentSection = 0;
    return true;
}

bool CQuiltmarkDoc::LoadFromBuffer(const char* data, std::size_t size)
{
    BeginLoad();
    const bool isJob = *IsJobStart(std::string_view(data, size), true);
    std::string error;
    const bool ok
        = isJob ? LoadJob(data, size, error) : CProjectFileReader::Read(*this, data, size, &error);
    FinishLoad(ok, isJob, error);
    return ok;
}

bool CQuiltmarkDoc::OnSaveDocument(const std::string& path, std::string* error, IProgress* progress)
{
    if (!WriteProjectFile(path, error, progress))
        return false;
    MarkSaved(path);
    return true;
}

bool CQuiltmarkDoc::WriteProjectFile(
    const std::string& path, std::string* error, IProgress* progress) const
{
    const std::string date
        = m_scriptDate.empty() ? FormatScriptDate(std::time(nullptr)) : m_scriptDate;
    bool stopped = false;
    std::string reason;
    const bool ok = WriteFileSafely(
        path,
        [&](const FileSink& sink, std::string& why) {
            const bool written = CProjectFileWriter::Write(*this, date, sink, progress, why);
            stopped = !written && why == kSaveCancelled;
            return written;
        },
        &reason);
    if (!ok) {
        // A stop was the user's own wish; there is nothing to tell.
        if (!stopped)
            m_messages.ShowMessage(
                "The document could not be saved.\n" + reason, MessageIcon::Error);
        if (error)
            *error = reason;
        return false;
    }
    return true;
}

void CQuiltmarkDoc::MarkSaved(const std::string& path)
{
    m_pathName = path;
    SetModifiedFlag(false);
    m_pathHoldsProject = true;
}

void CQuiltmarkDoc::TakeProjectFrom(CQuiltmarkDoc& loaded)
{
    if (&loaded == this)
        return;
    // The sections consult the library they were read with: it comes along.
    m_library = std::move(loaded.m_library);
    m_sections = std::move(loaded.m_sections);
    loaded.m_sections.clear();
    for (const std::unique_ptr<CSubDoc>& section : m_sections) {
        section->SetLibrary(&m_library);
        section->editId = m_nextSectionId++;
    }
    m_devices = std::move(loaded.m_devices);
    loaded.m_devices.RemoveAllDevices();
    m_currentSection = loaded.m_currentSection;
    m_pathName = loaded.m_pathName;
    m_scriptDate = loaded.m_scriptDate;
    m_loadSucceeded = loaded.m_loadSucceeded;
    m_pathHoldsProject = loaded.m_pathHoldsProject;
    autoAddressing = loaded.autoAddressing;
    m_modified = false;
    // The loaded document's tables describe these sections already (its load ended with
    // them); rebuilding them here would hold the window's thread for a large wall.
    std::swap(m_universeUse, loaded.m_universeUse);
    std::swap(m_screenIdRanges, loaded.m_screenIdRanges);
    std::swap(m_channels, loaded.m_channels);
    ClearHistory();
    m_history.MarkClean();
}

std::string CQuiltmarkDoc::GetTitle() const
{
    if (m_pathName.empty())
        return "Untitled";
    const std::size_t slash = m_pathName.find_last_of('/');
    return slash == std::string::npos ? m_pathName : m_pathName.substr(slash + 1);
}

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
        m_sections.back()->editId = m_nextSectionId++;
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
    CEditScope edit(*this, "Move Section");
    std::unique_ptr<CSubDoc> moving = std::move(m_sections[static_cast<std::size_t>(from)]);
    m_sections.erase(m_sections.begin() + from);
    m_sections.insert(m_sections.begin() + to, std::move(moving));
    NoteChange();
    return true;
}

void CQuiltmarkDoc::RefreshAfterTileChange(CSubDoc& section)
{
    // Addressing walks the existing grid and never resizes it, unlike a full set-up.
    if (autoAddressing) {
        ReaddressAllTiles(section);
    } else {
        section.RebuildItems();
        section.RecountUniverses();
    }
    RebuildTables();
    NoteChange();
}

void CQuiltmarkDoc::TouchRows(CSubDoc& section, int firstRow, int rowCount)
{
    const int columns = section.GetTileColumns();
    const int first = std::max(firstRow, 0);
    const int end = std::min(firstRow + rowCount, section.GetTileRows());
    if (end > first)
        TouchTiles(section, first * columns, end * columns - 1);
}

bool CQuiltmarkDoc::SetUpSection(CSubDoc& section, const CSectionSetup& setup)
{
    CEditScope edit(*this, "Create Matrix");
    // At the same size a set-up keeps the tiles and addresses them all anew.
    if (setup.matrix_width == section.GetTileColumns()
        && setup.matrix_height == section.GetTileRows() && section.GetTileCount() > 0) {
        BeginReaddress(section);
        TouchForReaddress(section);
    } else {
        TouchSection(section);
    }
    const CSectionSetup previous = section.setup;
    section.setup = setup;
    const std::uint64_t projectItems = static_cast<std::uint64_t>(std::max(setup.matrix_width, 0))
            * static_cast<std::uint64_t>(std::max(setup.matrix_height, 0))
            * static_cast<std::uint64_t>(section.ItemsPerTileX() * section.ItemsPerTileY())
        + ItemCountBeside(section);
    if (projectItems > kMaxProjectItems) {
        section.setup = previous;
        m_messages.ShowMessage(
            "The matrix could not be created. " + ProjectTooLargeText(), MessageIcon::Warning);
        return false;
    }
    if (!section.SetUp()) {
        // The section refuses what it cannot hold; keep what it had.
        section.setup = previous;
        m_messages.ShowMessage(
            "The matrix could not be created: it would be larger than Quiltmark can hold.",
            MessageIcon::Warning);
        return false;
    }
    // SetUp addressed every tile: items and universe counts are up to date.
    NoteReaddressed(section);
    RebuildTables();
    NoteChange();
    return true;
}

void CQuiltmarkDoc::SetUpAllSections()
{
    CEditScope edit(*this, "Readdress");
    for (const std::unique_ptr<CSubDoc>& section : m_sections) {
        if (section->initialised) {
            TouchSection(*section);
            section->SetUp();
        }
    }
    RebuildTables();
    NoteChange();
}

int CQuiltmarkDoc::ExcludeTiles(
    CSubDoc& section, const std::vector<std::pair<int, int>>& cells, bool exclude)
{
    CEditScope edit(*this, "Toggle Tiles");
    int changed = 0;
    for (const auto& [column, row] : cells) {
        CTileRecord* tile = section.GetTile(column, row);
        if (!tile || (tile->excluded != 0) == exclude)
            continue;
        const int index = row * section.GetTileColumns() + column;
        if (autoAddressing && changed == 0)
            BeginReaddress(section);
        TouchTiles(section, index, index);
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
    if (autoAddressing)
        ReaddressAllTiles(section);
    RebuildTables();
    NoteChange();
    return changed;
}

int CQuiltmarkDoc::ExcludeSelectedTiles(CSubDoc& section, bool exclude)
{
    CEditScope edit(*this, exclude ? "Delete Selected" : "Create Items");
    if (const std::optional<CTileRect> bounds = section.GetSelectionBounds()) {
        if (autoAddressing)
            BeginReaddress(section);
        TouchRows(section, bounds->y, bounds->h);
    }
    const int changed = section.ExcludeSelected(exclude);
    if (changed > 0)
        RefreshAfterTileChange(section);
    return changed;
}

void CQuiltmarkDoc::MoveSelectedTiles(CSubDoc& section, int x, int y)
{
    CEditScope edit(*this, "Move Tiles");
    const std::optional<CTileRect> bounds = section.GetSelectionBounds();
    if (!bounds)
        return;
    if (autoAddressing)
        BeginReaddress(section);
    // The block leaves its rows and lands on the rows from y.
    TouchRows(section, bounds->y, bounds->h);
    TouchRows(section, y, bounds->h);
    section.MoveSelection(x, y);
    RefreshAfterTileChange(section);
}

void CQuiltmarkDoc::AddressSelectedTiles(
    CSubDoc& section, const CAddressingParams& params, bool createItems)
{
    CEditScope edit(*this, createItems ? "Create Items" : "Set Properties");
    if (const std::optional<CTileRect> bounds = section.GetSelectionBounds())
        TouchRows(section, bounds->y, bounds->h);
    if (createItems)
        section.ExcludeSelected(false);
    AddressTiles(section, params, AddressScope::SelectedTiles);
    section.RebuildItems();
    section.RecountUniverses();
    RebuildTables();
    NoteChange();
}

CSubDoc* CQuiltmarkDoc::AppendSection()
{
    if (GetSectionCount() >= kMaxSections)
        return nullptr;
    CEditScope edit(*this, "Add Section");
    CSubDoc* section = AddSection();
    NoteChange();
    return section;
}

bool CQuiltmarkDoc::RemoveSection(int index)
{
    CSubDoc* section = GetSection(index);
    if (!section || GetSectionCount() == 1)
        return false;
    CEditScope edit(*this, "Delete Section");
    TouchSection(*section);
    if (!DeleteSection(index))
        return false;
    // Its tiles no longer occupy channels, universes or screen ids.
    RebuildTables();
    NoteChange();
    return true;
}

bool CQuiltmarkDoc::RenameSection(int index, const std::string& name)
{
    CSubDoc* section = GetSection(index);
    if (!section || !IsSectionNameFree(name))
        return false;
    CEditScope edit(*this, "Rename Section");
    section->name = name;
    NoteChange();
    return true;
}

void CQuiltmarkDoc::SetPageInfo(CSubDoc& section, const std::string& text)
{
    CEditScope edit(*this, "Page Info");
    section.info = text;
    NoteChange();
}

void CQuiltmarkDoc::NoteChange()
{
    m_addressedWhole = nullptr;
    if (m_capture)
        m_capture->changed = true;
    else
        m_modified = true;
}

void CQuiltmarkDoc::BeginEdit(const std::string& name)
{
    if (m_editDepth++ > 0)
        return;
    m_capture = std::make_unique<EditCapture>();
    m_capture->name = name;
    if (m_historyEnabled)
        m_capture->before = CaptureState(*this);
}

void CQuiltmarkDoc::TouchTiles(CSubDoc& section, int first, int last)
{
    if (!m_capture || !m_historyEnabled)
        return;
    CapturedTiles* it = CaptureOf(section);
    it->readdressedLast = false;
    // A grid resized within the step was kept whole before it changed.
    if (it->columns != section.GetTileColumns() || it->rows != section.GetTileRows())
        return;
    const std::vector<CTileRecord>& tiles = section.Tiles();
    first = std::max(first, 0);
    last = std::min(last, section.GetTileCount() - 1);
    for (int part = first / kTilePart; first <= last && part <= last / kTilePart; ++part) {
        char& kept = it->kept[static_cast<std::size_t>(part)];
        if (kept)
            continue;
        kept = 1;
        const std::size_t begin = static_cast<std::size_t>(part) * kTilePart;
        const std::size_t end = std::min(begin + kTilePart, tiles.size());
        std::copy(tiles.begin() + static_cast<std::ptrdiff_t>(begin),
            tiles.begin() + static_cast<std::ptrdiff_t>(end),
            it->copy.begin() + static_cast<std::ptrdiff_t>(begin));
    }
}

std::vector<CTileRecord> CQuiltmarkDoc::TakeSpareTileCopy(std::size_t size)
{
    std::vector<CTileRecord> copy;
    // The smallest spare that holds the grid, else the largest one.
    auto best = m_spareTileCopies.end();
    for (auto it = m_spareTileCopies.begin(); it != m_spareTileCopies.end(); ++it) {
        if (best == m_spareTileCopies.end())
            best = it;
        else if (best->capacity() >= size)
            best = it->capacity() >= size && it->capacity() < best->capacity() ? it : best;
        else if (it->capacity() > best->capacity())
            best = it;
    }
    if (best != m_spareTileCopies.end()) {
        copy.swap(*best);
        m_spareTileCopies.erase(best);
    }
    copy.resize(size);
    return copy;
}

void CQuiltmarkDoc::KeepSpareTileCopy(std::vector<CTileRecord>&& copy)
{
    // Two grids' worth covers an edit of one section; more would only hold memory.
    if (copy.capacity() == 0 || m_spareTileCopies.size() >= 2)
        return;
    m_spareTileCopies.push_back(std::move(copy));
}

void CQuiltmarkDoc::TouchSection(CSubDoc& section)
{
    if (m_capture && m_historyEnabled) {
        CapturedTiles* kept = CaptureOf(section);
        if (kept->readdress)
            KeepAllTilesAsBefore(*kept, section, SetupIn(m_capture->before, kept->id));
    }
    // Recorded even without tiles: the grid's size before the step counts.
    TouchTiles(section, 0, std::max(section.GetTileCount() - 1, 0));
}

CQuiltmarkDoc::CapturedTiles* CQuiltmarkDoc::CaptureOf(CSubDoc& section)
{
    auto it = std::find_if(m_capture->tiles.begin(), m_capture->tiles.end(),
        [&section](const CapturedTiles& t) { return t.id == section.editId; });
    if (it != m_capture->tiles.end())
        return &*it;
    CapturedTiles kept;
    kept.id = section.editId;
    kept.columns = section.GetTileColumns();
    kept.rows = section.GetTileRows();
    kept.kept.assign(
        (static_cast<std::size_t>(section.GetTileCount()) + kTilePart - 1) / kTilePart, 0);
    kept.copy = TakeSpareTileCopy(section.Tiles().size());
    kept.selection = EncodeSelection(section.Tiles());
    m_capture->tiles.push_back(std::move(kept));
    return &m_capture->tiles.back();
}

void CQuiltmarkDoc::BeginReaddress(CSubDoc& section)
{
    if (!m_capture || !m_historyEnabled)
        return;
    const bool first = std::none_of(m_capture->tiles.begin(), m_capture->tiles.end(),
        [&section](const CapturedTiles& t) { return t.id == section.editId; });
    if (!first)
        return;
    // Undo addresses with the set-up the step began with: the section must still have it.
    const bool setupAsBefore = std::any_of(m_capture->before.sections.begin(),
        m_capture->before.sections.end(), [&section](const SectionState& s) {
            return s.id == section.editId && SameSetup(s.setup, section.setup);
        });
    CapturedTiles* kept = CaptureOf(section);
    kept->readdress = setupAsBefore
        && TilesFollowAddressing(section, CAddressingParams::FromSetup(section.setup));
}

void CQuiltmarkDoc::TouchForReaddress(CSubDoc& section)
{
    if (!m_capture || !m_historyEnabled)
        return;
    // The re-address that follows brings every address back from the exclusions.
    if (!CaptureOf(section)->readdress)
        TouchSection(section);
}

void CQuiltmarkDoc::NoteReaddressed(CSubDoc& section)
{
    if (m_capture && m_historyEnabled)
        CaptureOf(section)->readdressedLast = true;
}

void CQuiltmarkDoc::ReaddressAllTiles(CSubDoc& section)
{
    TouchForReaddress(section);
    // Addressing every tile clears the excluded ones and counts the universes.
    const long long placed = AddressTiles(
        section, CAddressingParams::FromSetup(section.setup), AddressScope::AllTiles);
    m_addressedWhole = placed >= 0 ? &section : nullptr;
    m_addressedWholePlaced = placed;
    section.UpdateItemLayout();
    NoteReaddressed(section);
}

void CQuiltmarkDoc::KeepAllTilesAsBefore(
    CapturedTiles& kept, const CSubDoc& section, const CSectionSetup* before)
{
    // The tiles as the step found them: the exclusions of then (the parts kept hold those
    // that changed since), addressed with the set-up of then.
    kept.readdress = false;
    kept.readdressedLast = false;
    if (!before || section.GetTileColumns() != kept.columns || section.GetTileRows() != kept.rows)
        return;
    CSubDoc then(&m_library);
    then.setup = *before;
    if (!then.ResizeTiles(kept.columns, kept.rows))
        return;
    then.Tiles() = section.Tiles();
    for (std::size_t part = 0; part < kept.kept.size(); ++part) {
        if (!kept.kept[part])
            continue;
        const std::size_t begin = part * kTilePart;
        const std::size_t end = std::min(begin + kTilePart, kept.copy.size());
        std::copy(kept.copy.begin() + static_cast<std::ptrdiff_t>(begin),
            kept.copy.begin() + static_cast<std::ptrdiff_t>(end),
            then.Tiles().begin() + static_cast<std::ptrdiff_t>(begin));
    }
    AddressTiles(then, CAddressingParams::FromSetup(then.setup), AddressScope::AllTiles);
    kept.copy.swap(then.Tiles());
    std::fill(kept.kept.begin(), kept.kept.end(), 1);
}

bool CQuiltmarkDoc::EndEdit()
{
    m_addressedWhole = nullptr;
    if (m_editDepth == 0 || --m_editDepth > 0)
        return false;
    std::unique_ptr<EditCapture> capture = std::move(m_capture);
    if (!m_historyEnabled) {
        if (capture->changed)
            m_modified = true;
        return false;
    }
    auto step = std::make_unique<DocumentStep>();
    step->name = capture->name;
    step->before = std::move(capture->before);
    step->after = CaptureState(*this);
    bool changed = !(step->before.sections == step->after.sections)
        || step->before.currentSection != step->after.currentSection
        || !(step->before.devices == step->after.devices);

    const auto findSection = [this](std::uint64_t id) -> CSubDoc* {
        for (const auto& s : m_sections)
            if (s->editId == id)
                return s.get();
        return nullptr;
    };
    for (CapturedTiles& kept : capture->tiles) {
        DocumentStep::SectionTiles record;
        record.id = kept.id;
        record.beforeColumns = kept.columns;
        record.beforeRows = kept.rows;
        const bool existed = step->before.Lists(kept.id);
        const CSubDoc* section = findSection(kept.id);
        if (section) {
            record.afterColumns = section->GetTileColumns();
            record.afterRows = section->GetTileRows();
        }
        if (kept.readdress
            && !(kept.readdressedLast && existed && section && record.afterColumns == kept.columns
                && record.afterRows == kept.rows)) {
            // Something after the last re-address changed tiles: record them all.
            if (section)
                KeepAllTilesAsBefore(kept, *section, SetupIn(step->before, kept.id));
        }
        if (existed && section && record.afterColumns == kept.columns
            && record.afterRows == kept.rows) {
            record.readdress = kept.readdress;
            record.diff = EncodeKeptParts(
                kept.kept, kept.copy.data(), section->Tiles().data(), section->GetTileCount());
            std::string selection = EncodeSelection(section->Tiles());
            if (selection != kept.selection) {
                record.selectionBefore = std::move(kept.selection);
                record.selectionAfter = std::move(selection);
            }
            // A re-address under another set-up changes the tiles with no part kept.
            const CSectionSetup* setupBefore = SetupIn(step->before, kept.id);
            const CSectionSetup* setupAfter = SetupIn(step->after, kept.id);
            const bool readdressChanged = record.readdress && setupBefore && setupAfter
                && !SameSetup(*setupBefore, *setupAfter);
            if (record.diff.empty() && record.selectionAfter.empty() && !readdressChanged)
                continue;
        } else {
            record.whole = true;
            // A grid that is resized or removed was kept whole first (TouchSection).
            if (existed)
                record.before = EncodeTiles(kept.copy);
            if (section)
                record.after = EncodeTiles(section->Tiles());
        }
        changed = true;
        step->tiles.push_back(std::move(record));
    }
    for (CapturedTiles& kept : capture->tiles)
        KeepSpareTileCopy(std::move(kept.copy));
    // A section added by the step: its tiles as they are now, for Redo.
    for (const SectionState& s : step->after.sections) {
        if (step->before.Lists(s.id))
            continue;
        const bool recorded = std::any_of(step->tiles.begin(), step->tiles.end(),
            [&s](const DocumentStep::SectionTiles& t) { return t.id == s.id; });
        if (recorded)
            continue;
        const CSubDoc* section = findSection(s.id);
        DocumentStep::SectionTiles record;
        record.id = s.id;
        record.whole = true;
        record.afterColumns = section->GetTileColumns();
        record.afterRows = section->GetTileRows();
        record.after = EncodeTiles(section->Tiles());
        step->tiles.push_back(std::move(record));
    }
    if (!changed)
        return false;
    step->bytes
        = sizeof(DocumentStep) + step->name.capacity() + step->before.Bytes() + step->after.Bytes();
    for (const DocumentStep::SectionTiles& t : step->tiles)
        step->bytes += sizeof(t) + t.diff.capacity() + t.before.capacity() + t.after.capacity()
            + t.selectionBefore.capacity() + t.selectionAfter.capacity();
    m_history.Push(std::move(step));
    NotifyHistory();
    return true;
}

std::string CQuiltmarkDoc::GetUndoName() const
{
    const CEditStep* step = m_history.UndoStep();
    return step ? step->Name() : std::string();
}

std::string CQuiltmarkDoc::GetRedoName() const
{
    const CEditStep* step = m_history.RedoStep();
    return step ? step->Name() : std::string();
}

bool CQuiltmarkDoc::Undo()
{
    if (m_editDepth > 0 || !m_history.CanUndo())
        return false;
    ApplyStep(static_cast<const DocumentStep&>(*m_history.StepBack()), false);
    NotifyHistory();
    return true;
}

bool CQuiltmarkDoc::Redo()
{
    if (m_editDepth > 0 || !m_history.CanRedo())
        return false;
    ApplyStep(static_cast<const DocumentStep&>(*m_history.StepForward()), true);
    NotifyHistory();
    return true;
}

void CQuiltmarkDoc::ApplyStep(const DocumentStep& step, bool forward)
{
    const DocState& target = forward ? step.after : step.before;

    // Sections in the target's order: kept objects where they exist, recreated otherwise.
    std::vector<std::unique_ptr<CSubDoc>> sections;
    for (const SectionState& s : target.sections) {
        auto it = std::find_if(
            m_sections.begin(), m_sections.end(), [&s](const std::unique_ptr<CSubDoc>& section) {
                return section && section->editId == s.id;
            });
        std::unique_ptr<CSubDoc> section;
        if (it != m_sections.end()) {
            section = std::move(*it);
        } else {
            section = std::make_unique<CSubDoc>(&m_library);
            section->editId = s.id;
        }
        section->name = s.name;
        section->info = s.info;
        section->setup = s.setup;
        section->initialised = s.initialised;
        sections.push_back(std::move(section));
    }
    m_sections = std::move(sections);
    m_currentSection = target.currentSection;

    for (const DocumentStep::SectionTiles& record : step.tiles) {
        auto it = std::find_if(m_sections.begin(), m_sections.end(),
            [&record](
                const std::unique_ptr<CSubDoc>& section) { return section->editId == record.id; });
        if (it == m_sections.end())
            continue;
        CSubDoc& section = **it;
        bool ok = true;
        if (record.whole) {
            const std::string& tiles = forward ? record.after : record.before;
            ok = section.ResizeTiles(forward ? record.afterColumns : record.beforeColumns,
                     forward ? record.afterRows : record.beforeRows)
                && DecodeTiles(tiles, section.Tiles());
        } else {
            ok = ApplyTileDiff(record.diff, section.Tiles(), forward);
            const std::string& selection = forward ? record.selectionAfter : record.selectionBefore;
            if (ok && !selection.empty())
                ok = DecodeSelection(selection, section.Tiles());
        }
        // Records are made here and read here; a failure would be a fault of this program,
        // and the tables below must still describe the tiles as they are.
        (void)ok;
        if (record.readdress) {
            // The set-up of the target state is in place: addressing gives its addresses.
            AddressTiles(
                section, CAddressingParams::FromSetup(section.setup), AddressScope::AllTiles);
            section.UpdateItemLayout();
            continue;
        }
        section.RebuildItems();
        section.RecountUniverses();
    }

    if (!(step.before.devices == step.after.devices)) {
        m_devices.RemoveAllDevices();
        for (const DeviceState& d : target.devices) {
            auto device = std::make_unique<CKelvraDevice>();
            device->SetType(d.type, d.ipAddress);
            for (std::size_t p = 0; p < d.portUniverses.size(); ++p)
                device->SetPortUniverse(static_cast<int>(p), d.portUniverses[p]);
            m_devices.AddDevice(std::move(device));
        }
    }
    RebuildTables();
}

void CQuiltmarkDoc::SetModifiedFlag(bool modified)
{
    m_modified = modified;
    if (!modified) {
        m_history.MarkClean();
        NotifyHistory();
    }
}

void CQuiltmarkDoc::EnableHistory(bool enable)
{
    m_historyEnabled = enable;
    if (!enable)
        ClearHistory();
}

void CQuiltmarkDoc::ClearHistory()
{
    m_history.Clear();
    NotifyHistory();
}

void CQuiltmarkDoc::NotifyHistory()
{
    if (m_historyListener)
        m_historyListener();
}

std::uint64_t CQuiltmarkDoc::ItemCountBeside(const CSubDoc& section) const
{
    std::uint64_t items = 0;
    for (const std::unique_ptr<CSubDoc>& other : m_sections) {
        if (other.get() != &section)
            items += static_cast<std::uint64_t>(other->GetItemCount());
    }
    return items;
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

void CQuiltmarkDoc::RebuildUniverseUse()
{
    // Merged from the sections' sorted counts and updated in place: a large wall uses
    // a hundred thousand universes, and an edit changes few of them.
    std::vector<std::pair<int, int>> use;
    std::vector<std::pair<int, int>> merged;
    for (const auto& section : m_sections) {
        const std::map<int, int>& counts = section->GetUniverseCounts();
        if (counts.empty())
            continue;
        merged.clear();
        merged.reserve(use.size() + counts.size());
        auto a = use.begin();
        auto b = counts.begin();
        while (a != use.end() || b != counts.end()) {
            if (b == counts.end() || (a != use.end() && a->first < b->first)) {
                merged.push_back(*a++);
            } else if (a == use.end() || b->first < a->first) {
                merged.emplace_back((b++)->first, 1);
            } else {
                merged.emplace_back(a->first, a->second + 1);
                ++a;
                ++b;
            }
        }
        use.swap(merged);
    }
    AssignSortedCounts(m_universeUse, use);
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
    std::vector<std::pair<int64_t, int64_t>>& ranges = m_channels->ranges;
    for (const auto& section : m_sections) {
        const int channels = section->ChannelsPerFixture();
        if (channels <= 0)
            continue;
        // A tile without an address occupies no channel; counting it from -1 would mark
        // the last channel of the previous universe and the first ones of its own.
        const CTileRecord* tiles = section->Tiles().data();
        const auto occupies = [](const CTileRecord& tile) {
            return !tile.excluded && tile.universe >= 0 && tile.address >= 0;
        };
        // Tiles that follow their addressing give the ranges from the set-up alone, checked
        // in one pass over memory (a column walk would jump a row's length at every tile).
        const CAddressingParams params = CAddressingParams::FromSetup(section->setup);
        const bool justAddressed = section.get() == m_addressedWhole;
        if (justAddressed
                ? ChannelRangesOfAddressedTiles(*section, params, m_addressedWholePlaced, ranges)
                : AddressedChannelRanges(*section, params, ranges)) {
            m_channels->AddCoveredRanges(ranges);
            continue;
        }
        // Walked in the order of the section's own addressing, automatically addressed tiles
        // follow each other without overlap: their channels join into ranges on the way,
        // with no list of starts to sort.
        ranges.clear();
        int64_t first = INT64_MIN;
        int64_t end = INT64_MIN;
        bool disjoint = true;
        ForEachTileInAddressOrder(
            section->GetTileColumns(), section->GetTileRows(), params, [&](long long index) {
                const CTileRecord& tile = tiles[index];
                if (!occupies(tile))
                    return;
                const int64_t start = static_cast<int64_t>(tile.universe) * 512 + tile.address;
                if (start == end) {
                    end += channels;
                } else if (start > end) {
                    if (end != INT64_MIN)
                        ranges.emplace_back(first, end);
                    first = start;
                    end = start + channels;
                } else {
                    disjoint = false;
                }
            });
        if (disjoint) {
            if (end != INT64_MIN)
                ranges.emplace_back(first, end);
            m_channels->AddCoveredRanges(ranges);
            continue;
        }
        starts.clear();
        starts.reserve(section->Tiles().size());
        for (const CTileRecord& tile : section->Tiles())
            if (occupies(tile))
                starts.push_back(static_cast<int64_t>(tile.universe) * 512 + tile.address);
        m_channels->AddFootprints(starts, channels);
    }
    m_channels->Finish();
    // Good for this table only: the next change may write the tiles.
    m_addressedWhole = nullptr;
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

long long CQuiltmarkDoc::CountUsedChannels(long long first, long long count) const
{
    return count <= 0 ? 0 : m_channels->CountCovered(first, first + count - 1);
}

void CQuiltmarkDoc::RebuildTables()
{
    RebuildUniverseUse();
    RebuildScreenIdUse();
    RebuildChannelUse();
}

void CQuiltmarkDoc::RebuildDerivedData()
{
    for (const std::unique_ptr<CSubDoc>& section : m_sections) {
        section->RebuildItems();
        section->RecountUniverses();
    }
    RebuildTables();
}

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

void CQuiltmarkDoc::GetUniversePatchText(int universe, std::string& text)
{
    bool first = true;
    std::vector<int> walk;
    for (int s = 0; s < GetSectionCount(); ++s) {
        const CSubDoc& section = *m_sections[static_cast<std::size_t>(s)];
        const int columns = section.GetTileColumns();
        if (columns <= 0)
            continue;
        walk.clear();
        AppendTilesOfUniverse(walk, section.Tiles(), universe, section.setup.addr_count);
        for (const int index : walk) {
            AppendPatchTextEntry(text, !first, s + 1, index % columns, index / columns);
            first = false;
        }
    }
}

void CQuiltmarkDoc::AppendPatchTextEntry(
    std::string& text, bool separate, int sectionNumber, int column, int row)
{
    if (separate)
        text += " \xBB ";
    text += std::to_string(sectionNumber) + ":" + ColumnLetters(column) + std::to_string(row + 1);
}

bool CQuiltmarkDoc::WriteLibraryEntry(
    const std::string& metaName, const std::string& type, bool modifyCurrent)
{
    return WriteLibraryEntryFile(m_libraryPath, GetCurrentSection(), metaName, type, modifyCurrent,
        m_messages, &m_libraryPath);
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
