#pragma once

#include "devices/KelvraDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IUserMessages;

// What auto-connect needs of the project: the set of universes in use.
class IUsedUniverses {
public:
    virtual ~IUsedUniverses() = default;
    virtual int GetUsedUniverseCount() const = 0;
    // Smallest used universe greater than u; -1 when none (u = -1 gives the lowest).
    virtual int GetNextUsedUniverse(int u) const = 0;
};

// The project's ordered list of output devices; the order is the output order.
class CKelvraDeviceList {
public:
    static constexpr const char* kNotEnoughDevices
        = "There are not enough Devices for Auto-Connect!\nPlease add more Devices and try it "
          "again.";

    int AddDevice(std::unique_ptr<CKelvraDevice> device);
    int AddDeviceFromText(const std::string& typeKey, const std::string& ipText);
    bool RemoveDevice(int position);
    void RemoveAllDevices();
    void SwapDevices(int a, int b);
    int GetDeviceCount() const { return static_cast<int>(m_devices.size()); }
    CKelvraDevice* GetDevice(int position);
    const CKelvraDevice* GetDevice(int position) const;
    uint32_t GetNextFreeIpAddress() const;
    void DisconnectAllPorts();
    bool ConnectToFreePort(int universe);

    // Skips .0 and .255 endings and wraps 0.0.255.255 to 0.0.0.1; returns the address to
    // give out and advances `address` past it.
    static uint32_t StepIpAddress(uint32_t& address);
    // Appends `count` devices of the template's type with stepped addresses.
    void AddDevices(const CKelvraDevice& templ, int count);
    // Connects the used universes, ascending, to free ports in list order. Shows the
    // not-enough-devices message once and stops when ports run out; false then.
    bool AutoConnect(const IUsedUniverses& used, IUserMessages& messages);
    // Replaces the whole list with just enough devices of the template's type, then
    // auto-connects.
    void CreateDevicesAndConnect(
        const CKelvraDevice& templ, const IUsedUniverses& used, IUserMessages& messages);

private:
    void Renumber();
    std::vector<std::unique_ptr<CKelvraDevice>> m_devices;
};
