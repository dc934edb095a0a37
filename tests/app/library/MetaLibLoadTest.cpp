#include "app/library/MetaLib.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// Wraps lamp elements in the library's root elements.
std::string Library(const std::string& lamps)
{
    return "<?xml version=\"1.0\"?>\n<metalib><lamps>" + lamps + "</lamps></metalib>";
}

bool LoadText(CMetaLib& lib, const std::string& xml)
{
    return lib.LoadFromBuffer(xml.data(), xml.size());
}

// Loads one lamp and returns it; fails the test when it is not there.
const CFixtureType& LoadOne(CMetaLib& lib, const std::string& lampXml)
{
    EXPECT_TRUE(LoadText(lib, Library(lampXml)));
    EXPECT_EQ(lib.GetCount(), 1);
    static const CFixtureType empty;
    return lib.GetCount() == 1 ? *lib.GetAt(0) : empty;
}

TEST(MetaLibLoad, LampAttributesAreReadLikeCDecimalConversion)
{
    struct Case {
        const char* value; // nullptr: attribute missing
        int expected;
    };
    const Case cases[] = {
        { "12", 12 },
        { "  7", 7 },
        { "-3", -3 },
        { "+4", 4 },
        { "12abc", 12 },
        { "3.9", 3 },
        { "abc", 0 },
        { "", 0 },
        { "0x10", 0 },
        { "- 5", 0 },
        { "99999999999", INT_MAX },
        { "-99999999999", INT_MIN },
        { nullptr, 0 },
    };
    const char* attributes[] = { "addressesperquark", "width", "height", "skopewidth",
        "skopeheight", "skopedepth", "flags", "headeraddresses", "tailaddresses", "old_index" };
    for (const Case& c : cases) {
        std::string lamp = "<lamp";
        if (c.value) {
            for (const char* a : attributes)
                lamp += std::string(" ") + a + "=\"" + c.value + "\"";
        }
        lamp += "/>";
        CMetaLib lib;
        const CFixtureType& t = LoadOne(lib, lamp);
        SCOPED_TRACE(c.value ? c.value : "(missing)");
        EXPECT_EQ(t.addressesPerQuark, c.expected);
        EXPECT_EQ(t.width, c.expected);
        EXPECT_EQ(t.height, c.expected);
        EXPECT_EQ(t.skopeWidth, c.expected);
        EXPECT_EQ(t.skopeHeight, c.expected);
        EXPECT_EQ(t.skopeDepth, c.expected);
        EXPECT_EQ(t.flags, c.expected);
        EXPECT_EQ(t.headerAddresses, c.expected);
        EXPECT_EQ(t.tailAddresses, c.expected);
        EXPECT_EQ(t.oldIndex, c.expected);
    }
}

TEST(MetaLibLoad, TextAttributesAreKeptByteForByteAndMissingOnesAreEmpty)
{
    CMetaLib lib;
    const CFixtureType& full = LoadOne(lib,
        "<lamp metaname=\"M &amp; N\" type=\"T_1\" qarkname=\"Q\" headertext=\"H\" "
        "tailtext=\"Caf\xC3\xA9\"/>");
    EXPECT_EQ(full.metaName, "M & N");
    EXPECT_EQ(full.type, "T_1");
    EXPECT_EQ(full.quarkName, "Q");
    EXPECT_EQ(full.headerText, "H");
    EXPECT_EQ(full.tailText, "Caf\xC3\xA9");

    const CFixtureType& bare = LoadOne(lib, "<lamp/>");
    EXPECT_EQ(bare.metaName, "");
    EXPECT_EQ(bare.type, "");
    EXPECT_EQ(bare.textOn, "ON"); // no switch element: labels keep their defaults
    EXPECT_EQ(bare.textOff, "OFF");
    EXPECT_TRUE(bare.topIsOn);
    EXPECT_FALSE(bare.hasSwitch);
}

TEST(MetaLibLoad, SwitchNumbersMustBeWholeIntegers)
{
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {
        { "5", 5 },
        { " 7 ", 7 },
        { "-2", -2 },
        { "5x", 0 },
        { "x5", 0 },
        { "", 0 },
        { "1.5", 0 },
        { "99999999999", 0 },
    };
    for (const Case& c : cases) {
        std::string sw = std::string("<switch start=\"") + c.value + "\" end=\"" + c.value + "\"";
        for (int bit = 0; bit < 9; ++bit)
            sw += " dmxbit" + std::to_string(bit) + "=\"" + c.value + "\"";
        sw += "/>";
        CMetaLib lib;
        const CFixtureType& t = LoadOne(lib, "<lamp>" + sw + "</lamp>");
        SCOPED_TRACE(c.value);
        EXPECT_EQ(t.switchStart, c.expected);
        EXPECT_EQ(t.switchEnd, c.expected);
        for (int bit = 0; bit < 9; ++bit)
            EXPECT_EQ(t.dmxBit[bit], c.expected) << "bit " << bit;
    }
}

TEST(MetaLibLoad, SwitchFlagsAndLabels)
{
    struct Case {
        const char* attributes;
        bool topIsOn;
        const char* textOn;
        const char* textOff;
    };
    const Case cases[] = {
        { "topison=\"true\" texton=\"AN\" textoff=\"AUS\"", true, "AN", "AUS" },
        { "topison=\"TRUE\"", true, "", "" },
        { "topison=\"yes\"", false, "", "" },
        { "topison=\" true\"", false, "", "" },
        { "", false, "", "" },
    };
    for (const Case& c : cases) {
        CMetaLib lib;
        const CFixtureType& t
            = LoadOne(lib, std::string("<lamp><switch ") + c.attributes + "/></lamp>");
        SCOPED_TRACE(c.attributes);
        EXPECT_EQ(t.topIsOn, c.topIsOn);
        EXPECT_EQ(t.textOn, c.textOn);
        EXPECT_EQ(t.textOff, c.textOff);
    }
}

TEST(MetaLibLoad, SwitchRangeDecidesWhetherTheSwitchIsUsable)
{
    struct Case {
        const char* start;
        const char* end;
        bool usable;
        int count;
    };
    const Case cases[] = {
        { "1", "10", true, 10 }, { "0", "0", true, 1 }, { "0", "200", true, 201 },
        { "1", "201", false, 0 }, { "-1", "5", false, 0 }, { "6", "5", false, 0 },
        { "x", "8", true, 9 }, // start unreadable keeps 0
    };
    for (const Case& c : cases) {
        CMetaLib lib;
        const CFixtureType& t = LoadOne(lib,
            std::string("<lamp><switch start=\"") + c.start + "\" end=\"" + c.end + "\"/></lamp>");
        SCOPED_TRACE(std::string(c.start) + ".." + c.end);
        EXPECT_EQ(t.hasSwitch, c.usable);
        EXPECT_EQ(t.switchCount, c.count);
        EXPECT_EQ(t.switchGridWidth, c.usable ? c.count + 2 : 2);
        EXPECT_EQ(t.switchGridHeight, 3);
    }
}

TEST(MetaLibLoad, EntriesRunFromTheFirstNamedChildThroughEveryFollowingSibling)
{
    CMetaLib lib;
    const CFixtureType& t = LoadOne(lib,
        "<lamp width=\"2\" height=\"1\">"
        "<skope><other type=\"skipped\"/><style type=\"A\"/><style type=\"B\"/>"
        "<odd type=\"C\"/><style/></skope>"
        "<dmxmatrix><junk x=\"1\" y=\"1\" dmxoffset=\"9\"/><dmxpos x=\"1\" y=\"1\" "
        "dmxoffset=\"4\"/>"
        "<weird x=\"2\" y=\"1\" dmxoffset=\"7\"/></dmxmatrix>"
        "<switch start=\"1\" end=\"4\">"
        "<setswitch pos=\"3\" value=\"TRUE\"/>"
        "<operation typ=\"add\" value=\"1\"/><operation typ=\"pow\" value=\"2\"/>"
        "<x typ=\"shr\" value=\"1\"/></switch>"
        "</lamp>");
    EXPECT_EQ(t.styles, (std::vector<std::string> { "A", "B", "C", "" }));
    ASSERT_TRUE(t.dmxMatrix.has_value());
    EXPECT_EQ(*t.dmxMatrix, (std::vector<uint16_t> { 4, 7 }));

    // Operations start at the first operation; setswitch entries start before them, so
    // every element from there on is read as a fixed switch.
    ASSERT_EQ(t.operations.size(), 3u);
    EXPECT_TRUE(t.operations[0].enabled);
    EXPECT_FALSE(t.operations[1].enabled); // kept in the list although it did not parse
    EXPECT_TRUE(t.operations[2].enabled);
    EXPECT_EQ(t.operations[2].code, CSwitchOperation::Shr);
    EXPECT_EQ(t.SwitchValue(10), 5u);
    ASSERT_EQ(t.fixedSwitches.size(), 4u);
    EXPECT_EQ(t.fixedSwitches[0].position, 3);
    EXPECT_TRUE(t.fixedSwitches[0].on);
    EXPECT_EQ(t.fixedSwitches[1].position, 0);
    EXPECT_FALSE(t.fixedSwitches[1].on);
}

TEST(MetaLibLoad, DmxMatrixCellsIgnoreOutOfRangeEntriesAndKeepTheLastWrite)
{
    CMetaLib lib;
    const CFixtureType& t = LoadOne(lib,
        "<lamp width=\"3\" height=\"2\" flags=\"16\"><dmxmatrix>"
        "<dmxpos x=\"2\" y=\"1\" dmxoffset=\"3\"/>"
        "<dmxpos x=\"0\" y=\"1\" dmxoffset=\"50\"/>"
        "<dmxpos x=\"4\" y=\"1\" dmxoffset=\"51\"/>"
        "<dmxpos x=\"1\" y=\"3\" dmxoffset=\"52\"/>"
        "<dmxpos x=\"1\" y=\"0\" dmxoffset=\"53\"/>"
        "<dmxpos x=\"3\" y=\"2\" dmxoffset=\"65541\"/>"
        "<dmxpos x=\"1\" y=\"2\" dmxoffset=\"8\"/>"
        "<dmxpos x=\"1\" y=\"2\" dmxoffset=\"9\"/>"
        "<dmxpos x=\"2\" y=\"2\" dmxoffset=\"-1\"/>"
        "</dmxmatrix></lamp>");
    ASSERT_TRUE(t.dmxMatrix.has_value());
    EXPECT_EQ(*t.dmxMatrix, (std::vector<uint16_t> { 0, 3, 0, 9, 0xFFFF, 5 }));
    EXPECT_EQ(t.MatrixOffset(2, 1), 5);
}

TEST(MetaLibLoad, AbsurdSizesLoadButAreNotUsable)
{
    // The size is kept as written; a matrix is read only while its cell count is sane.
    struct Case {
        const char* size;
        int width;
        int height;
        int matrixCells; // -1: no matrix kept
        int firstOffset;
    };
    const Case cases[] = {
        { "width=\"-3\" height=\"2\"", -3, 2, -1, 0 },
        { "width=\"0\" height=\"0\"", 0, 0, 0, 0 },
        { "width=\"100000\" height=\"100000\"", 100000, 100000, -1, 0 },
        { "width=\"2147483647\" height=\"2147483647\"", INT_MAX, INT_MAX, -1, 0 },
        { "width=\"65537\" height=\"1\"", 65537, 1, -1, 0 },
        // Too wide for a section, yet few enough cells to read the matrix.
        { "width=\"1025\" height=\"1\"", 1025, 1, 1025, 1 },
    };
    for (const Case& c : cases) {
        CMetaLib lib;
        const CFixtureType& t = LoadOne(lib,
            std::string("<lamp addressesperquark=\"3\" flags=\"16\" ") + c.size
                + "><dmxmatrix><dmxpos x=\"1\" y=\"1\" dmxoffset=\"1\"/></dmxmatrix></lamp>");
        SCOPED_TRACE(c.size);
        EXPECT_FALSE(t.IsUsable());
        EXPECT_EQ(t.width, c.width);
        EXPECT_EQ(t.height, c.height);
        if (c.matrixCells < 0) {
            EXPECT_FALSE(t.dmxMatrix.has_value());
        } else {
            ASSERT_TRUE(t.dmxMatrix.has_value());
            EXPECT_EQ(t.dmxMatrix->size(), static_cast<std::size_t>(c.matrixCells));
        }
        EXPECT_EQ(t.MatrixOffset(0, 0), c.firstOffset);
    }
    // The largest sane matrix is the contrast: usable, and read.
    CMetaLib lib;
    const CFixtureType& t = LoadOne(lib,
        "<lamp addressesperquark=\"1\" flags=\"16\" width=\"1024\" height=\"64\"><dmxmatrix>"
        "<dmxpos x=\"1024\" y=\"64\" dmxoffset=\"7\"/></dmxmatrix></lamp>");
    EXPECT_TRUE(t.IsUsable());
    EXPECT_EQ(t.MatrixOffset(1023, 63), 7);
}

TEST(MetaLibLoad, OnlyLampChildrenOfLampsBecomeTypes)
{
    CMetaLib lib;
    ASSERT_TRUE(LoadText(lib,
        Library("<lamp type=\"A\"/><note type=\"N\"/><lamp type=\"B\"/>text<lamp type=\"C\"/>")));
    ASSERT_EQ(lib.GetCount(), 3);
    EXPECT_EQ(lib.GetAt(1)->type, "B");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lib.GetAt(i)->index, i);
}

TEST(MetaLibLoad, WellFormedFilesWithoutLampsGiveAnEmptyLibrary)
{
    const char* docs[] = {
        "<other><lamps><lamp type=\"A\"/></lamps></other>",
        "<metalib/>",
        "<metalib><lamp type=\"A\"/></metalib>",
        "<metalib><lamps/></metalib>",
    };
    for (const char* doc : docs) {
        CMetaLib lib;
        EXPECT_TRUE(LoadText(lib, Library("<lamp/>"))); // previous content must go
        EXPECT_TRUE(LoadText(lib, doc)) << doc;
        EXPECT_EQ(lib.GetCount(), 0) << doc;
    }
}

} // namespace
