#include "QuiltmarkDocTestSupport.h"
#include "app/base/Progress.h"
#include "document/ProjectFile.h"
#include "document/section/ChannelOccupancy.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>

namespace {

TEST(QuiltmarkDocSections, NewDocumentHasOneSectionNamedNew1)
{
    CTestDocument t;
    EXPECT_EQ(t.doc->GetSectionCount(), 1);
    EXPECT_EQ(t.doc->GetSection(0)->name, "new 1");
    EXPECT_EQ(t.doc->GetCurrentSectionIndex(), 0);
    EXPECT_TRUE(t.messages.calls.empty());
    EXPECT_EQ(t.doc->GetTitle(), "Untitled");
}

TEST(QuiltmarkDocSections, MissingLibraryFailsNewButKeepsOneSection)
{
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, "/nonexistent/metalib.xml");
    EXPECT_FALSE(doc.OnNewDocument());
    EXPECT_EQ(doc.GetSectionCount(), 1);
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text, CQuiltmarkDoc::kLibraryInvalid);
    EXPECT_EQ(messages.calls[0].icon, MessageIcon::Error);
}

TEST(QuiltmarkDocSections, AddNamesDeleteAndMoveFollowTheRules)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    doc.AddSection()->name = "keep";
    doc.GetSection(1)->name = "new 3";
    doc.AddSection(); // count 3: new 3 is taken
    EXPECT_EQ(doc.GetSection(2)->name, "new 4");
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 2);
    EXPECT_EQ(doc.FindSectionByName("new 4"), 2);
    EXPECT_EQ(doc.FindSectionByName("NEW 4"), -1);

    // Deleting the current last section makes the new last one current.
    EXPECT_TRUE(doc.DeleteSection(2));
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 1);
    EXPECT_FALSE(doc.DeleteSection(5));

    doc.AddSection()->name = "last";
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.MoveSection(5, 0)); // clamped to the last index
    EXPECT_EQ(doc.GetSection(0)->name, "last");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.MoveSection(1, 1));

    while (doc.GetSectionCount() > 1)
        EXPECT_TRUE(doc.DeleteSection(0));
    EXPECT_FALSE(doc.DeleteSection(0));
}

TEST(QuiltmarkDocSections, NoNinthSectionAndCurrentSectionFallsBack)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    for (int i = 0; i < 10; ++i)
        doc.AddSection();
    EXPECT_EQ(doc.GetSectionCount(), CQuiltmarkDoc::kMaxSections);
    EXPECT_EQ(doc.AddSection(), doc.GetSection(7));
    EXPECT_EQ(doc.SetCurrentSection(3), doc.GetSection(3));
    // An index outside the list falls back to the first section.
    EXPECT_EQ(doc.SetCurrentSection(42), doc.GetSection(0));
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 0);
    EXPECT_EQ(doc.IndexOfSection(doc.GetSection(5)), 5);
}

TEST(QuiltmarkDocText, ColumnLetters)
{
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(0), "A");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(25), "Z");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(26), "AA");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(27), "AB");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(701), "ZZ");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(702), "AAA");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(18277), "ZZZ");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(18278), "");
    EXPECT_EQ(CQuiltmarkDoc::ColumnLetters(-1), "");
}

TEST(QuiltmarkDocScreenIds, FirstFreeIdTakesTheFirstGapThatFits)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    t.SetUpSection(*doc.GetSection(0), 0, 40, 1, 1);
    t.SetUpSection(*doc.AddSection(), 0, 40, 1, 41);
    doc.AddSection(); // the section being set up, index 2
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 0, 20, 1), 81);
    EXPECT_FALSE(doc.IsScreenIdRangeFree(2, 80, 0, 1, 1));
    EXPECT_TRUE(doc.IsScreenIdRangeFree(1, 41, 0, 20, 1)); // its own range is skipped

    doc.GetSection(1)->setup.screen_id = 61;
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 0, 20, 1), 41);
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 0, 21, 1), 101);
    // 2 x 2 items per tile count four ids each.
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 2, 5, 1), 41);
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 2, 6, 1), 101);

    // The section being set up is skipped when looking for the next range start, but a
    // range of its own that starts there still pushes the next candidate past its end.
    doc.GetSection(1)->setup.screen_id = 41;
    CSubDoc& own = *doc.GetSection(2);
    own.setup.fix_type = 0;
    own.setup.matrix_width = 100;
    own.setup.matrix_height = 1;
    own.setup.screen_id = 41;
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 0, 20, 1), 141);

    // A range starting at 0 (a file without screen_id) is stepped over as well.
    own.setup.screen_id = 500;
    doc.GetSection(0)->setup.screen_id = 0;
    doc.GetSection(1)->setup.screen_id = 300;
    EXPECT_FALSE(doc.IsScreenIdRangeFree(2, 1, 0, 20, 1));
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 0, 20, 1), 40);
    doc.GetSection(1)->setup.screen_id = -10;
    EXPECT_EQ(doc.GetFirstFreeScreenId(2, 0, 20, 1), 40);
}

TEST(QuiltmarkDocScreenIds, HugeIdsDoNotOverflow)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    t.SetUpSection(*doc.GetSection(0), 0, 10, 1, INT_MAX - 5);
    doc.AddSection();
    EXPECT_FALSE(doc.IsScreenIdRangeFree(1, INT_MAX, 0, 10, 1));
    EXPECT_TRUE(doc.IsScreenIdRangeFree(1, static_cast<long long>(INT_MAX) + 5, 0, 10, 1));
    EXPECT_EQ(doc.GetFirstFreeScreenId(1, 0, 10, 1), 1);

    doc.RebuildScreenIdUse();
    EXPECT_FALSE(doc.IsScreenIdShared(INT_MAX - 5));
}

TEST(QuiltmarkDocTables, SharedChannelsScreenIdsAndUniverses)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& a = t.SetUpSection(*doc.GetSection(0), 0, 1, 1, 1, 0);
    CSubDoc& b = t.SetUpSection(*doc.AddSection(), 0, 1, 1, 1, 0);
    b.GetTile(0, 0)->address = 2;
    b.RebuildItems();
    t.SetUpSection(*doc.AddSection(), 0, 2, 1, 100, 6);
    doc.RebuildTables();

    EXPECT_TRUE(doc.IsChannelShared(2));
    for (long long key : { 0, 1, 3, 4 })
        EXPECT_FALSE(doc.IsChannelShared(key)) << key;
    EXPECT_EQ(doc.GetChannelUseCount(2), 2);
    EXPECT_EQ(doc.GetChannelUseCount(4), 1);
    EXPECT_EQ(doc.GetChannelUseCount(5), 0);
    EXPECT_TRUE(doc.IsChannelRangeShared(0, 3));
    EXPECT_FALSE(doc.IsChannelRangeShared(3, 100));

    EXPECT_TRUE(doc.IsScreenIdShared(1));
    EXPECT_FALSE(doc.IsScreenIdShared(100));

    EXPECT_EQ(doc.GetUsedUniverseCount(), 2);
    EXPECT_EQ(doc.GetNextUsedUniverse(-1), 0);
    EXPECT_EQ(doc.GetNextUsedUniverse(0), 6);
    EXPECT_EQ(doc.GetNextUsedUniverse(6), -1);
    EXPECT_EQ(doc.GetHighestUsedUniverse(), 6);
    EXPECT_EQ(doc.GetUniverseUse().at(0), 2);

    // Excluded tiles occupy nothing; absurd universes from a file stay cheap.
    a.GetTile(0, 0)->excluded = 1;
    b.GetTile(0, 0)->universe = INT_MAX;
    doc.RebuildChannelUse();
    EXPECT_FALSE(doc.IsChannelShared(2));
    EXPECT_EQ(doc.GetChannelUseCount(static_cast<long long>(INT_MAX) * 512 + 4), 1);
}

// A tile with a universe but no address has no channels: it must not make the first tile
// of its universe, or the last channel of the universe before, look shared.
TEST(QuiltmarkDocTables, TileWithoutAddressOccupiesNoChannel)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& a = t.SetUpSection(*doc.GetSection(0), 0, 2, 1, 1, 1);
    a.GetTile(1, 0)->address = -1;
    CSubDoc& b = t.SetUpSection(*doc.AddSection(), 0, 1, 1, 10, 0);
    b.GetTile(0, 0)->address = 509; // the last three channels of universe 0
    doc.RebuildTables();

    EXPECT_EQ(doc.GetChannelUseCount(511), 1);
    EXPECT_FALSE(doc.IsChannelShared(512));
    EXPECT_FALSE(doc.IsChannelRangeShared(509, 6));
    EXPECT_EQ(doc.GetChannelUseCount(513), 1);
}

// The occupancy table against a plain per-key count on random footprints.
TEST(QuiltmarkDocTables, ChannelOccupancyMatchesBruteForce)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        CChannelOccupancy table;
        std::map<int64_t, int> expected;
        const int sections = 1 + static_cast<int>(random() % 3);
        for (int s = 0; s < sections; ++s) {
            const int length = 1 + static_cast<int>(random() % 6);
            std::vector<int64_t> starts;
            const int tiles = static_cast<int>(random() % 12);
            for (int i = 0; i < tiles; ++i) {
                const int64_t start = static_cast<int64_t>(random() % 40) - 3;
                starts.push_back(start);
                for (int k = 0; k < length; ++k)
                    ++expected[start + k];
            }
            table.AddFootprints(starts, length);
        }
        table.Finish();
        for (int64_t key = -5; key < 50; ++key) {
            const int count = expected.count(key) ? expected[key] : 0;
            ASSERT_EQ(table.CountAt(key), count) << "round " << round << " key " << key;
            bool anyShared = false;
            for (int64_t k = key; k < key + 3; ++k)
                anyShared = anyShared || (expected.count(k) && expected[k] > 1);
            ASSERT_EQ(table.IsRangeShared(key, 3), anyShared) << round << " " << key;
        }
    }
}

// The patch text lists the tiles in the order the connections display walks them.
TEST(QuiltmarkDocText, UniversePatchTextFollowsTheUniverseWalk)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    std::mt19937 random(11);
    CSubDoc& a = t.SetUpSection(*doc.GetSection(0), 0, 5, 4, 1, 0);
    CSubDoc& b = t.SetUpSection(*doc.AddSection(), 0, 3, 3, 100, 0);
    for (CSubDoc* section : { &a, &b }) {
        section->setup.addr_count = 30;
        for (CTileRecord& tile : section->Tiles()) {
            tile.universe = static_cast<int>(random() % 2);
            tile.address = static_cast<int>(random() % 36) - 2; // -2 .. 33, with repeats
            tile.excluded = random() % 7 == 0;
        }
        section->GetTileAt(3)->visited = 1; // marks of the view stay as they are
    }

    std::string expected;
    for (int s = 0; s < 2; ++s) {
        CSubDoc* section = doc.GetSection(s);
        section->SetAllVisited(false);
        int address = -1;
        for (int index; (index = section->NextTileOfUniverse(1, address)) >= 0;) {
            if (!expected.empty())
                expected += " \xBB ";
            expected += std::to_string(s + 1) + ":"
                + CQuiltmarkDoc::ColumnLetters(index % section->GetTileColumns())
                + std::to_string(index / section->GetTileColumns() + 1);
        }
        section->SetAllVisited(false);
        section->GetTileAt(3)->visited = 1;
    }
    std::string text = "prefix";
    doc.GetUniversePatchText(1, text);
    EXPECT_EQ(text, "prefix" + expected);
    EXPECT_EQ(a.GetTileAt(3)->visited, 1);
    EXPECT_EQ(a.CountVisited(true), 1);
}

TEST(QuiltmarkDocText, UniversePatchTextExample)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    t.SetUpSection(*doc.GetSection(0), 0, 2, 1, 1, 0);
    CSubDoc& b = t.SetUpSection(*doc.AddSection(), 0, 3, 4, 10, 1);
    b.GetTile(2, 3)->universe = 0;
    b.GetTile(2, 3)->address = 100;
    std::string text;
    doc.GetUniversePatchText(0, text);
    EXPECT_EQ(text, "1:A1 \xBB 1:B1 \xBB 2:C4");
}

TEST(QuiltmarkDocLibraryEntry, WritesTheSectionAsALampEntry)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& section = t.SetUpSection(*doc.GetSection(0), 0, 4, 2);
    for (int i = 0; i < 8; ++i)
        section.GetTileAt(i)->address = 3 * i;
    const std::string before = t.ReadFile(t.dir.File("metalib.xml"));

    EXPECT_TRUE(doc.WriteLibraryEntry("wall left", "WALL LEFT", false));
    EXPECT_EQ(t.ReadFile(t.dir.File("metalib.xml")), before);
    const std::string written = t.ReadFile(t.dir.File("metalib_new.xml"));
    EXPECT_NE(written.find("<lamp metaname=\"wall left\" type=\"WALL LEFT\" qarkname=\"RGBFader\" "
                           "addressesperquark=\"3\" width=\"4\" height=\"2\" flags=\"16\" "
                           "headertext=\"\" headeraddresses=\"0\" tailtext=\"\" "
                           "tailaddresses=\"0\">"),
        std::string::npos)
        << written;
    EXPECT_NE(written.find("<dmxpos x=\"1\" y=\"1\" dmxoffset=\"0\"/>"), std::string::npos);
    EXPECT_NE(written.find("<dmxpos x=\"4\" y=\"2\" dmxoffset=\"21\"/>"), std::string::npos);
    EXPECT_NE(written.find("type=\"TILE2X2\""), std::string::npos); // old entries kept

    // The entry loads as a usable fixture type.
    CMetaLib reloaded;
    ASSERT_TRUE(reloaded.Load(t.dir.File("metalib_new.xml")));
    const int index = reloaded.IndexOfType("WALL LEFT");
    ASSERT_GE(index, 0);
    EXPECT_EQ(reloaded.GetAt(index)->ChannelsPerFixture(), 4 * 2 * 3);

    EXPECT_TRUE(doc.WriteLibraryEntry("m", "T", true));
    EXPECT_NE(t.ReadFile(t.dir.File("metalib.xml")).find("type=\"T\""), std::string::npos);
}

TEST(QuiltmarkDocLibraryEntry, NothingWrittenWithoutALampsList)
{
    CTestDocument t;
    WriteFileSafely(t.dir.File("metalib.xml"), "<?xml version=\"1.0\"?><metalib/>");
    EXPECT_FALSE(t.doc->WriteLibraryEntry("a", "B", false));
    EXPECT_TRUE(t.ReadFile(t.dir.File("metalib_new.xml")).empty());
    WriteFileSafely(t.dir.File("metalib.xml"), "<metalib><lamps>");
    EXPECT_FALSE(t.doc->WriteLibraryEntry("a", "B", false));

    // The parser would stop at the NUL and the rewrite would drop everything after it.
    const std::string withNul = std::string("<metalib><lamps/></metalib>\0", 28) + "<!-- tail -->";
    WriteFileSafely(t.dir.File("metalib.xml"), withNul);
    EXPECT_FALSE(t.doc->WriteLibraryEntry("a", "B", true));
    EXPECT_EQ(t.ReadFile(t.dir.File("metalib.xml")), withNul);
}

TEST(QuiltmarkDocLoading, JobFileOpensAsOneSectionAndAutoAddressingGoesOff)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    doc.AddSection();
    doc.autoAddressing = true;
    const std::string path = t.dir.File("old.job");
    WriteFileSafely(path,
        "<JOB>\r\n<JOB>\n    fix_type=7\n    matrix_width=2\n    matrix_height=1\n"
        "    base_universe=3\n</JOB>\n<META_ITEM>\n    universe_id=3\n    dmx_address=0\n"
        "</META_ITEM>\n<META_ITEM>\n    universe_id=4\n    dmx_address=9\n</META_ITEM>\n");
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_TRUE(doc.WasLoadSuccessful());
    EXPECT_FALSE(doc.autoAddressing);
    ASSERT_EQ(doc.GetSectionCount(), 1);
    const CSubDoc& section = *doc.GetSection(0);
    EXPECT_EQ(section.name, "new 1");
    EXPECT_TRUE(section.initialised);
    EXPECT_EQ(section.setup.fix_type, 0); // old index 7 is library index 0
    EXPECT_EQ(section.GetTileAt(1)->address, 9);
    EXPECT_EQ(doc.GetUsedUniverseCount(), 2);
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetTitle(), "old.job");
}

TEST(QuiltmarkDocLoading, UnreadableContentResetsAndStillCountsAsOpened)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    t.SetUpSection(*doc.GetSection(0), 0, 3, 3);
    doc.AddSection();
    doc.RebuildTables();
    const std::string path = t.dir.File("broken.patch");
    WriteFileSafely(path, "<quiltmark><documents>");
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_FALSE(doc.WasLoadSuccessful());
    EXPECT_EQ(doc.GetSectionCount(), 1);
    EXPECT_FALSE(doc.GetSection(0)->initialised);
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetUsedUniverseCount(), 0);
    EXPECT_FALSE(doc.IsChannelShared(0));
    ASSERT_FALSE(t.messages.calls.empty());
    // The fixed first line, then the parser's reason with its line.
    EXPECT_EQ(t.messages.calls.back().text,
        std::string(CQuiltmarkDoc::kCannotLoad)
            + "\nLine 1: an element is not closed properly (XML_ERROR_MISMATCHED_ELEMENT).");
    EXPECT_EQ(t.messages.calls.back().icon, MessageIcon::Error);
}

TEST(QuiltmarkDocLoading, MissingFileChangesNothing)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    doc.AddSection()->name = "mine";
    doc.autoAddressing = true;
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnOpenDocument(t.dir.File("missing.patch")));
    EXPECT_FALSE(doc.OnOpenDocument(t.dir.Path())); // a directory
    EXPECT_EQ(doc.GetSectionCount(), 2);
    EXPECT_TRUE(doc.autoAddressing);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(t.messages.calls.empty());
}

} // namespace

TEST(QuiltmarkDocLoading, OnlyAProjectReadFromItsPathMaySaveThereUnasked)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    EXPECT_TRUE(doc.PathHoldsProject());

    const std::string job = t.dir.File("old.job");
    WriteFileSafely(job, "<JOB>\n<JOB>\n    matrix_width=1\n    matrix_height=1\n</JOB>\n");
    ASSERT_TRUE(doc.OnOpenDocument(job));
    ASSERT_TRUE(doc.WasLoadSuccessful());
    EXPECT_FALSE(doc.PathHoldsProject());

    const std::string project = t.dir.File("old.patch");
    ASSERT_TRUE(doc.OnSaveDocument(project));
    EXPECT_TRUE(doc.PathHoldsProject());
    ASSERT_TRUE(doc.OnOpenDocument(project));
    EXPECT_TRUE(doc.PathHoldsProject());

    const std::string broken = t.dir.File("broken.patch");
    WriteFileSafely(broken, "not a project");
    ASSERT_TRUE(doc.OnOpenDocument(broken));
    EXPECT_FALSE(doc.PathHoldsProject());
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.PathHoldsProject());
}

TEST(QuiltmarkDocOpen, AProjectReadAsideIsTakenOverWhole)
{
    CTestDocument source;
    CSubDoc& wall = source.SetUpSection(*source.doc->GetSection(0), 2, 5, 3, 1, 2);
    source.doc->RenameSection(0, "Wall");
    source.doc->GetDevices().AddDeviceFromText("PORTER", "10.0.0.9");
    const std::string path = source.dir.File("wall.patch");
    ASSERT_TRUE(source.doc->OnSaveDocument(path));
    (void)wall;

    // The shown document has a history and other sections; the read-aside one replaces them.
    CTestDocument shown;
    shown.doc->AppendSection();
    ASSERT_TRUE(shown.doc->CanUndo());
    auto aside = std::make_unique<CQuiltmarkDoc>(shown.messages, source.dir.File("metalib.xml"));
    CRecordingProgress progress;
    ASSERT_TRUE(aside->OnOpenDocument(path, nullptr, &progress));
    shown.doc->TakeProjectFrom(*aside);
    aside.reset(); // the sections must not need the library they were read with

    CQuiltmarkDoc& doc = *shown.doc;
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.CanUndo());
    ASSERT_EQ(doc.GetSectionCount(), 1);
    EXPECT_EQ(doc.GetSection(0)->name, "Wall");
    EXPECT_EQ(doc.GetDevices().GetDeviceCount(), 1);
    EXPECT_EQ(doc.GetUniverseUse().count(2), 1u);
    EXPECT_EQ(CProjectFileWriter::Write(doc, "d"), CProjectFileWriter::Write(*source.doc, "d"));
    // Edits and their undo work on the taken sections.
    doc.ExcludeTiles(*doc.GetSection(0), { { 0, 0 } }, true);
    EXPECT_EQ(doc.GetSection(0)->GetItem(0, 0)->universe, -1);
    doc.Undo();
    EXPECT_EQ(CProjectFileWriter::Write(doc, "d"), CProjectFileWriter::Write(*source.doc, "d"));
    EXPECT_FALSE(progress.reports.empty());
}
