#pragma once

#include <istream>
#include <string>

class CSubDoc;
class CMetaLib;

// Reads key lines of one tagged block ("JOB", "META_ITEM") the way old job files are
// written: comments after //, tabs, trailing blanks, keys ignoring case.
class CJobLineReader {
public:
    explicit CJobLineReader(std::istream& in)
        : m_in(in)
    {
    }
    // Next "key=value" line of the block `tag`; false at the closing tag or end of file.
    bool NextKeyLine(const std::string& tag, std::string& key, std::string& value);

private:
    std::istream& m_in;
    std::string m_line; // reused: files hold millions of short lines
};

// Reads the rest of a job file (after its "<JOB>" line) into `section`: the JOB block,
// then W x H META_ITEM blocks. fix_type is mapped from the old index to the library
// index (-1 when no type carries it). Refuses (false, section untouched) a size beyond
// the section limits. Texts are made storable (a NUL or another control character becomes
// a stand-in); `replacedControls` tells whether that happened.
bool ReadJobFile(std::istream& in, CSubDoc& section, const CMetaLib& library,
    std::string* error = nullptr, bool* replacedControls = nullptr);
