#include "../../document/QuiltmarkDocTestSupport.h"

#include "app/base/SafeFile.h"
#include "app/library/MetaLib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uid_t kNobody = 65534;

struct stat LinkInfo(const std::string& path)
{
    struct stat info { };
    ::lstat(path.c_str(), &info);
    return info;
}

std::string LinkText(const std::string& path)
{
    char text[4096];
    const ssize_t length = ::readlink(path.c_str(), text, sizeof text);
    return length < 0 ? std::string() : std::string(text, static_cast<std::size_t>(length));
}

std::string Contents(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

std::vector<std::string> Names(const std::string& directory)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    if (dir)
        ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a child process and returns its exit status; a hang ends after 10 s.
template <typename Body> int InChild(Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SafeFileWrite, FollowsSymbolicLinksToTheFileTheyName)
{
    CTempDir dir;
    ::mkdir(dir.File("real").c_str(), 0755);
    ::mkdir(dir.File("links").c_str(), 0755);
    const std::string target = dir.File("real/target.patch");
    ASSERT_TRUE(WriteFileSafely(target, "old"));
    ::chmod(target.c_str(), 0640);
    // A chain of relative links: each counts from its own folder.
    ::symlink("target.patch", dir.File("real/mid.patch").c_str());
    ::symlink("../real/mid.patch", dir.File("links/link.patch").c_str());

    std::string error;
    ASSERT_TRUE(WriteFileSafely(dir.File("links/link.patch"), "new", &error)) << error;
    EXPECT_EQ(LinkText(dir.File("links/link.patch")), "../real/mid.patch");
    EXPECT_EQ(LinkText(dir.File("real/mid.patch")), "target.patch");
    EXPECT_EQ(Contents(target), "new");
    EXPECT_EQ(LinkInfo(target).st_mode, S_IFREG | 0640);

    // A dangling link gets its file, in the folder the link points into.
    ::symlink("../real/fresh.patch", dir.File("links/dangling.patch").c_str());
    ASSERT_TRUE(WriteFileSafely(dir.File("links/dangling.patch"), "made", &error)) << error;
    EXPECT_TRUE(S_ISLNK(LinkInfo(dir.File("links/dangling.patch")).st_mode));
    EXPECT_EQ(Contents(dir.File("real/fresh.patch")), "made");

    ::symlink("../missing/x.patch", dir.File("links/nowhere.patch").c_str());
    EXPECT_FALSE(WriteFileSafely(dir.File("links/nowhere.patch"), "x", &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    ::symlink("b", dir.File("links/a").c_str());
    ::symlink("a", dir.File("links/b").c_str());
    EXPECT_FALSE(WriteFileSafely(dir.File("links/a"), "x", &error));
    EXPECT_NE(error.find("loop"), std::string::npos) << error;
    EXPECT_TRUE(S_ISLNK(LinkInfo(dir.File("links/a")).st_mode));
}

TEST(SafeFileWrite, WritesDevicesAndFifosWhereTheyAreAndRefusesOtherNonFiles)
{
    CTempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const pid_t reader = ::fork();
    if (reader == 0) {
        ::alarm(10);
        std::string got;
        char buffer[64];
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            got.append(buffer, static_cast<std::size_t>(n));
        ::_exit(got == "through the pipe" ? 0 : 1);
    }
    std::string error;
    EXPECT_TRUE(WriteFileSafely(fifo, "through the pipe", &error)) << error;
    int status = 0;
    ::waitpid(reader, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(S_ISFIFO(LinkInfo(fifo).st_mode));
    // A reader that goes away early fails the write instead of ending the program.
    const pid_t quitter = ::fork();
    if (quitter == 0) {
        char byte;
        ::_exit(::read(::open(fifo.c_str(), O_RDONLY), &byte, 1) == 1 ? 0 : 1);
    }
    EXPECT_FALSE(WriteFileSafely(fifo, std::string(1 << 20, 'x'), &error));
    EXPECT_NE(error.find("Broken pipe"), std::string::npos) << error;
    ::waitpid(quitter, &status, 0);

    if (::geteuid() == 0) {
        // Private copies of /dev/null and /dev/full: a fault must not replace the real ones.
        const std::string null = dir.File("null");
        const std::string full = dir.File("full");
        ASSERT_EQ(::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
        EXPECT_TRUE(WriteFileSafely(null, "discarded", &error)) << error;
        EXPECT_TRUE(S_ISCHR(LinkInfo(null).st_mode));
        EXPECT_FALSE(WriteFileSafely(full, "no room", &error));
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        EXPECT_TRUE(S_ISCHR(LinkInfo(full).st_mode));
    }

    EXPECT_FALSE(WriteFileSafely(dir.Path(), "x", &error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
}

TEST(SafeFileWrite, RefusesReadOnlyFilesAndKeepsOwnerGroupAndMode)
{
    CTempDir dir;
    const std::string readOnly = dir.File("ro.patch");
    ASSERT_TRUE(WriteFileSafely(readOnly, "old"));
    ::chmod(readOnly.c_str(), 0444);
    std::string error;
    EXPECT_FALSE(WriteFileSafely(readOnly, "new", &error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_NE(error.find(readOnly), std::string::npos) << error;
    EXPECT_EQ(Contents(readOnly), "old");

    if (::geteuid() != 0)
        return;
    const std::string owned = dir.File("owned.patch");
    ASSERT_TRUE(WriteFileSafely(owned, "old"));
    ASSERT_EQ(::chown(owned.c_str(), kNobody, kNobody), 0);
    ::chmod(owned.c_str(), 0620);
    ASSERT_TRUE(WriteFileSafely(owned, "new", &error)) << error;
    const struct stat info = LinkInfo(owned);
    EXPECT_EQ(info.st_uid, kNobody);
    EXPECT_EQ(info.st_gid, kNobody);
    EXPECT_EQ(info.st_mode, S_IFREG | 0620);
    EXPECT_EQ(Contents(owned), "new");
}

TEST(SafeFileWrite, FileWithHardLinksIsWrittenInPlace)
{
    CTempDir dir;
    const std::string first = dir.File("a.patch");
    const std::string second = dir.File("b.patch");
    ASSERT_TRUE(WriteFileSafely(first, "old"));
    ASSERT_EQ(::link(first.c_str(), second.c_str()), 0);

    std::string error;
    ASSERT_TRUE(WriteFileSafely(first, "new and longer contents", &error)) << error;
    EXPECT_EQ(Contents(second), "new and longer contents");
    ASSERT_TRUE(WriteFileSafely(second, "short", &error)) << error;
    EXPECT_EQ(Contents(first), "short");
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string> { "a.patch", "b.patch" }));
}

TEST(SafeFileWrite, FolderWithoutWritePermissionIsNamedWithSaveAs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    CTempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    const std::string folder = dir.File("locked");
    const std::string file = folder + "/wall.patch";
    ::mkdir(folder.c_str(), 0755);
    ASSERT_TRUE(WriteFileSafely(file, "old"));
    ::chmod(file.c_str(), 0666);
    ::chown(file.c_str(), kNobody, kNobody);
    ::chown(folder.c_str(), kNobody, kNobody);
    ::chmod(folder.c_str(), 0555);

    const int status = InChild([&] {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            return 3;
        std::string error;
        if (WriteFileSafely(file, "new", &error))
            return 1;
        return error.find("the folder " + folder) != std::string::npos
                && error.find("Save As") != std::string::npos
            ? 0
            : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Contents(file), "old");
}

TEST(SafeFileWrite, KilledSaveLeavesNothingAndOnlyOwnLeftoversAreRemoved)
{
    CTempDir dir;
    const std::string path = dir.File("keep.patch");
    ASSERT_TRUE(WriteFileSafely(path, "old"));

    // The file-size limit kills the child in the middle of writing.
    const int status = InChild([&] {
        struct rlimit limit {
            4096, 4096
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        WriteFileSafely(path, std::string(1 << 20, 'x'));
        return 0;
    });
    EXPECT_EQ(status, 128 + SIGXFSZ);
    EXPECT_EQ(Contents(path), "old");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string> { "keep.patch" });

    // What a kill between naming the new file and the rename leaves, beside a file of a
    // save still running (it holds a lock) and names that are not ours.
    const char* const kept[]
        = { ".keep.patch.quiltmark-save-Lock01", ".keep.patch.quiltmark-save-toolong",
              ".other.patch.quiltmark-save-Ab12Cd", "keep.patch.Ab12Cd" };
    ASSERT_TRUE(WriteFileSafely(dir.File(".keep.patch.quiltmark-save-Ab12Cd"), "stale"));
    for (const char* name : kept)
        ASSERT_TRUE(WriteFileSafely(dir.File(name), "keep"));
    const int running = ::open(dir.File(kept[0]).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(running, LOCK_EX), 0);
    ASSERT_TRUE(WriteFileSafely(path, "new"));
    ::close(running);
    std::vector<std::string> expected(std::begin(kept), std::end(kept));
    expected.push_back("keep.patch");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(dir.Path()), expected);
}

TEST(SafeFileRead, RefusesNonFilesWithoutBlockingAndLimitsTheSize)
{
    CTempDir dir;
    const std::string fifo = dir.File("pipe.patch");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // No writer ever comes: a blocking open would hang until the alarm.
    const int status = InChild([&] {
        std::string bytes;
        std::string error;
        const bool refused = !ReadWholeFile(fifo, bytes, &error)
            && error.find(fifo) != std::string::npos && error.find("FIFO") != std::string::npos;
        CMetaLib library;
        CTestDocument t;
        std::string openError;
        const bool notOpened = !t.doc->OnOpenDocument(fifo, &openError)
            && openError.find(fifo) != std::string::npos && t.messages.calls.empty();
        return refused && !library.Load(fifo) && notOpened ? 0 : 1;
    });
    EXPECT_EQ(status, 0);

    std::string bytes = "kept";
    std::string error;
    EXPECT_FALSE(ReadWholeFile("/dev/null", bytes, &error));
    EXPECT_NE(error.find("/dev/null: it is a device"), std::string::npos) << error;
    EXPECT_FALSE(ReadWholeFile(dir.Path(), bytes, &error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    EXPECT_EQ(bytes, "kept");

    const std::string file = dir.File("hundred");
    ASSERT_TRUE(WriteFileSafely(file, std::string(100, 'a')));
    EXPECT_FALSE(ReadWholeFile(file, bytes, &error, 99));
    EXPECT_NE(error.find("larger than 99 bytes"), std::string::npos) << error;
    EXPECT_TRUE(ReadWholeFile(file, bytes, &error, 100));
    EXPECT_EQ(bytes.size(), 100u);
}

} // namespace

TEST(SafeFileWrite, ContentsMadeWhileWritingArriveWholeOrNotAtAll)
{
    CTempDir dir;
    const std::string plain = dir.File("plain.patch");
    const std::string linked = dir.File("linked.patch");
    const std::string hard = dir.File("hard.patch");
    ASSERT_TRUE(WriteFileSafely(plain, "old plain"));
    ASSERT_EQ(::symlink("plain.patch", linked.c_str()), 0);
    ASSERT_TRUE(WriteFileSafely(hard, "old hard"));
    ASSERT_EQ(::link(hard.c_str(), dir.File("hard2.patch").c_str()), 0);
    ::chmod(plain.c_str(), 0640);

    // Many pieces, larger than any buffer, in the order they were made.
    std::string expected;
    const auto producer = [&expected](int stopAfter) {
        return [&expected, stopAfter](const FileSink& sink, std::string& reason) {
            expected.clear();
            for (int i = 0; i < 64; ++i) {
                if (i == stopAfter) {
                    reason = "stopped at " + std::to_string(i);
                    return false;
                }
                const std::string piece(100000 + i, static_cast<char>('a' + i % 26));
                expected += piece;
                if (!sink(piece.data(), piece.size()))
                    return false;
            }
            return true;
        };
    };
    for (const std::string& path : { plain, linked, hard }) {
        const std::string before = Contents(path);
        std::string error;
        EXPECT_FALSE(WriteFileSafely(path, producer(40), &error));
        EXPECT_EQ(error, "stopped at 40");
        EXPECT_EQ(Contents(path), before) << path;
        ASSERT_TRUE(WriteFileSafely(path, producer(-1), &error)) << error;
        EXPECT_TRUE(Contents(path) == expected) << path;
    }
    EXPECT_EQ(LinkInfo(plain).st_mode & 07777, 0640u);
    EXPECT_TRUE(Contents(dir.File("hard2.patch")) == expected);
    EXPECT_EQ(Names(dir.Path()),
        (std::vector<std::string> { "hard.patch", "hard2.patch", "linked.patch", "plain.patch" }));

    // A full disk part-way: the old file stays and the reason is the system's.
    const std::string small = dir.File("small.patch");
    ASSERT_TRUE(WriteFileSafely(small, "kept"));
    const int status = InChild([&] {
        rlimit limit { 1 << 20, 1 << 20 };
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        return !WriteFileSafely(small, producer(-1), &error)
            && error.find("File too large") != std::string::npos;
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Contents(small), "kept");
}
