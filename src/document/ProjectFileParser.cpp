#include "document/ProjectFileParser.h"

#include "app/base/NumberText.h"
#include "app/base/StoredText.h"
#include "app/base/UserMessages.h"
#include "app/library/MetaLib.h"
#include "app/library/MetaLibText.h"
#include "devices/KelvraDeviceList.h"
#include "document/ProjectContents.h"

#include <algorithm>
#include <cstring>
#include <expat.h>
#include <utility>
#include <vector>

namespace {

// The tree reader refuses deeper nesting; so does this one.
constexpr int kMaxDepth = 100;

// Bytes reach the parser as an encoding of our own, so that the file's bytes come through
// unchanged whatever they are, as the tree reader keeps them: texts are stored byte for
// byte although files declare UTF-8, and legacy files hold Windows-1252 bytes and control
// characters. Bytes from 0x80 map to letters (the tree reader accepts them in names too),
// control characters to private-use characters; both are mapped back when a text is kept.
constexpr const char* kByteEncoding = "x-quiltmark-bytes";
constexpr int kHighByteBase = 0x4E00; // 0x4E80..0x4EFF: letters
constexpr int kControlByteBase = 0xE000; // 0xE001..0xE01F: private use

int XMLCALL MapBytes(void*, const XML_Char* name, XML_Encoding* info)
{
    if (std::strcmp(name, kByteEncoding) != 0)
        return XML_STATUS_ERROR;
    for (int b = 0; b < 256; ++b) {
        if (b >= 0x80)
            info->map[b] = kHighByteBase + b;
        else if (b > 0 && IsForbiddenControl(static_cast<unsigned char>(b)))
            info->map[b] = kControlByteBase + b;
        else
            info->map[b] = b;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

// The file's bytes of a text the parser gave in UTF-8.
std::string FileBytes(std::string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xE0 && lead < 0xF0 && i + 2 < text.size()) {
            const int code = ((lead & 0x0F) << 12)
                | ((static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6)
                | (static_cast<unsigned char>(text[i + 2]) & 0x3F);
            if ((code >= kHighByteBase + 0x80 && code <= kHighByteBase + 0xFF)
                || (code > kControlByteBase && code < kControlByteBase + 0x20)) {
                bytes.push_back(static_cast<char>(code & 0xFF));
                i += 2;
                continue;
            }
        }
        bytes.push_back(text[i]);
    }
    return bytes;
}

const char* FindAttribute(const XML_Char** attributes, const char* name)
{
    for (; *attributes != nullptr; attributes += 2) {
        if (std::strcmp(attributes[0], name) == 0)
            return attributes[1];
    }
    return nullptr;
}

int AtoiAttribute(const XML_Char** attributes, const char* name)
{
    const char* value = FindAttribute(attributes, name);
    return value ? metalibtext::ToIntLikeAtoi(value) : 0;
}

int StrictAttribute(const XML_Char** attributes, const char* name, int fallback)
{
    const char* value = FindAttribute(attributes, name);
    if (!value)
        return fallback;
    return metalibtext::ToIntStrict(value).value_or(fallback);
}

// Whitespace as the tree reader counts it (it drops a text of nothing else).
bool IsBlankText(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    });
}

std::string LineText(long long line)
{
    std::string text = "Line ";
    AppendDecimal(text, line);
    return text;
}

// Messages said while reading are held back until the file proved well-formed, as the
// tree reader, which parses first, says nothing about a file it cannot parse.
class CHeldMessages : public IUserMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override
    {
        held.emplace_back(text, icon);
    }
    MessageAnswer AskYesNo(const std::string&, MessageIcon) override { return MessageAnswer::No; }
    std::vector<std::pair<std::string, MessageIcon>> held;
};

enum class Node {
    Other,
    Root,
    Devices,
    Device,
    Documents,
    Document,
    Info,
    Job,
    Metaitems,
    Script,
    PatchLines
};

// Line feeds in a text, eight bytes at a time.
long long CountLineFeeds(std::string_view text)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;
    long long count = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const std::uint64_t x = word ^ (kOnes * '\n'); // zero bytes where the line feeds are
        const std::uint64_t zero = ~(((x & kLows) + kLows) | x | kLows);
        count += __builtin_popcountll(zero);
    }
    for (; i < text.size(); ++i)
        count += text[i] == '\n';
    return count;
}

// What the file writer puts where the reader needs nothing: the script's text, and the patch
// lines. These make up most of a large file, so they are passed over without the parser
// once it confirmed where they start; what does not look exactly so goes to the parser.
constexpr std::string_view kScriptStart = "<skopescript><![CDATA[";
constexpr std::string_view kPatchLinesStart = "<patchdatas>";
constexpr std::string_view kPatchLine = "<patchdata value=\"";
constexpr std::string_view kCDataEnd = "]]>";

} // namespace

struct CProjectFileParser::State {
    IProjectContents& doc;
    std::uint64_t size;
    bool treeCanFollow;
    bool exactBytes;
    XML_Parser parser = nullptr;
    CHeldMessages messages;

    std::uint64_t fed = 0;
    long long lines = 1; // lines before the current piece, for the NUL message
    bool started = false;
    std::string head; // the first bytes, until a UTF-16 mark or a UTF-8 one is ruled out
    std::string problem;
    Result verdict = Result::Loaded;
    bool done = false; // the rest of the input no longer matters
    bool skipping = false; // refused: only well-formedness counts from here on

    std::vector<Node> path;
    bool topHasOther = false; // a node other than an instruction at the top level

    // Passing over the script's text and the patch lines (see kScriptStart).
    enum class Pass { None, ScriptText, PatchLines } pass = Pass::None;
    bool inScriptText = false;
    std::string carry; // the end of a piece that the next one completes
    long long passedLines = 0; // line feeds the parser did not see

    long long Line() const
    {
        return static_cast<long long>(XML_GetCurrentLineNumber(parser)) + passedLines;
    }
    bool seenDevices = false;
    bool seenDocuments = false;
    int sectionsRead = 0;
    bool tooManySections = false;
    bool replaced = false;
    std::uint64_t projectItems = 0;

    // The device being read.
    CKelvraDevice* device = nullptr;
    bool seenPort = false;
    int port = 0;

    // The section being read.
    CSubDoc* section = nullptr;
    bool seenInfo = false, seenJob = false, seenMetaitems = false;
    bool sized = false;
    bool seenTile = false;
    int tile = 0;
    std::vector<CTileRecord> early; // tiles listed before the job that sizes the grid
    enum class InfoText { Pending, CData, Done } infoText = InfoText::Done;
    std::string text;
    bool textHasNonBlank = false; // as written in the file: "&#13;" is no blank there

    State(IProjectContents& d, std::uint64_t s, bool tree, bool exact)
        : doc(d)
        , size(s)
        , treeCanFollow(tree)
        , exactBytes(exact)
    {
    }

    std::string Bytes(std::string_view text) const
    {
        return exactBytes ? FileBytes(text) : std::string(text);
    }

    std::string TextAttribute(const XML_Char** attributes, const char* name) const
    {
        const char* value = FindAttribute(attributes, name);
        return value ? Bytes(value) : std::string();
    }

    // A failure of the plain UTF-8 reading is decided by another reading: the tree reader's
    // or this one's with the exact bytes.
    Result Doubtful() const
    {
        return treeCanFollow || !exactBytes ? Result::Unsure : Result::Failed;
    }

    void Stop(Result result, std::string reason = std::string())
    {
        if (verdict == Result::Loaded) {
            verdict = result;
            problem = std::move(reason);
        }
        done = true;
        XML_StopParser(parser, XML_FALSE);
    }

    void Refuse(std::string reason)
    {
        verdict = Result::Refused;
        problem = std::move(reason);
        skipping = true;
        // A small file is parsed to its end, so that a later fault is told as the tree
        // reader tells it; a large one is refused at once.
        if (!treeCanFollow)
            Stop(Result::Refused, problem);
    }

    // The tree reader keeps tabs and line ends written as such in attribute values, which
    // XML turns into blanks; values with them are left to it where it can follow.
    void CheckRawValues()
    {
        if (!treeCanFollow)
            return;
        int offset = 0;
        int length = 0;
        const char* context = XML_GetInputContext(parser, &offset, &length);
        const int count = XML_GetCurrentByteCount(parser);
        if (context == nullptr || count <= 0 || offset + count > length) {
            Stop(Result::Unsure);
            return;
        }
        char quote = 0;
        for (const char* p = context + offset; p < context + offset + count; ++p) {
            if (quote == 0 && (*p == '"' || *p == '\''))
                quote = *p;
            else if (quote != 0 && *p == quote)
                quote = 0;
            else if (quote != 0 && (*p == '\t' || *p == '\n' || *p == '\r'))
                return Stop(Result::Unsure);
        }
    }

    std::string StoredText(const XML_Char** attributes, const char* name)
    {
        std::string value = TextAttribute(attributes, name);
        replaced = MakeStorableText(value) || replaced;
        return value;
    }

    // What the tree reader reads, element by element.
    Node Child(const char* name, const XML_Char** attributes)
    {
        const Node parent = path.empty() ? Node::Other : path.back();
        if (path.empty())
            return std::strcmp(name, "quiltmark") == 0 ? Node::Root : Node::Other;
        switch (parent) {
        case Node::Root:
            if (!seenDevices && std::strcmp(name, "devices") == 0) {
                seenDevices = true;
                return Node::Devices;
            }
            if (!seenDocuments && std::strcmp(name, "documents") == 0) {
                seenDocuments = true;
                return Node::Documents;
            }
            return Node::Other;
        case Node::Devices:
            if (std::strcmp(name, "device") != 0)
                return Node::Other;
            StartDevice(attributes);
            return Node::Device;
        case Node::Device:
            // From the first dmxport on, every following element counts as the next port.
            if (!seenPort && std::strcmp(name, "dmxport") != 0)
                return Node::Other;
            if (seenPort)
                ++port;
            seenPort = true;
            if (device && port < device->GetPortCount())
                device->SetPortUniverse(port, StrictAttribute(attributes, "universeid", -1));
            return Node::Other;
        case Node::Documents:
            if (std::strcmp(name, "document") != 0 || tooManySections)
                return Node::Other;
            if (sectionsRead == IProjectContents::kMaxSections) {
                tooManySections = true;
                messages.ShowMessage(
                    "The file holds more than 8 sections; only the first 8 were read.",
                    MessageIcon::Warning);
                return Node::Other;
            }
            StartSection(attributes);
            return Node::Document;
        case Node::Document:
            if (!seenInfo && std::strcmp(name, "info") == 0) {
                seenInfo = true;
                infoText = InfoText::Pending;
                text.clear();
                textHasNonBlank = false;
                // Only the page info's text is read: elsewhere the parser need not hand it over.
                XML_SetCharacterDataHandler(parser, OnText);
                return Node::Info;
            }
            if (!seenJob && std::strcmp(name, "job") == 0) {
                seenJob = true;
                ReadJob(attributes);
                return Node::Job;
            }
            if (!seenMetaitems && std::strcmp(name, "metaitems") == 0) {
                seenMetaitems = true;
                return Node::Metaitems;
            }
            if (std::strcmp(name, "skopescript") == 0)
                return Node::Script;
            if (std::strcmp(name, "patchdatas") == 0)
                return Node::PatchLines;
            return Node::Other;
        case Node::Metaitems:
            // From the first metaitem on, every following element is the next tile.
            if (!seenTile && std::strcmp(name, "metaitem") != 0)
                return Node::Other;
            seenTile = true;
            ReadTile(attributes);
            return Node::Other;
        default:
            return Node::Other;
        }
    }

    void StartDevice(const XML_Char** attributes)
    {
        CheckRawValues();
        CKelvraDeviceList& list = doc.GetDevices();
        const int position = list.AddDeviceFromText(
            TextAttribute(attributes, "type"), TextAttribute(attributes, "ipaddress"));
        device = list.GetDevice(position);
        seenPort = false;
        port = 0;
    }

    void StartSection(const XML_Char** attributes)
    {
        CheckRawValues();
        std::string name = StoredText(attributes, "name");
        if (!doc.IsSectionNameFree(name))
            name = doc.MakeUniqueSectionName();
        section = doc.AddSection();
        section->name = name;
        section->initialised = true;
        ++sectionsRead;
        seenInfo = seenJob = seenMetaitems = sized = seenTile = false;
        tile = 0;
        early.clear();
    }

    void ReadJob(const XML_Char** attributes)
    {
        CheckRawValues();
        CSectionSetup& setup = section->setup;
        const std::string typeName = TextAttribute(attributes, "fix_type");
        const CMetaLib& library = doc.GetLibrary();
        // Without a readable library there is no type to fall back on (the user was told):
        // the section keeps the name so that the next save writes it back.
        setup.fix_type = library.GetCount() > 0
            ? library.ResolveTypeName(typeName, section->name, messages)
            : 0;
        if (!library.GetAt(setup.fix_type))
            setup.unresolved_fix_type = typeName;
        setup.skope_style_type = AtoiAttribute(attributes, "skope_style_type");
        setup.matrix_width = AtoiAttribute(attributes, "matrix_width");
        setup.matrix_height = AtoiAttribute(attributes, "matrix_height");
        setup.screen_med_name = StoredText(attributes, "screen_med_name");
        CutTextKeepingUtf8(setup.screen_med_name, CSubDoc::kMaxTextLength);
        setup.screen_id = AtoiAttribute(attributes, "screen_id");
        setup.base_universe = AtoiAttribute(attributes, "base_universe");
        setup.addr_first = AtoiAttribute(attributes, "addr_first");
        setup.addr_count = AtoiAttribute(attributes, "addr_count");
        setup.address_origin = AtoiAttribute(attributes, "address_origin");
        setup.primary_direction = AtoiAttribute(attributes, "primary_direction");
        setup.check_invert_secondaries = AtoiAttribute(attributes, "check_invert_secondaries");
        setup.orientation = AtoiAttribute(attributes, "orientation");
        SizeGrid();
    }

    // A damaged or hostile file must not make us allocate without bound: refuse the whole
    // file, before allocating, rather than load a part of a section.
    void SizeGrid()
    {
        sized = true;
        std::string problem = SectionSizeProblem(*section, projectItems);
        if (problem.empty()
            && !section->ResizeTiles(section->setup.matrix_width, section->setup.matrix_height))
            problem = SectionSizeProblem(*section, IProjectContents::kMaxProjectItems);
        if (!problem.empty())
            return Refuse(problem);
        projectItems += static_cast<std::uint64_t>(section->GetTileCount())
            * static_cast<std::uint64_t>(section->ItemsPerTileX() * section->ItemsPerTileY());
    }

    void ReadTile(const XML_Char** attributes)
    {
        CTileRecord record;
        record.universe = StrictAttribute(attributes, "universeid", -1);
        record.address = StrictAttribute(attributes, "dmxaddress", 0);
        record.excluded = StrictAttribute(attributes, "excludearea", 0) != 0 ? 1 : 0;
        if (!sized) {
            // Listed before the job: kept until the grid has its size (files we write
            // never do this; the grid bounds what is kept).
            if (early.size() < static_cast<std::size_t>(CSubDoc::kMaxTiles))
                early.push_back(record);
            return;
        }
        if (tile < section->GetTileCount()) {
            CTileRecord* target = section->GetTileAt(tile);
            target->universe = record.universe;
            target->address = record.address;
            target->excluded = record.excluded;
        }
        ++tile;
    }

    void EndSection()
    {
        if (!sized)
            SizeGrid();
        if (skipping)
            return;
        const int count = section->GetTileCount();
        for (std::size_t k = 0; k < early.size() && static_cast<int>(k) < count; ++k) {
            CTileRecord* target = section->GetTileAt(static_cast<int>(k));
            target->universe = early[k].universe;
            target->address = early[k].address;
            target->excluded = early[k].excluded;
        }
        early = std::vector<CTileRecord>();
        section->RebuildItems();
        section->RecountUniverses();
    }

    // The page info is the element's first child when that is text: leading blanks before
    // other markup are no child, CDATA is text.
    void DecideInfo(bool cdataStarts)
    {
        if (infoText != InfoText::Pending)
            return;
        if (textHasNonBlank) {
            SetInfo(Bytes(text));
        } else if (cdataStarts) {
            infoText = InfoText::CData;
            text.clear();
        } else {
            SetInfo(std::string());
        }
    }

    void SetInfo(std::string bytes)
    {
        infoText = InfoText::Done;
        text.clear();
        section->info = std::move(bytes);
        replaced = MakeStorableText(section->info) || replaced;
    }

    // The callbacks of the XML parser.
    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes)
    {
        auto& s = *static_cast<State*>(data);
        if (static_cast<int>(s.path.size()) >= kMaxDepth)
            return s.Stop(s.Doubtful(),
                LineText(s.Line())
                    + ": the elements are nested too deeply (XML_ELEMENT_DEPTH_EXCEEDED).");
        if (s.path.empty())
            s.topHasOther = true;
        if (s.skipping) {
            s.path.push_back(Node::Other);
            return;
        }
        if (!s.path.empty() && s.path.back() == Node::Info)
            s.DecideInfo(false);
        s.path.push_back(s.Child(name, attributes));
    }

    static void XMLCALL OnEnd(void* data, const XML_Char*)
    {
        auto& s = *static_cast<State*>(data);
        const Node node = s.path.back();
        s.path.pop_back();
        if (s.skipping)
            return;
        if (node == Node::Info) {
            XML_SetCharacterDataHandler(s.parser, nullptr);
            if (s.infoText == InfoText::CData)
                s.SetInfo(s.Bytes(s.text));
            s.DecideInfo(false);
        } else if (node == Node::Document) {
            s.EndSection();
        } else if (node == Node::Device) {
            s.device = nullptr;
        }
    }

    static void XMLCALL OnText(void* data, const XML_Char* text, int length)
    {
        auto& s = *static_cast<State*>(data);
        if (s.skipping || s.path.empty() || s.path.back() != Node::Info
            || s.infoText == InfoText::Done)
            return;
        s.text.append(text, static_cast<std::size_t>(length));
        if (s.infoText == InfoText::Pending && !s.textHasNonBlank)
            s.textHasNonBlank
                = !s.RawIsBlank(std::string_view(text, static_cast<std::size_t>(length)));
    }

    // Whether the file's bytes of the current event are blanks only (the tree reader drops
    // a text of blanks before markup, but keeps one that starts with a reference).
    bool RawIsBlank(std::string_view given)
    {
        int offset = 0;
        int length = 0;
        const char* context = XML_GetInputContext(parser, &offset, &length);
        const int count = XML_GetCurrentByteCount(parser);
        std::string raw;
        if (context != nullptr && count > 0 && offset + count <= length)
            raw.assign(context + offset, static_cast<std::size_t>(count));
        else
            raw = Bytes(given);
        return IsBlankText(raw);
    }

    static void XMLCALL OnCDataStart(void* data)
    {
        auto& s = *static_cast<State*>(data);
        s.inScriptText = !s.path.empty() && s.path.back() == Node::Script;
        if (!s.skipping && !s.path.empty() && s.path.back() == Node::Info)
            s.DecideInfo(true);
    }

    static void XMLCALL OnCDataEnd(void* data)
    {
        auto& s = *static_cast<State*>(data);
        s.inScriptText = false;
        if (!s.skipping && !s.path.empty() && s.path.back() == Node::Info
            && s.infoText == InfoText::CData)
            s.SetInfo(s.Bytes(s.text));
    }

    // The tree reader passes over comments before the page info's text.
    static void XMLCALL OnComment(void* data, const XML_Char*)
    {
        auto& s = *static_cast<State*>(data);
        if (s.path.empty())
            s.topHasOther = true;
        if (s.skipping || s.path.empty() || s.path.back() != Node::Info
            || s.infoText != InfoText::Pending)
            return;
        if (s.textHasNonBlank)
            s.DecideInfo(false);
        else
            s.text.clear();
    }

    // The tree reader takes instructions only at the start of the file, before any other
    // node.
    static void XMLCALL OnInstruction(void* data, const XML_Char*, const XML_Char*)
    {
        auto& s = *static_cast<State*>(data);
        if (!s.path.empty() || s.topHasOther)
            s.Stop(s.Doubtful(),
                LineText(s.Line())
                    + ": the XML is not well-formed (XML_ERROR_PARSING_DECLARATION).");
    }

    // The tree reader knows no document types and expands no entities they declare.
    static void XMLCALL OnDoctype(
        void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        auto& s = *static_cast<State*>(data);
        s.Stop(s.Doubtful(),
            LineText(s.Line())
                + ": the file declares a document type, which project files do not have.");
    }

    void Fail(std::string reason)
    {
        verdict = Result::Failed;
        problem = std::move(reason);
        done = true;
    }

    // The checks the tree reader makes before it parses: UTF-16, a NUL byte.
    bool Start()
    {
        started = true;
        const auto byte = [this](std::size_t i) { return static_cast<unsigned char>(head[i]); };
        if (head.size() >= 2
            && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF)
                || (byte(0) == 0 && byte(1) == '<') || (byte(0) == '<' && byte(1) == 0))) {
            Fail("The file is UTF-16 text; project files are UTF-8.");
            return false;
        }
        std::string first = std::move(head);
        head = std::string();
        std::string_view view = first;
        // The tree reader skips a UTF-8 byte-order mark.
        if (view.substr(0, 3) == "\xEF\xBB\xBF")
            view.remove_prefix(3);
        return ParsePiece(view);
    }

    bool ParsePiece(std::string_view piece)
    {
        if (const void* nul = std::memchr(piece.data(), '\0', piece.size())) {
            Fail(LineText(lines
                     + CountLineFeeds(piece.substr(0,
                         static_cast<std::size_t>(static_cast<const char*>(nul) - piece.data()))))
                + ": the file holds a NUL byte, which XML does not allow.");
            return false;
        }
        lines += CountLineFeeds(piece);
        std::string joined;
        if (!carry.empty()) {
            joined = std::move(carry);
            carry = std::string();
            joined.append(piece);
            piece = joined;
        }
        while (!piece.empty() && !done) {
            switch (pass) {
            case Pass::None:
                piece = ParseUpToPassable(piece);
                break;
            case Pass::ScriptText:
                piece = PassScriptText(piece);
                break;
            case Pass::PatchLines:
                piece = PassPatchLines(piece);
                break;
            }
        }
        return !done;
    }

    // Gives the parser the text up to the next place where a pass may begin, and starts the
    // pass when the parser confirms it stands there. Returns what is left.
    std::string_view ParseUpToPassable(std::string_view piece)
    {
        const std::size_t script = piece.find(kScriptStart);
        const std::size_t lines = piece.find(kPatchLinesStart);
        const std::size_t at = std::min(script, lines);
        if (at == std::string_view::npos) {
            // A start cut by the end of the piece is looked for again with the next one.
            const std::size_t keep = std::min(piece.size(), kScriptStart.size() - 1);
            Parse(piece.data(), piece.size() - keep, false);
            carry.assign(piece.substr(piece.size() - keep));
            return {};
        }
        const std::size_t end = at + (at == script ? kScriptStart.size() : kPatchLinesStart.size());
        if (!Parse(piece.data(), end, false))
            return {};
        if (at == script && inScriptText && !path.empty() && path.back() == Node::Script)
            pass = Pass::ScriptText;
        else if (at == lines && !path.empty() && path.back() == Node::PatchLines)
            pass = Pass::PatchLines;
        return piece.substr(end);
    }

    // The script's text ends at the first "]]>", as any CDATA section does.
    std::string_view PassScriptText(std::string_view piece)
    {
        const std::size_t end = piece.find(kCDataEnd);
        if (end == std::string_view::npos) {
            const std::size_t keep = std::min(piece.size(), kCDataEnd.size() - 1);
            passedLines += CountLineFeeds(piece.substr(0, piece.size() - keep));
            carry.assign(piece.substr(piece.size() - keep));
            return {};
        }
        passedLines += CountLineFeeds(piece.substr(0, end));
        pass = Pass::None;
        return piece.substr(end);
    }

    // Patch lines exactly as the writer puts them: blanks, then <patchdata value="..."/> with
    // no markup or reference in the value. Anything else goes to the parser.
    std::string_view PassPatchLines(std::string_view piece)
    {
        std::size_t at = 0;
        for (;;) {
            std::size_t start = at;
            while (start < piece.size()
                && (piece[start] == ' ' || piece[start] == '\n' || piece[start] == '\r'
                    || piece[start] == '\t'))
                ++start;
            const std::string_view rest = piece.substr(start);
            const std::size_t quote = rest.size() > kPatchLine.size()
                ? rest.find('"', kPatchLine.size())
                : std::string_view::npos;
            if (rest.substr(0, kPatchLine.size()) != kPatchLine.substr(0, rest.size())
                || (quote == std::string_view::npos && rest.size() > 4096)) {
                pass = Pass::None;
                break;
            }
            if (quote == std::string_view::npos || quote + 2 >= rest.size()) {
                // Cut by the end of the piece.
                passedLines += CountLineFeeds(piece.substr(0, at));
                carry.assign(piece.substr(at));
                return {};
            }
            const std::string_view value
                = rest.substr(kPatchLine.size(), quote - kPatchLine.size());
            if (rest.substr(quote + 1, 2) != "/>"
                || value.find_first_of("<&") != std::string_view::npos) {
                pass = Pass::None;
                break;
            }
            at = start + quote + 3;
        }
        passedLines += CountLineFeeds(piece.substr(0, at));
        return piece.substr(at);
    }

    bool Parse(const char* data, std::size_t length, bool last)
    {
        if (XML_Parse(parser, data, static_cast<int>(length), last ? XML_TRUE : XML_FALSE)
            == XML_STATUS_OK)
            return true;
        if (verdict == Result::Loaded || verdict == Result::Refused) {
            const XML_Error code = XML_GetErrorCode(parser);
            if (code != XML_ERROR_ABORTED) {
                std::string what = "the XML is not well-formed";
                if (code == XML_ERROR_TAG_MISMATCH)
                    what = "an element is not closed properly";
                else if (code == XML_ERROR_NO_ELEMENTS)
                    what = "the file holds no XML element";
                verdict = Doubtful();
                problem = LineText(Line()) + ": " + what + " (" + XML_ErrorString(code) + ").";
            }
        }
        done = true;
        return false;
    }
};

CProjectFileParser::CProjectFileParser(
    IProjectContents& doc, std::uint64_t size, bool treeCanFollow, bool exactBytes)
    : m_state(std::make_unique<State>(doc, size, treeCanFollow, exactBytes))
{
    doc.Reset();
    State& s = *m_state;
    s.parser = XML_ParserCreate(exactBytes ? kByteEncoding : "UTF-8");
    if (exactBytes)
        XML_SetUnknownEncodingHandler(s.parser, MapBytes, nullptr);
    XML_SetUserData(s.parser, &s);
    // Every complete token is handled as soon as it is given: passing over text relies on it.
    XML_SetReparseDeferralEnabled(s.parser, XML_FALSE);
    XML_SetElementHandler(s.parser, State::OnStart, State::OnEnd);
    XML_SetCdataSectionHandler(s.parser, State::OnCDataStart, State::OnCDataEnd);
    XML_SetCommentHandler(s.parser, State::OnComment);
    XML_SetProcessingInstructionHandler(s.parser, State::OnInstruction);
    XML_SetStartDoctypeDeclHandler(s.parser, State::OnDoctype);
}

CProjectFileParser::~CProjectFileParser()
{
    if (m_state->parser)
        XML_ParserFree(m_state->parser);
}

bool CProjectFileParser::Feed(std::string_view piece)
{
    State& s = *m_state;
    if (s.done)
        return false;
    s.fed += piece.size();
    if (s.started)
        return s.ParsePiece(piece);
    // The first bytes decide on a UTF-16 file and a byte-order mark.
    s.head.append(piece);
    if (s.head.size() < 3 && s.fed < s.size)
        return true;
    return s.Start();
}

CProjectFileParser::Result CProjectFileParser::Finish(std::string& problem)
{
    State& s = *m_state;
    if (s.fed == 0 && !s.done) {
        s.verdict = Result::Failed;
        s.problem = "The file is empty.";
        s.done = true;
    }
    if (!s.done && !s.started)
        s.Start();
    if (!s.done && !s.carry.empty()) {
        // What was kept for the next piece that never came: the parser decides on it.
        const std::string rest = std::move(s.carry);
        s.Parse(rest.data(), rest.size(), false);
    }
    if (!s.done)
        s.Parse(nullptr, 0, true);

    IProjectContents& doc = s.doc;
    problem = s.problem;
    if (s.verdict == Result::Unsure || s.verdict == Result::Failed)
        return s.verdict;
    for (const auto& [text, icon] : s.messages.held)
        doc.Messages().ShowMessage(text, icon);
    if (s.verdict == Result::Refused)
        return s.verdict;
    if (s.replaced)
        doc.Messages().ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
    doc.RebuildTables();
    if (doc.GetSectionCount() == 0)
        doc.AddSection();
    doc.SetCurrentSection(0);
    return Result::Loaded;
}
