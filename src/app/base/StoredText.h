#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Texts of a project (names, page info, screen names) are kept as bytes. A project file is
// XML, which has no form at all for most control characters and declares UTF-8, so every
// text that enters the project from outside goes through MakeStorableText first, and the
// file writer applies it once more to whatever it writes.

// The stand-in for a character that a project file cannot hold.
constexpr char kControlStandIn = '?';

// Length of the valid UTF-8 sequence at `i`, or 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);
bool IsValidUtf8(std::string_view text);

// Bytes that are not UTF-8 are read as Windows-1252, the way the window shows them.
std::string Utf8FromWindows1252(std::string_view text);

// True for the bytes XML 1.0 cannot hold in any form: 0x00..0x1F except tab, line feed
// and carriage return.
inline bool IsForbiddenControl(unsigned char c)
{
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// Replaces forbidden control characters with the stand-in and re-encodes a text that is
// not UTF-8 from Windows-1252. Returns whether a character was replaced; the re-encoding
// alone changes nothing the user sees.
bool MakeStorableText(std::string& text);

// What the user is told, once, when a text had to be changed on its way in.
constexpr const char* kControlsReplacedMessage
    = "Some texts held control characters that a project file cannot store; they were "
      "replaced by \"?\".";
