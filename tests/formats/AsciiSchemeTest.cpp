#include "formats/AsciiScheme.h"

#include "FormatsFixtures.h"
#include "Version.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace formats_test;

namespace {

std::string Header()
{
    char version[64];
    std::snprintf(version, sizeof version, "V%d.%d.%03d", QUILTMARK_VERSION_MAJOR,
        QUILTMARK_VERSION_MINOR, QUILTMARK_VERSION_BUILD);
    return std::string("// Kelvra ASCII Patch Scheme\r\n// Created with Kelvra Quiltmark ")
        + version + "\r\n";
}

// The scheme below its two header lines, which are checked once.
std::string Body(const std::string& scheme)
{
    const std::string header = Header();
    EXPECT_EQ(scheme.compare(0, header.size(), header), 0) << scheme;
    return scheme.size() >= header.size() ? scheme.substr(header.size()) : std::string();
}

std::vector<std::string> CrLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

class AsciiSchemeTest : public ::testing::Test {
protected:
    void SetUp() override { library.Add(MakeType(1, 1, 3)); }
    CMetaLib library;
    CSubDoc section { &library };
};

} // namespace

TEST(AsciiSchemeHeader, VersionFromBuild)
{
    EXPECT_EQ(QUILTMARK_VERSION_MAJOR, 3);
    EXPECT_NE(Header().find("Quiltmark V3.6.028\r\n"), std::string::npos) << Header();
}

TEST_F(AsciiSchemeTest, TwoTilesMatchGolden)
{
    PlaceTiles(section, 2, 1, { { 0, 0 }, { 0, 3 } });
    EXPECT_EQ(Body(BuildAsciiScheme(section)), ReadGolden("ascii_2x1.txt"));
}

TEST_F(AsciiSchemeTest, TwoRowsWithExcludedAndWideUniverseMatchGolden)
{
    PlaceTiles(section, 3, 2, { { 0, 511 }, { 0, 0 }, { 7, 42 }, { 99, 0 }, { 1, 2 }, { -1, -1 } });
    section.GetTileAt(1)->excluded = 1;
    section.RebuildItems(); // gives the excluded tile -1 / -1
    EXPECT_EQ(Body(BuildAsciiScheme(section)), ReadGolden("ascii_3x2.txt"));
}

TEST_F(AsciiSchemeTest, SingleTileGivesSevenLines)
{
    PlaceTiles(section, 1, 1, { { 0, 0 } });
    const std::vector<std::string> lines = CrLfLines(BuildAsciiScheme(section));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "    +----------+");
    EXPECT_EQ(lines[3], "    |          |");
    EXPECT_EQ(lines[4], "    | U01.001  |");
    EXPECT_EQ(lines[5], lines[3]);
    EXPECT_EQ(lines[6], lines[2]);
}

TEST_F(AsciiSchemeTest, NeverSetUpWritesHeaderAndEmptyBorder)
{
    ASSERT_EQ(section.GetTileCount(), 0); // although W and H read 6 and 3
    EXPECT_EQ(Body(BuildAsciiScheme(section)), "    +\r\n");
}
