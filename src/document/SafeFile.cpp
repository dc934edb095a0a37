#include "document/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void SetError(std::string* error, const std::string& what, int code)
{
    if (error)
        *error = what + ": " + std::strerror(code);
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

mode_t ModeForNewFile(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) == 0)
        return info.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool WriteFileSafely(const std::string& path, const std::string& bytes, std::string* error)
{
    if (path.empty()) {
        SetError(error, "No file name", ENOENT);
        return false;
    }
    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        SetError(error, "Cannot create a file in " + DirectoryOf(path), errno);
        return false;
    }
    const std::string tempPath(name.data());
    int code = 0;
    bool ok = WriteAll(fd, bytes.data(), bytes.size(), code);
    if (ok && ::fchmod(fd, ModeForNewFile(path)) != 0) {
        code = errno;
        ok = false;
    }
    // Some file systems report a full disk only when the data reaches it.
    if (ok && ::fsync(fd) != 0) {
        code = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        code = errno;
        ok = false;
    }
    if (ok && std::rename(tempPath.c_str(), path.c_str()) != 0) {
        code = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tempPath.c_str());
        SetError(error, "Cannot write " + path, code);
        return false;
    }
    // Make the rename itself durable; a failure here does not undo a complete file.
    const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        SetError(error, "Cannot open " + path, errno);
        return false;
    }
    struct stat info { };
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        SetError(error, "Cannot open " + path, EISDIR);
        return false;
    }
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            SetError(error, "Cannot read " + path, code);
            return false;
        }
        if (got == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    bytes.swap(data);
    return true;
}
