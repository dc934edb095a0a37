#pragma once

#include <ctime>
#include <string>

class CSubDoc;

// The visualiser script of a section; `sectionNumber` is its position + 1 and `date`
// the text written after "created on" (FormatScriptDate of the local time).
std::string BuildSkopeScript(const CSubDoc& section, int sectionNumber, const std::string& date);

// "%Y.%m.%d %H:%M:%S" of a local time; empty when it cannot be formatted.
std::string FormatScriptDate(std::time_t when);
