// The streaming reader and writer against the tree reader and the whole text: the same
// project from every file, the same bytes in every way of writing, progress and stops.
#include "QuiltmarkDocTestSupport.h"
#include "app/base/Progress.h"
#include "document/ProjectFile.h"
#include "document/ProjectFileParser.h"
#include "formats/PatchList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <random>
#include <sys/stat.h>

namespace {

const char* const kDate = "2024.05.01 12:00:00";

// What a reading left: the project as the writer puts it, and what the user was told.
struct CReading {
    bool ok = false;
    std::string error;
    std::string text;
    std::vector<std::string> messages;
};

CReading Outcome(CTestDocument& t, bool ok, const std::string& error)
{
    CReading r;
    r.ok = ok;
    r.error = error;
    r.text = CProjectFileWriter::Write(*t.doc, kDate);
    for (const auto& call : t.messages.calls)
        r.messages.push_back(call.text);
    t.messages.calls.clear();
    return r;
}

CReading ByTree(CTestDocument& t, const std::string& bytes)
{
    t.messages.calls.clear();
    std::string error;
    const bool ok = CProjectFileReader::ReadTree(*t.doc, bytes.data(), bytes.size(), &error);
    return Outcome(t, ok, error);
}

// The streaming parser alone (nothing handed to the tree reader), fed in pieces of `piece`
// bytes; nullopt when it would hand the file on.
std::optional<CReading> ByStream(
    CTestDocument& t, const std::string& bytes, bool exactBytes, std::size_t piece)
{
    t.messages.calls.clear();
    CProjectFileParser parser(*t.doc, bytes.size(), false, exactBytes);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        if (!parser.Feed(std::string_view(bytes).substr(at, piece)))
            break;
    }
    std::string problem;
    const CProjectFileParser::Result result = parser.Finish(problem);
    if (result == CProjectFileParser::Result::Unsure)
        return std::nullopt;
    const bool ok = result == CProjectFileParser::Result::Loaded;
    return Outcome(t, ok, problem);
}

void ExpectSameReading(CTestDocument& t, const std::string& bytes, const std::string& what)
{
    const CReading tree = ByTree(t, bytes);
    for (const bool exact : { false, true }) {
        for (const std::size_t piece : { std::size_t { 1 }, std::size_t { 7 }, bytes.size() + 1 }) {
            const std::optional<CReading> stream = ByStream(t, bytes, exact, piece);
            if (!stream) {
                // Only the UTF-8 reading may hand a file on; the exact one decides alone.
                EXPECT_FALSE(exact) << what;
                continue;
            }
            const std::string how = what + (exact ? " (exact bytes, " : " (UTF-8, ")
                + std::to_string(piece) + "-byte pieces)";
            if (!tree.ok || !stream->ok) {
                // Files neither reads are refused by both; the wording of a fault may differ.
                EXPECT_EQ(stream->ok, tree.ok) << how << "\n"
                                               << tree.error << "\n"
                                               << stream->error;
                continue;
            }
            // Compared whole, told briefly: the texts are long.
            const auto differ = std::mismatch(
                stream->text.begin(), stream->text.end(), tree.text.begin(), tree.text.end());
            EXPECT_TRUE(stream->text == tree.text)
                << how << " differs from byte " << (differ.first - stream->text.begin()) << ": "
                << std::string(differ.first, std::min(differ.first + 60, stream->text.end()));
            EXPECT_EQ(stream->messages, tree.messages) << how;
        }
    }
}

std::string Project(const std::string& documents, const std::string& devices = "")
{
    return "<?xml version=\"1.0\"?>\n<quiltmark version=\"1\"><devices>" + devices
        + "</devices><documents>" + documents + "</documents></quiltmark>\n";
}

std::string Job(const std::string& type, int w, int h, const std::string& extra = "")
{
    return "<job fix_type=\"" + type + "\" matrix_width=\"" + std::to_string(w)
        + "\" matrix_height=\"" + std::to_string(h) + "\" screen_id=\"3\" " + extra + "/>";
}

// A project of random sections, tiles and texts that need escaping or cleaning.
void FillRandomProject(CTestDocument& t, std::mt19937& random)
{
    CQuiltmarkDoc& doc = *t.doc;
    doc.OnNewDocument();
    const char* const names[] = { "Front ]]> wall", "a&b <c> \"d\" 'e'", "Gr\xC3\xBC\xC3\x9F",
        "\xE9t\xE9", "x\x01y", " " };
    const int sections = 1 + static_cast<int>(random() % 4);
    for (int s = 0; s < sections; ++s) {
        CSubDoc& section = t.SetUpSection(s == 0 ? *doc.GetSection(0) : *doc.AddSection(),
            static_cast<int>(random() % 4), 1 + static_cast<int>(random() % 9),
            1 + static_cast<int>(random() % 7), 1 + s * 1000, s * 4);
        section.name = names[random() % 6] + std::to_string(s);
        section.info = std::string(names[random() % 6]) + "\r\n\t" + names[random() % 6];
        section.setup.screen_med_name = names[random() % 6];
        section.setup.orientation = static_cast<int>(random() % 4);
        for (CTileRecord& tile : section.Tiles()) {
            tile.universe = static_cast<int>(random() % 6) - 1;
            tile.address = static_cast<int>(random() % 520) - 1;
            tile.excluded = random() % 5 == 0;
        }
    }
    doc.GetDevices().AddDeviceFromText("KGATE1024", "10.0.0." + std::to_string(random() % 255));
    doc.RebuildDerivedData();
}

std::vector<std::string> FilesIn(const std::string& directory, const std::string& suffix)
{
    std::vector<std::string> files;
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && name.size() > suffix.size()
                && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                files.push_back(directory + "/" + name);
        }
        closedir(dir);
    }
    return files;
}

} // namespace

TEST(ProjectFileStream, ReadsEveryFileAsTheTreeReaderDoes)
{
    CTestDocument t;
    // The examples, and random projects written by the program.
    for (const std::string& path :
        FilesIn(std::string(QUILTMARK_SOURCE_DIR) + "/examples", ".patch"))
        ExpectSameReading(t, t.ReadFile(path), path);
    std::mt19937 random(7);
    for (int i = 0; i < 12; ++i) {
        FillRandomProject(t, random);
        ExpectSameReading(
            t, CProjectFileWriter::Write(*t.doc, kDate), "random " + std::to_string(i));
    }

    // Files written by hand: the corners of what the tree reader reads.
    const std::string tiles = "<metaitems><metaitem universeid=\"2\" dmxaddress=\"7\"/>"
                              "<other universeid=\"abc\" dmxaddress=\"9\" excludearea=\"1\"/>"
                              "<metaitem/><metaitem universeid=\"4\"/></metaitems>";
    const std::string cases[] = {
        Project("<document name=\"a\">" + Job("PIX", 2, 2) + "<info>  page\n info  </info>" + tiles
            + "</document>"),
        // Tiles listed before the job that sizes the grid, surplus tiles, no job at all.
        Project("<document name=\"a\">" + tiles + Job("TILE2X2", 1, 2) + "</document>"
            + "<document name=\"a\"><metaitems><metaitem "
              "universeid=\"1\"/></metaitems></document>"),
        // The page info: blanks before markup are no text, a reference is, CDATA is text,
        // comments before the text are passed over, instructions inside are faults.
        Project("<document><info> \n <!-- c -->text</info></document>"),
        Project("<document><info>a<!-- c -->b</info></document>"),
        Project("<document><info><?pi x?>text</info></document>"),
        Project("<document><info>&#13;</info></document>"),
        Project("<document><info> <![CDATA[<kept> ]]> more</info></document>"),
        Project("<document><info>before<![CDATA[cdata]]>after<b>x</b></info></document>"),
        Project("<document><info><b>inner</b>after</info><info>second</info></document>"),
        Project("<document><info>\xE9\x01&amp;\xC3\xA9</info></document>"),
        // Ports: from the first dmxport on, every element is the next port.
        Project("",
            "<device type=\"KGATE1024\" ipaddress=\"1.2.3.4\"><x universeid=\"5\"/>"
            "<dmxport universeid=\"6\"/><y universeid=\"7\"/><dmxport universeid=\"8\"/>"
            "</device><other/><device type=\"NOPE\"/>"),
        // Names: unknown types fall back, duplicates get new names, texts are cleaned.
        Project("<document name=\"x\">" + Job("MISSING", 1, 1) + "</document><document name=\"x\">"
            + Job("PIX", 1, 1, "screen_med_name=\"s\xE4\x02\"") + "</document>"),
        // More than eight sections, elements of other names between them.
        Project([] {
            std::string documents;
            for (int i = 0; i < 10; ++i)
                documents += "<document name=\"s" + std::to_string(i) + "\">" + Job("PIX", 1, 1)
                    + "</document><skip/>";
            return documents;
        }()),
        // A root of another name, a second devices element, comments and instructions.
        "<other><documents><document/></documents></other>",
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><?pi x?><!-- c --><quiltmark><devices/><devices>"
        "<device type=\"KGATE512\"/></devices></quiltmark>",
        "<?xml version=\"1.0\"?><!-- c --><?pi x?><quiltmark/>",
        // Refused and faulty files.
        Project("<document name=\"big\">" + Job("TILE2X2", 3000, 2000) + "</document>"),
        Project("<document name=\"neg\">" + Job("PIX", -1, 2) + "</document>"),
        Project("<document>") + "<broken",
        "<quiltmark><a></b></quiltmark>",
        "",
        "   ",
    };
    int i = 0;
    for (const std::string& text : cases)
        ExpectSameReading(t, text, "case " + std::to_string(i++));
}

TEST(ProjectFileStream, TheReaderGivesTheSameErrorsAndHandsOnWhatOnlyTheTreeReaderTakes)
{
    CTestDocument t;
    const struct {
        std::string text;
        const char* reason;
    } faults[] = {
        { "", "The file is empty." },
        { std::string("\xFF\xFE<\0q\0", 6), "The file is UTF-16 text; project files are UTF-8." },
        { std::string("<quiltmark>\n\n<documents/>\0</quiltmark>", 38),
            "Line 3: the file holds a NUL byte, which XML does not allow." },
        { Project("<document name=\"big\">" + Job("TILE2X2", 3000, 2000) + "</document>"),
            "The section \"big\" asks for 3000 x 2000 tiles; a section holds at most 4000000 "
            "tiles and 16777216 items." },
    };
    for (const auto& fault : faults) {
        for (const bool exact : { false, true }) {
            const std::optional<CReading> stream = ByStream(t, fault.text, exact, 5);
            ASSERT_TRUE(stream.has_value()) << fault.reason;
            EXPECT_FALSE(stream->ok);
            EXPECT_EQ(stream->error, fault.reason);
        }
    }
    // An undeclared entity and a tab written as such in a name: the tree reader keeps them,
    // a strict parser does not, so the file goes to the tree reader, which loads it.
    const std::string lax = Project("<document name=\"a\tb\"><info>&nbsp;</info></document>");
    EXPECT_FALSE(ByStream(t, lax, false, 64).has_value());
    std::string error;
    ASSERT_TRUE(CProjectFileReader::Read(*t.doc, lax.data(), lax.size(), &error)) << error;
    EXPECT_EQ(t.doc->GetSection(0)->name, "a\tb");
    EXPECT_EQ(t.doc->GetSection(0)->info, "&nbsp;");
}

TEST(ProjectFileStream, EveryWayOfWritingGivesTheSameBytes)
{
    CTestDocument t;
    std::mt19937 random(11);
    for (int i = 0; i < 6; ++i) {
        FillRandomProject(t, random);
        const std::string whole = CProjectFileWriter::Write(*t.doc, kDate);
        std::string pieces;
        std::size_t calls = 0;
        std::string reason;
        ASSERT_TRUE(CProjectFileWriter::Write(
            *t.doc, kDate,
            [&](const char* data, std::size_t size) {
                pieces.append(data, size);
                ++calls;
                return true;
            },
            nullptr, reason));
        EXPECT_EQ(pieces, whole);
        const std::string path = t.dir.File("p.patch");
        ASSERT_TRUE(t.doc->WriteProjectFile(path));
        EXPECT_EQ(t.ReadFile(path), whole);
    }
    // A large section reaches the sink in pieces, never as one text.
    t.doc->OnNewDocument();
    t.SetUpSection(*t.doc->GetSection(0), 2, 300, 200);
    std::size_t largest = 0;
    std::size_t total = 0;
    std::string reason;
    ASSERT_TRUE(CProjectFileWriter::Write(
        *t.doc, kDate,
        [&](const char*, std::size_t size) {
            largest = std::max(largest, size);
            total += size;
            return true;
        },
        nullptr, reason));
    EXPECT_GT(total, 20u << 20);
    EXPECT_LT(largest, 3u << 20);
}

TEST(ProjectFileStream, PatchLinesOfManyItemsKeepTheirOrder)
{
    // More items than are sorted at once, with keys far apart, repeated and excluded.
    CTestDocument t;
    CSubDoc& section = t.SetUpSection(*t.doc->GetSection(0), 2, 1100, 600);
    std::mt19937 random(3);
    for (CTileRecord& tile : section.Tiles()) {
        const unsigned pick = random() % 100;
        if (pick < 10)
            tile.excluded = 1;
        else if (pick < 30)
            tile = { 7, 100 };
        else if (pick < 32)
            tile = { 2000000000, static_cast<int>(random() % 500) };
        else
            tile = { static_cast<int>(random() % 100), static_cast<int>(random() % 500) };
    }
    section.RebuildItems();
    const std::size_t count = static_cast<std::size_t>(section.GetItemCount());
    std::vector<int32_t> expected(count);
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<int32_t>(i);
    const auto key = [&section](int32_t i) {
        const CPatchEntry item = section.ItemAtIndex(i);
        return static_cast<long long>(item.universe) * 512 + item.address;
    };
    std::stable_sort(
        expected.begin(), expected.end(), [&key](int32_t a, int32_t b) { return key(a) < key(b); });
    const std::vector<int32_t> got = SortedPatchOrder(section);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << i << " keys " << key(got[i]) << " " << key(expected[i]);
}

TEST(ProjectFileStream, ProgressRisesToTheWholeAndAStopChangesNoFile)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    t.SetUpSection(*doc.GetSection(0), 2, 400, 300);
    t.SetUpSection(*doc.AddSection(), 0, 50, 40, 900000, 600);
    const std::string path = t.dir.File("wall.patch");

    const auto expectRising = [](const CRecordingProgress& progress) {
        ASSERT_GE(progress.reports.size(), 3u);
        for (std::size_t i = 1; i < progress.reports.size(); ++i) {
            EXPECT_GE(progress.reports[i].first, progress.reports[i - 1].first);
            EXPECT_EQ(progress.reports[i].second, progress.reports[0].second);
        }
        EXPECT_EQ(progress.reports.back().first, progress.reports.back().second);
    };
    CRecordingProgress saving;
    ASSERT_TRUE(doc.WriteProjectFile(path, nullptr, &saving));
    expectRising(saving);
    const std::string saved = t.ReadFile(path);

    CRecordingMessages messages;
    CQuiltmarkDoc loaded(messages, t.dir.File("metalib.xml"));
    CRecordingProgress loading;
    ASSERT_TRUE(loaded.OnOpenDocument(path, nullptr, &loading));
    expectRising(loading);
    EXPECT_EQ(loading.reports.back().first, saved.size());
    EXPECT_EQ(CProjectFileWriter::Write(loaded, kDate), saved);

    // A stop half-way: the old file stays, no temporary file is left, nothing is said.
    t.doc->GetSection(0)->name = "changed";
    CRecordingProgress stopSave;
    stopSave.stopAt = saving.reports.back().second / 2;
    t.messages.calls.clear();
    std::string error;
    EXPECT_FALSE(doc.WriteProjectFile(path, &error, &stopSave));
    EXPECT_EQ(error, kSaveCancelled);
    EXPECT_EQ(t.ReadFile(path), saved);
    EXPECT_TRUE(t.messages.calls.empty());
    EXPECT_EQ(FilesIn(t.dir.Path(), "").size(), 2u); // metalib.xml and wall.patch

    // A stop while loading leaves the document empty, as after a failed load, unsaid.
    CRecordingProgress stopLoad;
    stopLoad.stopAt = saved.size() / 2;
    messages.calls.clear();
    EXPECT_FALSE(loaded.OnOpenDocument(path, &error, &stopLoad));
    EXPECT_EQ(error, kLoadCancelled);
    EXPECT_EQ(loaded.GetSectionCount(), 1);
    EXPECT_FALSE(loaded.GetSection(0)->initialised);
    EXPECT_FALSE(loaded.WasLoadSuccessful());
    EXPECT_TRUE(messages.calls.empty());
}

TEST(ProjectFileStream, AProjectBeyondTheItemLimitIsRefusedAtSetUpAndLoad)
{
    // BIG4X4 has 16 items a tile: four sections of 1024 x 1024 tiles fill the limit.
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    doc.EnableHistory(false);
    const int side = 1024;
    ASSERT_EQ(std::uint64_t { 4 } * side * side * 16, CQuiltmarkDoc::kMaxProjectItems);
    std::string documents;
    for (int s = 0; s < 5; ++s)
        documents += "<document name=\"s" + std::to_string(s) + "\">"
            + Job("BIG4X4", side, s < 4 ? side : 1) + "</document>";
    std::string error;
    const std::string file = Project(documents);
    EXPECT_FALSE(CProjectFileReader::Read(doc, file.data(), file.size(), &error));
    EXPECT_EQ(error, CQuiltmarkDoc::ProjectTooLargeText());
    EXPECT_NE(error.find("67108864 items"), std::string::npos);

    doc.OnNewDocument();
    CSectionSetup setup;
    setup.fix_type = 3;
    setup.matrix_width = side;
    setup.matrix_height = side;
    for (int s = 0; s < 4; ++s)
        ASSERT_TRUE(doc.SetUpSection(s == 0 ? *doc.GetSection(0) : *doc.AppendSection(), setup));
    t.messages.calls.clear();
    setup.matrix_height = 1;
    CSubDoc& fifth = *doc.AppendSection();
    EXPECT_FALSE(doc.SetUpSection(fifth, setup));
    EXPECT_EQ(fifth.GetTileCount(), 0);
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].text,
        "The matrix could not be created. " + CQuiltmarkDoc::ProjectTooLargeText());
}
