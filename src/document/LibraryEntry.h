#pragma once

#include <string>

class CSubDoc;
class IUserMessages;

// Appends a lamp made from `section` to the library file at `libraryPath` (modifyCurrent)
// or writes metalib_new.xml beside it. False when the library file cannot be read or
// `section` is null; a failed write is told through `messages`.
bool WriteLibraryEntryFile(const std::string& libraryPath, const CSubDoc* section,
    const std::string& metaName, const std::string& type, bool modifyCurrent,
    IUserMessages& messages);
