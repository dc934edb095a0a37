#include "devices/KelvraDeviceList.h"
#include "FakeUsedUniverses.h"

#include "app/base/UserMessages.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return (a << 24) | (b << 16) | (c << 8) | d;
}

FakeUsedUniverses UsedRange(int count)
{
    std::set<int> universes;
    for (int u = 0; u < count; ++u)
        universes.insert(u);
    return FakeUsedUniverses(universes);
}

std::unique_ptr<CKelvraDevice> MakeDevice(int type, uint32_t ip)
{
    auto device = std::make_unique<CKelvraDevice>();
    device->SetType(type, ip);
    return device;
}

// One string per device, ports as "U01" or "-", e.g. "U01 U02|U03 -".
std::string Patch(const CKelvraDeviceList& list)
{
    std::string out;
    for (int d = 0; d < list.GetDeviceCount(); ++d) {
        if (d > 0)
            out += '|';
        const CKelvraDevice* device = list.GetDevice(d);
        for (int p = 0; p < device->GetPortCount(); ++p) {
            if (p > 0)
                out += ' ';
            const int u = device->GetPortUniverse(p);
            out += u < 0 ? "-" : (u + 1 < 10 ? "U0" : "U") + std::to_string(u + 1);
        }
    }
    return out;
}

std::vector<uint32_t> Addresses(const CKelvraDeviceList& list)
{
    std::vector<uint32_t> out;
    for (int d = 0; d < list.GetDeviceCount(); ++d)
        out.push_back(list.GetDevice(d)->GetIpAddress());
    return out;
}

void ExpectIndexesMatchPositions(const CKelvraDeviceList& list)
{
    for (int d = 0; d < list.GetDeviceCount(); ++d)
        EXPECT_EQ(list.GetDevice(d)->GetListIndex(), d);
}

} // namespace

TEST(DeviceList, AddRemoveSwapKeepListIndexes)
{
    CKelvraDeviceList list;
    EXPECT_EQ(list.AddDevice(MakeDevice(0, 1)), 0);
    EXPECT_EQ(list.AddDevice(MakeDevice(1, 2)), 1);
    EXPECT_EQ(list.AddDeviceFromText("KSPAN2048", "10.0.0.3"), 2);
    EXPECT_EQ(list.AddDevice(MakeDevice(3, 4)), 3);
    EXPECT_EQ(list.AddDevice(nullptr), -1);
    ASSERT_EQ(list.GetDeviceCount(), 4);
    ExpectIndexesMatchPositions(list);

    list.SwapDevices(0, 3);
    EXPECT_EQ(Addresses(list), (std::vector<uint32_t> { 4, 2, Ip(10, 0, 0, 3), 1 }));
    ExpectIndexesMatchPositions(list);

    // Moving the first up or the last down is a swap with an invalid position.
    for (auto [a, b] : { std::pair { 0, -1 }, { 3, 4 }, { 2, 2 }, { -5, 100 } })
        list.SwapDevices(a, b);
    EXPECT_EQ(Addresses(list), (std::vector<uint32_t> { 4, 2, Ip(10, 0, 0, 3), 1 }));

    EXPECT_TRUE(list.RemoveDevice(1));
    EXPECT_FALSE(list.RemoveDevice(3));
    EXPECT_FALSE(list.RemoveDevice(-1));
    EXPECT_EQ(Addresses(list), (std::vector<uint32_t> { 4, Ip(10, 0, 0, 3), 1 }));
    ExpectIndexesMatchPositions(list);
    EXPECT_EQ(list.GetDevice(3), nullptr);
    EXPECT_EQ(list.GetDevice(-1), nullptr);

    list.RemoveAllDevices();
    EXPECT_EQ(list.GetDeviceCount(), 0);
}

TEST(DeviceList, AddFromTextUsesTypePortsAndLenientAddress)
{
    CKelvraDeviceList list;
    list.AddDeviceFromText("KSPAN2048", " 10.0.0.1 ");
    list.AddDeviceFromText("", "");
    list.AddDeviceFromText("spark", "10.0.0.1");
    EXPECT_EQ(Patch(list), "- - - -|- -|- -");
    EXPECT_EQ(list.GetDevice(0)->GetIpAddress(), Ip(10, 0, 0, 1));
    EXPECT_EQ(list.GetDevice(1)->GetTypeKey(), "PORTER");
    EXPECT_EQ(list.GetDevice(1)->GetIpAddress(), 0u);
    // Duplicate addresses are accepted as they are.
    EXPECT_EQ(list.GetDevice(2)->GetIpAddress(), Ip(10, 0, 0, 1));
}

TEST(DeviceList, NextFreeIpAddress)
{
    CKelvraDeviceList list;
    EXPECT_EQ(list.GetNextFreeIpAddress(), 1u);
    list.AddDevice(MakeDevice(0, 0));
    EXPECT_EQ(list.GetNextFreeIpAddress(), 1u);
    list.AddDevice(MakeDevice(0, Ip(10, 0, 0, 5)));
    list.AddDevice(MakeDevice(0, Ip(10, 0, 0, 2)));
    EXPECT_EQ(list.GetNextFreeIpAddress(), Ip(10, 0, 0, 6));
    // Compared unsigned: an address with the top bit set is the highest.
    list.AddDevice(MakeDevice(0, Ip(200, 0, 0, 1)));
    EXPECT_EQ(list.GetNextFreeIpAddress(), Ip(200, 0, 0, 2));
    // Never proposes 0.0.0.0 by running past the top.
    list.AddDevice(MakeDevice(0, 0xFFFFFFFFu));
    EXPECT_EQ(list.GetNextFreeIpAddress(), 1u);
}

TEST(DeviceIpStepping, SkipsZeroAndBroadcastEndings)
{
    struct Case {
        uint32_t start;
        int count;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        { Ip(10, 0, 0, 253), 3, { Ip(10, 0, 0, 253), Ip(10, 0, 0, 254), Ip(10, 0, 1, 1) } },
        { Ip(10, 0, 0, 255), 3, { Ip(10, 0, 1, 1), Ip(10, 0, 1, 2), Ip(10, 0, 1, 3) } },
        { Ip(10, 0, 0, 0), 1, { Ip(10, 0, 0, 1) } },
        { Ip(0, 0, 255, 255), 2, { 1, 2 } },
        // Reaching 0.0.255.255 always restarts at 0.0.0.1.
        { Ip(0, 0, 255, 254), 2, { Ip(0, 0, 255, 254), 1 } },
        { Ip(255, 255, 255, 254), 2, { Ip(255, 255, 255, 254), 1 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(IpAddressToText(c.start));
        CKelvraDevice templ;
        templ.SetType(5, c.start);
        CKelvraDeviceList list;
        list.AddDevices(templ, c.count);
        EXPECT_EQ(Addresses(list), c.expected);
        ExpectIndexesMatchPositions(list);
    }
}

TEST(DeviceList, AddDevicesClampsCountAndCopiesType)
{
    CKelvraDevice templ;
    templ.SetType(6, Ip(10, 0, 0, 1));
    templ.SetPortUniverse(0, 4);
    CKelvraDeviceList list;
    list.AddDevices(templ, 0);
    list.AddDevices(templ, -3);
    EXPECT_EQ(list.GetDeviceCount(), 0);
    list.AddDevices(templ, 2);
    EXPECT_EQ(Patch(list), "- -|- -");
    EXPECT_EQ(list.GetDevice(1)->GetName(), "k:span1024");
    list.AddDevices(templ, 1000);
    EXPECT_EQ(list.GetDeviceCount(), 101);
}

TEST(DeviceAutoConnect, FillsPortsInListOrder)
{
    CKelvraDeviceList list;
    list.AddDevice(MakeDevice(0, 1));
    list.AddDevice(MakeDevice(0, 2));
    list.AddDevice(MakeDevice(7, 3));
    list.GetDevice(2)->SetPortUniverse(3, 40); // stale manual connection
    CRecordingMessages messages;
    EXPECT_TRUE(list.AutoConnect(FakeUsedUniverses({ 0, 1, 2, 5, 6 }), messages));
    EXPECT_EQ(Patch(list), "U01 U02|U03 U06|U07 - - -");
    EXPECT_TRUE(messages.calls.empty());
}

TEST(DeviceAutoConnect, NotEnoughPortsWarnsOnceAndKeepsPartialResult)
{
    CKelvraDeviceList list;
    list.AddDevice(MakeDevice(0, 1));
    list.AddDevice(MakeDevice(3, 2));
    CRecordingMessages messages;
    EXPECT_FALSE(list.AutoConnect(UsedRange(6), messages));
    EXPECT_EQ(Patch(list), "U01 U02|U03");
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_FALSE(messages.calls[0].question);
    EXPECT_EQ(messages.calls[0].text,
        "There are not enough Devices for Auto-Connect!\nPlease add more Devices and try it "
        "again.");

    // An empty list cannot take even one universe.
    CKelvraDeviceList empty;
    CRecordingMessages emptyMessages;
    EXPECT_FALSE(empty.AutoConnect(UsedRange(1), emptyMessages));
    EXPECT_EQ(emptyMessages.calls.size(), 1u);
}

TEST(DeviceAutoConnect, NoUsedUniversesDisconnectsSilently)
{
    CKelvraDeviceList list;
    list.AddDevice(MakeDevice(7, 1));
    list.GetDevice(0)->SetPortUniverse(1, 5);
    CRecordingMessages messages;
    EXPECT_TRUE(list.AutoConnect(UsedRange(0), messages));
    EXPECT_EQ(Patch(list), "- - - -");
    EXPECT_TRUE(messages.calls.empty());
}

TEST(DeviceCreateAndConnect, ReplacesListWithJustEnoughDevices)
{
    CKelvraDeviceList list;
    list.AddDevice(MakeDevice(0, Ip(192, 168, 0, 1)));
    list.GetDevice(0)->SetPortUniverse(0, 2);
    CKelvraDevice templ;
    templ.SetType(7, Ip(10, 0, 0, 254));
    CRecordingMessages messages;
    list.CreateDevicesAndConnect(templ, UsedRange(9), messages);
    EXPECT_EQ(Patch(list), "U01 U02 U03 U04|U05 U06 U07 U08|U09 - - -");
    EXPECT_EQ(Addresses(list),
        (std::vector<uint32_t> { Ip(10, 0, 0, 254), Ip(10, 0, 1, 1), Ip(10, 0, 1, 2) }));
    ExpectIndexesMatchPositions(list);
    EXPECT_TRUE(messages.calls.empty());

    // An exact multiple needs no extra device.
    list.CreateDevicesAndConnect(templ, UsedRange(8), messages);
    EXPECT_EQ(list.GetDeviceCount(), 2);

    list.CreateDevicesAndConnect(templ, UsedRange(0), messages);
    EXPECT_EQ(list.GetDeviceCount(), 0);
    EXPECT_TRUE(messages.calls.empty());
}
