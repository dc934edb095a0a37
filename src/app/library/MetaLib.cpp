#include "app/library/MetaLib.h"

#include "app/base/NumberText.h"
#include "app/base/SafeFile.h"
#include "app/base/UserMessages.h"
#include "app/library/MetaLibText.h"

#include <tinyxml2.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kQuarkNameLimit = 127;

std::string TextAttribute(const tinyxml2::XMLElement* e, const char* name)
{
    const char* v = e->Attribute(name);
    return v ? std::string(v) : std::string();
}

int IntAttribute(const tinyxml2::XMLElement* e, const char* name)
{
    return metalibtext::ToIntLikeAtoi(e->Attribute(name));
}

// Keeps `field` as it is unless the attribute holds exactly one integer.
void QueryIntAttribute(const tinyxml2::XMLElement* e, const char* name, int& field)
{
    if (std::optional<int> v = metalibtext::ToIntStrict(e->Attribute(name)))
        field = *v;
}

bool BoolAttribute(const tinyxml2::XMLElement* e, const char* name)
{
    const char* v = e->Attribute(name);
    return v && metalibtext::EqualsIgnoringCase(v, "true");
}

// Once the first child of the wanted name is found, every following sibling counts as
// another entry of that kind whatever its name; the library files have always been read so.
template <typename Fn>
void ForEachEntry(const tinyxml2::XMLElement* parent, const char* firstName, Fn fn)
{
    for (const tinyxml2::XMLElement* e = parent->FirstChildElement(firstName); e;
         e = e->NextSiblingElement())
        fn(e);
}

void ReadStyles(const tinyxml2::XMLElement* lamp, CFixtureType& t)
{
    const tinyxml2::XMLElement* skope = lamp->FirstChildElement("skope");
    if (!skope)
        return;
    ForEachEntry(skope, "style",
        [&](const tinyxml2::XMLElement* e) { t.styles.push_back(TextAttribute(e, "type")); });
}

void ReadDmxMatrix(const tinyxml2::XMLElement* lamp, CFixtureType& t)
{
    const tinyxml2::XMLElement* matrix = lamp->FirstChildElement("dmxmatrix");
    if (!matrix)
        return;
    // A matrix of absurd size stays absent; such a type is not usable for sections anyway.
    if (t.width < 0 || t.height < 0)
        return;
    const int64_t cells = static_cast<int64_t>(t.width) * t.height;
    if (cells > CFixtureType::kMaxQuarks)
        return;
    t.dmxMatrix.emplace(static_cast<std::size_t>(cells), uint16_t { 0 });
    ForEachEntry(matrix, "dmxpos", [&](const tinyxml2::XMLElement* e) {
        const int x = IntAttribute(e, "x");
        const int y = IntAttribute(e, "y");
        if (x < 1 || x > t.width || y < 1 || y > t.height)
            return;
        const int offset = IntAttribute(e, "dmxoffset");
        const std::size_t cell = static_cast<std::size_t>(x - 1)
            + static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(t.width);
        (*t.dmxMatrix)[cell] = static_cast<uint16_t>(static_cast<uint32_t>(offset) & 0xFFFFu);
    });
}

void ReadSwitch(const tinyxml2::XMLElement* lamp, CFixtureType& t)
{
    const tinyxml2::XMLElement* sw = lamp->FirstChildElement("switch");
    if (!sw)
        return;
    QueryIntAttribute(sw, "start", t.switchStart);
    QueryIntAttribute(sw, "end", t.switchEnd);
    t.topIsOn = BoolAttribute(sw, "topison");
    t.textOn = TextAttribute(sw, "texton");
    t.textOff = TextAttribute(sw, "textoff");
    for (int bit = 0; bit < 9; ++bit) {
        const std::string name = "dmxbit" + std::to_string(bit);
        QueryIntAttribute(sw, name.c_str(), t.dmxBit[bit]);
    }

    ForEachEntry(sw, "operation", [&](const tinyxml2::XMLElement* e) {
        // Appended before parsing: an entry that does not parse stays in the list, disabled.
        t.operations.emplace_back();
        t.operations.back().Parse(TextAttribute(e, "typ"), TextAttribute(e, "value"));
    });

    t.fixedSwitches.clear();
    ForEachEntry(sw, "setswitch", [&](const tinyxml2::XMLElement* e) {
        CFixedSwitch fixed;
        fixed.position = IntAttribute(e, "pos");
        fixed.on = BoolAttribute(e, "value");
        t.fixedSwitches.push_back(fixed);
    });

    if (0 <= t.switchStart && t.switchStart <= t.switchEnd && t.switchEnd <= 200) {
        t.switchCount = t.switchEnd - t.switchStart + 1;
        t.switchGridWidth = t.switchCount + 2;
        t.switchGridHeight = 3;
        t.hasSwitch = true;
    }
}

std::unique_ptr<CFixtureType> ReadLampAttributes(const tinyxml2::XMLElement* lamp)
{
    auto t = std::make_unique<CFixtureType>();
    t->metaName = TextAttribute(lamp, "metaname");
    t->type = TextAttribute(lamp, "type");
    // The quark name lands in every patch line and once per tile in the visualiser script:
    // hold it to the 127-byte limit of those fields.
    t->quarkName = TextAttribute(lamp, "qarkname");
    CutTextKeepingUtf8(t->quarkName, kQuarkNameLimit);
    t->headerText = TextAttribute(lamp, "headertext");
    t->tailText = TextAttribute(lamp, "tailtext");
    t->addressesPerQuark = IntAttribute(lamp, "addressesperquark");
    t->width = IntAttribute(lamp, "width");
    t->height = IntAttribute(lamp, "height");
    t->skopeWidth = IntAttribute(lamp, "skopewidth");
    t->skopeHeight = IntAttribute(lamp, "skopeheight");
    t->skopeDepth = IntAttribute(lamp, "skopedepth");
    t->flags = IntAttribute(lamp, "flags");
    t->headerAddresses = IntAttribute(lamp, "headeraddresses");
    t->tailAddresses = IntAttribute(lamp, "tailaddresses");
    t->oldIndex = IntAttribute(lamp, "old_index");
    return t;
}

} // namespace

bool CMetaLib::Load(const std::string& path)
{
    Clear();
    // Only a regular file, and no more of it than a library can be: a FIFO or a device
    // in its place must neither block the start nor fill the memory.
    std::string data;
    if (!ReadWholeFile(path, data, nullptr, kMaxFileBytes))
        return false;
    return LoadFromBuffer(data.data(), data.size());
}

bool CMetaLib::LoadFromBuffer(const char* data, std::size_t size)
{
    Clear();
    if (!IsAcceptableText(data, size))
        return false;

    tinyxml2::XMLDocument doc;
    if (doc.Parse(data, size) != tinyxml2::XML_SUCCESS)
        return false;

    const tinyxml2::XMLElement* root = doc.FirstChildElement("metalib");
    const tinyxml2::XMLElement* lamps = root ? root->FirstChildElement("lamps") : nullptr;
    if (!lamps)
        return true;
    for (const tinyxml2::XMLElement* lamp = lamps->FirstChildElement("lamp"); lamp;
         lamp = lamp->NextSiblingElement("lamp")) {
        std::unique_ptr<CFixtureType> owned = ReadLampAttributes(lamp);
        CFixtureType& t = *owned;
        Add(std::move(owned));
        ReadStyles(lamp, t);
        ReadDmxMatrix(lamp, t);
        ReadSwitch(lamp, t);
    }
    return true;
}

bool CMetaLib::IsAcceptableText(const char* data, std::size_t size)
{
    // NUL never occurs in well-formed XML.
    return data && size > 0 && size <= kMaxFileBytes && std::memchr(data, '\0', size) == nullptr;
}

const CFixtureType* CMetaLib::GetAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_types[static_cast<std::size_t>(index)].get();
}

CFixtureType* CMetaLib::GetAt(int index)
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_types[static_cast<std::size_t>(index)].get();
}

int CMetaLib::IndexOfType(const std::string& type) const
{
    for (std::size_t i = 0; i < m_types.size(); ++i) {
        if (m_types[i]->type == type)
            return static_cast<int>(i);
    }
    return -1;
}

int CMetaLib::IndexOfOldIndex(int oldIndex) const
{
    if (oldIndex <= 0)
        return -1;
    for (std::size_t i = 0; i < m_types.size(); ++i) {
        if (m_types[i]->oldIndex == oldIndex)
            return static_cast<int>(i);
    }
    return -1;
}

int CMetaLib::ResolveTypeName(
    const std::string& type, const std::string& sectionName, IUserMessages& messages) const
{
    const int found = IndexOfType(type);
    if (found >= 0)
        return found;
    const int fallback = IndexOfType(kFallbackType);
    // Names come from the project file and may be of any length: no fixed-size buffer here.
    const std::string text = "Can not find the \"" + type + "\" fixture type for secton \""
        + sectionName
        + "\" in the metalib.xml file.\nQuiltmark use now the for this section the \"Ziduzu "
          "Color Beamer\" fixture type.\nFor using the \""
        + type + "\" fixture type you must modify the metalib.xml file.";
    messages.ShowMessage(text, MessageIcon::Error);
    return fallback >= 0 ? fallback : 0;
}

int CMetaLib::Add(std::unique_ptr<CFixtureType> type)
{
    if (!type)
        return -1;
    m_types.push_back(std::move(type));
    Renumber();
    return GetCount() - 1;
}

void CMetaLib::RemoveAt(int index)
{
    if (index < 0 || index >= GetCount())
        return;
    m_types.erase(m_types.begin() + index);
    Renumber();
}

void CMetaLib::Clear()
{
    m_types.clear();
}

void CMetaLib::Renumber()
{
    for (std::size_t i = 0; i < m_types.size(); ++i)
        m_types[i]->index = static_cast<int>(i);
}

std::string MetaLibPathIn(const std::string& directory)
{
    if (directory.empty())
        return CMetaLib::kFileName;
    if (directory.back() == '/')
        return directory + CMetaLib::kFileName;
    return directory + "/" + CMetaLib::kFileName;
}
