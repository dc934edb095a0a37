#include "app/library/MetaLibLookup.h"
#include "../../document/QuiltmarkDocTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

void Touch(const std::string& path, const std::string& text = TestLibraryText())
{
    MakeDirectories(DirectoryOfPath(path));
    ASSERT_TRUE(WriteFileSafely(path, text)) << path;
}

// Sets (or with null unsets) an environment variable for one test and puts it back.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value)
        : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        m_old = old ? old : "";
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    CScopedEnv(const char* name, const std::string& value)
        : CScopedEnv(name, value.c_str())
    {
    }
    ~CScopedEnv()
    {
        if (m_had)
            ::setenv(m_name, m_old.c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

TEST(MetaLibLookup, TheFirstPlaceWithALibraryWinsInOrder)
{
    CTempDir t;
    const std::string bin = t.File("usr/bin");
    MakeDirectories(bin);
    const std::string home = t.File("home");
    const std::string sys = t.File("sys");
    const CLibraryPlaces places
        = CLibraryPlaces::From(bin, home.c_str(), nullptr, (t.File("none") + ":" + sys).c_str());
    EXPECT_EQ(places.userDirectory, home + "/.local/share/quiltmark");

    // Nothing anywhere: the path beside the program, where loading then fails as before.
    EXPECT_EQ(FindMetaLib(places), bin + "/metalib.xml");
    EXPECT_NE(LibraryInUseText(FindMetaLib(places), places).find("none found"), std::string::npos);

    Touch(sys + "/quiltmark/metalib.xml");
    EXPECT_EQ(FindMetaLib(places), sys + "/quiltmark/metalib.xml");
    // The installation's own share/ comes before the other data folders, spelled plainly.
    Touch(t.File("usr/share/quiltmark/metalib.xml"));
    EXPECT_EQ(FindMetaLib(places), t.File("usr/share/quiltmark/metalib.xml"));
    Touch(places.userDirectory + "/metalib.xml");
    EXPECT_EQ(FindMetaLib(places), places.userDirectory + "/metalib.xml");
    Touch(bin + "/metalib.xml");
    EXPECT_EQ(FindMetaLib(places), bin + "/metalib.xml");
    EXPECT_EQ(
        LibraryInUseText(FindMetaLib(places), places), "Fixture library: " + bin + "/metalib.xml");

    // A folder of that name is no library.
    MakeDirectories(t.File("dir/metalib.xml"));
    EXPECT_EQ(FindMetaLib(CLibraryPlaces::From(t.File("dir"), nullptr, nullptr, "/nonexistent")),
        t.File("dir/metalib.xml"));
}

TEST(MetaLibLookup, DataFoldersFollowTheEnvironmentAndIgnoreRelativeValues)
{
    auto places = CLibraryPlaces::From("/opt/q/bin", "/home/a", "/data/home", "/x:rel:/y");
    EXPECT_EQ(places.userDirectory, "/data/home/quiltmark");
    ASSERT_EQ(places.installedDirectories.size(), 3u);
    EXPECT_EQ(places.installedDirectories[1], "/x/quiltmark");
    EXPECT_EQ(places.installedDirectories[2], "/y/quiltmark");

    places = CLibraryPlaces::From("/opt/q/bin", "/home/a", "relative", "");
    EXPECT_EQ(places.userDirectory, "/home/a/.local/share/quiltmark");
    EXPECT_EQ(places.installedDirectories.back(), "/usr/share/quiltmark");

    places = CLibraryPlaces::From("/opt/q/bin", nullptr, nullptr, nullptr);
    EXPECT_TRUE(places.userDirectory.empty());
    EXPECT_EQ(LibraryEntryFolder("/usr/share/quiltmark/metalib.xml", places), "");
}

TEST(MetaLibLookup, EntriesGoBesideAWritableLibraryButNeverIntoAnInstalledOne)
{
    CTempDir t;
    const CLibraryPlaces places = CLibraryPlaces::From(
        t.File("bin"), nullptr, t.File("home").c_str(), t.File("sys").c_str());
    Touch(t.File("sys/quiltmark/metalib.xml"));
    Touch(t.File("portable/metalib.xml"));
    EXPECT_EQ(LibraryEntryFolder(t.File("portable/metalib.xml"), places), t.File("portable"));
    // Also when root could write there: the package would replace the file on its update.
    EXPECT_EQ(
        LibraryEntryFolder(t.File("sys/quiltmark/metalib.xml"), places), places.userDirectory);
    EXPECT_EQ(LibraryEntryFolder(t.File("sys/quiltmark/../quiltmark/metalib.xml"), places),
        places.userDirectory);
    if (::geteuid() != 0) {
        ::chmod(t.File("portable").c_str(), 0555);
        EXPECT_EQ(LibraryEntryFolder(t.File("portable/metalib.xml"), places), places.userDirectory);
        ::chmod(t.File("portable").c_str(), 0755);
    }
}

// A document whose library is an installed one, with the user's data folder in the test's
// folder.
struct CInstalledLibraryDoc {
    CTempDir dir;
    CScopedEnv dataHome { "XDG_DATA_HOME", dir.File("home") };
    CScopedEnv dataDirs { "XDG_DATA_DIRS", dir.File("sys") };
    std::string installed = dir.File("sys/quiltmark/metalib.xml");
    std::string user = dir.File("home/quiltmark");
    CRecordingMessages messages;
    std::unique_ptr<CQuiltmarkDoc> doc;

    CInstalledLibraryDoc()
    {
        Touch(installed);
        doc = std::make_unique<CQuiltmarkDoc>(messages, installed);
        doc->OnNewDocument();
        CSubDoc& s = *doc->GetSection(0);
        s.setup.fix_type = 0;
        s.setup.matrix_width = 2;
        s.setup.matrix_height = 1;
        s.SetUp();
    }
    static std::string Read(const std::string& path)
    {
        std::string bytes;
        ReadWholeFile(path, bytes);
        return bytes;
    }
};

// The file named by the last message, which says where the entry was written.
std::string WrittenFile(const CRecordingMessages& messages)
{
    const std::string lead = "The fixture library entry was written to ";
    if (messages.calls.empty() || messages.calls.back().text.rfind(lead, 0) != 0)
        return "";
    const std::string& text = messages.calls.back().text;
    return text.substr(lead.size(), text.size() - lead.size() - 1);
}

TEST(LibraryEntryInstalled, YesWritesTheUsersCopyWhichIsUsedFromThenOn)
{
    CInstalledLibraryDoc t;
    const std::string before = t.Read(t.installed);
    ASSERT_TRUE(t.doc->WriteLibraryEntry("wall", "WALL", true));
    const std::string written = WrittenFile(t.messages);
    EXPECT_EQ(written, t.user + "/metalib.xml");
    EXPECT_EQ(t.messages.calls.back().icon, MessageIcon::Information);
    EXPECT_EQ(t.Read(t.installed), before);
    const std::string copy = t.Read(written);
    EXPECT_NE(copy.find("type=\"WALL\""), std::string::npos);
    EXPECT_NE(copy.find("type=\"TILE2X2\""), std::string::npos); // the library in use kept
    EXPECT_EQ(t.doc->GetLibraryPath(), written);
    ASSERT_TRUE(t.doc->OnNewDocument());
    EXPECT_GE(t.doc->GetLibrary().IndexOfType("WALL"), 0);

    // The next entry adds to the user's copy, now the library in use.
    CSubDoc& s = *t.doc->GetSection(0);
    s.setup.matrix_width = 1;
    s.SetUp();
    ASSERT_TRUE(t.doc->WriteLibraryEntry("next", "NEXT", true));
    EXPECT_EQ(WrittenFile(t.messages), written);
    EXPECT_NE(t.Read(written).find("type=\"WALL\""), std::string::npos);
    EXPECT_NE(t.Read(written).find("type=\"NEXT\""), std::string::npos);
}

TEST(LibraryEntryInstalled, NoWritesTheNewFileIntoTheUsersFolder)
{
    CInstalledLibraryDoc t;
    ASSERT_TRUE(t.doc->WriteLibraryEntry("wall", "WALL", false));
    const std::string written = WrittenFile(t.messages);
    EXPECT_EQ(written, t.user + "/metalib_new.xml");
    EXPECT_NE(t.Read(written).find("type=\"WALL\""), std::string::npos);
    EXPECT_EQ(t.doc->GetLibraryPath(), t.installed);
    EXPECT_EQ(t.Read(t.installed).find("WALL"), std::string::npos);
}

TEST(LibraryEntryInstalled, AnotherLibraryOfTheUserIsNeverOverwritten)
{
    CInstalledLibraryDoc t;
    // The user's copy appeared after the document loaded the installed one.
    Touch(t.user + "/metalib.xml", "<metalib><lamps><lamp type=\"MINE\"/></lamps></metalib>");
    EXPECT_TRUE(t.doc->WriteLibraryEntry("wall", "WALL", true));
    EXPECT_NE(t.Read(t.user + "/metalib.xml").find("MINE"), std::string::npos);
    EXPECT_EQ(t.Read(t.user + "/metalib.xml").find("WALL"), std::string::npos);
    ASSERT_EQ(t.messages.calls.size(), 1u);
    EXPECT_EQ(t.messages.calls[0].icon, MessageIcon::Error);
    EXPECT_NE(t.messages.calls[0].text.find("another fixture library"), std::string::npos);
    EXPECT_EQ(t.doc->GetLibraryPath(), t.installed);

    // Without a home there is nowhere to write; said, not skipped silently.
    CScopedEnv noDataHome("XDG_DATA_HOME", nullptr);
    CScopedEnv noHome("HOME", nullptr);
    EXPECT_TRUE(t.doc->WriteLibraryEntry("wall", "WALL", false));
    ASSERT_EQ(t.messages.calls.size(), 2u);
    EXPECT_EQ(t.messages.calls[1].icon, MessageIcon::Error);
}

} // namespace
