#include "formats/PatchCsv.h"

#include "app/library/FixtureType.h"
#include "devices/KelvraDeviceList.h"
#include "document/section/SubDoc.h"
#include "app/base/NumberText.h"
#include "formats/PatchList.h"
#include "app/base/StoredText.h"

#include <map>
#include <ostream>

namespace {

constexpr std::size_t kPieceBytes = std::size_t { 1 } << 16;

// Texts kept as 8-bit bytes by older files are read as the window reads them.
std::string Utf8Text(const std::string& text)
{
    return IsValidUtf8(text) ? text : Utf8FromWindows1252(text);
}

// Every universe's output, found in one pass over the devices.
std::map<int, CUniverseOutput> UniverseOutputs(const CKelvraDeviceList& devices)
{
    std::map<int, CUniverseOutput> outputs;
    for (int d = 0; d < devices.GetDeviceCount(); ++d) {
        const CKelvraDevice* device = devices.GetDevice(d);
        for (int p = 0; p < device->GetPortCount(); ++p) {
            const int universe = device->GetPortUniverse(p);
            if (universe >= 0)
                outputs.emplace(universe, CUniverseOutput { d, p }); // the first one stays
        }
    }
    return outputs;
}

} // namespace

void AppendTileName(std::string& out, int column, int row)
{
    // Spreadsheet letters: 0 A, 25 Z, 26 AA.
    char letters[16];
    int count = 0;
    long long value = static_cast<long long>(column) + 1;
    while (value > 0 && count < 16) {
        letters[count++] = static_cast<char>('A' + (value - 1) % 26);
        value = (value - 1) / 26;
    }
    while (count > 0)
        out.push_back(letters[--count]);
    AppendDecimal(out, static_cast<long long>(row) + 1);
}

std::string TileName(int column, int row)
{
    std::string name;
    AppendTileName(name, column, row);
    return name;
}

void AppendCsvField(std::string& out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (const char c : field) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

CUniverseOutput FindUniverseOutput(const CKelvraDeviceList& devices, int universe)
{
    for (int d = 0; d < devices.GetDeviceCount(); ++d) {
        const CKelvraDevice* device = devices.GetDevice(d);
        for (int p = 0; p < device->GetPortCount(); ++p)
            if (device->GetPortUniverse(p) == universe)
                return { d, p };
    }
    return {};
}

std::string DeviceText(const CKelvraDeviceList& devices, int device)
{
    const CKelvraDevice* found = devices.GetDevice(device);
    if (found == nullptr)
        return std::string();
    return std::string(DeviceTypeName(found->GetType())) + " " + found->GetIpAddressText();
}

void ForEachPatchCsvPiece(const std::vector<CCsvSection>& sections,
    const CKelvraDeviceList& devices, const std::function<void(std::string_view)>& piece)
{
    std::string text;
    text.reserve(kPieceBytes + 1024);
    text.append(kPatchCsvHeader);
    text.push_back('\n');

    const std::map<int, CUniverseOutput> outputs = UniverseOutputs(devices);
    for (const CCsvSection& entry : sections) {
        const CSubDoc& section = *entry.section;
        const CFixtureType* type = section.GetFixtureType();
        const int itemColumns = section.GetItemColumns();
        const int tileColumns = section.GetTileColumns();
        const int tileRows = section.GetTileRows();
        if (type == nullptr || itemColumns <= 0 || tileColumns <= 0 || tileRows <= 0)
            continue;
        const int perTileX = itemColumns / tileColumns;
        const int perTileY = section.GetItemRows() / tileRows;
        if (perTileX <= 0 || perTileY <= 0)
            continue;

        // The fields every row of the section shares, and those of the universe at hand.
        std::string sectionFields;
        AppendDecimal(sectionFields, entry.number);
        sectionFields.push_back(',');
        AppendCsvField(sectionFields, Utf8Text(section.name));
        sectionFields.push_back(',');
        std::string typeField;
        typeField.push_back(',');
        AppendCsvField(typeField, Utf8Text(type->type));
        int universeOfTail = -1;
        std::string outputFields;

        ForEachItemInPatchOrder(section, [&](int32_t index) {
            const CPatchEntry item = section.ItemAtIndex(index);
            if (item.universe < 0 || item.address < 0)
                return;
            if (item.universe != universeOfTail) {
                universeOfTail = item.universe;
                outputFields.assign(",");
                const auto found = outputs.find(item.universe);
                if (found != outputs.end()) {
                    AppendCsvField(outputFields, DeviceText(devices, found->second.device));
                    outputFields.push_back(',');
                    AppendDecimal(outputFields, found->second.port + 1);
                } else {
                    outputFields.push_back(',');
                }
            }
            const int x = index % itemColumns;
            const int y = index / itemColumns;
            text.append(sectionFields);
            AppendTileName(text, x / perTileX, y / perTileY);
            text.push_back(',');
            AppendDecimal(text, x);
            text.push_back(',');
            AppendDecimal(text, y);
            text.push_back(',');
            AppendDecimal(text, section.ScreenIdAtIndex(index));
            text.push_back(',');
            AppendDecimal(text, static_cast<long long>(item.universe) + 1);
            text.push_back(',');
            AppendDecimal(text, static_cast<long long>(item.address) + 1);
            text.push_back(',');
            AppendDecimal(text, static_cast<long long>(item.universe) * 512 + item.address + 1);
            text.append(typeField);
            text.append(outputFields);
            text.push_back('\n');
            if (text.size() >= kPieceBytes) {
                piece(text);
                text.clear();
            }
        });
    }
    if (!text.empty())
        piece(text);
}

bool WritePatchCsv(
    const std::vector<CCsvSection>& sections, const CKelvraDeviceList& devices, std::ostream& out)
{
    ForEachPatchCsvPiece(sections, devices, [&out](std::string_view text) {
        if (out)
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
    });
    return static_cast<bool>(out.flush());
}
