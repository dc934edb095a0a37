#include "document/ProjectFile.h"

#include "app/base/NumberText.h"
#include "app/base/Progress.h"
#include "app/base/StoredText.h"
#include "app/base/UserMessages.h"
#include "app/base/XmlWriter.h"
#include "app/library/MetaLib.h"
#include "app/library/MetaLibText.h"
#include "devices/KelvraDeviceList.h"
#include "document/ProjectContents.h"
#include "document/ProjectFileParser.h"
#include "formats/PatchList.h"
#include "formats/SkopeScript.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <tinyxml2.h>
#include <utility>

using tinyxml2::XMLElement;

namespace {

constexpr const char* kDeclaration = "xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"";
constexpr const char* kProgrammerComment
    = " the following settings are only for Kelvra programmer import ";
constexpr const char* kTooManySections
    = "The file holds more than 8 sections; only the first 8 were read.";

void WriteDevices(CXmlWriter& printer, const CKelvraDeviceList& devices)
{
    printer.OpenElement("devices");
    for (int d = 0; d < devices.GetDeviceCount(); ++d) {
        const CKelvraDevice* device = devices.GetDevice(d);
        printer.OpenElement("device");
        printer.PushAttribute("ipaddress", device->GetIpAddressText());
        printer.PushAttribute("type", device->GetTypeKey());
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

// Tells the progress how far the writing got, every few thousand units of work (a tile or
// a patch line), and hears whether to go on.
class CWriteTicker {
public:
    CWriteTicker(IProgress* progress, std::uint64_t total)
        : m_progress(progress)
        , m_total(total)
    {
    }
    void Add(std::uint64_t units)
    {
        m_done += units;
        if (m_done >= m_next) {
            m_next = m_done + kStep;
            Report();
        }
    }
    void Report()
    {
        if (m_progress && !m_stopped && !m_progress->Report(std::min(m_done, m_total), m_total))
            m_stopped = true;
    }
    bool Stopped() const { return m_stopped; }

private:
    static constexpr std::uint64_t kStep = 1 << 16;
    IProgress* m_progress;
    std::uint64_t m_total;
    std::uint64_t m_done = 0;
    std::uint64_t m_next = kStep;
    bool m_stopped = false;
};

// Work units of a section: its tiles twice (their records and their script lines) and its
// patch lines.
std::uint64_t SectionUnits(const CSubDoc& section)
{
    return 2 * static_cast<std::uint64_t>(section.GetTileCount())
        + static_cast<std::uint64_t>(section.GetItemCount());
}

bool WriteSection(CXmlWriter& printer, const IProjectContents& doc, const CSubDoc& section,
    int position, const std::string& date, CWriteTicker& ticker)
{
    const auto goOn = [&] { return !ticker.Stopped() && !printer.Failed(); };
    const CSectionSetup& setup = section.setup;
    const CFixtureType* type = doc.GetFixtureType(section);

    printer.OpenElement("document");
    printer.PushAttribute("name", section.name);

    printer.OpenElement("job");
    printer.PushAttribute("fix_type", type ? type->type : setup.unresolved_fix_type);
    printer.PushAttribute("skope_style_type", setup.skope_style_type);
    printer.PushAttribute("matrix_width", setup.matrix_width);
    printer.PushAttribute("matrix_height", setup.matrix_height);
    printer.PushAttribute("screen_med_name", setup.screen_med_name);
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
    printer.PushText(section.info);
    printer.CloseElement();

    printer.OpenElement("metaitems");
    std::uint64_t count = 0;
    for (const CTileRecord& tile : section.Tiles()) {
        printer.OpenElement("metaitem");
        printer.PushAttribute("universeid", tile.universe);
        printer.PushAttribute("dmxaddress", tile.address);
        printer.PushAttribute("excludearea", tile.excluded ? 1 : 0);
        printer.CloseElement();
        if ((++count & 4095) == 0) {
            ticker.Add(4096);
            if (!goOn())
                return false;
        }
    }
    ticker.Add(count & 4095);
    printer.CloseElement();

    printer.PushComment(kProgrammerComment);

    printer.OpenElement("skopescript");
    if (SkopeScriptSourcesAreUtf8(section, date)) {
        printer.BeginCData();
        ForEachSkopeScriptPiece(section, position + 1, date, [&](std::string_view piece) {
            if (goOn())
                printer.AppendCData(piece);
        });
        printer.EndCData();
    } else {
        // Such a script is re-encoded as a whole, which its pieces cannot decide alone.
        printer.PushCData(BuildSkopeScript(section, position + 1, date));
    }
    ticker.Add(static_cast<std::uint64_t>(section.GetTileCount()));
    if (!goOn())
        return false;
    printer.CloseElement();

    printer.OpenElement("patchhints");
    printer.PushAttribute("quark_width", section.GetItemColumns());
    printer.PushAttribute("quark_height", section.GetItemRows());
    printer.PushAttribute("section_id", position + 1);
    printer.CloseElement();

    printer.OpenElement("patchdatas");
    count = 0;
    bool going = true;
    ForEachPatchLineOf(section, [&](const std::string& line) {
        if (!going)
            return;
        printer.OpenElement("patchdata");
        printer.PushAttribute("value", line);
        printer.CloseElement();
        if ((++count & 4095) == 0) {
            ticker.Add(4096);
            going = goOn();
        }
    });
    if (!going)
        return false;
    ticker.Add(
        static_cast<std::uint64_t>(section.GetItemCount()) - (count & ~std::uint64_t { 4095 }));
    printer.CloseElement();

    printer.CloseElement();
    return goOn();
}

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

// Texts enter the project here: what a project file cannot store is replaced (and the
// user told once per file by the caller).
std::string StoredTextAttribute(const XMLElement& element, const char* name, bool& replaced)
{
    std::string text = TextAttribute(element, name);
    replaced = MakeStorableText(text) || replaced;
    return text;
}

bool ReadSection(
    const XMLElement& element, IProjectContents& doc, bool& replaced, std::string* error)
{
    std::string name = StoredTextAttribute(element, "name", replaced);
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
        replaced = MakeStorableText(section->info) || replaced;
    }

    if (const XMLElement* job = element.FirstChildElement("job")) {
        CSectionSetup& setup = section->setup;
        const std::string typeName = TextAttribute(*job, "fix_type");
        const CMetaLib& library = doc.GetLibrary();
        // Without a readable library there is no type to fall back on (the user was told):
        // the section keeps the name so that the next save writes it back.
        setup.fix_type
            = library.GetCount() > 0 ? library.ResolveTypeName(typeName, name, doc.Messages()) : 0;
        if (!library.GetAt(setup.fix_type))
            setup.unresolved_fix_type = typeName;
        setup.skope_style_type = AtoiAttribute(*job, "skope_style_type");
        setup.matrix_width = AtoiAttribute(*job, "matrix_width");
        setup.matrix_height = AtoiAttribute(*job, "matrix_height");
        setup.screen_med_name = StoredTextAttribute(*job, "screen_med_name", replaced);
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
    std::string problem = SectionSizeProblem(*section, doc.ItemCountBeside(*section));
    if (problem.empty() && !section->ResizeTiles(width, height))
        problem = SectionSizeProblem(*section, IProjectContents::kMaxProjectItems);
    if (!problem.empty()) {
        if (error)
            *error = problem;
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

std::string LineText(long long line)
{
    std::string text = "Line ";
    AppendDecimal(text, line);
    return text;
}

long long LineOfOffset(const char* data, std::size_t offset)
{
    long long line = 1;
    for (std::size_t i = 0; i < offset; ++i)
        line += data[i] == '\n';
    return line;
}

// Faults the parser would report poorly or not at all: it reads only up to a NUL byte.
std::string ProblemBeforeParsing(const char* data, std::size_t size)
{
    if (size == 0)
        return "The file is empty.";
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
    if (size >= 2
        && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF)
            || (byte(0) == 0 && byte(1) == '<') || (byte(0) == '<' && byte(1) == 0)))
        return "The file is UTF-16 text; project files are UTF-8.";
    if (const void* nul = std::memchr(data, '\0', size)) {
        const auto offset = static_cast<std::size_t>(static_cast<const char*>(nul) - data);
        return LineText(LineOfOffset(data, offset))
            + ": the file holds a NUL byte, which XML does not allow.";
    }
    return std::string();
}

std::string ParserProblem(const tinyxml2::XMLDocument& xml)
{
    const char* what = "the XML is not well-formed";
    switch (xml.ErrorID()) {
    case tinyxml2::XML_ERROR_EMPTY_DOCUMENT:
        what = "the file holds no XML element";
        break;
    case tinyxml2::XML_ERROR_MISMATCHED_ELEMENT:
        what = "an element is not closed properly";
        break;
    case tinyxml2::XML_ELEMENT_DEPTH_EXCEEDED:
        what = "the elements are nested too deeply";
        break;
    case tinyxml2::XML_ERROR_PARSING_ATTRIBUTE:
        what = "an attribute cannot be read";
        break;
    default:
        break;
    }
    return LineText(xml.ErrorLineNum()) + ": " + what + " (" + xml.ErrorName() + ").";
}

} // namespace

std::string CProjectFileWriter::Write(const IProjectContents& doc, const std::string& date)
{
    std::string text;
    std::string reason;
    Write(
        doc, date,
        [&text](const char* data, std::size_t size) {
            text.append(data, size);
            return true;
        },
        nullptr, reason);
    return text;
}

bool CProjectFileWriter::Write(const IProjectContents& doc, const std::string& date,
    const FileSink& sink, IProgress* progress, std::string& reason)
{
    const std::string when = date.empty() ? FormatScriptDate(std::time(nullptr)) : date;
    std::uint64_t total = 0;
    for (int i = 0; i < doc.GetSectionCount(); ++i) {
        if (doc.GetSection(i)->initialised)
            total += SectionUnits(*doc.GetSection(i));
    }
    CWriteTicker ticker(progress, total);
    ticker.Report();

    CXmlWriter printer;
    printer.SetSink([&sink](std::string_view text) { return sink(text.data(), text.size()); });
    printer.PushDeclaration(kDeclaration);
    printer.OpenElement("quiltmark");
    printer.PushAttribute("version", 1);
    WriteDevices(printer, doc.GetDevices());
    printer.OpenElement("documents");
    for (int i = 0; i < doc.GetSectionCount(); ++i) {
        const CSubDoc* section = doc.GetSection(i);
        if (section->initialised && !WriteSection(printer, doc, *section, i, when, ticker))
            break;
    }
    if (!ticker.Stopped() && !printer.Failed()) {
        printer.CloseElement();
        printer.CloseElement();
        printer.Flush();
    }
    if (ticker.Stopped()) {
        reason = kSaveCancelled;
        return false;
    }
    if (printer.Failed())
        return false;
    ticker.Report();
    return true;
}

bool CProjectFileReader::Read(
    IProjectContents& doc, const char* data, std::size_t size, std::string* error)
{
    const bool small = size <= kTreeReaderBytes;
    for (const bool exactBytes : { false, true }) {
        CProjectFileParser parser(doc, size, small, exactBytes);
        constexpr std::size_t kPiece = std::size_t { 1 } << 20;
        for (std::size_t at = 0; at < size; at += kPiece) {
            if (!parser.Feed(std::string_view(data + at, std::min(kPiece, size - at))))
                break;
        }
        std::string problem;
        switch (parser.Finish(problem)) {
        case CProjectFileParser::Result::Loaded:
            return true;
        case CProjectFileParser::Result::Unsure:
            if (small)
                return ReadTree(doc, data, size, error);
            break;
        default:
            if (error)
                *error = problem;
            return false;
        }
    }
    return false;
}

bool CProjectFileReader::ReadTree(
    IProjectContents& doc, const char* data, std::size_t size, std::string* error)
{
    doc.Reset();
    std::string problem = ProblemBeforeParsing(data, size);
    tinyxml2::XMLDocument xml;
    if (problem.empty() && xml.Parse(data, size) != tinyxml2::XML_SUCCESS)
        problem = ParserProblem(xml);
    if (!problem.empty()) {
        if (error)
            *error = problem;
        return false;
    }

    bool replaced = false;
    const XMLElement* root = xml.FirstChildElement("quiltmark");
    if (root) {
        ReadDevices(root->FirstChildElement("devices"), doc.GetDevices());
        if (const XMLElement* documents = root->FirstChildElement("documents")) {
            int read = 0;
            for (const XMLElement* element = documents->FirstChildElement("document"); element;
                 element = element->NextSiblingElement("document")) {
                if (read == IProjectContents::kMaxSections) {
                    doc.Messages().ShowMessage(kTooManySections, MessageIcon::Warning);
                    break;
                }
                if (!ReadSection(*element, doc, replaced, error))
                    return false;
                ++read;
            }
        }
    }
    if (replaced)
        doc.Messages().ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);

    doc.RebuildTables();
    if (doc.GetSectionCount() == 0)
        doc.AddSection();
    doc.SetCurrentSection(0);
    return true;
}
