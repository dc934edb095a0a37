#pragma once

#include "app/library/MetaLib.h"
#include "devices/KelvraDeviceList.h"
#include "document/EditHistory.h"
#include "document/ProjectContents.h"
#include "document/section/Addressing.h"
#include "document/section/SubDoc.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class IProgress;
class IUserMessages;

// The one project document: fixture library, sections, devices, derived usage tables.
class CQuiltmarkDoc final : public IUsedUniverses, public IProjectContents {
public:
    static constexpr const char* kLibraryInvalid
        = "The metalib.xml-file is not valid! Quiltmark can not be start.";
    static constexpr const char* kCannotLoad = "The document can not be load!";
    // The largest project Save can write (8 sections at the tile and item limits; under
    // 2 KiB per tile's lines and per patch line even with every name character escaped),
    // so the reader never takes in more than a project can be.
    static constexpr std::uint64_t kMaxProjectFileBytes = kMaxSections
        * (std::uint64_t { CSubDoc::kMaxTiles } * 2048 + std::uint64_t { CSubDoc::kMaxItems } * 2048
            + (std::uint64_t { 1 } << 20));

    // `libraryPath` is the full path of metalib.xml (the program directory's, or the one
    // given on the command line). `messages` must outlive the document.
    CQuiltmarkDoc(IUserMessages& messages, std::string libraryPath);
    ~CQuiltmarkDoc() override;

    // File New: clears the modified flag and the path, Reset, one section when none.
    bool OnNewDocument();
    // File Open: job file or project file; false when the file cannot be opened at all
    // (then nothing changed and `error` says why, naming the file): missing, not a regular
    // file, or larger than kMaxProjectFileBytes. An unreadable project reports kCannotLoad,
    // leaves an empty project and still counts as opened. A project file is read into the
    // document as it streams in, so a failure to read on, or a stop asked through `progress`
    // (which hears the bytes read of the file's size), leaves the document as after a failed
    // load, without a message; then false, and `error` says why (kLoadCancelled for a stop).
    // The window reads into a document of its own and takes the project over (TakeProjectFrom).
    bool OnOpenDocument(
        const std::string& path, std::string* error = nullptr, IProgress* progress = nullptr);
    // Takes over the whole project of `loaded` (a document on the same library that opened a
    // file, possibly on a worker thread while this one stayed on screen): sections, devices,
    // tables, path and flags; the history starts afresh. `loaded` is left empty.
    void TakeProjectFrom(CQuiltmarkDoc& loaded);
    // File Save / Save As, through WriteFileSafely (links followed, devices written
    // directly, read-only files refused); on failure the old file and the document stay
    // as they were, the failure is reported through the messages (with the reason) and
    // `error` says why.
    bool OnSaveDocument(
        const std::string& path, std::string* error = nullptr, IProgress* progress = nullptr);
    // The two halves of OnSaveDocument: writing the file changes nothing of the project, so
    // it may run on a worker thread while the window only reads it; MarkSaved (path, saved
    // position) follows on the window's thread after a successful write.
    // The file is written as it is made (see CProjectFileWriter), so memory does not grow
    // with it; `progress` hears the tiles and items written and may stop the write, which
    // leaves the old file as it was (false, kSaveCancelled in `error`, no message).
    bool WriteProjectFile(
        const std::string& path, std::string* error = nullptr, IProgress* progress = nullptr) const;
    void MarkSaved(const std::string& path);
    bool Reset() override;
    // The loading part of File Open, from bytes in memory: a job file when the first line
    // is "<JOB>", a project file otherwise. False when the content could not be loaded
    // (already reported; the document is then empty with one section).
    bool LoadFromBuffer(const char* data, std::size_t size);
    // Whether the last open or load read the file's content (false after kCannotLoad).
    bool WasLoadSuccessful() const { return m_loadSucceeded; }
    // Whether the file at the path holds this project as written by Save. Not so after a
    // legacy job was imported or a file could not be read: saving there would replace the
    // user's file without asking.
    bool PathHoldsProject() const { return m_pathHoldsProject; }
    // Date written into the visualiser scripts on save; empty means the local time then.
    void SetScriptDate(const std::string& date) { m_scriptDate = date; }
    const std::string& GetScriptDate() const { return m_scriptDate; }

    // Modified when the history is away from the saved position, or when marked so.
    bool IsModified() const { return m_modified || !m_history.IsClean(); }
    // False: the project now matches its file (the history's position becomes the saved
    // one). True: modified whatever the history says, until the next save.
    void SetModifiedFlag(bool modified = true);
    const std::string& GetPathName() const { return m_pathName; }
    void SetPathName(const std::string& path) { m_pathName = path; }
    // File name of the path, or "Untitled".
    std::string GetTitle() const;

    IUserMessages& Messages() override { return m_messages; }
    const std::string& GetLibraryPath() const { return m_libraryPath; }
    CMetaLib& GetLibrary() { return m_library; }
    const CMetaLib& GetLibrary() const override { return m_library; }
    CKelvraDeviceList& GetDevices() override { return m_devices; }
    const CKelvraDeviceList& GetDevices() const override { return m_devices; }

    int GetSectionCount() const override { return static_cast<int>(m_sections.size()); }
    CSubDoc* GetSection(int index);
    const CSubDoc* GetSection(int index) const override;
    CSubDoc* GetCurrentSection();
    int GetCurrentSectionIndex() const { return m_currentSection; }
    CSubDoc* SetCurrentSection(int index) override;
    CSubDoc* AddSection() override;
    bool DeleteSection(int index);
    // The section at `from` now stands at `to` (both clamped); an edit like those below.
    bool MoveSection(int from, int to);
    int FindSectionByName(const std::string& name) const;
    bool IsSectionNameFree(const std::string& name) const override;
    std::string MakeUniqueSectionName() const override;
    const CFixtureType* GetFixtureType(const CSubDoc& section) const override;
    // Items of every section but `section` (the project-wide limit).
    std::uint64_t ItemCountBeside(const CSubDoc& section) const override;
    // Position of the section in the document, -1 when it is not one of ours.
    int IndexOfSection(const CSubDoc* section) const;

    bool autoAddressing = false;

    // Every change of a section's tiles or set-up goes through one of these: it changes
    // the data, runs the refresh that change needs (re-address when automatic addressing
    // is on, items, universe counts, the three tables) and marks the document modified.
    // Callers never run that sequence themselves.

    // Creates the matrix anew from `setup` (the wizard's Finish). False, with a message
    // and nothing changed, when the section could not hold it.
    bool SetUpSection(CSubDoc& section, const CSectionSetup& setup);
    // Sets up every initialised section again with its own values.
    void SetUpAllSections();
    // Cuts out (exclude) or puts back the tiles at `cells` (column, row); cells outside
    // the grid or already in that state are skipped. Returns how many changed.
    int ExcludeTiles(CSubDoc& section, const std::vector<std::pair<int, int>>& cells, bool exclude);
    // The same for every selected tile.
    int ExcludeSelectedTiles(CSubDoc& section, bool exclude);
    // Moves the selected block so that its top-left lands on (x, y).
    void MoveSelectedTiles(CSubDoc& section, int x, int y);
    // Addresses the selected tiles with `params`; with createItems they are put back first.
    void AddressSelectedTiles(CSubDoc& section, const CAddressingParams& params, bool createItems);
    // Sections bar: a new empty section (none at the limit), deleting one (not the last;
    // its universes and channels leave the tables), renaming (refused for a name in use).
    CSubDoc* AppendSection();
    bool RemoveSection(int index);
    bool RenameSection(int index, const std::string& name);
    void SetPageInfo(CSubDoc& section, const std::string& text);

    // Each edit above is one step of the history. BeginEdit/EndEdit gather everything in
    // between into one step named `name` (a drag, a dialog session); nested pairs join the
    // outer one, whose name wins. Changes made directly to the devices between the two are
    // recorded too. A step that changed nothing is not recorded. File New and Open clear
    // the history.
    void BeginEdit(const std::string& name);
    // True when this closed the outermost pair and a step was recorded.
    bool EndEdit();
    bool IsEditOpen() const { return m_editDepth > 0; }
    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }
    // Name of the step Undo / Redo would apply; empty when none.
    std::string GetUndoName() const;
    std::string GetRedoName() const;
    // Restore the project as it was before / after that step: tiles with their selection,
    // set-ups, names, page info, section order, current section and devices. False when
    // there is nothing to undo / redo or an edit is open.
    bool Undo();
    bool Redo();
    const CEditHistory& GetHistory() const { return m_history; }
    // Off: nothing is recorded and edits cost no copies (batch runs). Turning it off
    // clears the history.
    void EnableHistory(bool enable);
    // Called after every step recorded, undone or redone, after the history was cleared
    // and after a save; for the window's Undo/Redo entries and title.
    void SetHistoryListener(std::function<void()> listener)
    {
        m_historyListener = std::move(listener);
    }

    void RebuildUniverseUse();
    int GetUsedUniverseCount() const override;
    int GetNextUsedUniverse(int u) const override;
    int GetHighestUsedUniverse() const;
    const std::map<int, int>& GetUniverseUse() const { return m_universeUse; }

    void RebuildScreenIdUse();
    bool IsScreenIdShared(long long id) const;

    void RebuildChannelUse();
    // key = universe * 512 + address, both zero-based.
    int GetChannelUseCount(long long key) const;
    bool IsChannelShared(long long key) const;
    // Any channel of first .. first + count - 1 shared.
    bool IsChannelRangeShared(long long first, int count) const;
    // How many channels of first .. first + count - 1 at least one tile occupies.
    long long CountUsedChannels(long long first, long long count) const;

    // All three tables, as after every change of tiles.
    void RebuildTables() override;
    // Items, universe counts and tables of every section from the tiles: for a window that
    // must show the data as it is after a command stopped half-way.
    void RebuildDerivedData();

    bool IsScreenIdRangeFree(int skip, long long first, int fixtureIndex, int w, int h) const;
    long long GetFirstFreeScreenId(int skip, int fixtureIndex, int w, int h) const;

    // "1:A1 » 1:B1 » 2:C4" (» as the single byte 187) for the device list printout.
    void GetUniversePatchText(int universe, std::string& text);
    // One entry of such a list, after the separator when `separate`.
    static void AppendPatchTextEntry(
        std::string& text, bool separate, int sectionNumber, int column, int row);

    // Spreadsheet column name: 0 -> "A", 26 -> "AA", 702 -> "AAA"; "" outside 0..18277.
    static std::string ColumnLetters(int n);

    // Appends a lamp made from the current section to the library in use (modifyCurrent) or
    // writes metalib_new.xml; see WriteLibraryEntryFile for where. False when the library
    // cannot be read.
    bool WriteLibraryEntry(
        const std::string& metaName, const std::string& type, bool modifyCurrent);

private:
    struct EditCapture;
    struct CapturedTiles;
    struct DocumentStep;
    // Keeps the tiles of `section` from `first` to `last` (indices, inclusive) as they were
    // before the open step; each part is kept once per step.
    void TouchTiles(CSubDoc& section, int first, int last);
    void TouchSection(CSubDoc& section);
    // The history of edits that address every tile anew: BeginReaddress before the edit
    // changes anything (it checks whether addressing alone gives the tiles as they are),
    // TouchForReaddress instead of TouchSection before the addressing run, NoteReaddressed
    // after it. ReaddressAllTiles does the last three.
    void BeginReaddress(CSubDoc& section);
    void TouchForReaddress(CSubDoc& section);
    void NoteReaddressed(CSubDoc& section);
    void ReaddressAllTiles(CSubDoc& section);
    CapturedTiles* CaptureOf(CSubDoc& section);
    // Turns a re-address record into copies of every tile as the step found them.
    void KeepAllTilesAsBefore(
        CapturedTiles& kept, const CSubDoc& section, const CSectionSetup* before);
    std::vector<CTileRecord> TakeSpareTileCopy(std::size_t size);
    void KeepSpareTileCopy(std::vector<CTileRecord>&& copy);
    // Rows firstRow .. firstRow + rowCount - 1, clipped to the grid.
    void TouchRows(CSubDoc& section, int firstRow, int rowCount);
    // The open edit changed something (what marks the document modified without history).
    void NoteChange();
    void ApplyStep(const DocumentStep& step, bool forward);
    void ClearHistory();
    void NotifyHistory();

    // The parts of every load: before the content is read, and after (a failed one leaves
    // an empty project and tells the user why, unless `quiet`).
    void BeginLoad();
    void FinishLoad(bool ok, bool isJob, const std::string& error, bool quiet = false);
    bool LoadJob(const char* data, std::size_t size, std::string& error);

    // The refresh after a change of tiles: re-address when automatic addressing is on,
    // then items, universe counts, tables; the document is then modified.
    void RefreshAfterTileChange(CSubDoc& section);

    IUserMessages& m_messages;
    std::string m_libraryPath;
    CMetaLib m_library;
    std::vector<std::unique_ptr<CSubDoc>> m_sections;
    CKelvraDeviceList m_devices;
    int m_currentSection = 0;
    bool m_modified = false;
    std::string m_pathName;
    std::string m_scriptDate;
    bool m_loadSucceeded = true;
    bool m_pathHoldsProject = true;

    CEditHistory m_history;
    bool m_historyEnabled = true;
    int m_editDepth = 0;
    std::unique_ptr<EditCapture> m_capture;
    // Buffers of earlier steps' tile copies, ready for the next one.
    std::vector<std::vector<CTileRecord>> m_spareTileCopies;
    std::function<void()> m_historyListener;
    // Sections keep their id across undo and redo, so steps can name them.
    std::uint64_t m_nextSectionId = 1;

    std::map<int, int> m_universeUse;
    // Screen-id ranges of the sections: ids shared when covered by two ranges.
    std::vector<std::pair<long long, long long>> m_screenIdRanges;
    // Channel occupancy; the representation is the implementation's (see the .cpp).
    struct ChannelTable;
    std::unique_ptr<ChannelTable> m_channels;
    // The section ReaddressAllTiles has just addressed whole, and the tiles it placed: the
    // channel table that follows takes its ranges from the set-up without checking the tiles.
    const CSubDoc* m_addressedWhole = nullptr;
    long long m_addressedWholePlaced = -1;
};
