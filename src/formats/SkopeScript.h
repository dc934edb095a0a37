#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

class CSubDoc;

// The visualiser script of a section; `sectionNumber` is its position + 1 and `date`
// the text written after "created on" (FormatScriptDate of the local time).
std::string BuildSkopeScript(const CSubDoc& section, int sectionNumber, const std::string& date);

// The same text in pieces of up to about a megabyte, each ending at a line end, for
// writers that stream it; nothing for a section without a usable type or style.
void ForEachSkopeScriptPiece(const CSubDoc& section, int sectionNumber, const std::string& date,
    const std::function<void(std::string_view)>& piece);

// Whether every text the script takes from the section, its fixture type and `date` is
// UTF-8, so that the pieces are UTF-8 whenever the whole script is.
bool SkopeScriptSourcesAreUtf8(const CSubDoc& section, const std::string& date);

// "%Y.%m.%d %H:%M:%S" of a local time; empty when it cannot be formatted.
std::string FormatScriptDate(std::time_t when);
