#pragma once

#include <QString>
#include <string>

// The model keeps texts as the bytes it read. The window shows them as UTF-8 and falls
// back to Windows-1252 for bytes that are not valid UTF-8 (files of older versions).
QString FromModelText(const std::string& bytes);

// UTF-8 bytes of `text`, cut to at most `maxBytes` without splitting a character.
std::string ToModelText(const QString& text, int maxBytes = -1);

// Cuts UTF-8 bytes to at most `maxBytes` on a character boundary.
std::string CutUtf8(const std::string& bytes, int maxBytes);

// ToModelText for a text kept in the project: control characters a project file cannot
// store become a stand-in; `replaced` tells whether any did, so the caller can say so.
std::string ToProjectText(const QString& text, int maxBytes, bool* replaced);
