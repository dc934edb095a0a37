#pragma once

#include <string>

class CSubDoc;
class IUserMessages;

// Appends a lamp made from `section` to the library at `libraryPath` (modifyCurrent) or
// writes metalib_new.xml: beside the library when its folder is the user's to write, else in
// the user's data folder. False when the library file cannot be read or `section` is null;
// where the entry went, or why it could not be written, is told through `messages`. A
// modified copy written elsewhere is the library to use from then on: `libraryNowInUse`.
bool WriteLibraryEntryFile(const std::string& libraryPath, const CSubDoc* section,
    const std::string& metaName, const std::string& type, bool modifyCurrent,
    IUserMessages& messages, std::string* libraryNowInUse);
