#include "app/library/MetaLib.h"
#include "app/base/UserMessages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>

namespace {

bool LoadText(CMetaLib& lib, const std::string& xml)
{
    return lib.LoadFromBuffer(xml.data(), xml.size());
}

const char* const kTwoTypesAndFallback
    = "<metalib><lamps>"
      "<lamp type=\"PANEL\" old_index=\"4\" metaname=\"first\"/>"
      "<lamp type=\"ZIDUZU_COLOR_BEAMER\" old_index=\"0\"/>"
      "<lamp type=\"PANEL\" old_index=\"4\" metaname=\"second\"/>"
      "<lamp type=\"panel\" old_index=\"7\"/>"
      "</lamps></metalib>";

// A file in the temporary folder, removed again at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::string& bytes)
    {
        char name[] = "/tmp/quiltmark_metalib_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        m_path = name;
        std::ofstream out(m_path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

TEST(MetaLib, LookupsFindTheFirstExactMatch)
{
    CMetaLib lib;
    ASSERT_TRUE(LoadText(lib, kTwoTypesAndFallback));
    EXPECT_EQ(lib.IndexOfType("PANEL"), 0);
    EXPECT_EQ(lib.IndexOfType("panel"), 3);
    EXPECT_EQ(lib.IndexOfType("Panel"), -1);
    EXPECT_EQ(lib.IndexOfType(""), -1);

    EXPECT_EQ(lib.IndexOfOldIndex(4), 0);
    EXPECT_EQ(lib.IndexOfOldIndex(7), 3);
    EXPECT_EQ(lib.IndexOfOldIndex(5), -1);
    EXPECT_EQ(lib.IndexOfOldIndex(0), -1); // a type without old index must not answer 0
    EXPECT_EQ(lib.IndexOfOldIndex(-4), -1);

    EXPECT_EQ(lib.GetAt(-1), nullptr);
    EXPECT_EQ(lib.GetAt(4), nullptr);
    ASSERT_NE(lib.GetAt(2), nullptr);
    EXPECT_EQ(lib.GetAt(2)->metaName, "second");
}

TEST(MetaLib, AddAndRemoveRenumber)
{
    CMetaLib lib;
    for (const char* name : { "A", "B", "C" }) {
        auto t = std::make_unique<CFixtureType>();
        t->type = name;
        t->index = 99;
        lib.Add(std::move(t));
    }
    EXPECT_EQ(lib.GetAt(2)->index, 2);
    lib.RemoveAt(0);
    lib.RemoveAt(7); // outside: nothing happens
    ASSERT_EQ(lib.GetCount(), 2);
    EXPECT_EQ(lib.GetAt(0)->type, "B");
    EXPECT_EQ(lib.GetAt(0)->index, 0);
    EXPECT_EQ(lib.GetAt(1)->index, 1);
    EXPECT_EQ(lib.Add(nullptr), -1);
    lib.Clear();
    EXPECT_EQ(lib.GetCount(), 0);
}

TEST(MetaLib, ResolveTypeNameFallsBackWithOneErrorMessage)
{
    CMetaLib lib;
    ASSERT_TRUE(LoadText(lib, kTwoTypesAndFallback));

    CRecordingMessages quiet;
    EXPECT_EQ(lib.ResolveTypeName("panel", "Stage", quiet), 3);
    EXPECT_TRUE(quiet.calls.empty());

    CRecordingMessages messages;
    EXPECT_EQ(lib.ResolveTypeName("GONE", "Left Wall", messages), 1);
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_FALSE(messages.calls[0].question);
    EXPECT_EQ(messages.calls[0].icon, MessageIcon::Error);
    EXPECT_EQ(messages.calls[0].text,
        "Can not find the \"GONE\" fixture type for secton \"Left Wall\" in the metalib.xml "
        "file.\nQuiltmark use now the for this section the \"Ziduzu Color Beamer\" fixture "
        "type.\nFor using the \"GONE\" fixture type you must modify the metalib.xml file.");

    // Without the fallback type the first one is used; long names are not cut.
    CMetaLib noFallback;
    ASSERT_TRUE(LoadText(noFallback, "<metalib><lamps><lamp type=\"X\"/></lamps></metalib>"));
    const std::string longName(5000, 'n');
    CRecordingMessages more;
    EXPECT_EQ(noFallback.ResolveTypeName(longName, longName, more), 0);
    ASSERT_EQ(more.calls.size(), 1u);
    EXPECT_NE(more.calls[0].text.find("for secton \"" + longName + "\" in"), std::string::npos);
    EXPECT_NE(more.calls[0].text.find("using the \"" + longName + "\" fixture"), std::string::npos);
}

TEST(MetaLib, LoadReadsAFileAndEmptiesTheLibraryOnFailure)
{
    TempFile good("<metalib><lamps><lamp type=\"A\" width=\"2\"/></lamps></metalib>");
    CMetaLib lib;
    ASSERT_TRUE(lib.Load(good.path()));
    ASSERT_EQ(lib.GetCount(), 1);
    EXPECT_EQ(lib.GetAt(0)->width, 2);

    EXPECT_FALSE(lib.Load(good.path() + ".missing"));
    EXPECT_EQ(lib.GetCount(), 0);
    EXPECT_FALSE(lib.Load("/tmp")); // a folder, not a file
    EXPECT_EQ(lib.GetCount(), 0);
}

TEST(MetaLib, MalformedContentIsRefusedWithAnEmptyLibrary)
{
    const std::string nested = std::string("<metalib>") + [] {
        std::string s;
        for (int i = 0; i < 5000; ++i)
            s += "<a>";
        for (int i = 0; i < 5000; ++i)
            s += "</a>";
        return s;
    }() + "</metalib>";
    static const char kBinaryTail[]
        = "<metalib><lamps><lamp type=\"A\"/></lamps></metalib>\0\x01\xFF";
    static const char kPng[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
    const std::string cases[] = {
        "",
        "   \n",
        "just some words",
        "<metalib><lamps><lamp type=\"A\"></lamps></metalib>",
        "<metalib><lamps><lamp type=\"A/></lamps></metalib>",
        std::string(kBinaryTail, sizeof kBinaryTail - 1),
        std::string(kPng, sizeof kPng - 1),
        nested,
    };
    for (const std::string& bytes : cases) {
        CMetaLib lib;
        ASSERT_TRUE(LoadText(lib, "<metalib><lamps><lamp/></lamps></metalib>"));
        EXPECT_FALSE(lib.LoadFromBuffer(bytes.data(), bytes.size())) << bytes.substr(0, 40);
        EXPECT_EQ(lib.GetCount(), 0);

        TempFile file(bytes);
        ASSERT_TRUE(LoadText(lib, "<metalib><lamps><lamp/></lamps></metalib>"));
        EXPECT_FALSE(lib.Load(file.path()));
        EXPECT_EQ(lib.GetCount(), 0);
    }
    CMetaLib lib;
    EXPECT_FALSE(lib.LoadFromBuffer(nullptr, 10));
}

TEST(MetaLib, ShippedLibraryLoads)
{
    CMetaLib lib;
    ASSERT_TRUE(lib.Load(MetaLibPathIn(QUILTMARK_SOURCE_DIR "/resources")));
    ASSERT_GE(lib.GetCount(), 8);

    std::set<int> oldIndices;
    for (int i = 0; i < lib.GetCount(); ++i) {
        const CFixtureType& t = *lib.GetAt(i);
        SCOPED_TRACE(t.type);
        EXPECT_TRUE(t.IsUsable());
        EXPECT_FALSE(t.metaName.empty());
        EXPECT_EQ(lib.IndexOfType(t.type), i); // keys are unique
        EXPECT_GE(t.styles.size(), 2u);
        EXPECT_GT(t.skopeWidth, 0);
        EXPECT_GT(t.oldIndex, 0);
        EXPECT_TRUE(oldIndices.insert(t.oldIndex).second);
    }
    ASSERT_GE(lib.IndexOfType(CMetaLib::kFallbackType), 0);

    bool pixel = false, snakeTile = false, bar = false, matrix = false, rgbw = false;
    bool horizontalSwitch = false, verticalSwitch = false;
    for (int i = 0; i < lib.GetCount(); ++i) {
        const CFixtureType& t = *lib.GetAt(i);
        const int f = t.flags;
        pixel |= t.width == 1 && t.height == 1 && t.addressesPerQuark == 3;
        snakeTile |= t.width == 2 && t.height == 2 && (f & CFixtureType::kFlagReverseX)
            && (f & CFixtureType::kFlagReverseY) && (f & CFixtureType::kFlagSnake);
        bar |= t.width == 4 && t.height == 1 && t.headerAddresses > 0 && t.tailAddresses > 0;
        rgbw |= t.width == 2 && t.height == 2 && t.addressesPerQuark == 4;
        if (f & CFixtureType::kFlagDmxMatrix) {
            ASSERT_TRUE(t.dmxMatrix.has_value());
            matrix = true;
        }
        if (t.hasSwitch && t.width >= t.height && !t.operations.empty()
            && !t.fixedSwitches.empty()) {
            horizontalSwitch = true;
            EXPECT_EQ(t.switchCount, 10);
            EXPECT_EQ(t.SwitchValue(0), 1u);
            EXPECT_EQ(t.fixedSwitches[0].position, 10);
            EXPECT_TRUE(t.fixedSwitches[0].on);
        }
        verticalSwitch |= t.hasSwitch && t.height > t.width;
    }
    EXPECT_TRUE(pixel);
    EXPECT_TRUE(snakeTile);
    EXPECT_TRUE(bar);
    EXPECT_TRUE(matrix);
    EXPECT_TRUE(rgbw);
    EXPECT_TRUE(horizontalSwitch);
    EXPECT_TRUE(verticalSwitch);
}

TEST(MetaLib, PathIsBuiltInTheGivenFolder)
{
    EXPECT_EQ(MetaLibPathIn("/opt/q"), "/opt/q/metalib.xml");
    EXPECT_EQ(MetaLibPathIn("/opt/q/"), "/opt/q/metalib.xml");
    EXPECT_EQ(MetaLibPathIn(""), "metalib.xml");
}

} // namespace

TEST(MetaLib, QuarkNameIsHeldToItsFieldLimit)
{
    // Every character is two bytes: a cut at 127 must not leave half of one behind.
    std::string accented;
    for (int i = 0; i < 100; ++i)
        accented += "\xC3\xA9";
    CMetaLib lib;
    ASSERT_TRUE(LoadText(lib,
        "<metalib><lamps><lamp qarkname=\"" + accented
            + "\" width=\"1\" height=\"1\"/></lamps></metalib>"));
    EXPECT_EQ(lib.GetAt(0)->quarkName, accented.substr(0, 126));
}
