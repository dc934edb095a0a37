#pragma once

#include <string>
#include <vector>

// Where the fixture library is looked for. A copy beside the program (the build tree, a
// portable folder) wins; an installed program finds the user's own copy first, then the
// one installed with it.
struct CLibraryPlaces {
    std::string programDirectory;
    // $XDG_DATA_HOME/quiltmark, else ~/.local/share/quiltmark; empty without a home.
    std::string userDirectory;
    // <prefix>/share/quiltmark of this installation, then quiltmark/ in each $XDG_DATA_DIRS.
    std::vector<std::string> installedDirectories;

    // The places of the running program, from its environment.
    static CLibraryPlaces FromEnvironment();
    // The same from given values (null for an unset variable); for tests.
    static CLibraryPlaces From(const std::string& programDirectory, const char* home,
        const char* dataHome, const char* dataDirs);
};

// The folders searched for metalib.xml, in order.
std::vector<std::string> SearchedDirectories(const CLibraryPlaces& places);

// The library in use: metalib.xml in the first place that has one. When none has, the path
// beside the program, so that loading fails there with the usual message.
std::string FindMetaLib(const CLibraryPlaces& places);
std::string FindMetaLib();

// The folder that takes library entries made from `libraryPath`: the library's own folder
// when it may be written and is not an installed one, else the user's folder (empty when
// there is none).
std::string LibraryEntryFolder(const std::string& libraryPath, const CLibraryPlaces& places);

// "Fixture library: PATH", or where it was looked for when there is none at `path`.
std::string LibraryInUseText(const std::string& path, const CLibraryPlaces& places);

// Creates `dir` and its missing parents (private to the user, as the data folders are).
// False with `error` set when that fails.
bool MakeDirectories(const std::string& dir, std::string* error = nullptr);

// Folder part of a path ("." for a bare name).
std::string DirectoryOfPath(const std::string& path);

// Directory of the running program.
std::string ProgramDirectory();
