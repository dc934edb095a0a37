#include "Version.h"
#include "app/base/SafeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kSource = QUILTMARK_SOURCE_DIR;
const std::string kBuild = QUILTMARK_BUILD_DIR;

struct Output {
    int status = -1;
    std::string out;
};

// Runs a shell command; standard error goes with standard output.
Output Shell(const std::string& command)
{
    Output result;
    FILE* pipe = ::popen(("(" + command + ") 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

bool HasTool(const std::string& name)
{
    return Shell("command -v " + name + " >/dev/null").status == 0;
}

std::string Quote(const std::string& text)
{
    return "'" + text + "'";
}

class CTempTree {
public:
    CTempTree()
    {
        char pattern[] = "/tmp/quiltmark-pack-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made ? made : "";
    }
    ~CTempTree()
    {
        if (!m_path.empty())
            (void)std::system(("rm -rf " + Quote(m_path)).c_str());
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Options given an entry of their own: in the help text the lines "  --word ..." and
// "  /word ...", in the manual page the first line of each ".TP" paragraph (groff escapes
// taken out).
std::set<std::string> DescribedOptions(const std::string& text, bool manualPage)
{
    std::set<std::string> options;
    const std::regex word(R"((--[a-z][a-z-]*|/[a-z]+))");
    std::istringstream lines(text);
    bool entry = false;
    for (std::string line; std::getline(lines, line);) {
        if (manualPage) {
            const bool first = entry;
            entry = line == ".TP";
            if (!first || line.rfind(".B", 0) != 0)
                continue;
            line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
        } else if (line.rfind("  -", 0) != 0 && line.rfind("  /", 0) != 0) {
            continue;
        }
        for (auto it = std::sregex_iterator(line.begin(), line.end(), word);
             it != std::sregex_iterator(); ++it)
            options.insert(it->str());
    }
    return options;
}

// The program from an unpacked tree, with an empty home and no other data folders.
Output RunInstalled(const std::string& root, const std::string& arguments)
{
    return Shell("mkdir -p " + Quote(root + "/home")
        + " && env -i PATH=/usr/bin:/bin HOME=" + Quote(root + "/home")
        + " XDG_DATA_DIRS=/nonexistent " + Quote(root + "/usr/bin/quiltmark") + " " + arguments);
}

// What `root` must hold (and nothing else), and that the program there finds its library.
void ExpectInstalledTree(const std::string& root)
{
    const std::set<std::string> expected { "usr/bin/quiltmark", "usr/share/quiltmark/metalib.xml",
        "usr/share/applications/quiltmark.desktop", "usr/share/mime/packages/quiltmark.xml",
        "usr/share/icons/hicolor/scalable/apps/quiltmark.svg",
        "usr/share/icons/hicolor/scalable/mimetypes/application-x-quiltmark.svg",
        "usr/share/metainfo/com.kelvra.quiltmark.metainfo.xml", "usr/share/man/man1/quiltmark.1.gz",
        "usr/share/doc/quiltmark/copyright", "usr/share/doc/quiltmark/changelog.gz" };
    const Output files = Shell("cd " + Quote(root) + " && find usr ! -type d | sort");
    ASSERT_EQ(files.status, 0) << files.out;
    std::set<std::string> found;
    std::istringstream lines(files.out);
    for (std::string line; std::getline(lines, line);)
        found.insert(line);
    EXPECT_EQ(found, expected);

    const std::string library = "Fixture library: " + root + "/usr/share/quiltmark/metalib.xml\n";
    const Output version = RunInstalled(root, "--version");
    EXPECT_EQ(version.status, 0) << version.out;
    EXPECT_EQ(version.out, "quiltmark " QUILTMARK_VERSION_TEXT "\n" + library);
    const Output list = RunInstalled(root, "--list-fixtures");
    EXPECT_EQ(list.status, 0) << list.out;
    EXPECT_EQ(list.out.rfind(library + "0: ", 0), 0u) << list.out;
}

TEST(Packaging, TheManualPageNamesEveryOptionOfTheHelpText)
{
    const Output help = Shell(Quote(std::string(QUILTMARK_BIN_DIR) + "/quiltmark") + " --help");
    ASSERT_EQ(help.status, 0);
    std::string page;
    ASSERT_TRUE(ReadWholeFile(kSource + "/resources/man/quiltmark.1", page));
    const std::set<std::string> inHelp = DescribedOptions(help.out, false);
    EXPECT_TRUE(inHelp.count("--version") && inHelp.count("/metalib") && inHelp.count("/pt"))
        << help.out;
    EXPECT_EQ(DescribedOptions(page, true), inHelp);
    if (HasTool("groff")) {
        const Output warnings
            = Shell("groff -man -ww -z " + Quote(kSource + "/resources/man/quiltmark.1"));
        EXPECT_EQ(warnings.out, "");
    }
}

TEST(Packaging, DesktopMetadataValidates)
{
    if (!HasTool("appstreamcli"))
        GTEST_SKIP() << "appstreamcli is not installed (package appstream)";
    const Output appstream = Shell("appstreamcli validate --no-net --pedantic "
        + Quote(kSource + "/resources/metainfo/com.kelvra.quiltmark.metainfo.xml"));
    EXPECT_EQ(appstream.status, 0) << appstream.out;
    EXPECT_EQ(appstream.out.find("W:"), std::string::npos) << appstream.out;
    if (HasTool("desktop-file-validate")) {
        const Output entry = Shell(
            "desktop-file-validate " + Quote(kSource + "/resources/desktop/quiltmark.desktop"));
        EXPECT_EQ(entry.status, 0) << entry.out;
        EXPECT_EQ(entry.out, "");
    }
}

TEST(Packaging, AnInstallPutsDataUnderShareAndTheProgramFindsItThere)
{
    CTempTree tree;
    const Output install = Shell(Quote(QUILTMARK_CMAKE) + " --install " + Quote(kBuild)
        + " --prefix " + Quote(tree.Path() + "/usr"));
    ASSERT_EQ(install.status, 0) << install.out;
    ExpectInstalledTree(tree.Path());

    // The user's own copy is found before the installed one.
    const std::string copy = tree.Path() + "/home/.local/share/quiltmark/metalib.xml";
    ASSERT_EQ(Shell("mkdir -p " + Quote(tree.Path() + "/home/.local/share/quiltmark") + " && cp "
                  + Quote(tree.Path() + "/usr/share/quiltmark/metalib.xml") + " " + Quote(copy))
                  .status,
        0);
    EXPECT_NE(RunInstalled(tree.Path(), "--version").out.find("Fixture library: " + copy + "\n"),
        std::string::npos);
}

TEST(Packaging, TheDebianPackageHoldsTheInstalledTreeAndRunsUnpacked)
{
    if (!HasTool("dpkg-deb") || !HasTool("dpkg-shlibdeps"))
        GTEST_SKIP() << "dpkg-dev is not installed";
    CTempTree tree;
    const Output pack = Shell("cd " + Quote(kBuild) + " && " + Quote(QUILTMARK_CPACK)
        + " -G DEB -B " + Quote(tree.Path() + "/out"));
    ASSERT_EQ(pack.status, 0) << pack.out;
    const std::string deb = tree.Path() + "/out/quiltmark_" QUILTMARK_VERSION_TEXT "_"
        + Shell("dpkg --print-architecture | tr -d '\\n'").out + ".deb";
    const Output fields = Shell("dpkg-deb --field " + Quote(deb) + " Section Depends Maintainer");
    ASSERT_EQ(fields.status, 0) << fields.out;
    EXPECT_NE(fields.out.find("Section: electronics\n"), std::string::npos) << fields.out;
    if (QUILTMARK_PROGRAM_HAS_WINDOW) {
        EXPECT_NE(fields.out.find("libqt6widgets6"), std::string::npos) << fields.out;
    }
    EXPECT_NE(fields.out.find("libtinyxml2"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("Maintainer: "), std::string::npos) << fields.out;

    ASSERT_EQ(Shell("dpkg -x " + Quote(deb) + " " + Quote(tree.Path() + "/root")).status, 0);
    ExpectInstalledTree(tree.Path() + "/root");

    if (!HasTool("lintian"))
        GTEST_SKIP() << "lintian is not installed";
    const Output lintian = Shell("lintian --fail-on error " + Quote(deb));
    EXPECT_EQ(lintian.status, 0) << lintian.out;
    EXPECT_EQ(lintian.out.find("E: "), std::string::npos) << lintian.out;
}

} // namespace
