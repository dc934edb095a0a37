#include "app/library/MetaLibText.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace metalibtext {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Reads an optional sign and digits at p; advances p past them. Saturates instead of
// overflowing so that absurd numbers in the file stay harmless.
bool ReadSignedDigits(const char*& p, int& out, bool& outOfRange)
{
    outOfRange = false;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (!IsDigit(*p))
        return false;
    int64_t v = 0;
    const int64_t limit = static_cast<int64_t>(INT_MAX) + 1;
    while (IsDigit(*p)) {
        if (v <= limit)
            v = v * 10 + (*p - '0');
        ++p;
    }
    v = negative ? -v : v;
    if (v > INT_MAX || v < INT_MIN) {
        outOfRange = true;
        v = v > INT_MAX ? INT_MAX : INT_MIN;
    }
    out = static_cast<int>(v);
    return true;
}

} // namespace

int ToIntLikeAtoi(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    int v = 0;
    bool outOfRange = false;
    return ReadSignedDigits(p, v, outOfRange) ? v : 0;
}

std::optional<int> ToIntStrict(const char* text)
{
    if (!text)
        return std::nullopt;
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    int v = 0;
    bool outOfRange = false;
    // Values beyond the int range are refused rather than clamped.
    if (!ReadSignedDigits(p, v, outOfRange) || outOfRange)
        return std::nullopt;
    while (IsBlank(*p))
        ++p;
    if (*p != '\0')
        return std::nullopt;
    return v;
}

std::string Trim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

} // namespace metalibtext
