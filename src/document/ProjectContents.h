#pragma once

#include "document/section/SubDoc.h"

#include <cstdint>
#include <string>

class CFixtureType;
class CKelvraDeviceList;
class CMetaLib;
class IUserMessages;

// What the project file reads and writes of a project: its sections, devices and library.
// The document implements it; the file reader and writer see nothing else of it, so that the
// file code sits below the document that opens and saves through it.
class IProjectContents {
public:
    static constexpr int kMaxSections = 8;
    // Items of all sections together: what loading, saving, printing and editing hold
    // within the memory of a 24 GB machine (see the README). Set-up and loading refuse more.
    static constexpr std::uint64_t kMaxProjectItems = std::uint64_t { 4 } * CSubDoc::kMaxItems;
    // What the user is told when a project would pass it.
    static std::string ProjectTooLargeText();

    virtual IUserMessages& Messages() = 0;
    virtual const CMetaLib& GetLibrary() const = 0;
    virtual CKelvraDeviceList& GetDevices() = 0;
    virtual const CKelvraDeviceList& GetDevices() const = 0;

    virtual int GetSectionCount() const = 0;
    virtual const CSubDoc* GetSection(int index) const = 0;
    virtual CSubDoc* AddSection() = 0;
    virtual CSubDoc* SetCurrentSection(int index) = 0;
    virtual bool IsSectionNameFree(const std::string& name) const = 0;
    virtual std::string MakeUniqueSectionName() const = 0;
    virtual const CFixtureType* GetFixtureType(const CSubDoc& section) const = 0;
    // Items of every section but `section` (the project-wide limit).
    virtual std::uint64_t ItemCountBeside(const CSubDoc& section) const = 0;

    // Empties the project and loads the library again before a read; false (already
    // reported) when the library could not be loaded.
    virtual bool Reset() = 0;
    // The usage tables, after the sections were read.
    virtual void RebuildTables() = 0;

protected:
    ~IProjectContents() = default;
};

// Why a section as its set-up asks cannot be read into a project whose other sections hold
// `otherItems` items; empty when it can. Both readers ask before they allocate its tiles.
std::string SectionSizeProblem(const CSubDoc& section, std::uint64_t otherItems);
