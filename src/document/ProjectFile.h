#pragma once

#include <cstddef>
#include <string>

class CQuiltmarkDoc;

// Builds the XML text of the project file (declaration, devices, documents).
class CProjectFileWriter {
public:
    // `date` goes into every visualiser script; empty means the local time now.
    static std::string Write(CQuiltmarkDoc& doc, const std::string& date = std::string());
};

// Fills the document from the XML text of a project file (after resetting it).
class CProjectFileReader {
public:
    // False when the text is not well-formed XML or asks for more than a section can
    // hold (`error` names the reason); the caller then reports the failure.
    static bool Read(CQuiltmarkDoc& doc, const char* data, std::size_t size,
                     std::string* error = nullptr);
};
