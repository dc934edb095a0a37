#include "app/library/FixtureType.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

struct ParseCase {
    const char* typ;
    const char* value;
    bool enabled;
    int code;
    int operand;
};

TEST(SwitchOperation, ParsesTypeAndValue)
{
    const ParseCase cases[] = {
        { "add", "1", true, CSwitchOperation::Add, 1 },
        { "Add", "  5  ", true, CSwitchOperation::Add, 5 },
        { " SHL ", "3", true, CSwitchOperation::Shl, 3 },
        { "xor", "\t255\n", true, CSwitchOperation::Xor, 255 },
        { "mod", "7abc", true, CSwitchOperation::Mod, 7 },
        { "sub", "-4", true, CSwitchOperation::Sub, -4 },
        { "inv", "x", true, CSwitchOperation::Inv, 0 },
        { "pow", "5", false, 0, 5 },
        { "add", "", false, 0, 0 },
        { "add", "   ", false, 0, 0 },
        { "", "3", false, 0, 3 },
    };
    for (const ParseCase& c : cases) {
        CSwitchOperation op;
        op.Parse(c.typ, c.value);
        SCOPED_TRACE(std::string(c.typ) + " / " + c.value);
        EXPECT_EQ(op.enabled, c.enabled);
        if (c.enabled) {
            EXPECT_EQ(op.code, c.code);
        }
        EXPECT_EQ(op.operand, c.operand);
    }
}

TEST(SwitchOperation, ReparsingAnEmptyValueResetsEverything)
{
    CSwitchOperation op;
    op.Parse("shr", "2");
    op.Parse("shr", " ");
    EXPECT_FALSE(op.enabled);
    EXPECT_EQ(op.code, 0);
    EXPECT_EQ(op.operand, 0);
}

struct ApplyCase {
    int code;
    int operand;
    uint32_t in;
    uint32_t out;
};

TEST(SwitchOperation, AppliesUnsignedWrappingArithmetic)
{
    const ApplyCase cases[] = {
        { CSwitchOperation::Add, 1, 10, 11 },
        { CSwitchOperation::Add, 1, UINT32_MAX, 0 },
        { CSwitchOperation::Sub, 1, 0, UINT32_MAX },
        { CSwitchOperation::Sub, -2, 5, 7 },
        { CSwitchOperation::Div, 3, 10, 3 },
        { CSwitchOperation::Div, 0, 10, 10 },
        { CSwitchOperation::Div, 0, 0, 0 },
        { CSwitchOperation::Mlt, 2, 0x80000001u, 2 },
        { CSwitchOperation::Mod, 4, 10, 2 },
        { CSwitchOperation::Mod, 0, 10, 10 },
        { CSwitchOperation::Inv, 99, 0, UINT32_MAX },
        { CSwitchOperation::And, 0xF0, 0xFF, 0xF0 },
        { CSwitchOperation::Or, 0x0F, 0xF0, 0xFF },
        { CSwitchOperation::Xor, 0xFF, 0x0F, 0xF0 },
        { CSwitchOperation::Shr, 1, 10, 5 },
        { CSwitchOperation::Shr, 33, 8, 4 },
        { CSwitchOperation::Shl, 32, 3, 3 },
        { CSwitchOperation::Shl, -1, 1, 0x80000000u },
        { CSwitchOperation::Div, -1, 7, 0 },
    };
    for (const ApplyCase& c : cases) {
        CSwitchOperation op;
        op.code = c.code;
        op.operand = c.operand;
        op.enabled = true;
        SCOPED_TRACE("code " + std::to_string(c.code) + " operand " + std::to_string(c.operand));
        EXPECT_EQ(op.Apply(c.in), c.out);
    }
}

TEST(SwitchOperation, SwitchValueChainsEnabledOperationsInOrder)
{
    CFixtureType t;
    t.operations.resize(3);
    t.operations[0].Parse("add", "1");
    t.operations[1].Parse("pow", "9"); // disabled, passes the value through
    t.operations[2].Parse("shr", "1");
    EXPECT_EQ(t.SwitchValue(10), 5u);

    CFixtureType none;
    EXPECT_EQ(none.SwitchValue(123), 123u);
}

struct SizeCase {
    int width, height, perQuark, header, tail;
    int channels;
    bool usable;
};

TEST(FixtureType, ChannelCountAndUsability)
{
    const SizeCase cases[] = {
        { 1, 1, 3, 0, 0, 3, true },
        { 4, 1, 3, 2, 1, 15, true },
        { 2, 2, 4, 0, 0, 16, true },
        { 1, 1, 0, 0, 0, 0, true },
        { 0, 1, 3, 0, 0, 0, false },
        { -2, 1, 3, 0, 0, -6, false },
        { 1, 1, -3, 0, 0, -3, false },
        { 1, 1, 3, -1, 0, 2, false },
        { 1024, 64, 1, 0, 0, 65536, true },
        { 1025, 1, 1, 0, 0, 1025, false },
        { 1024, 65, 1, 0, 0, 66560, false },
        { 256, 256, 2, 0, 0, 131072, false },
        { 100000, 100000, 100000, 0, 0, INT_MAX, false },
        { 100000, -100000, 100000, 0, 0, INT_MIN, false },
        { 1, 1, 1, INT_MAX, INT_MAX, INT_MAX, false },
    };
    for (const SizeCase& c : cases) {
        CFixtureType t;
        t.width = c.width;
        t.height = c.height;
        t.addressesPerQuark = c.perQuark;
        t.headerAddresses = c.header;
        t.tailAddresses = c.tail;
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " * "
            + std::to_string(c.perQuark));
        EXPECT_EQ(t.ChannelsPerFixture(), c.channels);
        EXPECT_EQ(t.IsUsable(), c.usable);
    }

    CFixtureType huge;
    huge.width = 100000;
    huge.height = 100000;
    EXPECT_EQ(huge.QuarksPerFixture(), INT_MAX);
}

TEST(FixtureType, MatrixOffsetAndStyleStayInsideTheirData)
{
    CFixtureType t;
    t.width = 3;
    t.height = 2;
    EXPECT_EQ(t.MatrixOffset(0, 0), 0); // absent matrix
    t.dmxMatrix.emplace(std::vector<uint16_t> { 0, 3, 6, 15, 12, 9 });
    EXPECT_EQ(t.MatrixOffset(1, 0), 3);
    EXPECT_EQ(t.MatrixOffset(0, 1), 15);
    EXPECT_EQ(t.MatrixOffset(2, 1), 9);
    EXPECT_EQ(t.MatrixOffset(3, 0), 0);
    EXPECT_EQ(t.MatrixOffset(0, 2), 0);
    EXPECT_EQ(t.MatrixOffset(-1, 0), 0);
    // A matrix built before the size was changed must not be read beyond its end.
    t.width = 30;
    t.height = 20;
    EXPECT_EQ(t.MatrixOffset(29, 19), 0);

    t.styles = { "a", "b" };
    EXPECT_EQ(t.StyleAt(1), "b");
    EXPECT_EQ(t.StyleAt(2), "");
    EXPECT_EQ(t.StyleAt(-1), "");
}

} // namespace
