// The example projects are built here through the model, so they always show what the
// program itself writes. Set QUILTMARK_WRITE_EXAMPLES=1 to write them into examples/
// after a deliberate change of the file format or of the fixture library.
#include "app/base/SafeFile.h"
#include "app/base/UserMessages.h"
#include "devices/KelvraDevice.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <functional>

namespace {

const std::string kSourceDir = QUILTMARK_SOURCE_DIR;
const std::string kLibrary = kSourceDir + "/resources/metalib.xml";
const char* const kDate = "2024.05.01 12:00:00";

CSubDoc& SetUp(
    CQuiltmarkDoc& doc, CSubDoc& section, const char* name, const char* type, int w, int h)
{
    section.name = name;
    section.setup.fix_type = doc.GetLibrary().IndexOfType(type);
    section.setup.matrix_width = w;
    section.setup.matrix_height = h;
    const int index = doc.IndexOfSection(&section);
    section.setup.screen_id
        = static_cast<int>(doc.GetFirstFreeScreenId(index, section.setup.fix_type, w, h));
    section.setup.base_universe = doc.GetHighestUsedUniverse() + 1;
    return section;
}

void Finish(CQuiltmarkDoc& doc, CSubDoc& section)
{
    section.SetUp();
    section.RecountUniverses();
    doc.RebuildTables();
}

// Three sections: a snaking main wall, a wing turned by 90 degrees, and a header strip
// with gaps and a few hand-set addresses; two kinds of devices, connected automatically.
void BuildStageWall(CQuiltmarkDoc& doc)
{
    CSubDoc& wall = SetUp(doc, *doc.GetSection(0), "Main wall", "BRAKWELL_TILE_2X2", 16, 8);
    wall.setup.screen_med_name = "Wall";
    wall.setup.address_origin = 2;
    wall.setup.check_invert_secondaries = 1;
    wall.info = "Upstage LED wall, rigged on the mother grid.\nData enters bottom left.";
    Finish(doc, wall);

    CSubDoc& wing = SetUp(doc, *doc.AddSection(), "Left wing", "ORVANE_LINEBAR_4X1", 3, 10);
    wing.setup.screen_med_name = "Wing L";
    wing.setup.orientation = 1;
    wing.setup.primary_direction = 1;
    Finish(doc, wing);

    CSubDoc& header = SetUp(doc, *doc.AddSection(), "Header & logo", "LUMORA_PIXELDOT_RGB", 16, 3);
    header.setup.screen_med_name = "Header";
    header.setup.addr_count = 480;
    Finish(doc, header);
    for (int x = 0; x < 16; ++x)
        header.GetTile(x, 1)->excluded = x >= 6 && x < 10;
    // Setting it up again keeps the gaps and addresses around them.
    Finish(doc, header);
    // Hand-patched corner pixels: they share a spare universe of their own.
    const int spare = doc.GetHighestUsedUniverse() + 1;
    int address = 0;
    for (auto [x, y] : { std::pair { 0, 2 }, { 15, 2 }, { 0, 0 }, { 15, 0 } }) {
        header.GetTile(x, y)->universe = spare;
        header.GetTile(x, y)->address = address;
        address += 12;
    }
    header.RebuildItems();
    header.RecountUniverses();
    doc.RebuildTables();

    CKelvraDevice porter;
    porter.SetType(TypeFromKey("PORTER"), IpAddressFromText("10.0.1.253"));
    doc.GetDevices().AddDevices(porter, 2);
    CKelvraDevice span;
    span.SetType(TypeFromKey("KSPAN2048"), IpAddressFromText("10.0.2.10"));
    doc.GetDevices().AddDevices(span, 1);
    doc.GetDevices().AutoConnect(doc, doc.Messages());
    doc.SetCurrentSection(0);
}

// One small section and one device: the quickest project to look at.
void BuildSmallBar(CQuiltmarkDoc& doc)
{
    CSubDoc& bar = SetUp(doc, *doc.GetSection(0), "Bar", "FERROLUX_STACKPOD_1X2", 8, 1);
    bar.setup.screen_med_name = "Bar";
    bar.setup.addr_first = 100;
    Finish(doc, bar);
    CKelvraDevice gate;
    gate.SetType(TypeFromKey("KGATE512"), IpAddressFromText("192.168.0.20"));
    doc.GetDevices().AddDevices(gate, 1);
    doc.GetDevices().AutoConnect(doc, doc.Messages());
}

std::string Generate(const std::function<void(CQuiltmarkDoc&)>& build, CRecordingMessages& messages)
{
    CQuiltmarkDoc doc(messages, kLibrary);
    EXPECT_TRUE(doc.OnNewDocument());
    build(doc);
    return CProjectFileWriter::Write(doc, kDate);
}

void CheckExample(const char* name, const std::function<void(CQuiltmarkDoc&)>& build)
{
    CRecordingMessages messages;
    const std::string text = Generate(build, messages);
    EXPECT_TRUE(messages.calls.empty());
    const std::string path = kSourceDir + "/examples/" + name;
    if (std::getenv("QUILTMARK_WRITE_EXAMPLES")) {
        ASSERT_TRUE(WriteFileSafely(path, text));
        return;
    }
    std::string stored;
    ASSERT_TRUE(ReadWholeFile(path, stored)) << path;
    EXPECT_TRUE(stored == text) << name << " differs from what the program writes now";
}

TEST(Examples, StageWallIsWhatTheProgramWrites)
{
    CheckExample("stage-wall.patch", BuildStageWall);
}

TEST(Examples, SmallBarIsWhatTheProgramWrites)
{
    CheckExample("small-bar.patch", BuildSmallBar);
}

TEST(Examples, EveryProjectSurvivesLoadAndSave)
{
    DIR* dir = opendir((kSourceDir + "/examples").c_str());
    ASSERT_NE(dir, nullptr);
    int projects = 0;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 6 || name.compare(name.size() - 6, 6, ".patch") != 0)
            continue;
        ++projects;
        CRecordingMessages messages;
        CQuiltmarkDoc doc(messages, kLibrary);
        doc.SetScriptDate(kDate);
        const std::string path = kSourceDir + "/examples/" + name;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_TRUE(doc.WasLoadSuccessful()) << name;
        EXPECT_TRUE(messages.calls.empty()) << name;
        std::string stored;
        ReadWholeFile(path, stored);
        EXPECT_TRUE(CProjectFileWriter::Write(doc, kDate) == stored) << name;
    }
    closedir(dir);
    EXPECT_GE(projects, 2);
}

TEST(Examples, StageWallHasWhatItPromises)
{
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, kLibrary);
    ASSERT_TRUE(doc.OnOpenDocument(kSourceDir + "/examples/stage-wall.patch"));
    ASSERT_EQ(doc.GetSectionCount(), 3);
    EXPECT_EQ(doc.GetSection(1)->setup.orientation, 1);
    EXPECT_EQ(doc.GetSection(2)->Tiles()[22].excluded, 1);
    // Every used universe is on exactly one port.
    int connected = 0;
    for (int d = 0; d < doc.GetDevices().GetDeviceCount(); ++d)
        for (int p = 0; p < doc.GetDevices().GetDevice(d)->GetPortCount(); ++p)
            connected += doc.GetDevices().GetDevice(d)->GetPortUniverse(p) >= 0;
    EXPECT_EQ(connected, doc.GetUsedUniverseCount());
    EXPECT_FALSE(doc.IsChannelShared(0));
}

TEST(Examples, LegacyJobOpensAsOneSection)
{
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, kLibrary);
    ASSERT_TRUE(doc.OnOpenDocument(kSourceDir + "/examples/legacy.job"));
    EXPECT_TRUE(doc.WasLoadSuccessful());
    ASSERT_EQ(doc.GetSectionCount(), 1);
    const CSubDoc& section = *doc.GetSection(0);
    EXPECT_EQ(section.name, "new 1");
    EXPECT_EQ(section.setup.screen_med_name, "Strip");
    EXPECT_EQ(section.GetTileCount(), 12);
    EXPECT_EQ(section.GetTile(0, 1)->address, 40);
    ASSERT_NE(section.GetFixtureType(), nullptr);
    EXPECT_EQ(section.GetFixtureType()->type, "LUMORA_PIXELDOT_RGB");
    EXPECT_EQ(doc.GetUsedUniverseCount(), 1);
}

} // namespace
