#include "formats/JobFile.h"

#include "FormatsFixtures.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <sstream>

using namespace formats_test;

namespace {

class JobFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library.Add(MakeType(1, 1, 3, "Other"));
        library.GetAt(0)->oldIndex = 3;
        library.Add(MakeType(1, 1, 3)); // old index 7, library index 1
    }

    bool Read(const std::string& text)
    {
        std::istringstream in(text);
        error.clear();
        return ReadJobFile(in, section, library, &error);
    }

    CMetaLib library;
    CSubDoc section { &library };
    std::string error;
};

std::vector<std::pair<std::string, std::string>> KeyLines(
    const std::string& text, const std::string& tag)
{
    std::istringstream in(text);
    CJobLineReader reader(in);
    std::vector<std::pair<std::string, std::string>> lines;
    std::string key;
    std::string value;
    while (reader.NextKeyLine(tag, key, value))
        lines.emplace_back(key, value);
    return lines;
}

using Lines = std::vector<std::pair<std::string, std::string>>;

} // namespace

TEST(JobLineReader, CommentsTabsBlanksAndStrayLines)
{
    const std::string text = "<JOB>\n"
                             "    Matrix_Width = 8   // tiles across\n"
                             "\tscreen_med_name= Front\t \r\n"
                             "  \t \n"
                             "just some words\n"
                             "// key=commented out\n"
                             "name=AC/DC\n"
                             "path=a//b\n"
                             "=7\n"
                             "<JOB>\n"
                             "x=1=2\n"
                             "</JOB>\n"
                             "after=1\n";
    EXPECT_EQ(KeyLines(text, "JOB"),
        (Lines { { "Matrix_Width", " 8" }, { "screen_med_name", " Front" }, { "name", "AC/DC" },
            { "path", "a" }, { "", "7" }, { "x", "1=2" } }));
}

TEST(JobLineReader, BlocksFollowEachOtherAndEndOfFileEndsABlock)
{
    std::istringstream in("<META_ITEM>\na=1\n</META_ITEM>\n<META_ITEM>\nb=2");
    CJobLineReader reader(in);
    std::string key, value;
    ASSERT_TRUE(reader.NextKeyLine("META_ITEM", key, value));
    EXPECT_EQ(key + value, "a1");
    EXPECT_FALSE(reader.NextKeyLine("META_ITEM", key, value));
    ASSERT_TRUE(reader.NextKeyLine("META_ITEM", key, value)); // last line without line end
    EXPECT_EQ(key + value, "b2");
    EXPECT_FALSE(reader.NextKeyLine("META_ITEM", key, value));
    EXPECT_FALSE(reader.NextKeyLine("META_ITEM", key, value));
}

TEST(JobLineReader, OverlongLineKeepsItsStartAndDropsTheRest)
{
    // The tail of a long line must not come back as a line of its own.
    const std::string text
        = "<JOB>\n" + std::string(16, ' ') + "a=" + std::string(300, 'x') + "matrix_width=9\nb=1\n";
    const Lines lines = KeyLines(text, "JOB");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, "a");
    EXPECT_EQ(lines[0].second, std::string(253, 'x'));
    EXPECT_EQ(lines[1], (std::pair<std::string, std::string> { "b", "1" }));
}

TEST_F(JobFileTest, ReadsSetupTilesAndResolvesType)
{
    ASSERT_TRUE(
        Read("    fix_type=7\n"
             "    MATRIX_WIDTH=2\n"
             "    matrix_height=2\n"
             "    screen_med_name= Front\n"
             "    screen_id=40\n"
             "    base_universe=2\n"
             "    addr_first=5\n"
             "    addr_count=510\n"
             "    address_origin=3\n"
             "    primary_direction=1\n"
             "    check_invert_secondaries=1\n"
             "    orientation=2\n"
             "    section_id=4\n"
             "</JOB>\n"
             "<META_ITEM>\n    universe_id=2\n    dmx_address=5\n    exclude_area=0\n</META_ITEM>\n"
             "<META_ITEM>\n    exclude_area=1\n</META_ITEM>\n"
             "<META_ITEM>\n\tUniverse_ID\t=\t-1\n    dmx_address=-1\n</META_ITEM>\n"
             "<META_ITEM>\r\n    universe_id=3\r\n    dmx_address=+17\r\n</META_ITEM>\r\n"
             "<META_ITEM>\n    universe_id=9\n</META_ITEM>\n"
             "<PATCH_HINTS>\nquark_width=2\n</PATCH_HINTS>\n"))
        << error;
    const CSectionSetup& s = section.setup;
    EXPECT_EQ(s.fix_type, 1);
    EXPECT_EQ(s.matrix_width, 2);
    EXPECT_EQ(s.matrix_height, 2);
    EXPECT_EQ(s.screen_med_name, " Front");
    EXPECT_EQ(s.screen_id, 40);
    EXPECT_EQ(s.base_universe, 2);
    EXPECT_EQ(s.addr_first, 5);
    EXPECT_EQ(s.addr_count, 510);
    EXPECT_EQ(s.address_origin, 3);
    EXPECT_EQ(s.primary_direction, 1);
    EXPECT_EQ(s.check_invert_secondaries, 1);
    EXPECT_EQ(s.orientation, 2);
    EXPECT_EQ(s.section_id, 4);
    EXPECT_TRUE(section.initialised);

    ASSERT_EQ(section.GetTileCount(), 4);
    EXPECT_EQ(section.GetTileAt(0)->universe, 2);
    EXPECT_EQ(section.GetTileAt(0)->address, 5);
    EXPECT_TRUE(section.GetTileAt(1)->excluded);
    EXPECT_EQ(section.GetTileAt(2)->universe, -1);
    EXPECT_EQ(section.GetTileAt(3)->universe, 3);
    EXPECT_EQ(section.GetTileAt(3)->address, 17);
    EXPECT_EQ(section.GetItemCount(), 4); // rebuilt for the resolved type
    EXPECT_EQ(section.GetItemAt(3)->address, 17);
}

TEST_F(JobFileTest, KeysMatchWhateverTheLocale)
{
    // A Turkish locale does not lower-case 'I' to 'i', which must not hide upper-case keys.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    // Without an installed Turkish locale, one is built from the system's locale sources
    // into a folder of its own.
    std::string built;
    if (std::setlocale(LC_ALL, "tr_TR.UTF-8") == nullptr) {
        char dir[] = "/tmp/quiltmark-locale-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        built = dir;
        const std::string make = "localedef -i tr_TR -f UTF-8 '" + built + "/tr_TR.UTF-8'";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        setenv("LOCPATH", built.c_str(), 1);
        ASSERT_NE(std::setlocale(LC_ALL, "tr_TR.UTF-8"), nullptr);
    }
    // The premise: this locale does not lower-case 'I' to 'i'.
    EXPECT_NE(std::tolower(static_cast<unsigned char>('I')), 'i');
    const bool ok = Read("FIX_TYPE=7\nMATRIX_WIDTH=2\nMATRIX_HEIGHT=1\n</JOB>\n");
    std::setlocale(LC_ALL, previous.c_str());
    if (!built.empty()) {
        unsetenv("LOCPATH");
        (void)std::system(("rm -rf '" + built + "'").c_str());
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(section.setup.fix_type, 1);
    EXPECT_EQ(section.GetTileCount(), 2);
}

TEST_F(JobFileTest, MissingKeysTakeJobDefaults)
{
    section.setup.skope_style_type = 1;
    ASSERT_TRUE(Read("matrix_width=1\nmatrix_height=1\nscreen_id=abc\n</JOB>\n"));
    EXPECT_EQ(section.setup.screen_med_name, "<none>");
    EXPECT_EQ(section.setup.screen_id, 0); // unreadable number
    EXPECT_EQ(section.setup.addr_count, 0);
    EXPECT_EQ(section.setup.skope_style_type, 1); // not a job key
    EXPECT_EQ(section.setup.fix_type, -1); // 0 names no type
}

TEST_F(JobFileTest, UnknownTypeLeavesSectionWithoutTypeButWithTiles)
{
    for (const char* fixType : { "0", "-3", "99" }) {
        ASSERT_TRUE(Read(std::string("fix_type=") + fixType
            + "\nmatrix_width=2\nmatrix_height=1\n</JOB>\n"
              "<META_ITEM>\nuniverse_id=4\n</META_ITEM>\n"));
        EXPECT_EQ(section.setup.fix_type, -1) << fixType;
        EXPECT_EQ(section.GetFixtureType(), nullptr);
        EXPECT_EQ(section.GetTileCount(), 2);
        EXPECT_EQ(section.GetTileAt(0)->universe, 4);
        EXPECT_EQ(section.GetItemCount(), 0);
    }
}

TEST_F(JobFileTest, EarlyEndLeavesRemainingTilesZero)
{
    ASSERT_TRUE(Read("fix_type=7\nmatrix_width=3\nmatrix_height=1\n</JOB>\n"
                     "<META_ITEM>\nuniverse_id=1\ndmx_address=10\n</META_ITEM>\n"
                     "<META_ITEM>\nuniverse_id=2\n"));
    ASSERT_EQ(section.GetTileCount(), 3);
    EXPECT_EQ(section.GetTileAt(0)->address, 10);
    EXPECT_EQ(section.GetTileAt(1)->universe, 2); // the cut block keeps what it had
    EXPECT_EQ(section.GetTileAt(2)->universe, 0);
    EXPECT_EQ(section.GetTileAt(2)->address, 0);
    EXPECT_FALSE(section.GetTileAt(2)->excluded);
}

TEST_F(JobFileTest, TextAndNumbersAreBounded)
{
    // 126 letters, then a two-byte character across the 127-byte limit.
    const std::string name = std::string(126, 'n') + "\xC3\xA9" + "tail";
    ASSERT_TRUE(Read("screen_med_name=" + name
        + "\nmatrix_width=99999999999\n"
          "matrix_height=1\n</JOB>\n"));
    EXPECT_EQ(section.setup.screen_med_name, std::string(126, 'n'));
    EXPECT_EQ(section.setup.matrix_width, 0); // out of range: default kept
    EXPECT_EQ(section.GetTileCount(), 0);
}

TEST_F(JobFileTest, AbsurdSizesAreRefusedAndSectionKept)
{
    section.setup.fix_type = 1;
    section.setup.screen_med_name = "Keep";
    PlaceTiles(section, 2, 1, { { 0, 0 }, { 0, 3 } });

    EXPECT_FALSE(Read("fix_type=7\nmatrix_width=-2\nmatrix_height=3\n</JOB>\n"));
    EXPECT_NE(error.find("negative"), std::string::npos) << error;
    EXPECT_FALSE(Read("fix_type=7\nmatrix_width=100000\nmatrix_height=100000\n</JOB>\n"));
    EXPECT_NE(error.find("4000000 tiles"), std::string::npos) << error;

    library.Add(MakeType(4, 2, 3, "Big"));
    library.GetAt(2)->oldIndex = 9;
    EXPECT_FALSE(Read("fix_type=9\nmatrix_width=2000\nmatrix_height=2000\n</JOB>\n"));
    EXPECT_NE(error.find("16777216 items"), std::string::npos) << error;

    EXPECT_EQ(section.setup.screen_med_name, "Keep");
    EXPECT_EQ(section.setup.fix_type, 1);
    EXPECT_EQ(section.GetTileCount(), 2);
    EXPECT_EQ(section.GetTileAt(1)->address, 3);
    EXPECT_EQ(section.GetItemCount(), 2);
}

TEST_F(JobFileTest, ControlCharactersAndNulInTextsBecomeAStandIn)
{
    std::istringstream in(std::string("fix_type=7\nmatrix_width=1\nmatrix_height=1\n"
                                      "screen_med_name=Fr\0nt\x01 \xE4\n</JOB>\n",
        74));
    bool replaced = false;
    ASSERT_TRUE(ReadJobFile(in, section, library, &error, &replaced));
    EXPECT_TRUE(replaced);
    EXPECT_EQ(section.setup.screen_med_name, "Fr?nt? \xC3\xA4");

    std::istringstream clean("fix_type=7\nscreen_med_name=Front\n</JOB>\n");
    ASSERT_TRUE(ReadJobFile(clean, section, library, &error, &replaced));
    EXPECT_FALSE(replaced);
}
