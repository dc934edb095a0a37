#pragma once

#include <ostream>
#include <string>

class CSubDoc;

// The ASCII-art patch scheme of a section, CR LF line ends. A section without tiles
// writes the two header lines and one closing line of width 0.
void WriteAsciiScheme(const CSubDoc& section, std::ostream& out);
std::string BuildAsciiScheme(const CSubDoc& section);
