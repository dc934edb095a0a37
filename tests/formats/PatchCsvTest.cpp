#include "formats/PatchCsv.h"

#include "FormatsFixtures.h"
#include "devices/KelvraDeviceList.h"
#include "app/base/SafeFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

using namespace formats_test;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Reads `csv` back with python's csv module in strict mode; each field comes back hex-coded
// so that any byte survives the trip. Empty when python3 is missing or refuses the text.
bool ParseWithPython(const std::string& csv, Rows& rows, std::string& error)
{
    char dir[] = "/tmp/quiltmark-csv-XXXXXX";
    const std::string tmp = ::mkdtemp(dir);
    const std::string in = tmp + "/in.csv";
    const std::string out = tmp + "/out.txt";
    WriteFileSafely(in, csv);
    const std::string command
        = "python3 -c 'import csv, sys\n"
          "with open(sys.argv[1], newline=\"\", encoding=\"utf-8\", "
          "errors=\"strict\") as f:\n"
          "    for row in csv.reader(f, strict=True):\n"
          "        print(\" \".join(x.encode().hex() or \"-\" for x in row))\n"
          "' '"
        + in + "' >'" + out + "' 2>'" + tmp + "/err'";
    const int status = std::system(command.c_str());
    std::string text;
    ReadWholeFile(out, text);
    ReadWholeFile(tmp + "/err", error);
    (void)std::system(("rm -rf '" + tmp + "'").c_str());
    if (status != 0)
        return false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> row;
        std::istringstream fields(line);
        std::string hex;
        while (fields >> hex) {
            std::string field;
            for (std::size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
                field.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            row.push_back(field);
        }
        rows.push_back(row);
    }
    return true;
}

bool HavePython()
{
    return std::system("python3 -c '' >/dev/null 2>&1") == 0;
}

std::string Csv(const std::vector<CCsvSection>& sections, const CKelvraDeviceList& devices)
{
    std::ostringstream out;
    EXPECT_TRUE(WritePatchCsv(sections, devices, out));
    return out.str();
}

class PatchCsvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library.Add(MakeType(1, 1, 3, "RGB"));
        library.Add(MakeType(2, 1, 4, "Q"));
    }
    CMetaLib library;
    CSubDoc first { &library };
    CSubDoc second { &library };
    CKelvraDeviceList devices;
};

} // namespace

TEST(CsvField, QuotesOnlyWhatNeedsIt)
{
    std::string out;
    AppendCsvField(out, "plain text é");
    out += '|';
    AppendCsvField(out, "a,b");
    out += '|';
    AppendCsvField(out, "say \"hi\"");
    out += '|';
    AppendCsvField(out, "two\nlines");
    out += '|';
    AppendCsvField(out, "cr\r");
    EXPECT_EQ(out, "plain text é|\"a,b\"|\"say \"\"hi\"\"\"|\"two\nlines\"|\"cr\r\"");
    EXPECT_EQ(TileName(0, 0), "A1");
    EXPECT_EQ(TileName(27, 2), "AB3");
    EXPECT_EQ(TileName(18277, 0), "ZZZ1");
}

TEST_F(PatchCsvTest, RowsParseBackWithAwkwardNamesInChannelOrderPerSection)
{
    if (!HavePython())
        GTEST_SKIP() << "python3 is not installed";
    // Tiles out of channel order, one hand-addressed onto another's channels, one cut out
    // and one without an address: the last two give no rows.
    PlaceTiles(first, 5, 1, { { 1, 9 }, { 0, 0 }, { 1, 9 }, { 0, 3 }, { -1, -1 } });
    first.GetTileAt(3)->excluded = 1;
    first.RebuildItems();
    first.name = "Wall, \"left\"\nlower";
    first.setup.screen_id = 100;
    second.setup.fix_type = 1;
    PlaceTiles(second, 2, 1, { { 2, 0 }, { 0, 510 } });
    second.name = "B\xFChne"; // an 8-bit name of an older file
    second.setup.screen_id = 1;

    devices.AddDeviceFromText("KGATE512", "10.0.0.9"); // carries nothing
    devices.AddDeviceFromText("KSPAN2048", "10.0.0.1");
    devices.AddDeviceFromText("PORTER", "10.0.0.2");
    devices.GetDevice(1)->SetPortUniverse(1, 1); // the device's first port on universe 1
    devices.GetDevice(1)->SetPortUniverse(2, 2);
    devices.GetDevice(1)->SetPortUniverse(3, 1);
    devices.GetDevice(2)->SetPortUniverse(0, 1); // a later device on the same universe

    const std::string csv = Csv({ { 1, &first }, { 2, &second } }, devices);
    EXPECT_EQ(csv.find("\r\n"), std::string::npos);
    EXPECT_EQ(csv.back(), '\n');
    Rows rows;
    std::string error;
    ASSERT_TRUE(ParseWithPython(csv, rows, error)) << error << csv;

    const std::string name1 = "Wall, \"left\"\nlower";
    const std::string name2 = "B\xC3\xBChne";
    const std::string span = "k:span2048 10.0.0.1";
    const Rows expected = {
        { "section", "section_name", "tile", "item_x", "item_y", "screen_id", "universe", "address",
            "channel", "fixture_type", "device", "port" },
        { "1", name1, "B1", "1", "0", "101", "1", "1", "1", "TEST_RGB", "", "" },
        { "1", name1, "A1", "0", "0", "100", "2", "10", "522", "TEST_RGB", span, "2" },
        { "1", name1, "C1", "2", "0", "102", "2", "10", "522", "TEST_RGB", span, "2" },
    };
    ASSERT_GE(rows.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r)
        EXPECT_EQ(rows[r], expected[r]) << "row " << r;

    // The second section: two items per tile, the wall's item grid giving x and the tile.
    ASSERT_EQ(rows.size(), expected.size() + 4);
    std::vector<std::string> tiles;
    long long lastChannel = 0;
    for (std::size_t r = expected.size(); r < rows.size(); ++r) {
        const std::vector<std::string>& row = rows[r];
        ASSERT_EQ(row.size(), 12u);
        EXPECT_EQ(row[0], "2");
        EXPECT_EQ(row[1], name2);
        const int x = std::stoi(row[3]);
        const CPatchEntry item = second.ItemAt(x, 0);
        EXPECT_EQ(row[6], std::to_string(item.universe + 1));
        EXPECT_EQ(row[7], std::to_string(item.address + 1));
        const long long channel = std::stoll(row[8]);
        EXPECT_EQ(channel, item.universe * 512LL + item.address + 1);
        EXPECT_GE(channel, lastChannel);
        lastChannel = channel;
        EXPECT_EQ(row[5], std::to_string(1 + x));
        EXPECT_EQ(row[9], "TEST_Q");
        EXPECT_EQ(row[10], item.universe == 2 ? span : "");
        EXPECT_EQ(row[11], item.universe == 2 ? "3" : "");
        tiles.push_back(row[2]);
    }
    EXPECT_EQ(tiles, (std::vector<std::string> { "B1", "B1", "A1", "A1" }));
}

TEST_F(PatchCsvTest, OneSectionOrNoneAndTheHeaderAlways)
{
    PlaceTiles(first, 2, 1, { { 0, 0 }, { 0, 3 } });
    second.setup.fix_type = 7; // no such type: no rows
    PlaceTiles(second, 2, 1, { { 0, 0 }, { 0, 3 } });
    EXPECT_EQ(Csv({}, devices), std::string(kPatchCsvHeader) + "\n");
    EXPECT_EQ(Csv({ { 2, &second } }, devices), std::string(kPatchCsvHeader) + "\n");
    EXPECT_EQ(Csv({ { 3, &first } }, devices),
        std::string(kPatchCsvHeader)
            + "\n3,,A1,0,0,1,1,1,1,TEST_RGB,,\n3,,B1,1,0,2,1,4,4,TEST_RGB,,\n");
}

TEST_F(PatchCsvTest, ALargeSectionComesInBoundedPieces)
{
    PlaceTiles(first, 300, 300, {});
    std::size_t largest = 0;
    std::size_t pieces = 0;
    std::size_t lines = 0;
    ForEachPatchCsvPiece({ { 1, &first } }, devices, [&](std::string_view piece) {
        largest = std::max(largest, piece.size());
        ++pieces;
        lines += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
    });
    EXPECT_EQ(lines, 90001u);
    EXPECT_GT(pieces, 10u);
    EXPECT_LT(largest, std::size_t { 1 } << 17);
}
