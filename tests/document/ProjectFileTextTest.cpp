#include "QuiltmarkDocTestSupport.h"
#include "app/base/StoredText.h"
#include "document/ProjectFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

const char* const kDate = "2024.05.01 12:00:00";

bool Load(CQuiltmarkDoc& doc, const std::string& text, std::string* error = nullptr)
{
    return CProjectFileReader::Read(doc, text.data(), text.size(), error);
}

std::string Project(const std::string& documents)
{
    return "<?xml version=\"1.0\"?><quiltmark version=\"1\"><devices/><documents>" + documents
        + "</documents></quiltmark>";
}

// Whether a strict XML parser accepts the file; nullopt when none is installed.
std::optional<bool> StrictParserAccepts(const std::string& path)
{
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0)
        return std::nullopt;
    return std::system(("xmllint --noout '" + path + "' 2>/dev/null").c_str()) == 0;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t a = text.find(from);
    const std::size_t b = text.find(to, a);
    return a == std::string::npos || b == std::string::npos ? std::string() : text.substr(a, b - a);
}

} // namespace

TEST(ProjectFileTexts, BlanksTabsAndLineEndsComeBackByteForByte)
{
    const std::string texts[] = { "   ", "\n", "\r\n", "a\rb", "\ttab\t", " lead", "trail ",
        "x\n\ny\r", "\r", "&#13; <b> \"q\" 'a' &amp;" };
    for (const std::string& text : texts) {
        CTestDocument t;
        CQuiltmarkDoc& doc = *t.doc;
        CSubDoc& section = t.SetUpSection(*doc.GetSection(0), 0, 2, 1);
        section.name = text;
        section.info = text;
        section.setup.screen_med_name = text;
        const std::string first = CProjectFileWriter::Write(doc, kDate);
        ASSERT_TRUE(Load(doc, first)) << first;
        const CSubDoc& read = *doc.GetSection(0);
        EXPECT_EQ(read.name, text);
        EXPECT_EQ(read.info, text);
        EXPECT_EQ(read.setup.screen_med_name, text);
        EXPECT_EQ(CProjectFileWriter::Write(doc, kDate), first);
        EXPECT_TRUE(t.messages.calls.empty());
    }
}

TEST(ProjectFileTexts, ControlCharactersBecomeAStandInAndTheFileStaysWellFormed)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& section = t.SetUpSection(*doc.GetSection(0), 0, 2, 1);
    section.name = std::string("a\x01z\x7f", 4);
    section.info = std::string("line\x1f\0end", 9);
    section.setup.screen_med_name = "v\x0bt";
    const std::string text = CProjectFileWriter::Write(doc, kDate);
    for (const char c : text)
        EXPECT_FALSE(IsForbiddenControl(static_cast<unsigned char>(c)));
    ASSERT_TRUE(Load(doc, text));
    EXPECT_EQ(doc.GetSection(0)->name, "a?z\x7f");
    EXPECT_EQ(doc.GetSection(0)->info, "line??end");
    EXPECT_EQ(doc.GetSection(0)->setup.screen_med_name, "v?t");
    EXPECT_TRUE(t.messages.calls.empty());

    // A file of another writer may carry them as references: replaced once, with one message.
    ASSERT_TRUE(Load(doc,
        Project("<document name=\"x&#1;\"><job fix_type=\"PIX\" matrix_width=\"1\" "
                "matrix_height=\"1\" screen_med_name=\"s&#2;\"/><info>i&#3;</info></document>")));
    EXPECT_EQ(doc.GetSection(0)->name, "x?");
    EXPECT_EQ(doc.GetSection(0)->setup.screen_med_name, "s?");
    EXPECT_EQ(doc.GetSection(0)->info, "i?");
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].text, kControlsReplacedMessage);
}

TEST(ProjectFileTexts, EverySavedFilePassesAStrictParser)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& a = t.SetUpSection(*doc.GetSection(0), 2, 2, 2);
    a.name = "B\xFChne \x01 ]]>"; // Windows-1252 and a control character
    a.info = "   ";
    a.setup.screen_med_name = "\xE9\r\t\n";
    CSubDoc& b = t.SetUpSection(*doc.AddSection(), 0, 3, 1, 100);
    b.name = "\xE2\x82\xAC \xF0\x9F\x8E\xA4"; // valid UTF-8 stays as it is
    b.info = "cut \xE2\x82"; // half a sequence
    doc.GetDevices().AddDeviceFromText("PORTER", "10.0.0.1");
    const std::string path = t.dir.File("strict.patch");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const std::optional<bool> accepted = StrictParserAccepts(path);
    if (!accepted)
        GTEST_SKIP() << "xmllint is not installed";
    EXPECT_TRUE(*accepted) << t.ReadFile(path);

    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.GetSection(0)->name, "B\xC3\xBChne ? ]]>");
    EXPECT_EQ(doc.GetSection(1)->name, "\xE2\x82\xAC \xF0\x9F\x8E\xA4");
    EXPECT_EQ(doc.GetSection(1)->info, "cut \xC3\xA2\xE2\x80\x9A");
}

TEST(ProjectFileTexts, AnUnreadableLibraryKeepsEveryFixtureReference)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& a = t.SetUpSection(*doc.GetSection(0), 2, 3, 2, 5, 1);
    a.GetTile(1, 1)->excluded = 1;
    a.GetTile(2, 0)->address = 400;
    a.setup.skope_style_type = 0;
    t.SetUpSection(*doc.AddSection(), 3, 2, 2, 500, 4);
    const std::string original = t.dir.File("wall.patch");
    ASSERT_TRUE(doc.OnSaveDocument(original));

    WriteFileSafely(t.dir.File("metalib.xml"), "this is not a library");
    t.messages.calls.clear();
    ASSERT_TRUE(doc.OnOpenDocument(original));
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].text, CQuiltmarkDoc::kLibraryInvalid);
    ASSERT_EQ(doc.GetSectionCount(), 2);
    const std::string resaved = t.dir.File("resaved.patch");
    ASSERT_TRUE(doc.OnSaveDocument(resaved));
    const std::string before = t.ReadFile(original);
    const std::string after = t.ReadFile(resaved);
    for (const char* name : { "\"new 1\"", "\"new 2\"" }) {
        const std::string from = std::string("<document name=") + name;
        EXPECT_EQ(Between(after, from, "<!--"), Between(before, from, "<!--")) << name;
    }
    EXPECT_NE(after.find("fix_type=\"TILE2X2\""), std::string::npos);
    EXPECT_NE(after.find("fix_type=\"BIG4X4\""), std::string::npos);

    // Once the library is back, the project is whole again.
    WriteFileSafely(t.dir.File("metalib.xml"), TestLibraryText());
    ASSERT_TRUE(doc.OnOpenDocument(resaved));
    EXPECT_EQ(doc.GetSection(0)->setup.fix_type, 2);
    EXPECT_EQ(doc.GetSection(0)->GetTile(2, 0)->address, 400);
    EXPECT_TRUE(doc.GetSection(0)->GetTile(1, 1)->excluded);
    doc.SetScriptDate(kDate);
    EXPECT_EQ(CProjectFileWriter::Write(doc, kDate), CProjectFileWriter::Write(doc, kDate));
}

TEST(ProjectFileRead, RefusedFilesSayWhyWithTheLine)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    std::string deep = "<?xml version=\"1.0\"?>\n<quiltmark>\n";
    for (int i = 0; i < 1000; ++i)
        deep += "<a>";
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        { "", "The file is empty." },
        { std::string("\xFF\xFE<\0q\0", 6), "The file is UTF-16 text; project files are UTF-8." },
        { std::string("<\0q\0", 4), "The file is UTF-16 text; project files are UTF-8." },
        { std::string("<quiltmark>\n\n<documents/>\0</quiltmark>", 38),
            "Line 3: the file holds a NUL byte, which XML does not allow." },
        { "<quiltmark>\n<documents>\n</quiltmark>",
            "Line 2: an element is not closed properly (XML_ERROR_MISMATCHED_ELEMENT)." },
        { deep, "Line 3: the elements are nested too deeply (XML_ELEMENT_DEPTH_EXCEEDED)." },
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Load(doc, c.text, &error));
        EXPECT_EQ(error, c.reason);
    }
    // The window and the command line show the fixed text and the reason below it.
    const std::string path = t.dir.File("utf16.patch");
    WriteFileSafely(path, std::string("\xFF\xFE<\0q\0", 6));
    t.messages.calls.clear();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].text,
        std::string(CQuiltmarkDoc::kCannotLoad)
            + "\nThe file is UTF-16 text; project files are UTF-8.");
}
