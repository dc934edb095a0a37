#include "devices/KelvraDeviceList.h"

#include "app/base/UserMessages.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kMaxDevicesPerAdd = 99;

} // namespace

int CKelvraDeviceList::AddDevice(std::unique_ptr<CKelvraDevice> device)
{
    if (!device)
        return -1;
    const int position = GetDeviceCount();
    device->SetListIndex(position);
    m_devices.push_back(std::move(device));
    return position;
}

int CKelvraDeviceList::AddDeviceFromText(const std::string& typeKey, const std::string& ipText)
{
    auto device = std::make_unique<CKelvraDevice>();
    device->SetType(TypeFromKey(typeKey), IpAddressFromText(ipText));
    return AddDevice(std::move(device));
}

bool CKelvraDeviceList::RemoveDevice(int position)
{
    if (position < 0 || position >= GetDeviceCount())
        return false;
    m_devices.erase(m_devices.begin() + position);
    Renumber();
    return true;
}

void CKelvraDeviceList::RemoveAllDevices()
{
    while (!m_devices.empty())
        m_devices.pop_back();
}

void CKelvraDeviceList::SwapDevices(int a, int b)
{
    const int count = GetDeviceCount();
    if (a == b || a < 0 || b < 0 || a >= count || b >= count)
        return;
    std::swap(m_devices[static_cast<size_t>(a)], m_devices[static_cast<size_t>(b)]);
    m_devices[static_cast<size_t>(a)]->SetListIndex(a);
    m_devices[static_cast<size_t>(b)]->SetListIndex(b);
}

CKelvraDevice* CKelvraDeviceList::GetDevice(int position)
{
    if (position < 0 || position >= GetDeviceCount())
        return nullptr;
    return m_devices[static_cast<size_t>(position)].get();
}

const CKelvraDevice* CKelvraDeviceList::GetDevice(int position) const
{
    if (position < 0 || position >= GetDeviceCount())
        return nullptr;
    return m_devices[static_cast<size_t>(position)].get();
}

uint32_t CKelvraDeviceList::GetNextFreeIpAddress() const
{
    uint32_t highest = 0;
    for (const auto& device : m_devices)
        highest = std::max(highest, device->GetIpAddress());
    // Past the top of the address space start over at the first usable address rather
    // than proposing 0.0.0.0.
    if (highest == UINT32_MAX)
        return 1;
    return highest + 1;
}

void CKelvraDeviceList::DisconnectAllPorts()
{
    for (auto& device : m_devices)
        device->SetAllPortsUniverse(-1);
}

bool CKelvraDeviceList::ConnectToFreePort(int universe)
{
    for (auto& device : m_devices) {
        for (int port = 0; port < device->GetPortCount(); ++port) {
            if (device->GetPortUniverse(port) == -1)
                return device->SetPortUniverse(port, universe);
        }
    }
    return false;
}

uint32_t CKelvraDeviceList::StepIpAddress(uint32_t& address)
{
    if (address == 65535)
        address = 1;
    if (address % 256 == 255)
        ++address;
    if (address % 256 == 0)
        ++address;
    const uint32_t given = address;
    ++address;
    return given;
}

void CKelvraDeviceList::AddDevices(const CKelvraDevice& templ, int count)
{
    count = std::clamp(count, 0, kMaxDevicesPerAdd);
    uint32_t address = templ.GetIpAddress();
    for (int i = 0; i < count; ++i) {
        auto device = std::make_unique<CKelvraDevice>();
        device->SetType(templ.GetType(), StepIpAddress(address));
        AddDevice(std::move(device));
    }
}

bool CKelvraDeviceList::AutoConnect(const IUsedUniverses& used, IUserMessages& messages)
{
    DisconnectAllPorts();
    const int count = used.GetUsedUniverseCount();
    int universe = -1;
    for (int i = 0; i < count; ++i) {
        universe = used.GetNextUsedUniverse(universe);
        // A set that runs dry before its reported size has nothing more to connect.
        if (universe < 0)
            break;
        if (!ConnectToFreePort(universe)) {
            messages.ShowMessage(kNotEnoughDevices, MessageIcon::None);
            return false;
        }
    }
    return true;
}

void CKelvraDeviceList::CreateDevicesAndConnect(
    const CKelvraDevice& templ, const IUsedUniverses& used, IUserMessages& messages)
{
    // The port count comes from the table so that a template without ports cannot divide by 0.
    const int ports = std::max(1, DeviceTypePortCount(templ.GetType()));
    const int universes = std::max(0, used.GetUsedUniverseCount());
    int devices = universes / ports;
    if (devices * ports < universes)
        ++devices;

    RemoveAllDevices();
    uint32_t address = templ.GetIpAddress();
    for (int i = 0; i < devices; ++i) {
        auto device = std::make_unique<CKelvraDevice>();
        device->SetType(templ.GetType(), StepIpAddress(address));
        AddDevice(std::move(device));
    }
    AutoConnect(used, messages);
}

void CKelvraDeviceList::Renumber()
{
    for (size_t i = 0; i < m_devices.size(); ++i)
        m_devices[i]->SetListIndex(static_cast<int>(i));
}
