#include "formats/SkopeScript.h"

#include "FormatsFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace formats_test;

namespace {

const std::string kDate = "2024.01.02 03:04:05";

class SkopeScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library.Add(MakeType(1, 1, 3));
        section.name = "Front Wall";
        PlaceTiles(section, 4, 2,
            { { 0, 0 }, { 0, 3 }, { 0, 6 }, { 0, 9 }, { 0, 12 }, { 0, 15 }, { 1, 0 }, { 1, 3 } });
    }

    bool Has(const std::string& script, const std::string& text)
    {
        return script.find(text) != std::string::npos;
    }

    CMetaLib library;
    CSubDoc section { &library };
};

} // namespace

TEST_F(SkopeScriptTest, FourByTwoSectionMatchesGolden)
{
    section.GetTileAt(5)->excluded = 1;
    section.RebuildItems();
    const std::string script = BuildSkopeScript(section, 1, kDate);
    EXPECT_EQ(script, ReadGolden("skope_4x2.txt"));
    // The excluded tile (column 1, row 1) is the only one missing.
    EXPECT_FALSE(Has(script, "orgx1+(1*(sizex1+padx1)), orgy1-(1*"));
    EXPECT_TRUE(Has(script, "orgx1+(0*(sizex1+padx1)), orgy1-(1*"));
}

TEST_F(SkopeScriptTest, OrientationMovesOriginAndRotation)
{
    section.setup.orientation = 1;
    std::string script = BuildSkopeScript(section, 1, kDate);
    EXPECT_TRUE(Has(script, "\norgx1=-215;\norgy1=195;\n")) << script;
    EXPECT_TRUE(Has(script, "\nrotz1=-90;\n"));

    section.setup.orientation = 2;
    script = BuildSkopeScript(section, 1, kDate);
    EXPECT_TRUE(Has(script, "\norgx1=-105;\norgy1=195;\n"));
    EXPECT_TRUE(Has(script, "\nrotz1=-180;\n"));

    section.setup.orientation = 3;
    script = BuildSkopeScript(section, 1, kDate);
    EXPECT_TRUE(Has(script, "\norgx1=-105;\norgy1=85;\n"));
    EXPECT_TRUE(Has(script, "\nrotz1=-270;\n"));
}

TEST_F(SkopeScriptTest, DivisionTruncatesTowardZero)
{
    // (sx + 10) * W = -9: halving gives -4, not -5.
    library.GetAt(0)->skopeWidth = -13;
    section.setup.orientation = 0;
    PlaceTiles(section, 3, 1, { { 0, 0 }, { 0, 3 }, { 0, 6 } });
    EXPECT_TRUE(Has(BuildSkopeScript(section, 1, kDate), "\norgx1=9;\n"));
}

TEST_F(SkopeScriptTest, ThirdSectionUsesItsNumberAndDepth)
{
    section.setup.skope_style_type = 1;
    const std::string script = BuildSkopeScript(section, 3, kDate);
    EXPECT_EQ(script.rfind("// SECTION 3 \"Front Wall\" START\n", 0), 0u);
    EXPECT_TRUE(Has(script, "\norgz3=-10000;\n"));
    EXPECT_TRUE(
        Has(script, "kstyle3=\"Bar\";                // possible values: \"Panel\",\"Bar\"\n"));
    EXPECT_TRUE(Has(script, "MakeItem(kstyle3, \"RGB\", 0, orgx3+(3*(sizex3+padx3)), orgy3-(1*"));
    EXPECT_FALSE(Has(script, "orgx1"));
    EXPECT_TRUE(Has(script, "// SECTION 3 END\n\n\n\n"));
}

TEST_F(SkopeScriptTest, EmptyWithoutStyleOrFixtureType)
{
    section.setup.skope_style_type = 2;
    EXPECT_EQ(BuildSkopeScript(section, 1, kDate), "");
    section.setup.skope_style_type = -1;
    EXPECT_EQ(BuildSkopeScript(section, 1, kDate), "");

    section.setup.skope_style_type = 0;
    library.GetAt(0)->styles.clear();
    EXPECT_EQ(BuildSkopeScript(section, 1, kDate), "");

    library.GetAt(0)->styles = { "Panel" };
    section.setup.fix_type = 3;
    EXPECT_EQ(BuildSkopeScript(section, 1, kDate), "");
}

TEST_F(SkopeScriptTest, UndefinedTileWrittenAsZero)
{
    section.GetTileAt(0)->universe = -1;
    section.GetTileAt(0)->address = -1;
    EXPECT_TRUE(Has(BuildSkopeScript(section, 1, kDate), "SetDmxAddress(-1, 0, 0);\n\n"));
}

TEST(SkopeScriptDate, LocalTimeFormat)
{
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(FormatScriptDate(0), "1970.01.01 00:00:00");
    EXPECT_EQ(FormatScriptDate(1700000000), "2023.11.14 22:13:20");
    if (previous)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
