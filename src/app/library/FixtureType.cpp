#include "app/library/FixtureType.h"

#include "app/library/MetaLibText.h"

#include <climits>
#include <cstdint>

namespace {

struct OperationName {
    const char* name;
    int code;
};

constexpr OperationName kOperationNames[] = {
    { "add", CSwitchOperation::Add },
    { "sub", CSwitchOperation::Sub },
    { "div", CSwitchOperation::Div },
    { "mlt", CSwitchOperation::Mlt },
    { "mod", CSwitchOperation::Mod },
    { "inv", CSwitchOperation::Inv },
    { "and", CSwitchOperation::And },
    { "or", CSwitchOperation::Or },
    { "xor", CSwitchOperation::Xor },
    { "shr", CSwitchOperation::Shr },
    { "shl", CSwitchOperation::Shl },
};

int ClampToInt(int64_t v)
{
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

} // namespace

void CSwitchOperation::Parse(const std::string& typ, const std::string& value)
{
    const std::string trimmedValue = metalibtext::Trim(value);
    if (trimmedValue.empty()) {
        code = 0;
        operand = 0;
        enabled = false;
        return;
    }
    operand = metalibtext::ToIntLikeAtoi(trimmedValue.c_str());
    enabled = true;

    const std::string trimmedTyp = metalibtext::Trim(typ);
    for (const OperationName& op : kOperationNames) {
        if (metalibtext::EqualsIgnoringCase(trimmedTyp, op.name)) {
            code = op.code;
            return;
        }
    }
    enabled = false;
}

uint32_t CSwitchOperation::Apply(uint32_t v) const
{
    if (!enabled)
        return v;
    const uint32_t o = static_cast<uint32_t>(operand);
    switch (code) {
    case Add:
        return v + o;
    case Sub:
        return v - o;
    case Div:
        // A zero divisor would be a fault in the library entry; keep the address as it is.
        return o == 0 ? v : v / o;
    case Mlt:
        return v * o;
    case Mod:
        return o == 0 ? v : v % o;
    case Inv:
        return ~v;
    case And:
        return v & o;
    case Or:
        return v | o;
    case Xor:
        return v ^ o;
    case Shr:
        return v >> (o & 31u);
    case Shl:
        return v << (o & 31u);
    default:
        return v;
    }
}

int CFixtureType::ChannelsPerFixture() const
{
    // Library entries are untrusted text; the product of two large numbers must not overflow.
    const int64_t quarks = static_cast<int64_t>(width) * height;
    const int64_t channels
        = quarks * addressesPerQuark + static_cast<int64_t>(headerAddresses) + tailAddresses;
    return ClampToInt(channels);
}

int CFixtureType::QuarksPerFixture() const
{
    return ClampToInt(static_cast<int64_t>(width) * height);
}

bool CFixtureType::IsUsable() const
{
    if (width < 1 || width > kMaxQuarksPerAxis || height < 1 || height > kMaxQuarksPerAxis)
        return false;
    if (static_cast<int64_t>(width) * height > kMaxQuarks)
        return false;
    if (addressesPerQuark < 0 || headerAddresses < 0 || tailAddresses < 0)
        return false;
    return ChannelsPerFixture() <= kMaxChannels;
}

std::string CFixtureType::StyleAt(int position) const
{
    if (position < 0 || position >= static_cast<int>(styles.size()))
        return std::string();
    return styles[static_cast<std::size_t>(position)];
}

uint16_t CFixtureType::MatrixOffset(int x, int y) const
{
    if (!dmxMatrix || x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    const int64_t cell = static_cast<int64_t>(x) + static_cast<int64_t>(y) * width;
    if (cell >= static_cast<int64_t>(dmxMatrix->size()))
        return 0;
    return (*dmxMatrix)[static_cast<std::size_t>(cell)];
}

uint32_t CFixtureType::SwitchValue(uint32_t address) const
{
    uint32_t v = address;
    for (const CSwitchOperation& op : operations)
        v = op.Apply(v);
    return v;
}
