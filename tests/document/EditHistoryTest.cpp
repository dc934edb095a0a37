#include "document/EditHistory.h"
#include "QuiltmarkDocTestSupport.h"
#include "document/ProjectFile.h"
#include "document/TileChanges.h"
#include "document/section/Addressing.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct CFakeStep : CEditStep {
    CFakeStep(std::string n, std::size_t b)
        : name(std::move(n))
        , bytes(b)
    {
    }
    const std::string& Name() const override { return name; }
    std::size_t Bytes() const override { return bytes; }
    std::string name;
    std::size_t bytes;
};

// What the project is, with the tiles' records and the current section. The selection of
// tiles is left out: it changes between edits, and Undo restores it only where the step
// changed tiles (checked on its own below).
std::string Snapshot(CQuiltmarkDoc& doc)
{
    std::string text = CProjectFileWriter::Write(doc, "2024.05.01 12:00:00");
    text += "\ncurrent " + std::to_string(doc.GetCurrentSectionIndex()) + "\n";
    for (int s = 0; s < doc.GetSectionCount(); ++s) {
        const CSubDoc& section = *doc.GetSection(s);
        text += "section " + std::to_string(section.GetTileColumns()) + "x"
            + std::to_string(section.GetTileRows()) + ":";
        for (const CTileRecord& tile : section.Tiles())
            text += std::to_string(tile.universe) + "/" + std::to_string(tile.address)
                + (tile.excluded ? "x" : "") + " ";
        text += "\n";
    }
    return text;
}

// Drives random edits of every kind the window offers through the document.
class CRandomEditor {
public:
    CRandomEditor(CQuiltmarkDoc& doc, unsigned seed)
        : m_doc(doc)
        , m_random(seed)
    {
    }

    int Pick(int n) { return n <= 1 ? 0 : static_cast<int>(m_random() % static_cast<unsigned>(n)); }

    // Changes that are no edits: the view's selection, the current tab, the addressing mode.
    void Wander()
    {
        CSubDoc& section = *m_doc.GetCurrentSection();
        if (Pick(3) == 0)
            m_doc.SetCurrentSection(Pick(m_doc.GetSectionCount()));
        if (Pick(4) == 0)
            m_doc.autoAddressing = !m_doc.autoAddressing;
        const int w = section.GetTileColumns();
        const int h = section.GetTileRows();
        if (w > 0 && h > 0) {
            section.SelectAll(false);
            const int x = Pick(w);
            const int y = Pick(h);
            section.SelectRect(x, y, std::min(x + Pick(3), w - 1), std::min(y + Pick(3), h - 1));
        }
    }

    void Edit()
    {
        CSubDoc& section = *m_doc.GetCurrentSection();
        const int w = section.GetTileColumns();
        const int h = section.GetTileRows();
        switch (Pick(w > 0 ? 11 : 4)) {
        case 0: {
            CSectionSetup setup = section.setup;
            setup.fix_type = Pick(m_doc.GetLibrary().GetCount());
            setup.matrix_width = 1 + Pick(12);
            setup.matrix_height = 1 + Pick(8);
            setup.orientation = Pick(4);
            setup.base_universe = Pick(4);
            setup.addr_first = Pick(300);
            setup.address_origin = Pick(4);
            setup.primary_direction = Pick(2);
            setup.check_invert_secondaries = Pick(2);
            setup.screen_id = 1 + Pick(3000);
            m_doc.SetUpSection(section, setup);
            break;
        }
        case 1:
            if (CSubDoc* added = m_doc.AppendSection())
                (void)added;
            break;
        case 2:
            m_doc.RenameSection(Pick(m_doc.GetSectionCount()), "s" + std::to_string(Pick(20)));
            break;
        case 3:
            if (Pick(2) == 0)
                m_doc.MoveSection(Pick(m_doc.GetSectionCount()), Pick(m_doc.GetSectionCount()));
            else
                m_doc.SetPageInfo(section, "info " + std::to_string(Pick(100)));
            break;
        case 4:
            m_doc.RemoveSection(Pick(m_doc.GetSectionCount()));
            break;
        case 5: {
            // A drag: several cells, one step.
            m_doc.BeginEdit("Toggle Tiles");
            for (int i = Pick(4); i >= 0; --i)
                m_doc.ExcludeTiles(section, { { Pick(w), Pick(h) } }, Pick(3) != 0);
            m_doc.EndEdit();
            break;
        }
        case 6:
            m_doc.ExcludeSelectedTiles(section, Pick(2) == 0);
            break;
        case 7:
            m_doc.MoveSelectedTiles(section, Pick(w), Pick(h));
            break;
        case 8: {
            CAddressingParams params = CAddressingParams::FromSetup(section.setup);
            params.baseUniverse = Pick(5);
            params.firstAddress = Pick(511);
            params.origin = Pick(4);
            m_doc.AddressSelectedTiles(section, params, Pick(2) == 0);
            break;
        }
        case 9: {
            m_doc.BeginEdit("Device Changes");
            CKelvraDeviceList& devices = m_doc.GetDevices();
            if (Pick(3) == 0) {
                CKelvraDevice templ;
                templ.SetType(Pick(kDeviceTypeCount), 0x0a000001);
                CRecordingMessages quiet;
                devices.CreateDevicesAndConnect(templ, m_doc, quiet);
            } else if (Pick(2) == 0 || devices.GetDeviceCount() == 0) {
                devices.AddDeviceFromText(DeviceTypeKey(Pick(kDeviceTypeCount)), "10.0.0.7");
            } else {
                CKelvraDevice& device = *devices.GetDevice(Pick(devices.GetDeviceCount()));
                if (Pick(2) == 0)
                    device.SetType(Pick(kDeviceTypeCount), device.GetIpAddress());
                else if (device.GetPortCount() > 0)
                    device.SetPortUniverse(Pick(device.GetPortCount()), Pick(6));
                if (Pick(4) == 0)
                    devices.RemoveDevice(Pick(devices.GetDeviceCount()));
            }
            m_doc.EndEdit();
            break;
        }
        default:
            m_doc.ExcludeTiles(section, { { Pick(w), Pick(h) } }, Pick(2) == 0);
            break;
        }
    }

private:
    CQuiltmarkDoc& m_doc;
    std::mt19937 m_random;
};

// The first line where two snapshots differ, for a readable failure.
std::string FirstDifference(const std::string& a, const std::string& b)
{
    std::size_t line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) {
            const auto lineOf = [start](const std::string& s) {
                return s.substr(start, std::min<std::size_t>(s.find('\n', start) - start, 300));
            };
            return "line " + std::to_string(line) + ":\n  " + lineOf(a) + "\n  " + lineOf(b);
        }
        if (a[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    return a.size() == b.size() ? std::string() : "lengths differ at line " + std::to_string(line);
}

std::unique_ptr<CQuiltmarkDoc> ShippedLibraryDocument(CRecordingMessages& messages)
{
    auto doc
        = std::make_unique<CQuiltmarkDoc>(messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml");
    doc->OnNewDocument();
    return doc;
}

} // namespace

TEST(EditHistory, DropsOldestStepsOverBudgetAndForgetsAnUnreachableSavedPosition)
{
    CEditHistory history(100);
    EXPECT_TRUE(history.IsClean());
    history.Push(std::make_unique<CFakeStep>("a", 40));
    history.Push(std::make_unique<CFakeStep>("b", 40));
    EXPECT_FALSE(history.IsClean());
    ASSERT_NE(history.StepBack(), nullptr);
    ASSERT_NE(history.StepBack(), nullptr);
    EXPECT_TRUE(history.IsClean());
    history.StepForward();
    history.StepForward();
    history.Push(std::make_unique<CFakeStep>("c", 40)); // 120 > 100: "a" goes
    EXPECT_EQ(history.Count(), 2u);
    EXPECT_EQ(history.Bytes(), 80u);
    EXPECT_EQ(history.UndoStep()->Name(), "c");
    history.StepBack();
    history.StepBack();
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.IsClean()); // the saved state went with "a"

    // A new step after undoing drops what could have been redone, the saved position too.
    CEditHistory branch;
    branch.Push(std::make_unique<CFakeStep>("a", 1));
    branch.Push(std::make_unique<CFakeStep>("b", 1));
    branch.MarkClean();
    branch.StepBack();
    branch.Push(std::make_unique<CFakeStep>("c", 1));
    EXPECT_FALSE(branch.CanRedo());
    branch.StepBack();
    EXPECT_FALSE(branch.IsClean());

    // The newest step stays even alone over the budget.
    CEditHistory tiny(10);
    tiny.Push(std::make_unique<CFakeStep>("huge", 1000));
    EXPECT_TRUE(tiny.CanUndo());
}

TEST(TileChanges, RecordsRoundTripAndRefuseWhatDoesNotFit)
{
    std::mt19937 random(3);
    std::vector<CTileRecord> tiles(5000);
    for (CTileRecord& t : tiles) {
        t.universe = static_cast<int32_t>(random() % 7) - 1;
        t.address = static_cast<int32_t>(random() % 600) - 1;
        t.excluded = random() % 2;
        t.selected = random() % 3 == 0;
    }
    std::vector<CTileRecord> decoded(tiles.size());
    ASSERT_TRUE(DecodeTiles(EncodeTiles(tiles), decoded));
    std::vector<CTileRecord> changed = tiles;
    for (int i = 0; i < 300; ++i) {
        CTileRecord& t = changed[random() % changed.size()];
        t.universe = INT32_MAX - static_cast<int32_t>(random() % 3);
        t.address = INT32_MIN;
        t.excluded ^= 1;
    }
    CTileDiffWriter writer;
    writer.AddRange(0, tiles.data(), changed.data(), 1000);
    writer.AddRange(1000, tiles.data() + 1000, changed.data() + 1000, 4000);
    const std::string diff = writer.Finish();
    std::vector<CTileRecord> work = tiles;
    ASSERT_TRUE(ApplyTileDiff(diff, work, true));
    ASSERT_TRUE(DecodeSelection(EncodeSelection(tiles), decoded));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        ASSERT_EQ(work[i].universe, changed[i].universe) << i;
        ASSERT_EQ(work[i].address, changed[i].address) << i;
        ASSERT_EQ(work[i].excluded, changed[i].excluded) << i;
        ASSERT_EQ(decoded[i].selected, tiles[i].selected) << i;
        ASSERT_EQ(decoded[i].universe, tiles[i].universe) << i;
    }
    ASSERT_TRUE(ApplyTileDiff(diff, work, false));
    for (std::size_t i = 0; i < tiles.size(); ++i)
        ASSERT_TRUE(work[i].universe == tiles[i].universe && work[i].address == tiles[i].address
            && work[i].excluded == tiles[i].excluded)
            << i;

    // Nothing changed: nothing to keep.
    CTileDiffWriter same;
    same.AddRange(0, tiles.data(), tiles.data(), 5000);
    EXPECT_TRUE(same.Finish().empty());

    // A record of another grid or a damaged one is refused without reading past its end.
    std::vector<CTileRecord> smaller(4999);
    EXPECT_FALSE(DecodeTiles(EncodeTiles(tiles), smaller));
    EXPECT_FALSE(ApplyTileDiff(diff, smaller, true));
    for (std::size_t cut = 0; cut < diff.size(); cut += 7) {
        std::vector<CTileRecord> scratch = tiles;
        EXPECT_FALSE(ApplyTileDiff(diff.substr(0, cut) + (cut == 0 ? "\x01" : ""), scratch, true))
            << cut;
    }
}

TEST(EditHistoryDocument, UndoAllRedoAllAndRandomWalksRestoreEveryStateExactly)
{
    CRecordingMessages messages;
    for (const unsigned seed : { 1u, 2u, 3u }) {
        std::unique_ptr<CQuiltmarkDoc> doc = ShippedLibraryDocument(messages);
        CRandomEditor editor(*doc, seed);
        std::vector<std::string> states { Snapshot(*doc) };
        // states[k]: the project right after step k (0: as opened). Undo of step k must give
        // back the project as the step found it, selection included.
        std::vector<std::string> found;
        for (int i = 0; i < 160; ++i) {
            editor.Wander();
            const std::string before = Snapshot(*doc);
            const std::size_t position = doc->GetHistory().Position();
            editor.Edit();
            if (doc->GetHistory().Position() == position) {
                ASSERT_EQ(FirstDifference(Snapshot(*doc), before), "")
                    << "an edit that recorded nothing changed the project";
                continue;
            }
            found.push_back(before);
            states.push_back(Snapshot(*doc));
        }
        ASSERT_GT(states.size(), 100u);
        EXPECT_TRUE(doc->IsModified());

        for (std::size_t k = found.size(); k-- > 0;) {
            ASSERT_TRUE(doc->Undo());
            ASSERT_EQ(FirstDifference(Snapshot(*doc), found[k]), "")
                << "seed " << seed << " undo of step " << k + 1 << " " << doc->GetRedoName();
        }
        EXPECT_FALSE(doc->CanUndo());
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(CProjectFileWriter::Write(*doc, "x"), [&] {
            CQuiltmarkDoc fresh(messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml");
            fresh.OnNewDocument();
            return CProjectFileWriter::Write(fresh, "x");
        }());

        for (std::size_t k = 1; k < states.size(); ++k) {
            ASSERT_TRUE(doc->Redo());
            ASSERT_EQ(FirstDifference(Snapshot(*doc), states[k]), "")
                << "seed " << seed << " redo of step " << k << " " << doc->GetUndoName();
        }
        EXPECT_FALSE(doc->CanRedo());

        // Random walks agree with a replay of the steps up to the position; a new edit on
        // the way starts a new branch.
        std::mt19937 walk(seed);
        std::size_t position = states.size() - 1;
        for (int i = 0; i < 300; ++i) {
            const unsigned move = walk() % 10;
            if (move < 5 && doc->CanUndo()) {
                doc->Undo();
                --position;
            } else if (move < 9 && doc->CanRedo()) {
                doc->Redo();
                ++position;
            } else {
                const std::size_t before = doc->GetHistory().Position();
                editor.Edit();
                if (doc->GetHistory().Position() == before)
                    continue;
                states.resize(position + 1);
                states.push_back(Snapshot(*doc));
                ++position;
                EXPECT_FALSE(doc->CanRedo());
                continue;
            }
            ASSERT_EQ(doc->GetHistory().Position(), position);
            const std::string now = Snapshot(*doc);
            // Undo returns to the tab the step started on, Redo to the one it ended on: the
            // project itself is the same either way.
            const auto project = [](const std::string& s) {
                const std::size_t current = s.find("\ncurrent ");
                return s.substr(0, current) + s.substr(s.find('\n', current + 1));
            };
            ASSERT_EQ(FirstDifference(project(now), project(states[position])), "")
                << "seed " << seed << " walk " << i;
        }
    }
}

TEST(EditHistoryDocument, StepsGroupingSeveralEditsUndoAndRedoWhole)
{
    // Edits grouped into one step mix re-addressing every tile with changes of single
    // tiles, hand addressing and set-ups: whatever came last, the step must come back whole.
    CRecordingMessages messages;
    for (const unsigned seed : { 11u, 12u, 13u, 14u }) {
        std::unique_ptr<CQuiltmarkDoc> doc = ShippedLibraryDocument(messages);
        CRandomEditor editor(*doc, seed);
        std::vector<std::string> found;
        std::vector<std::string> states { Snapshot(*doc) };
        for (int i = 0; i < 60; ++i) {
            editor.Wander();
            const std::string before = Snapshot(*doc);
            const std::size_t position = doc->GetHistory().Position();
            doc->BeginEdit("Group");
            for (int k = editor.Pick(4); k >= 0; --k) {
                editor.Edit();
                if (editor.Pick(3) == 0)
                    doc->autoAddressing = !doc->autoAddressing;
            }
            doc->EndEdit();
            if (doc->GetHistory().Position() == position)
                continue;
            found.push_back(before);
            states.push_back(Snapshot(*doc));
        }
        ASSERT_GT(found.size(), 30u);
        for (std::size_t k = found.size(); k-- > 0;) {
            ASSERT_TRUE(doc->Undo());
            ASSERT_EQ(FirstDifference(Snapshot(*doc), found[k]), "")
                << "seed " << seed << " undo of group " << k + 1;
        }
        for (std::size_t k = 1; k < states.size(); ++k) {
            ASSERT_TRUE(doc->Redo());
            ASSERT_EQ(FirstDifference(Snapshot(*doc), states[k]), "")
                << "seed " << seed << " redo of group " << k;
        }
    }
}

TEST(EditHistoryDocument, ReaddressingAWallOfManyPartsUndoesWithWhateverFollowedInTheStep)
{
    // A wall larger than one kept part: a re-address is recorded as such, and what follows
    // it in the same step (hand addressing, toggles without automatic addressing, another
    // set-up) must still be undone and redone exactly.
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& wall = t.SetUpSection(*doc.GetSection(0), 2, 90, 100);
    wall.setup.address_origin = 1;
    wall.setup.check_invert_secondaries = 1;
    wall.SetUp();
    doc.RebuildDerivedData();
    std::mt19937 random(5);
    const auto pick
        = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<std::string> found;
    std::vector<std::string> states { Snapshot(doc) };
    for (int step = 0; step < 40; ++step) {
        const std::string before = Snapshot(doc);
        const std::size_t position = doc.GetHistory().Position();
        doc.BeginEdit("Group");
        const int edits = 1 + pick(3);
        for (int k = 0; k < edits; ++k) {
            // Mostly a re-addressing toggle first, then anything.
            const bool first = k == 0 && pick(4) != 0;
            doc.autoAddressing = first || pick(4) != 0;
            switch (first ? 2 : pick(5)) {
            case 0: {
                wall.SelectAll(false);
                const int y = pick(100);
                wall.SelectRect(0, y, 89, y);
                CAddressingParams params = CAddressingParams::FromSetup(wall.setup);
                params.baseUniverse = 50 + pick(5);
                doc.AddressSelectedTiles(wall, params, false);
                break;
            }
            case 1: {
                CSectionSetup setup = wall.setup;
                setup.base_universe = pick(3);
                setup.primary_direction = pick(2);
                doc.SetUpSection(wall, setup);
                break;
            }
            default:
                doc.ExcludeTiles(wall, { { pick(90), pick(100) }, { pick(90), 99 } }, pick(2) == 0);
                break;
            }
        }
        doc.EndEdit();
        if (doc.GetHistory().Position() == position)
            continue;
        found.push_back(before);
        states.push_back(Snapshot(doc));
    }
    ASSERT_GT(found.size(), 20u);
    for (std::size_t k = found.size(); k-- > 0;) {
        ASSERT_TRUE(doc.Undo());
        ASSERT_EQ(FirstDifference(Snapshot(doc), found[k]), "") << "undo of group " << k + 1;
    }
    for (std::size_t k = 1; k < states.size(); ++k) {
        ASSERT_TRUE(doc.Redo());
        ASSERT_EQ(FirstDifference(Snapshot(doc), states[k]), "") << "redo of group " << k;
    }
}

TEST(EditHistoryDocument, TheSavedPositionDecidesWhetherTheProjectIsModified)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& wall = t.SetUpSection(*doc.GetSection(0), 2, 6, 4);
    doc.RebuildDerivedData();
    const std::string path = t.dir.File("wall.patch");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());

    doc.ExcludeTiles(wall, { { 1, 1 } }, true);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetUndoName(), "Toggle Tiles");
    doc.Undo();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetRedoName(), "Toggle Tiles");
    doc.Redo();
    EXPECT_TRUE(doc.IsModified());

    // Edits that change nothing are no steps and leave the saved state alone.
    doc.Undo();
    doc.ExcludeTiles(wall, { { 1, 1 } }, false);
    doc.RenameSection(0, "taken");
    doc.Undo();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.CanRedo());

    // Nothing can be undone while an edit is open (a drag), and Open starts afresh.
    doc.BeginEdit("Toggle Tiles");
    doc.ExcludeTiles(wall, { { 2, 2 } }, true);
    EXPECT_FALSE(doc.Undo());
    EXPECT_TRUE(doc.EndEdit());
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.CanRedo());
    EXPECT_FALSE(doc.IsModified());

    // Without history (batch runs) edits still mark the document.
    doc.EnableHistory(false);
    doc.ExcludeTiles(*doc.GetSection(0), { { 0, 0 } }, true);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.CanUndo());
}

TEST(EditHistoryDocument, AToggleOnALargeAutoAddressedWallKeepsAFewKilobytes)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& wall = t.SetUpSection(*doc.GetSection(0), 2, 400, 400);
    doc.RebuildDerivedData();
    doc.autoAddressing = true;
    doc.ExcludeTiles(wall, { { 3, 0 } }, true); // shifts every later tile
    // 160 000 tiles, 6 250 universe changes: a copy would be 1.9 MB.
    EXPECT_LT(doc.GetHistory().Bytes(), 64u * 1024);
    doc.Undo();
    EXPECT_EQ(wall.GetTile(399, 399)->address, 12 * (399 * 400 + 399) % 504);
}

TEST(EditHistoryDocument, AStepOverAWholeLargeWallIsRecordedInTwoHalvesThatUndoTogether)
{
    // 300 000 tiles by hand: the record is written in two halves at once.
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& wall = t.SetUpSection(*doc.GetSection(0), 2, 600, 500);
    doc.RebuildDerivedData();
    doc.ExcludeTiles(wall, { { 5, 5 }, { 599, 499 }, { 300, 250 } }, true);
    const auto addresses = [&wall] {
        std::vector<long long> values;
        for (const CTileRecord& tile : wall.Tiles())
            values.push_back((tile.universe * 1024LL + tile.address) * 2 + tile.excluded);
        return values;
    };
    const std::vector<long long> before = addresses();
    wall.SelectAll(true);
    CAddressingParams params = CAddressingParams::FromSetup(wall.setup);
    params.origin = 3;
    params.direction = 1;
    params.snake = 1;
    params.baseUniverse = 9;
    doc.AddressSelectedTiles(wall, params, false);
    const std::vector<long long> after = addresses();
    ASSERT_NE(after, before);
    ASSERT_TRUE(doc.Undo());
    EXPECT_TRUE(addresses() == before);
    ASSERT_TRUE(doc.Redo());
    EXPECT_TRUE(addresses() == after);
}

TEST(EditHistoryDocument, UndoBringsBackTheSelectionTheEditStartedFrom)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& wall = t.SetUpSection(*doc.GetSection(0), 2, 6, 4);
    doc.RebuildDerivedData();
    wall.SelectRect(0, 0, 1, 1);
    doc.MoveSelectedTiles(wall, 3, 2);
    EXPECT_TRUE(wall.GetTile(3, 2)->selected);
    wall.SelectAll(false);
    wall.SelectRect(5, 0, 5, 0); // a new selection after the move
    doc.Undo();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(wall.GetTile(x, y)->selected != 0, x <= 1 && y <= 1) << x << "," << y;
    doc.Redo();
    EXPECT_TRUE(wall.GetTile(3, 2)->selected && wall.GetTile(4, 3)->selected);
    EXPECT_FALSE(wall.GetTile(0, 0)->selected || wall.GetTile(5, 0)->selected);
}
