#include "document/ProjectFile.h"

#include "app/MetaLibText.h"
#include "app/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "formats/NumberText.h"
#include "formats/PatchList.h"
#include "formats/SkopeScript.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <tinyxml2.h>
#include <utility>

using tinyxml2::XMLElement;
using tinyxml2::XMLPrinter;

namespace {

constexpr const char* kDeclaration = "xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"";
constexpr const char* kProgrammerComment
    = " the following settings are only for Kelvra programmer import ";
constexpr const char* kTooManySections
    = "The file holds more than 8 sections; only the first 8 were read.";

// The library's own output buffer counts in int and throws once it passes about 1 GB, which
// a section of 2000 x 2000 tiles exceeds; this printer collects the text in a string.
class CStringPrinter : public XMLPrinter {
public:
    std::string text;

protected:
    using XMLPrinter::Write;
    void Write(const char* data, std::size_t size) override { text.append(data, size); }
    void Putc(char ch) override { text.push_back(ch); }
    void Print(const char* format, ...) override
    {
        va_list args;
        va_start(args, format);
        va_list measure;
        va_copy(measure, args);
        const int length = std::vsnprintf(nullptr, 0, format, measure);
        va_end(measure);
        if (length > 0) {
            const std::size_t old = text.size();
            text.resize(old + static_cast<std::size_t>(length) + 1);
            std::vsnprintf(&text[old], static_cast<std::size_t>(length) + 1, format, args);
            text.resize(old + static_cast<std::size_t>(length));
        }
        va_end(args);
    }
};

// A "]]>" inside the text would end the CDATA section early; such a text is written as
// several adjacent CDATA sections, split between "]]" and ">", which read back as one.
void PushCData(XMLPrinter& printer, const std::string& text)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("]]>", start);
        if (end == std::string::npos) {
            printer.PushText(text.c_str() + start, true);
            return;
        }
        printer.PushText(text.substr(start, end + 2 - start).c_str(), true);
        start = end + 2;
    }
}

void WriteDevices(XMLPrinter& printer, const CKelvraDeviceList& devices)
{
    printer.OpenElement("devices");
    for (int d = 0; d < devices.GetDeviceCount(); ++d) {
        const CKelvraDevice* device = devices.GetDevice(d);
        printer.OpenElement("device");
        printer.PushAttribute("ipaddress", device->GetIpAddressText().c_str());
        printer.PushAttribute("type", device->GetTypeKey().c_str());
        printer.PushAttribute("dmxportnumbers", device->GetPortCount());
        for (int p = 0; p < device->GetPortCount(); ++p) {
            printer.OpenElement("dmxport");
            printer.PushAttribute("universeid", device->GetPortUniverse(p));
            printer.CloseElement();
        }
        printer.CloseElement();
    }
    printer.CloseElement();
}

void WriteSection(XMLPrinter& printer, CQuiltmarkDoc& doc, CSubDoc& section, int position,
    const std::string& date)
{
    section.RebuildItems();
    const CSectionSetup& setup = section.setup;
    const CFixtureType* type = doc.GetFixtureType(section);

    printer.OpenElement("document");
    printer.PushAttribute("name", section.name.c_str());

    printer.OpenElement("job");
    printer.PushAttribute("fix_type", type ? type->type.c_str() : "");
    printer.PushAttribute("skope_style_type", setup.skope_style_type);
    printer.PushAttribute("matrix_width", setup.matrix_width);
    printer.PushAttribute("matrix_height", setup.matrix_height);
    printer.PushAttribute("screen_med_name", setup.screen_med_name.c_str());
    printer.PushAttribute("screen_id", setup.screen_id);
    printer.PushAttribute("base_universe", setup.base_universe);
    printer.PushAttribute("addr_first", setup.addr_first);
    printer.PushAttribute("addr_count", setup.addr_count);
    printer.PushAttribute("address_origin", setup.address_origin);
    printer.PushAttribute("primary_direction", setup.primary_direction);
    printer.PushAttribute("check_invert_secondaries", setup.check_invert_secondaries);
    printer.PushAttribute("orientation", setup.orientation);
    printer.CloseElement();

    printer.OpenElement("info");
    printer.PushText(section.info.c_str());
    printer.CloseElement();

    printer.OpenElement("metaitems");
    for (const CTileRecord& tile : section.Tiles()) {
        printer.OpenElement("metaitem");
        printer.PushAttribute("universeid", tile.universe);
        printer.PushAttribute("dmxaddress", tile.address);
        printer.PushAttribute("excludearea", tile.excluded ? 1 : 0);
        printer.CloseElement();
    }
    printer.CloseElement();

    printer.PushComment(kProgrammerComment);

    printer.OpenElement("skopescript");
    PushCData(printer, BuildSkopeScript(section, position + 1, date));
    printer.CloseElement();

    printer.OpenElement("patchhints");
    printer.PushAttribute("quark_width", section.GetItemColumns());
    printer.PushAttribute("quark_height", section.GetItemRows());
    printer.PushAttribute("section_id", position + 1);
    printer.CloseElement();

    printer.OpenElement("patchdatas");
    ForEachPatchLine(section, [&printer](const std::string& line) {
        printer.OpenElement("patchdata");
        printer.PushAttribute("value", line.c_str());
        printer.CloseElement();
    });
    printer.CloseElement();

    printer.CloseElement();
}

// ---- reading ----------------------------------------------------------------------

std::string TextAttribute(const XMLElement& element, const char* name)
{
    const char* value = element.Attribute(name);
    return value ? std::string(value) : std::string();
}

int AtoiAttribute(const XMLElement& element, const char* name)
{
    const char* value = element.Attribute(name);
    return value ? metalibtext::ToIntLikeAtoi(value) : 0;
}

int StrictAttribute(const XMLElement& element, const char* name, int fallback)
{
    const char* value = element.Attribute(name);
    if (!value)
        return fallback;
    return metalibtext::ToIntStrict(value).value_or(fallback);
}

void ReadDevices(const XMLElement* devices, CKelvraDeviceList& list)
{
    if (!devices)
        return;
    for (const XMLElement* device = devices->FirstChildElement("device"); device;
         device = device->NextSiblingElement("device")) {
        const int position = list.AddDeviceFromText(
            TextAttribute(*device, "type"), TextAttribute(*device, "ipaddress"));
        CKelvraDevice* added = list.GetDevice(position);
        int port = 0;
        // From the first dmxport on, every following element counts as the next port.
        for (const XMLElement* entry = device->FirstChildElement("dmxport"); entry;
             entry = entry->NextSiblingElement(), ++port) {
            if (!added || port >= added->GetPortCount())
                break;
            added->SetPortUniverse(port, StrictAttribute(*entry, "universeid", -1));
        }
    }
}

std::string SizeText(long long width, long long height)
{
    std::string text;
    AppendDecimal(text, width);
    text += " x ";
    AppendDecimal(text, height);
    return text;
}

bool ReadSection(const XMLElement& element, CQuiltmarkDoc& doc, std::string* error)
{
    std::string name = TextAttribute(element, "name");
    if (!doc.IsSectionNameFree(name))
        name = doc.MakeUniqueSectionName();
    CSubDoc* section = doc.AddSection();
    if (!section)
        return false;
    section->name = name;
    section->initialised = true;

    if (const XMLElement* info = element.FirstChildElement("info")) {
        const char* text = info->GetText();
        section->info = text ? text : "";
    }

    if (const XMLElement* job = element.FirstChildElement("job")) {
        CSectionSetup& setup = section->setup;
        setup.fix_type = doc.GetLibrary().ResolveTypeName(
            TextAttribute(*job, "fix_type"), name, doc.Messages());
        setup.skope_style_type = AtoiAttribute(*job, "skope_style_type");
        setup.matrix_width = AtoiAttribute(*job, "matrix_width");
        setup.matrix_height = AtoiAttribute(*job, "matrix_height");
        setup.screen_med_name = TextAttribute(*job, "screen_med_name");
        CutTextKeepingUtf8(setup.screen_med_name, CSubDoc::kMaxTextLength);
        setup.screen_id = AtoiAttribute(*job, "screen_id");
        setup.base_universe = AtoiAttribute(*job, "base_universe");
        setup.addr_first = AtoiAttribute(*job, "addr_first");
        setup.addr_count = AtoiAttribute(*job, "addr_count");
        setup.address_origin = AtoiAttribute(*job, "address_origin");
        setup.primary_direction = AtoiAttribute(*job, "primary_direction");
        setup.check_invert_secondaries = AtoiAttribute(*job, "check_invert_secondaries");
        setup.orientation = AtoiAttribute(*job, "orientation");
    }

    // A damaged or hostile file must not make us allocate without bound: refuse the
    // whole file rather than load a part of a section.
    const int width = section->setup.matrix_width;
    const int height = section->setup.matrix_height;
    const long long tiles = static_cast<long long>(width) * height;
    const long long items = tiles * section->ItemsPerTileX() * section->ItemsPerTileY();
    if (width < 0 || height < 0) {
        if (error)
            *error = "The section \"" + name + "\" has a negative size (" + SizeText(width, height)
                + " tiles).";
        return false;
    }
    if (tiles > CSubDoc::kMaxTiles || items > CSubDoc::kMaxItems
        || !section->ResizeTiles(width, height)) {
        if (error)
            *error = "The section \"" + name + "\" asks for " + SizeText(width, height)
                + " tiles; a section holds at most 4000000 tiles and 16777216 items.";
        return false;
    }
    section->RebuildItems();

    if (const XMLElement* metaitems = element.FirstChildElement("metaitems")) {
        const int tileCount = section->GetTileCount();
        int k = 0;
        // From the first metaitem on, every following element is the next tile.
        for (const XMLElement* item = metaitems->FirstChildElement("metaitem");
             item && k < tileCount; item = item->NextSiblingElement(), ++k) {
            CTileRecord* tile = section->GetTileAt(k);
            tile->universe = StrictAttribute(*item, "universeid", -1);
            tile->address = StrictAttribute(*item, "dmxaddress", 0);
            tile->excluded = StrictAttribute(*item, "excludearea", 0) != 0 ? 1 : 0;
        }
    }
    section->RebuildItems();
    section->RecountUniverses();
    return true;
}

} // namespace

std::string CProjectFileWriter::Write(CQuiltmarkDoc& doc, const std::string& date)
{
    const std::string when = date.empty() ? FormatScriptDate(std::time(nullptr)) : date;
    doc.RebuildUniverseUse();

    CStringPrinter printer;
    printer.PushDeclaration(kDeclaration);
    printer.OpenElement("quiltmark");
    printer.PushAttribute("version", 1);
    WriteDevices(printer, doc.GetDevices());
    printer.OpenElement("documents");
    for (int i = 0; i < doc.GetSectionCount(); ++i) {
        CSubDoc* section = doc.GetSection(i);
        if (section->initialised)
            WriteSection(printer, doc, *section, i, when);
    }
    printer.CloseElement();
    printer.CloseElement();
    return std::move(printer.text);
}

bool CProjectFileReader::Read(
    CQuiltmarkDoc& doc, const char* data, std::size_t size, std::string* error)
{
    doc.Reset();
    tinyxml2::XMLDocument xml;
    if (size == 0 || xml.Parse(data, size) != tinyxml2::XML_SUCCESS)
        return false;

    const XMLElement* root = xml.FirstChildElement("quiltmark");
    if (root) {
        ReadDevices(root->FirstChildElement("devices"), doc.GetDevices());
        if (const XMLElement* documents = root->FirstChildElement("documents")) {
            int read = 0;
            for (const XMLElement* element = documents->FirstChildElement("document"); element;
                 element = element->NextSiblingElement("document")) {
                if (read == CQuiltmarkDoc::kMaxSections) {
                    doc.Messages().ShowMessage(kTooManySections, MessageIcon::Warning);
                    break;
                }
                if (!ReadSection(*element, doc, error))
                    return false;
                ++read;
            }
        }
    }

    doc.RebuildUniverseUse();
    doc.RebuildScreenIdUse();
    doc.RebuildChannelUse();
    if (doc.GetSectionCount() == 0)
        doc.AddSection();
    doc.SetCurrentSection(0);
    return true;
}
