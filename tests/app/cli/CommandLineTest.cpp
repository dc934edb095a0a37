#include "app/cli/CommandLine.h"
#include "app/base/SafeFile.h"
#include "app/base/StoredText.h"
#include "app/base/UserMessages.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"
#include "document/UniverseReport.h"
#include "formats/PatchCsv.h"
#include "formats/PatchList.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kBin = std::string(QUILTMARK_BIN_DIR) + "/quiltmark";
const std::string kExamples = std::string(QUILTMARK_SOURCE_DIR) + "/examples";
const char* const kDate = "2024.05.01 12:00:00";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the program without a display; arguments are passed to the shell as written.
Result RunProgram(const std::string& arguments)
{
    char dir[] = "/tmp/quiltmark-cli-XXXXXX";
    const std::string tmp = mkdtemp(dir);
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY '" + kBin + "' " + arguments
        + " >'" + tmp + "/out' 2>'" + tmp + "/err'";
    Result result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    ReadWholeFile(tmp + "/out", result.out);
    ReadWholeFile(tmp + "/err", result.err);
    (void)std::system(("rm -rf '" + tmp + "'").c_str());
    return result;
}

TEST(CommandLine, RecognisesHeadlessArguments)
{
    const char* plain[] = { "quiltmark", "file.patch", "/metalib" };
    EXPECT_FALSE(IsHeadlessInvocation(3, const_cast<char**>(plain)));
    const char* batch[] = { "quiltmark", "--export-ascii", "-", "file.patch" };
    EXPECT_TRUE(IsHeadlessInvocation(4, const_cast<char**>(batch)));
    const char* help[] = { "quiltmark", "--help" };
    EXPECT_TRUE(IsHeadlessInvocation(2, const_cast<char**>(help)));
    EXPECT_EQ(ProgramDirectory().empty(), false);
}

TEST(CommandLine, UsageErrorsAndHelp)
{
    const Result help = RunProgram("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--export-patch-list"), std::string::npos);
    for (const char* bad : { "--save-as", "--bogus x.patch", "--section 0 x.patch",
             "--section two x.patch", "--readdress a.patch b.patch", "--readdress" }) {
        const Result r = RunProgram(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("Usage:"), std::string::npos) << bad;
    }
}

TEST(CommandLine, FailuresExitWithOneAndSayWhy)
{
    const std::string wall = "'" + kExamples + "/stage-wall.patch'";
    Result r = RunProgram("--readdress /nonexistent/x.patch");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;

    r = RunProgram("--library /nonexistent/metalib.xml " + wall);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(CQuiltmarkDoc::kLibraryInvalid), std::string::npos) << r.err;

    r = RunProgram("--section 4 --export-ascii - " + wall);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no section 4"), std::string::npos) << r.err;

    r = RunProgram("--save-as /nonexistent/dir/out.patch " + wall);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;

    r = RunProgram("--save-as - '" + std::string(QUILTMARK_SOURCE_DIR) + "/CMakeLists.txt'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(CQuiltmarkDoc::kCannotLoad), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST(CommandLine, WritesTheSameAsTheModel)
{
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, std::string(QUILTMARK_BIN_DIR) + "/metalib.xml");
    ASSERT_TRUE(doc.OnOpenDocument(kExamples + "/stage-wall.patch"));
    std::string lines;
    ForEachPatchLine(
        *doc.GetSection(1), [&lines](const std::string& line) { lines += line + "\n"; });
    const std::string project = CProjectFileWriter::Write(doc, kDate);

    const std::string wall = " '" + kExamples + "/stage-wall.patch'";
    Result r = RunProgram(std::string("--date '") + kDate + "' --save-as -" + wall);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == project);
    // The example is stored as the program writes it: saved unchanged, it comes back
    // byte for byte, whatever the writer's functions do.
    std::ifstream stored(kExamples + "/stage-wall.patch", std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(stored)), {});
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(r.out == file);

    r = RunProgram("--section 2 --export-patch-list -" + wall);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, lines);
    // Section 2: 3 x 10 four-cell bars "Wing L" from screen id 513 in universe 5.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 120);
    EXPECT_EQ(r.out.rfind("Bar Segment;Wing L;513;U05.3\nBar Segment;Wing L;514;U05.6\n", 0), 0u);

    r = RunProgram("--section 3 --export-ascii -" + wall);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out.rfind("// Kelvra ASCII Patch Scheme\r\n// Created with Kelvra Quiltmark V", 0), 0u);
    EXPECT_NE(r.out.find("| U07.025  | U06.004  | U06.007  |"), std::string::npos);
    EXPECT_EQ(r.out.find('\n'), r.out.find("\r\n") + 1);

    r = RunProgram(std::string("--date '") + kDate + "' --section 1 --export-script -" + wall);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("// SECTION 1 \"Main wall\" START\n// created on 2024.05.01", 0), 0u);
}

TEST(CommandLine, ConsoleCsvOfOneOrEverySectionAndTheUniverseReport)
{
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, std::string(QUILTMARK_BIN_DIR) + "/metalib.xml");
    ASSERT_TRUE(doc.OnOpenDocument(kExamples + "/stage-wall.patch"));
    const auto csvOf = [&doc](std::vector<CCsvSection> sections) {
        std::ostringstream out;
        WritePatchCsv(sections, doc.GetDevices(), out);
        return out.str();
    };
    std::ostringstream report;
    WriteUniverseReportCsv(doc, BuildUniverseReport(doc), report);

    const std::string wall = " '" + kExamples + "/stage-wall.patch'";
    Result r = RunProgram("--section 2 --export-csv -" + wall);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, csvOf({ { 2, doc.GetSection(1) } }));
    r = RunProgram("--export-csv - --export-universe-report -" + wall);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        csvOf({ { 1, doc.GetSection(0) }, { 2, doc.GetSection(1) }, { 3, doc.GetSection(2) } })
            + report.str());
    EXPECT_NE(report.str().find("\nU05,450,450,S2 A1\xE2\x80\x93" "C10,k:span2048 10.0.2.10,1,\n"),
        std::string::npos)
        << report.str();
    r = RunProgram("--section 4 --export-csv -" + wall);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

TEST(CommandLine, ReaddressAutoConnectAndListFixtures)
{
    char dir[] = "/tmp/quiltmark-cli-XXXXXX";
    const std::string tmp = mkdtemp(dir);
    // The legacy job has hand-set addresses; readdressing lays them out again.
    const Result r = RunProgram(
        "--readdress --save-as '" + tmp + "/out.patch' '" + kExamples + "/legacy.job'");
    EXPECT_EQ(r.status, 0) << r.err;
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, std::string(QUILTMARK_BIN_DIR) + "/metalib.xml");
    ASSERT_TRUE(doc.OnOpenDocument(tmp + "/out.patch"));
    ASSERT_TRUE(doc.WasLoadSuccessful());
    EXPECT_EQ(doc.GetSection(0)->GetTile(0, 1)->address, 33); // snake: row 2 runs back
    (void)std::system(("rm -rf '" + tmp + "'").c_str());

    const Result list = RunProgram("--list-fixtures");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("0: "), std::string::npos);
    EXPECT_NE(list.out.find(" channels per fixture\n"), std::string::npos);
}

TEST(CommandLine, TooFewPortsForAutoConnectIsAWarningAndEveryOutputIsWritten)
{
    char dir[] = "/tmp/quiltmark-cli-XXXXXX";
    const std::string tmp = mkdtemp(dir);
    CRecordingMessages messages;
    const std::string library = std::string(QUILTMARK_BIN_DIR) + "/metalib.xml";
    {
        // The example wall with one two-port device, all ports free.
        CQuiltmarkDoc doc(messages, library);
        ASSERT_TRUE(doc.OnOpenDocument(kExamples + "/stage-wall.patch"));
        doc.RebuildUniverseUse();
        ASSERT_GT(doc.GetUsedUniverseCount(), 2);
        doc.GetDevices().RemoveAllDevices();
        doc.GetDevices().AddDeviceFromText("PORTER", "10.0.0.1");
        ASSERT_TRUE(WriteFileSafely(tmp + "/in.patch", CProjectFileWriter::Write(doc, kDate)));
    }
    const Result r = RunProgram("--auto-connect --save-as '" + tmp + "/out.patch' --section 2 "
        + "--export-ascii - '" + tmp + "/in.patch'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.err.find("warning: There are not enough Devices for Auto-Connect!"), std::string::npos)
        << r.err;
    EXPECT_FALSE(r.out.empty());

    // The two lowest used universes found the two ports and stay connected.
    CQuiltmarkDoc out(messages, library);
    ASSERT_TRUE(out.OnOpenDocument(tmp + "/out.patch"));
    ASSERT_TRUE(out.WasLoadSuccessful());
    out.RebuildUniverseUse();
    ASSERT_EQ(out.GetDevices().GetDeviceCount(), 1);
    const int lowest = out.GetNextUsedUniverse(-1);
    EXPECT_EQ(out.GetDevices().GetDevice(0)->GetPortUniverse(0), lowest);
    EXPECT_EQ(out.GetDevices().GetDevice(0)->GetPortUniverse(1), out.GetNextUsedUniverse(lowest));
    (void)std::system(("rm -rf '" + tmp + "'").c_str());
}

TEST(CommandLine, RunningOutOfMemoryIsAFailureWithItsReasonNotAnAbort)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#else
    // /dev/zero never ends; under a limit on the address space, reading it runs out of
    // memory (or is refused outright), which must end the run in order.
    char dir[] = "/tmp/quiltmark-cli-XXXXXX";
    const std::string tmp = mkdtemp(dir);
    const std::string command = "sh -c 'ulimit -v 600000; exec \"$0\" --save-as - /dev/zero' '"
        + kBin + "' >/dev/null 2>'" + tmp + "/err'";
    const int raw = std::system(command.c_str());
    std::string err;
    ReadWholeFile(tmp + "/err", err);
    (void)std::system(("rm -rf '" + tmp + "'").c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw) << ": " << err;
    EXPECT_EQ(WEXITSTATUS(raw), 1) << err;
    EXPECT_FALSE(err.empty());
#endif
}

} // namespace

TEST(CommandLine, ADateWithControlCharactersIsMadeStorableWithAWarning)
{
    const std::string wall = " '" + kExamples + "/small-bar.patch'";
    const Result r = RunProgram("--date \"$(printf '2024\\001\\033x')\" --save-as -" + wall);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("// created on 2024??x by"), std::string::npos);
    EXPECT_NE(r.err.find(kControlsReplacedMessage), std::string::npos) << r.err;
}
