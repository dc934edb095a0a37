#include "document/ProjectFile.h"
#include "QuiltmarkDocTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

// Checked by hand against the file layout: a 2 x 1 section of single-item tiles, F = 3.
const char* const kSmallProject = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<quiltmark version="1">
    <devices/>
    <documents>
        <document name="new 1">
            <job fix_type="PIX" skope_style_type="0" matrix_width="2" matrix_height="1" screen_med_name="Unit" screen_id="1" base_universe="0" addr_first="0" addr_count="512" address_origin="0" primary_direction="0" check_invert_secondaries="0" orientation="0"/>
            <info></info>
            <metaitems>
                <metaitem universeid="0" dmxaddress="0" excludearea="0"/>
                <metaitem universeid="0" dmxaddress="3" excludearea="0"/>
            </metaitems>
            <!-- the following settings are only for Kelvra programmer import -->
            <skopescript><![CDATA[// SECTION 1 "new 1" START
// created on 2024.05.01 12:00:00 by Kelvra QUILTMARK

int orgx1, orgy1, orgz1;      // point of origin
int sizex1, sizey1, sizez1;   // dimensions
int rotx1, roty1, rotz1;      // rotation angle
int padx1, pady1;             // padding between the tiles
int colar1, colag1, colab1;   // ambient color
int coldr1, coldg1, coldb1;   // diffuse color
string kstyle1;               // Skope item style

orgx1=-105;
orgy1=25;
orgz1=0;

sizex1=100;
sizey1=50;
sizez1=10;

rotx1=0;
roty1=0;
rotz1=0;

padx1=10;
pady1=10;

colar1=128;
colag1=128;
colab1=128;

coldr1=64;
coldg1=64;
coldb1=64;

kstyle1="Flat";                // possible values: "Flat","Round"

// CREATE SECTION 1
MakeItem(kstyle1, "RGB", 0, orgx1+(0*(sizex1+padx1)), orgy1-(0*(sizey1+pady1)), orgz1, sizex1 ,sizey1, sizez1, rotx1, roty1, rotz1);
SetAmbient(-1, colar1, colag1, colab1);
SetDiffuse(-1, coldr1, coldg1, coldb1);
SetDmxAddress(-1, 1, 1);

MakeItem(kstyle1, "RGB", 0, orgx1+(1*(sizex1+padx1)), orgy1-(0*(sizey1+pady1)), orgz1, sizex1 ,sizey1, sizez1, rotx1, roty1, rotz1);
SetAmbient(-1, colar1, colag1, colab1);
SetDiffuse(-1, coldr1, coldg1, coldb1);
SetDmxAddress(-1, 1, 4);

// SECTION 1 END



]]></skopescript>
            <patchhints quark_width="2" quark_height="1" section_id="1"/>
            <patchdatas>
                <patchdata value="RGB;Unit;1;U01.1"/>
                <patchdata value="RGB;Unit;2;U01.4"/>
            </patchdatas>
        </document>
    </documents>
</quiltmark>
)";

const char* const kDate = "2024.05.01 12:00:00";

bool Load(CQuiltmarkDoc& doc, const std::string& text, std::string* error = nullptr)
{
    return CProjectFileReader::Read(doc, text.data(), text.size(), error);
}

std::string Project(const std::string& documents, const std::string& devices = "")
{
    return "<?xml version=\"1.0\"?><quiltmark version=\"1\"><devices>" + devices
        + "</devices><documents>" + documents + "</documents></quiltmark>";
}

TEST(ProjectFileWrite, SmallProjectMatchesTheCheckedFile)
{
    CTestDocument t;
    t.SetUpSection(*t.doc->GetSection(0), 0, 2, 1);
    t.doc->AddSection(); // never set up: not written
    EXPECT_EQ(CProjectFileWriter::Write(*t.doc, kDate), kSmallProject);
}

// Over 1 GB of text and a few GB of memory: run with QUILTMARK_LARGE_TESTS=1.
TEST(ProjectFileWrite, LargestSectionIsWrittenWhole)
{
    if (!std::getenv("QUILTMARK_LARGE_TESTS"))
        GTEST_SKIP() << "set QUILTMARK_LARGE_TESTS=1 to write a 2000 x 2000 section";
    CTestDocument t;
    t.SetUpSection(*t.doc->GetSection(0), 0, 2000, 2000);
    const std::string text = CProjectFileWriter::Write(*t.doc, kDate);
    EXPECT_GT(text.size(), std::size_t { 1u } << 30);
    const std::string end = "        </document>\n    </documents>\n</quiltmark>\n";
    ASSERT_GE(text.size(), end.size());
    EXPECT_EQ(text.compare(text.size() - end.size(), end.size(), end), 0);
}

TEST(ProjectFileWrite, DevicePortsAreWrittenInOrder)
{
    CTestDocument t;
    const int position = t.doc->GetDevices().AddDeviceFromText("KGATE1024", "10.0.0.7");
    t.doc->GetDevices().GetDevice(position)->SetPortUniverse(1, 3);
    const std::string text = CProjectFileWriter::Write(*t.doc, kDate);
    EXPECT_NE(text.find("    <devices>\n"
                        "        <device ipaddress=\"10.0.0.7\" type=\"KGATE1024\" "
                        "dmxportnumbers=\"2\">\n"
                        "            <dmxport universeid=\"-1\"/>\n"
                        "            <dmxport universeid=\"3\"/>\n"
                        "        </device>\n"
                        "    </devices>\n"),
        std::string::npos)
        << text;
}

// Names and texts that could break the markup, 8-bit bytes and a "]]>" in the script.
TEST(ProjectFileRoundTrip, EverythingComesBackAndTheSecondSaveIsIdentical)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    CSubDoc& a = t.SetUpSection(*doc.GetSection(0), 2, 3, 2, 5, 1);
    a.name = "Front ]]> <wall> & \"quotes\" 'x' \xE9\xFC";
    a.info = "line 1\nline 2 <b> & ]]> \xB0";
    a.setup.screen_med_name = "Scr\xE4n;1";
    a.setup.orientation = 1;
    a.SetUp();
    a.GetTile(1, 1)->excluded = 1;
    a.GetTile(2, 0)->universe = 9;
    a.GetTile(2, 0)->address = 500;
    CSubDoc& b = t.SetUpSection(*doc.AddSection(), 0, 4, 1, 100, 3);
    b.GetTile(0, 0)->universe = -1;
    b.GetTile(0, 0)->address = -1;
    t.SetUpSection(*doc.AddSection(), 1, 1, 1, 900, 7).name = "last";
    doc.AddSection(); // never set up: not written, so not read back
    const int d = doc.GetDevices().AddDeviceFromText("PORTER", "192.168.1.254");
    doc.GetDevices().GetDevice(d)->SetPortUniverse(0, 7);
    doc.SetCurrentSection(2);
    // The writer only reads the project: tiles changed behind the edits need their items.
    doc.RebuildDerivedData();

    const std::string first = CProjectFileWriter::Write(doc, kDate);
    const std::vector<CTileRecord> tilesA = a.Tiles();
    const CSectionSetup setupA = a.setup;
    ASSERT_TRUE(Load(doc, first));
    EXPECT_EQ(CProjectFileWriter::Write(doc, kDate), first);

    ASSERT_EQ(doc.GetSectionCount(), 3);
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 0);
    const CSubDoc& readA = *doc.GetSection(0);
    // 8-bit texts come back as the UTF-8 of the Windows-1252 characters the window shows.
    EXPECT_EQ(readA.name, "Front ]]> <wall> & \"quotes\" 'x' \xC3\xA9\xC3\xBC");
    EXPECT_EQ(readA.info, "line 1\nline 2 <b> & ]]> \xC2\xB0");
    EXPECT_EQ(readA.setup.screen_med_name, "Scr\xC3\xA4n;1");
    EXPECT_EQ(readA.setup.orientation, 1);
    EXPECT_EQ(readA.setup.screen_id, setupA.screen_id);
    EXPECT_EQ(readA.setup.base_universe, setupA.base_universe);
    ASSERT_EQ(readA.Tiles().size(), tilesA.size());
    for (std::size_t i = 0; i < tilesA.size(); ++i) {
        EXPECT_EQ(readA.Tiles()[i].universe, tilesA[i].universe) << i;
        EXPECT_EQ(readA.Tiles()[i].address, tilesA[i].address) << i;
        EXPECT_EQ(readA.Tiles()[i].excluded, tilesA[i].excluded) << i;
    }
    EXPECT_EQ(doc.GetSection(1)->GetTileAt(0)->universe, -1);
    EXPECT_EQ(doc.GetSection(2)->name, "last");
    ASSERT_EQ(doc.GetDevices().GetDeviceCount(), 1);
    EXPECT_EQ(doc.GetDevices().GetDevice(0)->GetIpAddressText(), "192.168.1.254");
    EXPECT_EQ(doc.GetDevices().GetDevice(0)->GetPortUniverse(0), 7);
    EXPECT_EQ(doc.GetUsedUniverseCount(), 4); // 1, 3, 7, 9
    EXPECT_TRUE(t.messages.calls.empty());
}

TEST(ProjectFileRead, MissingValuesTakeTheirDefaults)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    ASSERT_TRUE(Load(doc,
        Project("<document name=\"a\"><job fix_type=\"PIX\" matrix_width=\"3\" "
                "matrix_height=\" 1x\"/><metaitems>"
                "<metaitem universeid=\"abc\" dmxaddress=\"7\"/>"
                "<other universeid=\"2\" dmxaddress=\"x\" excludearea=\"0\"/>"
                "</metaitems></document>")));
    const CSubDoc& section = *doc.GetSection(0);
    EXPECT_EQ(section.setup.screen_id, 0);
    EXPECT_EQ(section.setup.addr_count, 0);
    EXPECT_EQ(section.GetTileCount(), 3); // " 1x" reads like atoi
    EXPECT_EQ(section.GetTileAt(0)->universe, -1);
    EXPECT_EQ(section.GetTileAt(0)->address, 7);
    // Any element after the first metaitem is the next tile.
    EXPECT_EQ(section.GetTileAt(1)->universe, 2);
    EXPECT_EQ(section.GetTileAt(1)->address, 0);
    EXPECT_EQ(section.GetTileAt(1)->excluded, 0);
    // Fewer metaitems than tiles: the rest stays all zero.
    EXPECT_EQ(section.GetTileAt(2)->universe, 0);
    EXPECT_EQ(section.GetTileAt(2)->address, 0);
    EXPECT_TRUE(section.initialised);
}

TEST(ProjectFileRead, SurplusMetaitemsAndPortsAreIgnored)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    ASSERT_TRUE(Load(doc,
        Project("<document name=\"a\"><job fix_type=\"PIX\" matrix_width=\"1\" "
                "matrix_height=\"1\"/><metaitems><metaitem universeid=\"4\" dmxaddress=\"1\"/>"
                "<metaitem universeid=\"5\"/><metaitem universeid=\"6\"/></metaitems></document>",
            "<device type=\"KSPAN512\" ipaddress=\"1.2.3.4\"><x/><dmxport universeid=\"3\"/>"
            "<dmxport universeid=\"4\"/><dmxport universeid=\"5\"/></device>"
            "<device><dmxport/><bogus universeid=\"9\"/></device>")));
    EXPECT_EQ(doc.GetSection(0)->GetTileCount(), 1);
    EXPECT_EQ(doc.GetSection(0)->GetTileAt(0)->universe, 4);
    ASSERT_EQ(doc.GetDevices().GetDeviceCount(), 2);
    const CKelvraDevice& first = *doc.GetDevices().GetDevice(0);
    ASSERT_GE(first.GetPortCount(), 1);
    EXPECT_EQ(first.GetPortUniverse(0), 3);
    for (int p = 1; p < first.GetPortCount(); ++p)
        EXPECT_EQ(first.GetPortUniverse(p), p == 1 ? 4 : (p == 2 ? 5 : -1));
    // No type and no address: PORTER at 0.0.0.0; a port without universeid is unconnected.
    const CKelvraDevice& second = *doc.GetDevices().GetDevice(1);
    EXPECT_EQ(second.GetTypeKey(), "PORTER");
    EXPECT_EQ(second.GetIpAddressText(), "0.0.0.0");
    EXPECT_EQ(second.GetPortUniverse(0), -1);
    EXPECT_EQ(second.GetPortUniverse(1), 9);
}

// Devices and sections are the n-th element of their own name: other elements between
// them are skipped, not taken as one more device or section. Without a job a section keeps
// the values it was created with.
TEST(ProjectFileRead, OtherElementsAmongDevicesAndDocumentsAreSkipped)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    ASSERT_TRUE(Load(doc,
        Project("<note/><document name=\"a\"><info>left wall</info></document>"
                "<document/><note name=\"b\"/>",
            "<x type=\"KSPAN512\"/><device type=\"PORTER\" ipaddress=\"10.0.0.1\"/><x/>")));
    ASSERT_EQ(doc.GetDevices().GetDeviceCount(), 1);
    EXPECT_EQ(doc.GetDevices().GetDevice(0)->GetIpAddressText(), "10.0.0.1");
    ASSERT_EQ(doc.GetSectionCount(), 2);
    const CSubDoc& first = *doc.GetSection(0);
    EXPECT_EQ(first.name, "a");
    EXPECT_EQ(first.info, "left wall");
    EXPECT_EQ(first.setup.matrix_width, 6);
    EXPECT_EQ(first.setup.screen_med_name, "Unit");
    EXPECT_EQ(first.GetTileCount(), 18);
    EXPECT_EQ(doc.GetSection(1)->name, "");
    EXPECT_EQ(doc.GetCurrentSectionIndex(), 0);
}

TEST(ProjectFileRead, UnknownTypeFallsBackWithOneMessagePerSection)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    ASSERT_TRUE(Load(doc,
        Project("<document name=\"x\"><job fix_type=\"NOPE\" matrix_width=\"1\" "
                "matrix_height=\"1\"/></document>"
                "<document name=\"x\"><job fix_type=\"NOPE\"/></document>"
                "<document name=\"y\"><job fix_type=\"PIX\"/></document>")));
    ASSERT_EQ(t.messages.calls.size(), 2u);
    EXPECT_NE(
        t.messages.calls[0].text.find("\"NOPE\" fixture type for secton \"x\""), std::string::npos);
    EXPECT_EQ(doc.GetSection(0)->setup.fix_type, 1);
    // The duplicate name got a fresh one.
    EXPECT_EQ(doc.GetSection(1)->name, "new 1");
    EXPECT_NE(t.messages.calls[1].text.find("secton \"new 1\""), std::string::npos);
    EXPECT_EQ(doc.GetSection(2)->name, "y");
}

TEST(ProjectFileRead, OddFilesGiveAnEmptyProjectOrFail)
{
    CTestDocument t;
    CQuiltmarkDoc& doc = *t.doc;
    EXPECT_TRUE(Load(doc, "<?xml version=\"1.0\"?><other/>"));
    EXPECT_EQ(doc.GetSectionCount(), 1);
    EXPECT_EQ(doc.GetSection(0)->name, "new 1");
    EXPECT_FALSE(Load(doc, "<quiltmark>"));
    EXPECT_FALSE(Load(doc, ""));
    // Bytes after the given length are not read.
    const std::string text = Project("") + "garbage<";
    EXPECT_TRUE(CProjectFileReader::Read(doc, text.data(), text.size() - 8));
}

TEST(ProjectFileRead, AtMostEightSectionsAreRead)
{
    CTestDocument t;
    std::string documents;
    for (int i = 0; i < 10; ++i)
        documents += "<document name=\"s" + std::to_string(i)
            + "\"><job fix_type=\"PIX\" matrix_width=\"1\" matrix_height=\"1\"/></document>";
    ASSERT_TRUE(Load(*t.doc, Project(documents)));
    EXPECT_EQ(t.doc->GetSectionCount(), 8);
    EXPECT_EQ(t.doc->GetSection(7)->name, "s7");
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].icon, MessageIcon::Warning);
}

TEST(ProjectFileRead, OversizedOrNegativeSectionsRefuseTheWholeFile)
{
    struct Case {
        const char* job;
        const char* expect;
    };
    const Case cases[] = {
        { "fix_type=\"PIX\" matrix_width=\"2001\" matrix_height=\"2000\"", "2001 x 2000" },
        { "fix_type=\"PIX\" matrix_width=\"2147483647\" matrix_height=\"2147483647\"",
            "2147483647 x 2147483647" },
        { "fix_type=\"BIG4X4\" matrix_width=\"1100\" matrix_height=\"1000\"", "1100 x 1000" },
        { "fix_type=\"PIX\" matrix_width=\"-3\" matrix_height=\"5\"", "negative" },
    };
    for (const Case& c : cases) {
        CTestDocument t;
        const std::string path = t.dir.File("big.patch");
        WriteFileSafely(path,
            Project(std::string("<document name=\"ok\"><job fix_type=\"PIX\"/></document>"
                                "<document name=\"Huge\"><job ")
                + c.job + "/></document>"));
        ASSERT_TRUE(t.doc->OnOpenDocument(path));
        EXPECT_FALSE(t.doc->WasLoadSuccessful());
        EXPECT_EQ(t.doc->GetSectionCount(), 1);
        EXPECT_FALSE(t.doc->GetSection(0)->initialised);
        ASSERT_EQ(t.messages.calls.size(), 1u) << c.job;
        const std::string& text = t.messages.calls[0].text;
        EXPECT_EQ(text.rfind(CQuiltmarkDoc::kCannotLoad, 0), 0u) << text;
        EXPECT_NE(text.find("\"Huge\""), std::string::npos) << text;
        EXPECT_NE(text.find(c.expect), std::string::npos) << text;
    }
}

TEST(ProjectFileSave, SaveWritesTheFileAndClearsModified)
{
    CTestDocument t;
    t.SetUpSection(*t.doc->GetSection(0), 0, 2, 1);
    t.doc->SetModifiedFlag();
    const std::string path = t.dir.File("out.patch");
    ASSERT_TRUE(t.doc->OnSaveDocument(path));
    EXPECT_EQ(t.ReadFile(path), kSmallProject);
    EXPECT_FALSE(t.doc->IsModified());
    EXPECT_EQ(t.doc->GetPathName(), path);
}

TEST(ProjectFileSave, FailedSaveKeepsOldFileAndDocument)
{
    CTestDocument t;
    t.SetUpSection(*t.doc->GetSection(0), 2, 40, 40);
    t.doc->SetModifiedFlag();
    const std::string path = t.dir.File("keep.patch");
    const std::string old = "old contents that must survive\n";
    WriteFileSafely(path, old);

    // The child process may only write small files; the big project cannot fit.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            4096, 4096
        };
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool saved = t.doc->OnSaveDocument(path, &error);
        const bool reported = !t.messages.calls.empty()
            && t.messages.calls.back().text.find("File too large") != std::string::npos;
        const bool kept = t.doc->IsModified() && t.doc->GetPathName().empty();
        _exit(!saved && reported && error.find("File too large") != std::string::npos && kept ? 0
                                                                                              : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(t.ReadFile(path), old);
    // No temporary file is left behind.
    EXPECT_EQ(std::system(("test $(ls '" + t.dir.Path() + "' | wc -l) -eq 2").c_str()), 0);

    std::string error;
    EXPECT_FALSE(t.doc->OnSaveDocument(t.dir.File("no/such/dir.patch"), &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_TRUE(t.doc->IsModified());
}

} // namespace
