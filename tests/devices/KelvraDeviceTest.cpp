#include "devices/KelvraDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return (a << 24) | (b << 16) | (c << 8) | d;
}

std::vector<int> Universes(const CKelvraDevice& device)
{
    std::vector<int> result;
    for (int i = 0; i < device.GetPortCount(); ++i)
        result.push_back(device.GetPortUniverse(i));
    return result;
}

} // namespace

TEST(DeviceTypeTable, KeysRoundTripAndPortsMatchTable)
{
    const char* keys[] = { "PORTER", "SPARK", "DUSK", "KGATE512", "KGATE1024", "KSPAN512",
        "KSPAN1024", "KSPAN2048" };
    const int ports[] = { 2, 1, 1, 1, 2, 1, 2, 4 };
    for (int type = 0; type < kDeviceTypeCount; ++type) {
        SCOPED_TRACE(type);
        EXPECT_EQ(TypeFromKey(keys[type]), type);
        CKelvraDevice device;
        ASSERT_TRUE(device.SetType(type, 0));
        EXPECT_EQ(device.GetTypeKey(), keys[type]);
        EXPECT_EQ(device.GetPortCount(), ports[type]);
        EXPECT_EQ(device.IsUsb(), type == 1 || type == 2);
        EXPECT_EQ(device.GetName(), DeviceTypeName(type));
    }
    EXPECT_STREQ(DeviceTypeName(1), "Kelvra spark (USB)");
    EXPECT_STREQ(DeviceTypeName(7), "k:span2048");
    EXPECT_STREQ(DeviceTypeName(8), "");
    EXPECT_STREQ(DeviceTypeKey(-1), "");
    EXPECT_EQ(DeviceTypePortCount(8), 0);
}

TEST(DeviceTypeTable, UnknownOrMiscasedKeysGivePorter)
{
    for (const char* key : { "kgate512", "", "KGATE", "KGATE512 ", "XYZ" })
        EXPECT_EQ(TypeFromKey(key), 0) << key;
}

struct IpTextCase {
    const char* text;
    uint32_t address;
};

class DeviceIpFromText : public testing::TestWithParam<IpTextCase> { };

TEST_P(DeviceIpFromText, ParsesLeniently)
{
    EXPECT_EQ(IpAddressFromText(GetParam().text), GetParam().address) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceIpFromText,
    testing::Values(IpTextCase { "10.0.0.1", Ip(10, 0, 0, 1) },
        IpTextCase { "  192.168.1.20\t\n", Ip(192, 168, 1, 20) },
        IpTextCase { "300.1.-5.7", Ip(255, 1, 0, 7) }, IpTextCase { "10..0.1", Ip(10, 0, 1, 0) },
        IpTextCase { "10.1", Ip(10, 1, 0, 0) }, IpTextCase { "1.2.3.4.5", Ip(1, 2, 3, 4) },
        IpTextCase { "", 0 }, IpTextCase { ".10.0.0.1.", Ip(10, 0, 0, 1) }, IpTextCase { "...", 0 },
        IpTextCase { "12abc.+7. 8.x", Ip(12, 7, 8, 0) },
        // Digit strings far past the int range must clamp, not overflow.
        IpTextCase { "99999999999999999999.4294967296.1.2", Ip(255, 255, 1, 2) },
        IpTextCase { "-99999999999999999999.1.1.1", Ip(0, 1, 1, 1) }));

TEST(DeviceIpToText, FormatsOctetsWithoutLeadingZeros)
{
    EXPECT_EQ(IpAddressToText(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(IpAddressToText(1), "0.0.0.1");
    EXPECT_EQ(IpAddressToText(0), "0.0.0.0");
    EXPECT_EQ(IpAddressToText(Ip(10, 0, 20, 7)), "10.0.20.7");
    EXPECT_EQ(IpAddressFromText(IpAddressToText(Ip(172, 16, 254, 3))), Ip(172, 16, 254, 3));
}

TEST(DeviceSetType, ResizesPortsKeepingSurvivingUniverses)
{
    CKelvraDevice device;
    ASSERT_TRUE(device.SetType(7, Ip(10, 0, 0, 1)));
    ASSERT_EQ(device.GetPortCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(device.GetPort(i)->GetPortNumber(), i);
        EXPECT_EQ(device.GetPort(i)->GetUniverse(), -1);
    }
    for (int i = 0; i < 4; ++i)
        device.SetPortUniverse(i, 10 + i);

    ASSERT_TRUE(device.SetType(4, Ip(10, 0, 0, 2)));
    EXPECT_EQ(Universes(device), (std::vector<int> { 10, 11 }));
    EXPECT_EQ(device.GetIpAddress(), Ip(10, 0, 0, 2));
    EXPECT_EQ(device.GetName(), "k:gate1024");

    ASSERT_TRUE(device.SetType(7, Ip(10, 0, 0, 2)));
    EXPECT_EQ(Universes(device), (std::vector<int> { 10, 11, -1, -1 }));
    EXPECT_EQ(device.GetPort(3)->GetPortNumber(), 3);

    ASSERT_TRUE(device.SetType(3, 0));
    EXPECT_EQ(Universes(device), (std::vector<int> { 10 }));
}

TEST(DeviceSetType, RefusesTypeOutsideTableAndChangesNothing)
{
    CKelvraDevice device;
    ASSERT_TRUE(device.SetType(6, Ip(10, 0, 0, 9)));
    device.SetPortUniverse(1, 3);
    for (int bad : { 8, -1, 1000 }) {
        EXPECT_FALSE(device.SetType(bad, 42));
        EXPECT_EQ(device.GetType(), 6);
        EXPECT_EQ(device.GetName(), "k:span1024");
        EXPECT_EQ(device.GetIpAddress(), Ip(10, 0, 0, 9));
        EXPECT_EQ(Universes(device), (std::vector<int> { -1, 3 }));
    }
}

TEST(DevicePorts, InvalidIndexesAreIgnored)
{
    CKelvraDevice device;
    device.SetType(0, 0);
    EXPECT_FALSE(device.SetPortUniverse(4, 7));
    EXPECT_FALSE(device.SetPortUniverse(2, 7));
    EXPECT_FALSE(device.SetPortUniverse(-1, 7));
    EXPECT_EQ(Universes(device), (std::vector<int> { -1, -1 }));
    EXPECT_EQ(device.GetPortUniverse(2), -1);
    EXPECT_EQ(device.GetPortUniverse(-1), -1);
    EXPECT_EQ(device.GetPort(2), nullptr);
    EXPECT_EQ(device.GetPort(-1), nullptr);

    EXPECT_TRUE(device.SetPortUniverse(1, 0));
    EXPECT_EQ(device.GetPortUniverse(1), 0);
    device.SetAllPortsUniverse(-1);
    EXPECT_EQ(Universes(device), (std::vector<int> { -1, -1 }));
}

TEST(DeviceClone, CopiesEverythingButListMembership)
{
    CKelvraDevice device;
    device.SetType(7, Ip(10, 0, 0, 5));
    device.SetPortUniverse(2, 9);
    device.SetListIndex(3);
    device.expanded = true;
    auto copy = device.Clone();
    EXPECT_EQ(copy->GetType(), 7);
    EXPECT_EQ(copy->GetIpAddress(), Ip(10, 0, 0, 5));
    EXPECT_EQ(Universes(*copy), (std::vector<int> { -1, -1, 9, -1 }));
    EXPECT_EQ(copy->GetListIndex(), -1);
    EXPECT_TRUE(copy->expanded);
}
