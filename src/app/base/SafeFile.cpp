#include "app/base/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/falloc.h>
#include <new>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Temporary files are ".NAME" + this + six letters or digits, so that they are hidden,
// sort beside their target and are never mistaken for a user's file.
constexpr const char* kTempMarker = ".quiltmark-save-";
constexpr std::size_t kTempRandomLength = 6;
constexpr int kMaxLinkHops = 40; // the kernel's own limit for one path

std::string Reason(const std::string& what, int code)
{
    return what + ": " + std::strerror(code);
}

void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~CFileDescriptor() { Reset(); }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Hands the descriptor over, for a close whose result counts.
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, std::size_t size, int& code)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            code = errno;
            return false;
        }
        if (written == 0) {
            code = ENOSPC;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the first `size` bytes of `from` to the current position of `to`.
bool CopyBytes(int from, int to, std::uint64_t size, int& code)
{
    std::vector<char> buffer(std::size_t { 1 } << 20);
    std::uint64_t offset = 0;
    while (offset < size) {
        const std::size_t want
            = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - offset));
        const ssize_t got = ::pread(from, buffer.data(), want, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            code = got < 0 ? errno : EIO;
            return false;
        }
        if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(got), code))
            return false;
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

// Not for secrecy: names only need to differ from the ones already in the folder.
std::string RandomSuffix()
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::uint64_t state = 0;
    if (state == 0) {
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        state = static_cast<std::uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15ull
            ^ static_cast<std::uint64_t>(now.tv_sec)
            ^ (static_cast<std::uint64_t>(::getpid()) << 32);
    }
    std::string suffix;
    for (std::size_t i = 0; i < kTempRandomLength; ++i) {
        state += 0x9E3779B97F4A7C15ull; // splitmix64
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        suffix.push_back(kLetters[z % (sizeof kLetters - 1)]);
    }
    return suffix;
}

// ".NAME.quiltmark-save-"; NAME is shortened where the whole name would be too long.
std::string TempPrefix(const std::string& fileName)
{
    const std::size_t fixed = 1 + std::strlen(kTempMarker) + kTempRandomLength;
    return "." + fileName.substr(0, NAME_MAX - fixed) + kTempMarker;
}

bool IsTempName(const std::string& name, const std::string& prefix)
{
    if (name.size() != prefix.size() + kTempRandomLength || name.compare(0, prefix.size(), prefix))
        return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Removes what killed saves of the same target left behind: only files of our pattern,
// owned by this user, and not locked by a save still running.
void RemoveStaleTemps(const std::string& directory, const std::string& prefix)
{
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsTempName(name, prefix))
            continue;
        const std::string path = directory + "/" + name;
        const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        CFileDescriptor fd(::open(path.c_str(), O_RDONLY | flags));
        if (!fd.IsOpen())
            fd.Reset(::open(path.c_str(), O_WRONLY | flags));
        struct stat info { };
        if (fd.IsOpen() && ::fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode)
            && info.st_uid == ::geteuid() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

// A new file in `directory`, locked so that no other save takes it for a leftover.
// Unnamed where the file system allows (a killed save then leaves nothing behind).
struct CTempFile {
    CFileDescriptor fd;
    std::string name; // empty while unnamed
};

// Calls `make` with fresh names of our pattern until it succeeds or fails for another
// reason than a name already taken (its errno is then the reason).
template <typename Make>
bool WithFreshName(const std::string& directory, const std::string& prefix, int& code, Make make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (make(directory + "/" + prefix + RandomSuffix()))
            return true;
        if (errno != EEXIST) {
            code = errno;
            return false;
        }
    }
    code = EEXIST;
    return false;
}

bool CreateTemp(const std::string& directory, const std::string& prefix, bool allowUnnamed,
    CTempFile& temp, int& code)
{
    if (allowUnnamed) {
        // The umask applies to the 0666, as for any new file.
        // Readable too: a file with hard links gets its contents copied from here.
        temp.fd.Reset(::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
        if (temp.fd.IsOpen()) {
            ::flock(temp.fd.Get(), LOCK_EX);
            return true;
        }
        if (errno != EISDIR && errno != EOPNOTSUPP && errno != EINVAL) {
            code = errno;
            return false;
        }
    }
    return WithFreshName(directory, prefix, code, [&temp](const std::string& name) {
        temp.fd.Reset(
            ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!temp.fd.IsOpen())
            return false;
        ::flock(temp.fd.Get(), LOCK_EX);
        temp.name = name;
        return true;
    });
}

// Gives an unnamed temporary file a name of our pattern. The /proc form of linkat needs
// no privilege, unlike AT_EMPTY_PATH.
bool NameTemp(CTempFile& temp, const std::string& directory, const std::string& prefix, int& code)
{
    if (!temp.name.empty())
        return true;
    const std::string source = "/proc/self/fd/" + std::to_string(temp.fd.Get());
    return WithFreshName(directory, prefix, code, [&](const std::string& name) {
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return false;
        temp.name = name;
        return true;
    });
}

enum class TargetKind { Missing, Regular, Directory, Other };

struct CTarget {
    std::string path; // the name that holds the file: every symbolic link followed
    TargetKind kind = TargetKind::Missing;
    struct stat info { };
};

// Follows the chain of symbolic links by hand, so that a dangling link still yields the
// name its file is to get. Relative targets count from the link's own folder.
bool ResolveTarget(const std::string& path, CTarget& target, std::string& problem)
{
    std::string current = path;
    for (int hop = 0;; ++hop) {
        struct stat info { };
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                problem = Reason("Cannot write " + current, errno);
                return false;
            }
            target.path = current;
            target.kind = TargetKind::Missing;
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            target.path = current;
            target.info = info;
            target.kind = S_ISREG(info.st_mode) ? TargetKind::Regular
                : S_ISDIR(info.st_mode)         ? TargetKind::Directory
                                                : TargetKind::Other;
            return true;
        }
        if (hop == kMaxLinkHops) {
            problem = "Cannot write " + path + ": its symbolic links form a loop";
            return false;
        }
        std::string link(
            static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX), '\0');
        for (;;) {
            const ssize_t length = ::readlink(current.c_str(), &link[0], link.size());
            if (length < 0) {
                problem = Reason("Cannot write " + current, errno);
                return false;
            }
            if (static_cast<std::size_t>(length) < link.size()) {
                link.resize(static_cast<std::size_t>(length));
                break;
            }
            link.resize(link.size() * 2);
        }
        current = !link.empty() && link[0] == '/' ? link : DirectoryOf(current) + "/" + link;
    }
}

std::string KindText(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

// Devices and FIFOs take the bytes as they are; they have nothing to replace.
bool WriteDirectly(
    const std::string& path, mode_t mode, const FileProducer& produce, std::string* error)
{
    if (S_ISSOCK(mode)) {
        SetError(error, "Cannot write " + path + ": it is a socket, not a file");
        return false;
    }
    // A FIFO whose reader went away must fail the write, not end the program.
    struct sigaction ignore { };
    struct sigaction previous { };
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    CFileDescriptor fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    int code = 0;
    std::string stopped;
    bool produced = true;
    if (!fd.IsOpen()) {
        code = errno;
    } else {
        const FileSink sink = [&](const char* data, std::size_t size) {
            return code == 0 && WriteAll(fd.Get(), data, size, code);
        };
        produced = produce(sink, stopped);
        if (code == 0 && produced && ::close(fd.Release()) != 0)
            code = errno;
    }
    ::sigaction(SIGPIPE, &previous, nullptr);
    if (code != 0) {
        SetError(error, Reason("Cannot write " + path, code));
        return false;
    }
    if (!produced) {
        SetError(error, stopped.empty() ? "Writing " + path + " was stopped" : stopped);
        return false;
    }
    return true;
}

bool IsReadOnly(const CTarget& target)
{
    // Root passes every permission check, so the mode bits decide for it.
    if ((target.info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return ::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

// Overwrites the file itself, so that all its hard links show the new contents. Space
// is reserved first: a full disk then stops the write before the old contents are touched.
bool WriteInPlace(const CTarget& target, int from, std::uint64_t size, int& code)
{
    CFileDescriptor fd(::open(target.path.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat info { };
    if (!fd.IsOpen() || ::fstat(fd.Get(), &info) != 0) {
        code = errno;
        return false;
    }
    if (info.st_dev != target.info.st_dev || info.st_ino != target.info.st_ino) {
        code = EAGAIN;
        return false;
    }
    if (static_cast<off_t>(size) > info.st_size
        && ::fallocate(fd.Get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS) {
        code = errno;
        return false;
    }
    if (!CopyBytes(from, fd.Get(), size, code))
        return false;
    if (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0 || ::fsync(fd.Get()) != 0) {
        code = errno;
        return false;
    }
    return true;
}

void SyncDirectory(const std::string& directory)
{
    // Makes the rename itself durable; a failure here does not undo a complete file.
    CFileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsOpen())
        ::fsync(dir.Get());
}

// Owner before mode: a change of owner clears the set-user-id bits.
bool TakeOverOwnerAndMode(int fd, const CTarget& target, int& code)
{
    if (target.kind != TargetKind::Regular)
        return true;
    if (::fchown(fd, target.info.st_uid, target.info.st_gid) != 0 && errno != EPERM) {
        code = errno;
        return false;
    }
    if (::fchmod(fd, target.info.st_mode & 07777) != 0) {
        code = errno;
        return false;
    }
    return true;
}

// Gives the complete temporary file a name; where an unnamed one cannot be linked into
// the folder, its bytes move into a named one instead of being produced again.
bool NameOrCopyTemp(CTempFile& temp, std::uint64_t size, const CTarget& target,
    const std::string& directory, const std::string& prefix, int& code)
{
    if (NameTemp(temp, directory, prefix, code))
        return true;
    CTempFile named;
    if (!CreateTemp(directory, prefix, false, named, code))
        return false;
    const bool ok = CopyBytes(temp.fd.Get(), named.fd.Get(), size, code)
        && TakeOverOwnerAndMode(named.fd.Get(), target, code)
        && (::fsync(named.fd.Get()) == 0 || ((code = errno), false));
    if (!ok) {
        ::unlink(named.name.c_str());
        return false;
    }
    temp.fd.Reset(named.fd.Release());
    temp.name = named.name;
    return true;
}

// Writes the contents into a temporary file beside the target as they are produced, then
// renames it over the target (or, for a file with several hard links, copies it into the
// target).
bool WriteThroughTemp(const CTarget& target, const std::string& shown, const FileProducer& produce,
    std::string* error)
{
    const std::string directory = DirectoryOf(target.path);
    const std::string prefix = TempPrefix(FileNameOf(target.path));
    RemoveStaleTemps(directory, prefix);

    CTempFile temp;
    int code = 0;
    if (!CreateTemp(directory, prefix, true, temp, code)) {
        if (code == EACCES || code == EPERM || code == EROFS)
            SetError(error,
                "Cannot save " + shown + ": the folder " + directory + " does not allow new files ("
                    + std::strerror(code) + "). Use Save As to save it in another folder.");
        else
            SetError(error, Reason("Cannot create a file in " + directory, code));
        return false;
    }
    const auto dropTemp = [&temp] {
        if (!temp.name.empty())
            ::unlink(temp.name.c_str());
    };

    std::uint64_t size = 0;
    const FileSink sink = [&](const char* data, std::size_t length) {
        if (code != 0 || !WriteAll(temp.fd.Get(), data, length, code))
            return false;
        size += length;
        return true;
    };
    std::string stopped;
    const bool produced = produce(sink, stopped);
    if (code == 0 && !produced) {
        dropTemp();
        SetError(error, stopped.empty() ? "Writing " + shown + " was stopped" : stopped);
        return false;
    }
    bool ok = code == 0 && TakeOverOwnerAndMode(temp.fd.Get(), target, code);
    // Some file systems report a full disk only when the data reaches it.
    if (ok && ::fsync(temp.fd.Get()) != 0) {
        code = errno;
        ok = false;
    }
    if (!ok) {
        dropTemp();
        SetError(error, Reason("Cannot write " + shown, code));
        return false;
    }

    if (target.kind == TargetKind::Regular && target.info.st_nlink > 1) {
        if (WriteInPlace(target, temp.fd.Get(), size, code)) {
            dropTemp();
            return true;
        }
        // The target may be half written now; keep the complete copy where it can be found.
        std::string text = Reason("Cannot write " + shown, code);
        int ignored = 0;
        if (NameOrCopyTemp(temp, size, target, directory, prefix, ignored))
            text += ". Its new contents are in " + temp.name;
        SetError(error, text);
        return false;
    }

    if (!NameOrCopyTemp(temp, size, target, directory, prefix, code)) {
        SetError(error, Reason("Cannot write " + shown, code));
        return false;
    }
    if (::rename(temp.name.c_str(), target.path.c_str()) != 0) {
        code = errno;
        ::unlink(temp.name.c_str());
        SetError(error, Reason("Cannot write " + shown, code));
        return false;
    }
    SyncDirectory(directory);
    return true;
}

} // namespace

bool WriteFileSafely(const std::string& path, const std::string& bytes, std::string* error)
{
    return WriteFileSafely(
        path,
        [&bytes](const FileSink& sink, std::string&) { return sink(bytes.data(), bytes.size()); },
        error);
}

bool WriteFileSafely(const std::string& path, const FileProducer& produce, std::string* error)
{
    if (path.empty()) {
        SetError(error, Reason("No file name", ENOENT));
        return false;
    }
    // Devices and FIFOs first, by the path as given: links in /proc name pipes and
    // terminals by texts that are not paths.
    struct stat followed { };
    if (::stat(path.c_str(), &followed) == 0) {
        if (!S_ISREG(followed.st_mode) && !S_ISDIR(followed.st_mode))
            return WriteDirectly(path, followed.st_mode, produce, error);
    } else if (errno == ELOOP) {
        SetError(error, "Cannot write " + path + ": its symbolic links form a loop");
        return false;
    }

    CTarget target;
    std::string problem;
    if (!ResolveTarget(path, target, problem)) {
        SetError(error, problem);
        return false;
    }
    const std::string shown
        = target.path == path ? path : path + " (a link to " + target.path + ")";
    if (target.kind == TargetKind::Directory) {
        SetError(error, "Cannot write " + shown + ": it is a folder, not a file");
        return false;
    }
    if (target.kind == TargetKind::Other)
        return WriteDirectly(target.path, target.info.st_mode, produce, error);
    if (target.kind == TargetKind::Regular && IsReadOnly(target)) {
        SetError(error, "Cannot write " + shown + ": the file is read-only");
        return false;
    }
    return WriteThroughTemp(target, shown, produce, error);
}

bool ReadFileInPieces(const std::string& path,
    const std::function<bool(std::string_view piece, std::uint64_t fileSize)>& piece,
    std::string* error, std::uint64_t maxBytes)
{
    // Looked at before it is opened: opening a FIFO without a writer would block, and
    // opening a device may do something.
    const auto notAFile = [&](mode_t mode) {
        SetError(error, "Cannot open " + path + ": it is " + KindText(mode) + ", not a file");
        return false;
    };
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0) {
        SetError(error, Reason("Cannot open " + path, errno));
        return false;
    }
    if (!S_ISREG(info.st_mode))
        return notAFile(info.st_mode);
    // Non-blocking, in case the name was swapped for a FIFO after the look.
    CFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.IsOpen() || ::fstat(fd.Get(), &info) != 0) {
        SetError(error, Reason("Cannot open " + path, errno));
        return false;
    }
    if (!S_ISREG(info.st_mode))
        return notAFile(info.st_mode);
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags != -1)
        ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);

    const std::string tooLarge = "Cannot read " + path + ": the file is larger than "
        + std::to_string(maxBytes) + " bytes, the most this program reads";
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    if (fileSize > maxBytes) {
        SetError(error, tooLarge);
        return false;
    }
    ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<char> buffer(std::size_t { 1 } << 20);
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            SetError(error, Reason("Cannot read " + path, errno));
            return false;
        }
        if (got == 0)
            return true;
        // A file may grow while it is read; the limit holds for what is read.
        total += static_cast<std::uint64_t>(got);
        if (total > maxBytes) {
            SetError(error, tooLarge);
            return false;
        }
        if (!piece(std::string_view(buffer.data(), static_cast<std::size_t>(got)), fileSize))
            return false;
    }
}

bool ReadWholeFile(
    const std::string& path, std::string& bytes, std::string* error, std::uint64_t maxBytes)
{
    try {
        std::string data;
        bool reserved = false;
        const bool ok = ReadFileInPieces(
            path,
            [&](std::string_view piece, std::uint64_t fileSize) {
                if (!reserved)
                    data.reserve(static_cast<std::size_t>(fileSize));
                reserved = true;
                data.append(piece);
                return true;
            },
            error, maxBytes);
        if (ok)
            bytes.swap(data);
        return ok;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    SetError(error, Reason("Cannot read " + path, ENOMEM));
    return false;
}
