#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One transformation applied to a DMX address before it is shown on the DIP switches.
struct CSwitchOperation {
    enum Code { Add = 0, Sub, Div, Mlt, Mod, Inv, And, Or, Xor, Shr, Shl };

    int code = 0;
    int operand = 0;
    bool enabled = false;

    // Parses `typ` and `value` as stored in metalib.xml; an unusable pair leaves the
    // operation disabled (it still stays in the fixture's list).
    void Parse(const std::string& typ, const std::string& value);
    // Unsigned 32-bit arithmetic, wrapping. A disabled operation passes v unchanged.
    uint32_t Apply(uint32_t v) const;
};

struct CFixedSwitch {
    int position = 0;
    bool on = false;
};

// One kind of LED fixture of the fixture library.
class CFixtureType {
public:
    // Flag bits of `flags`: how the quarks of one fixture are laid into its channel block.
    static constexpr int kFlagReverseX = 1;
    static constexpr int kFlagReverseY = 2;
    static constexpr int kFlagColumnMajor = 4;
    static constexpr int kFlagSnake = 8;
    static constexpr int kFlagDmxMatrix = 16;

    // Sections refuse fixture types beyond these sizes (absurd library entries).
    static constexpr int kMaxQuarksPerAxis = 1024;
    static constexpr int kMaxQuarks = 65536;
    static constexpr int kMaxChannels = 65536;

    int index = 0;
    bool hasSwitch = false;
    std::vector<CSwitchOperation> operations;
    std::vector<CFixedSwitch> fixedSwitches;
    std::vector<std::string> styles;
    int dmxBit[9] = { 0, 0, 0, 0, 0, 0, 0, 0, 0 };
    int switchStart = 0;
    int switchEnd = 0;
    int switchCount = 0;
    int switchMargin = 2;
    int switchGridWidth = 2;
    int switchGridHeight = 3;
    bool topIsOn = true;
    std::string textOn = "ON";
    std::string textOff = "OFF";
    std::string type;
    std::string metaName;
    std::string quarkName;
    int addressesPerQuark = 0;
    int width = 0;
    int height = 0;
    int skopeWidth = 10;
    int skopeHeight = 10;
    int skopeDepth = 10;
    int flags = 0;
    std::string headerText;
    int headerAddresses = 0;
    std::string tailText;
    int tailAddresses = 0;
    int oldIndex = 0;
    // width x height cells, cell (x, y) at x + y * width; absent when the lamp has no dmxmatrix.
    std::optional<std::vector<uint16_t>> dmxMatrix;

    // F = width * height * addressesPerQuark + headerAddresses + tailAddresses, computed
    // without overflow (clamped to the int range).
    int ChannelsPerFixture() const;
    int QuarksPerFixture() const;
    // True when sections can be built of this type: 1..kMaxQuarksPerAxis quarks on each
    // axis, at most kMaxQuarks quarks, no negative channel counts, F <= kMaxChannels.
    bool IsUsable() const;
    // The style text, or empty outside the list.
    std::string StyleAt(int position) const;
    // The offset of cell (x, y) of the explicit matrix; 0 when absent or outside.
    uint16_t MatrixOffset(int x, int y) const;
    // The address passed through the enabled operations in list order.
    uint32_t SwitchValue(uint32_t address) const;
};
