#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The device type table: 0..7, in the order the add/edit dialog lists them.
constexpr int kDeviceTypeCount = 8;
const char* DeviceTypeName(int type); // "Kelvra porter", ...; "" outside 0..7
const char* DeviceTypeKey(int type); // "PORTER", ...; "" outside 0..7
int DeviceTypePortCount(int type); // 0 outside 0..7
// Exact, case-sensitive; unknown keys give 0 (PORTER).
int TypeFromKey(const std::string& key);

// "%ld.%ld.%ld.%ld", most significant octet first.
std::string IpAddressToText(uint32_t address);
// Lenient: blanks trimmed, empty pieces skipped, octets clamped to 0..255, missing low octets 0.
uint32_t IpAddressFromText(const std::string& text);

class CKelvraDevicePortDmx {
public:
    int GetPortNumber() const { return m_portNumber; }
    void SetPortNumber(int number) { m_portNumber = number; }
    int GetUniverse() const { return m_universe; }
    void SetUniverse(int universe) { m_universe = universe; }

    bool selected = false; // tree state of the device manager

private:
    int m_portNumber = -1;
    int m_universe = -1;
};

class CKelvraDevice {
public:
    CKelvraDevice() = default;
    CKelvraDevice(const CKelvraDevice&) = delete;
    CKelvraDevice& operator=(const CKelvraDevice&) = delete;

    // Applies the type table row and the address, resizing the ports (kept ports keep their
    // universes). False, and nothing changes, for a type outside 0..7.
    bool SetType(int type, uint32_t ipAddress);
    // A separate device with the same type, address, port universes and tree state, but in no
    // list; the add dialogs copy their template this way.
    std::unique_ptr<CKelvraDevice> Clone() const;

    const std::string& GetName() const { return m_name; }
    int GetType() const { return m_type; }
    bool IsUsb() const { return m_usb; }
    uint32_t GetIpAddress() const { return m_ipAddress; }
    std::string GetIpAddressText() const { return IpAddressToText(m_ipAddress); }
    std::string GetTypeKey() const { return DeviceTypeKey(m_type); }
    int GetPortCount() const { return static_cast<int>(m_ports.size()); }
    int GetListIndex() const { return m_listIndex; }
    void SetListIndex(int index) { m_listIndex = index; }

    CKelvraDevicePortDmx* GetPort(int index);
    const CKelvraDevicePortDmx* GetPort(int index) const;
    bool SetPortUniverse(int index, int universe);
    int GetPortUniverse(int index) const;
    void SetAllPortsUniverse(int universe);

    bool selected = false; // tree state of the device manager
    bool expanded = false;

private:
    std::string m_name;
    int m_type = 0;
    bool m_usb = false;
    uint32_t m_ipAddress = 0;
    int m_listIndex = -1;
    std::vector<std::unique_ptr<CKelvraDevicePortDmx>> m_ports;
};
