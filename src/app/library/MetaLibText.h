#pragma once

#include <optional>
#include <string>

// Number and text conversions for the values of metalib.xml, kept apart so that every
// reader of the file converts the same way.
namespace metalibtext {

// C-library decimal conversion: leading white space, optional sign, digits; anything else
// ends the number, no digits gives 0. Out-of-range values clamp to the int range.
int ToIntLikeAtoi(const char* text);
// The value only when the whole text (blanks around it allowed) is one decimal integer
// within the int range.
std::optional<int> ToIntStrict(const char* text);
// Blanks (space, tab, line breaks) removed from both ends.
std::string Trim(const std::string& text);
// ASCII comparison ignoring letter case.
bool EqualsIgnoringCase(const std::string& a, const char* b);

} // namespace metalibtext
