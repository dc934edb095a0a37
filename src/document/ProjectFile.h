#pragma once

#include "app/base/SafeFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

class IProjectContents;
class IProgress;

// What a stopped load or save says.
constexpr const char* kLoadCancelled = "Opening the file was cancelled.";
constexpr const char* kSaveCancelled = "Saving was cancelled; the file was not changed.";

// Builds the XML text of the project file (declaration, devices, documents). It only reads
// the project, so a window may show it meanwhile.
class CProjectFileWriter {
public:
    // `date` goes into every visualiser script; empty means the local time now.
    static std::string Write(const IProjectContents& doc, const std::string& date = std::string());
    // The same text handed to `sink` as it is made, a megabyte or so at a time, so that
    // no project needs its file in memory. `progress` hears tiles and items written of all
    // there are. False when the sink failed or a stop was asked (`reason` then says so).
    static bool Write(const IProjectContents& doc, const std::string& date, const FileSink& sink,
        IProgress* progress, std::string& reason);
};

// Fills the document from the XML text of a project file (after resetting it).
class CProjectFileReader {
public:
    // False when the text is not well-formed XML or asks for more than a section can
    // hold (`error` names the reason); the caller then reports the failure.
    static bool Read(
        IProjectContents& doc, const char* data, std::size_t size, std::string* error = nullptr);
    // The reader that parses the whole text into a node tree first: for what the streaming
    // parser (ProjectFileParser.h) leaves to it, and to compare the two.
    static bool ReadTree(
        IProjectContents& doc, const char* data, std::size_t size, std::string* error = nullptr);
    // Inputs up to this size may go to the tree reader; larger ones are read streaming only.
    static constexpr std::uint64_t kTreeReaderBytes = std::uint64_t { 64 } << 20;
};
