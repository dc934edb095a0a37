#include "app/base/XmlWriter.h"

#include "app/base/NumberText.h"
#include "app/base/StoredText.h"

namespace {

bool IsXmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void AppendReference(std::string& out, unsigned char c)
{
    out += "&#";
    AppendDecimal(out, c);
    out += ';';
}

// The text as it may be written: the stored bytes, or a cleaned copy when they hold what
// a project file cannot carry.
std::string_view Storable(std::string_view value, std::string& copy)
{
    bool clean = true;
    for (const char c : value) {
        if (IsForbiddenControl(static_cast<unsigned char>(c))
            || static_cast<unsigned char>(c) >= 0x80) {
            clean = false;
            break;
        }
    }
    if (clean)
        return value;
    copy.assign(value.data(), value.size());
    MakeStorableText(copy);
    return copy;
}

} // namespace

void CXmlWriter::PushDeclaration(std::string_view value)
{
    PrepareForNewNode();
    text += "<?";
    text += value;
    text += "?>";
}

void CXmlWriter::OpenElement(const char* name)
{
    PrepareForNewNode();
    m_stack.push_back(name);
    text += '<';
    text += name;
    m_elementJustOpened = true;
    ++m_depth;
}

void CXmlWriter::PushAttribute(const char* name, std::string_view value)
{
    text += ' ';
    text += name;
    text += "=\"";
    AppendAttributeValue(value);
    text += '"';
}

void CXmlWriter::PushAttribute(const char* name, long long value)
{
    text += ' ';
    text += name;
    text += "=\"";
    AppendDecimal(text, value);
    text += '"';
}

void CXmlWriter::CloseElement()
{
    --m_depth;
    const char* name = m_stack.back();
    m_stack.pop_back();
    if (m_elementJustOpened) {
        text += "/>";
    } else {
        if (m_textDepth < 0) {
            text += '\n';
            Indent(m_depth);
        }
        text += "</";
        text += name;
        text += '>';
    }
    if (m_textDepth == m_depth)
        m_textDepth = -1;
    if (m_depth == 0)
        text += '\n';
    m_elementJustOpened = false;
    FlushWhenFull();
}

void CXmlWriter::PushText(std::string_view value)
{
    m_textDepth = m_depth - 1;
    SealElementIfJustOpened();
    AppendTextValue(value);
}

void CXmlWriter::PushCData(std::string_view value)
{
    BeginCData();
    AppendCData(value);
    EndCData();
}

void CXmlWriter::BeginCData()
{
    m_textDepth = m_depth - 1;
    SealElementIfJustOpened();
    text += "<![CDATA[";
}

void CXmlWriter::AppendCData(std::string_view piece)
{
    std::string copy;
    const std::string_view value = Storable(piece, copy);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = value.find("]]>", start);
        if (end == std::string_view::npos)
            break;
        text += value.substr(start, end + 2 - start);
        text += "]]><![CDATA[";
        start = end + 2;
    }
    text += value.substr(start);
    FlushWhenFull();
}

void CXmlWriter::EndCData()
{
    text += "]]>";
}

bool CXmlWriter::Flush()
{
    if (!m_sink || m_failed)
        return !m_failed;
    if (!text.empty() && !m_sink(text))
        m_failed = true;
    text.clear();
    return !m_failed;
}

void CXmlWriter::FlushWhenFull()
{
    // About a megabyte at a time: few calls of the sink, little memory.
    if (m_sink && text.size() >= (std::size_t { 1 } << 20))
        Flush();
}

void CXmlWriter::PushComment(std::string_view value)
{
    PrepareForNewNode();
    text += "<!--";
    text += value;
    text += "-->";
}

void CXmlWriter::PrepareForNewNode()
{
    SealElementIfJustOpened();
    if (m_textDepth < 0 && !m_firstElement) {
        text += '\n';
        Indent(m_depth);
    }
    m_firstElement = false;
}

void CXmlWriter::SealElementIfJustOpened()
{
    if (!m_elementJustOpened)
        return;
    m_elementJustOpened = false;
    text += '>';
}

void CXmlWriter::Indent(int depth)
{
    text.append(static_cast<std::size_t>(depth) * 4, ' ');
}

void CXmlWriter::AppendAttributeValue(std::string_view raw)
{
    std::string copy;
    const std::string_view value = Storable(raw, copy);
    // Whole runs at a time: this writes millions of patch lines.
    std::size_t run = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const char* entity = nullptr;
        switch (c) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '\'':
            entity = "&apos;";
            break;
        case '\t':
            entity = "&#9;";
            break;
        case '\n':
            entity = "&#10;";
            break;
        case '\r':
            entity = "&#13;";
            break;
        default:
            continue;
        }
        text.append(value.data() + run, i - run);
        text += entity;
        run = i + 1;
    }
    text.append(value.data() + run, value.size() - run);
}

void CXmlWriter::AppendTextValue(std::string_view raw)
{
    std::string copy;
    const std::string_view value = Storable(raw, copy);
    bool blanksOnly = !value.empty();
    for (const char c : value)
        blanksOnly = blanksOnly && IsXmlBlank(c);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (blanksOnly && i == 0) {
            AppendReference(text, static_cast<unsigned char>(c));
            continue;
        }
        switch (c) {
        case '&':
            text += "&amp;";
            break;
        case '<':
            text += "&lt;";
            break;
        case '>':
            text += "&gt;";
            break;
        case '\r':
            AppendReference(text, '\r');
            break;
        default:
            text += c;
            break;
        }
    }
}
