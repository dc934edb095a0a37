#include "app/base/SafeFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kBin = std::string(QUILTMARK_BIN_DIR) + "/quiltmark";
const std::string kWall = std::string(QUILTMARK_SOURCE_DIR) + "/examples/stage-wall.patch";

// A folder of its own for each test, with the program's output and error beside it.
class SafeWriteCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quiltmark-safe-cli-XXXXXX";
        m_dir = ::mkdtemp(pattern);
    }
    void TearDown() override { (void)std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string File(const std::string& name) const { return m_dir + "/" + name; }

    // Runs the program without a display; a run that blocks is ended after 20 s.
    int Run(const std::string& arguments)
    {
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 '" + kBin + "' "
            + arguments + " >'" + File("out") + "' 2>'" + File("err") + "'";
        const int raw = std::system(command.c_str());
        m_err.clear();
        ReadWholeFile(File("err"), m_err);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    std::string m_dir;
    std::string m_err;
};

mode_t TypeOf(const std::string& path)
{
    struct stat info { };
    ::lstat(path.c_str(), &info);
    return info.st_mode & S_IFMT;
}

TEST_F(SafeWriteCli, SaveAsFollowsALinkAndWritesADeviceWhereItIs)
{
    ::mkdir(File("real").c_str(), 0755);
    ASSERT_TRUE(WriteFileSafely(File("real/target.patch"), "old"));
    ::symlink("real/target.patch", File("link.patch").c_str());
    ASSERT_EQ(Run("--save-as '" + File("link.patch") + "' '" + kWall + "'"), 0) << m_err;
    EXPECT_EQ(TypeOf(File("link.patch")), S_IFLNK);
    std::string saved;
    ASSERT_TRUE(ReadWholeFile(File("real/target.patch"), saved));
    EXPECT_EQ(saved.rfind("<?xml", 0), 0u);

    if (::geteuid() != 0)
        return;
    // A private twin of /dev/null: a fault would replace it, not the system's own.
    ASSERT_EQ(::mknod(File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    EXPECT_EQ(Run("--save-as '" + File("null") + "' '" + kWall + "'"), 0) << m_err;
    EXPECT_EQ(TypeOf(File("null")), S_IFCHR);
}

TEST_F(SafeWriteCli, SaveAsRefusesAReadOnlyFileAndOpeningAFifoFailsAtOnce)
{
    ASSERT_TRUE(WriteFileSafely(File("ro.patch"), "old"));
    ::chmod(File("ro.patch").c_str(), 0444);
    EXPECT_EQ(Run("--save-as '" + File("ro.patch") + "' '" + kWall + "'"), 1);
    EXPECT_NE(m_err.find("read-only"), std::string::npos) << m_err;
    std::string kept;
    ReadWholeFile(File("ro.patch"), kept);
    EXPECT_TRUE(kept == "old");

    ASSERT_EQ(::mkfifo(File("pipe.patch").c_str(), 0600), 0);
    EXPECT_EQ(Run("--readdress '" + File("pipe.patch") + "'"), 1);
    EXPECT_NE(m_err.find(File("pipe.patch") + ": it is a FIFO"), std::string::npos) << m_err;
}

} // namespace
