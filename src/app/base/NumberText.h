#pragma once

#include <cstddef>
#include <string>

// Decimal number output shared by the text exports. Values are taken as 64-bit so that
// "universe + 1" and the like never overflow, and no line needs a fixed-size buffer.

// Appends `value` in decimal ("%d").
void AppendDecimal(std::string& out, long long value);

// Appends `value` like "%0<width>d": a minus sign first, then zeros up to `width` characters.
void AppendZeroPadded(std::string& out, long long value, int width);

// Cuts `text` to at most `maxBytes` bytes without leaving half of a UTF-8 sequence at the end.
// Bytes that are not part of a valid UTF-8 sequence (8-bit texts) are cut like any byte.
void CutTextKeepingUtf8(std::string& text, std::size_t maxBytes);
