#pragma once

#include "app/library/FixtureType.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class IUserMessages;

// The fixture library, read from metalib.xml beside the program.
class CMetaLib {
public:
    static constexpr const char* kFileName = "metalib.xml";
    static constexpr const char* kFallbackType = "ZIDUZU_COLOR_BEAMER";
    // The library is a few kilobytes; anything far larger is not a fixture library and
    // must not be read into memory whole.
    static constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

    // Whether bytes can be a library at all: not empty, within kMaxFileBytes and free of
    // NUL bytes (the parser would stop there and take a binary tail for the file's end).
    static bool IsAcceptableText(const char* data, std::size_t size);

    // Empties the library, then reads the file at `path`. False when the file cannot be
    // read or is not well-formed XML (the library then stays empty).
    bool Load(const std::string& path);
    // The same from bytes in memory (the parser is given the length).
    bool LoadFromBuffer(const char* data, std::size_t size);

    int GetCount() const { return static_cast<int>(m_types.size()); }
    // None outside 0..count - 1.
    const CFixtureType* GetAt(int index) const;
    CFixtureType* GetAt(int index);

    // First type whose `type` equals `type` exactly; -1 when none.
    int IndexOfType(const std::string& type) const;
    // -1 for oldIndex <= 0; otherwise the first type with that old index, -1 when none.
    int IndexOfOldIndex(int oldIndex) const;
    // Type name stored in a project file -> library index, with the fallback to
    // ZIDUZU_COLOR_BEAMER (else 0) and its message naming the section.
    int ResolveTypeName(
        const std::string& type, const std::string& sectionName, IUserMessages& messages) const;

    // Appends and renumbers; returns the new index.
    int Add(std::unique_ptr<CFixtureType> type);
    void RemoveAt(int index);
    void Clear();

private:
    void Renumber();
    std::vector<std::unique_ptr<CFixtureType>> m_types;
};

// Joins the program directory and metalib.xml.
std::string MetaLibPathIn(const std::string& directory);
