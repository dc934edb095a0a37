#include "devices/KelvraDevice.h"

#include <cstdio>

namespace {

struct DeviceTypeRow {
    const char* name;
    const char* key;
    bool usb;
    int ports;
};

const DeviceTypeRow kDeviceTypes[kDeviceTypeCount] = {
    { "Kelvra porter", "PORTER", false, 2 },
    { "Kelvra spark (USB)", "SPARK", true, 1 },
    { "Kelvra dusk+ (USB)", "DUSK", true, 1 },
    { "k:gate512", "KGATE512", false, 1 },
    { "k:gate1024", "KGATE1024", false, 2 },
    { "k:span512", "KSPAN512", false, 1 },
    { "k:span1024", "KSPAN1024", false, 2 },
    { "k:span2048", "KSPAN2048", false, 4 },
};

bool IsValidType(int type)
{
    return type >= 0 && type < kDeviceTypeCount;
}

// The C-locale white space, whatever locale the program runs in.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a piece the way atoi does (leading blanks, optional sign, digits up to the first
// non-digit) but saturates instead of overflowing, then clamps to an octet.
uint32_t OctetFromPiece(const std::string& piece)
{
    size_t i = 0;
    while (i < piece.size() && IsBlank(piece[i]))
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-')) {
        negative = piece[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint32_t>(piece[i] - '0');
        if (value > 255)
            value = 256; // already out of range; keep it bounded
    }
    if (negative)
        return 0;
    return value > 255 ? 255 : value;
}

} // namespace

const char* DeviceTypeName(int type)
{
    return IsValidType(type) ? kDeviceTypes[type].name : "";
}

const char* DeviceTypeKey(int type)
{
    return IsValidType(type) ? kDeviceTypes[type].key : "";
}

int DeviceTypePortCount(int type)
{
    return IsValidType(type) ? kDeviceTypes[type].ports : 0;
}

int TypeFromKey(const std::string& key)
{
    for (int type = 0; type < kDeviceTypeCount; ++type) {
        if (key == kDeviceTypes[type].key)
            return type;
    }
    return 0;
}

std::string IpAddressToText(uint32_t address)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(address >> 24),
        static_cast<unsigned long>((address >> 16) & 255),
        static_cast<unsigned long>((address >> 8) & 255),
        static_cast<unsigned long>(address & 255));
    return text;
}

uint32_t IpAddressFromText(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;

    uint32_t address = 0;
    int shift = 24;
    size_t pos = begin;
    while (pos <= end && shift >= 0) {
        size_t dot = text.find('.', pos);
        if (dot == std::string::npos || dot > end)
            dot = end;
        if (dot > pos) {
            address |= OctetFromPiece(text.substr(pos, dot - pos)) << shift;
            shift -= 8;
        }
        pos = dot + 1;
    }
    return address;
}

std::unique_ptr<CKelvraDevice> CKelvraDevice::Clone() const
{
    auto copy = std::make_unique<CKelvraDevice>();
    copy->SetType(m_type, m_ipAddress);
    for (int i = 0; i < GetPortCount() && i < copy->GetPortCount(); ++i)
        copy->SetPortUniverse(i, GetPortUniverse(i));
    copy->selected = selected;
    copy->expanded = expanded;
    return copy;
}

bool CKelvraDevice::SetType(int type, uint32_t ipAddress)
{
    if (!IsValidType(type))
        return false;
    const DeviceTypeRow& row = kDeviceTypes[type];
    m_name = row.name;
    m_type = type;
    m_usb = row.usb;
    m_ipAddress = ipAddress;

    const size_t count = static_cast<size_t>(row.ports);
    while (m_ports.size() < count) {
        auto port = std::make_unique<CKelvraDevicePortDmx>();
        port->SetPortNumber(static_cast<int>(m_ports.size()));
        port->SetUniverse(-1);
        m_ports.push_back(std::move(port));
    }
    if (m_ports.size() > count)
        m_ports.resize(count);
    return true;
}

CKelvraDevicePortDmx* CKelvraDevice::GetPort(int index)
{
    if (index < 0 || index >= GetPortCount())
        return nullptr;
    return m_ports[static_cast<size_t>(index)].get();
}

const CKelvraDevicePortDmx* CKelvraDevice::GetPort(int index) const
{
    if (index < 0 || index >= GetPortCount())
        return nullptr;
    return m_ports[static_cast<size_t>(index)].get();
}

bool CKelvraDevice::SetPortUniverse(int index, int universe)
{
    CKelvraDevicePortDmx* port = GetPort(index);
    if (!port)
        return false;
    port->SetPortNumber(index);
    port->SetUniverse(universe);
    return true;
}

int CKelvraDevice::GetPortUniverse(int index) const
{
    const CKelvraDevicePortDmx* port = GetPort(index);
    return port ? port->GetUniverse() : -1;
}

void CKelvraDevice::SetAllPortsUniverse(int universe)
{
    for (auto& port : m_ports)
        port->SetUniverse(universe);
}
