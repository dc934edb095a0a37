#include "app/library/MetaLibLookup.h"

#include "app/library/MetaLib.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUILTMARK_DATA_FROM_BIN
#define QUILTMARK_DATA_FROM_BIN "../share/quiltmark"
#endif

namespace {

bool IsAbsolute(const char* path)
{
    return path && path[0] == '/';
}

bool IsRegularFile(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The same folder under two spellings ("/usr/bin/../share" and "/usr/share") compares equal.
std::string Canonical(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// "/usr/bin/../share/quiltmark" as "/usr/share/quiltmark", so that messages name the
// folder plainly. The program's own folder is already free of links.
std::string WithoutDotDirectories(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    std::string result = path.empty() || path[0] != '/' ? "" : "/";
    for (std::size_t i = 0; i < parts.size(); ++i)
        result += (i ? "/" : "") + parts[i];
    return result.empty() ? "." : result;
}

} // namespace

CLibraryPlaces CLibraryPlaces::From(const std::string& programDirectory, const char* home,
    const char* dataHome, const char* dataDirs)
{
    CLibraryPlaces places;
    places.programDirectory = programDirectory;
    // XDG folders given as relative paths are ignored, as desktop programs do.
    if (IsAbsolute(dataHome))
        places.userDirectory = std::string(dataHome) + "/quiltmark";
    else if (IsAbsolute(home))
        places.userDirectory = std::string(home) + "/.local/share/quiltmark";

    places.installedDirectories.push_back(
        WithoutDotDirectories(programDirectory + "/" QUILTMARK_DATA_FROM_BIN));
    const std::string dirs
        = dataDirs && *dataDirs ? std::string(dataDirs) : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        if (IsAbsolute(dir.c_str()))
            places.installedDirectories.push_back(dir + "/quiltmark");
        start = end + 1;
    }
    return places;
}

CLibraryPlaces CLibraryPlaces::FromEnvironment()
{
    return From(ProgramDirectory(), std::getenv("HOME"), std::getenv("XDG_DATA_HOME"),
        std::getenv("XDG_DATA_DIRS"));
}

std::vector<std::string> SearchedDirectories(const CLibraryPlaces& places)
{
    std::vector<std::string> dirs { places.programDirectory };
    if (!places.userDirectory.empty())
        dirs.push_back(places.userDirectory);
    dirs.insert(dirs.end(), places.installedDirectories.begin(), places.installedDirectories.end());
    return dirs;
}

std::string FindMetaLib(const CLibraryPlaces& places)
{
    for (const std::string& dir : SearchedDirectories(places)) {
        const std::string path = MetaLibPathIn(dir);
        if (IsRegularFile(path))
            return path;
    }
    return MetaLibPathIn(places.programDirectory);
}

std::string LibraryInUseText(const std::string& path, const CLibraryPlaces& places)
{
    if (IsRegularFile(path))
        return "Fixture library: " + path;
    std::string text = "Fixture library: none found at " + path + "; metalib.xml is looked for in";
    for (const std::string& dir : SearchedDirectories(places))
        text += " " + dir;
    return text;
}

std::string FindMetaLib()
{
    return FindMetaLib(CLibraryPlaces::FromEnvironment());
}

std::string LibraryEntryFolder(const std::string& libraryPath, const CLibraryPlaces& places)
{
    const std::string folder = DirectoryOfPath(libraryPath);
    const std::string canonical = Canonical(folder);
    bool installed = false;
    for (const std::string& dir : places.installedDirectories)
        installed = installed || Canonical(dir) == canonical;
    // An installed library belongs to the package (root may write there, but an update
    // would silently replace the user's entries).
    if (!installed && ::access(folder.c_str(), W_OK) == 0)
        return folder;
    return places.userDirectory;
}

bool MakeDirectories(const std::string& dir, std::string* error)
{
    std::size_t next = 0;
    while (next != std::string::npos) {
        next = dir.find('/', next + 1);
        const std::string part = dir.substr(0, next);
        if (part.empty() || ::mkdir(part.c_str(), 0700) == 0 || errno == EEXIST)
            continue;
        if (error)
            *error = "Cannot create the folder " + part + ": " + std::strerror(errno);
        return false;
    }
    struct stat info { };
    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (error)
            *error = "Cannot create the folder " + dir + ": it is not a folder";
        return false;
    }
    return true;
}

std::string DirectoryOfPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::string ProgramDirectory()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return ".";
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            return DirectoryOfPath(path);
        }
        buffer.resize(buffer.size() * 2);
    }
}
