#include "app/base/NumberText.h"

#include <charconv>

void AppendDecimal(std::string& out, long long value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendZeroPadded(std::string& out, long long value, int width)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    char* first = digits;
    if (value < 0) {
        out.push_back('-');
        ++first;
    }
    const long long length = result.ptr - digits;
    for (long long n = length; n < width; ++n)
        out.push_back('0');
    out.append(first, result.ptr);
}

namespace {

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Length of the sequence a lead byte starts; 0 for bytes that cannot lead one.
std::size_t SequenceLength(unsigned char c)
{
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

} // namespace

void CutTextKeepingUtf8(std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return;
    std::size_t cut = maxBytes;
    if (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut]))) {
        // Walk back to the lead byte; cut before it only when its sequence is whole
        // UTF-8 that would straddle the limit.
        std::size_t lead = cut;
        while (lead > 0 && cut - lead < 3 && IsContinuation(static_cast<unsigned char>(text[lead])))
            --lead;
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[lead]));
        if (length > 0 && lead + length > cut && lead + length <= text.size()) {
            bool whole = true;
            for (std::size_t i = lead + 1; i < lead + length; ++i)
                whole = whole && IsContinuation(static_cast<unsigned char>(text[i]));
            if (whole)
                cut = lead;
        }
    }
    text.resize(cut);
}
