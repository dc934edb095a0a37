#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Writes XML in the print form of TinyXML-2's printer (one element per line, four blanks
// per level, empty elements as "<x/>", text on the element's line), so files stay as they
// were, but with escaping that keeps every stored text exact and the file well-formed:
// - in attribute values tab, line feed and carriage return become character references
//   (a reader would otherwise turn them into blanks);
// - in text a carriage return becomes a reference (readers turn it into a line feed), and
//   a text of blanks only starts with a reference (readers drop such text otherwise);
// - control characters XML cannot hold become a stand-in, and bytes that are not UTF-8
//   are written as the Windows-1252 characters the window shows for them.
class CXmlWriter {
public:
    std::string text;

    void PushDeclaration(std::string_view value);
    void OpenElement(const char* name);
    void PushAttribute(const char* name, std::string_view value);
    void PushAttribute(const char* name, long long value);
    void CloseElement();
    void PushText(std::string_view value);
    // A "]]>" inside is split over two sections, which read back as one text.
    void PushCData(std::string_view value);
    // The same in pieces, for a text too large to hold at once. Each piece is checked for
    // what a file cannot store on its own, so pieces must end at a line end.
    void BeginCData();
    void AppendCData(std::string_view piece);
    void EndCData();
    void PushComment(std::string_view value);

    // Streams the output: `text` goes to the sink whenever it passes about a megabyte (at
    // the end of an element or a piece) and on Flush. After the sink said false nothing more
    // is given to it and Failed() is true.
    void SetSink(std::function<bool(std::string_view)> sink) { m_sink = std::move(sink); }
    bool Flush();
    bool Failed() const { return m_failed; }

private:
    void PrepareForNewNode();
    void SealElementIfJustOpened();
    void Indent(int depth);
    void AppendAttributeValue(std::string_view value);
    void AppendTextValue(std::string_view value);
    void FlushWhenFull();

    std::vector<const char*> m_stack;
    int m_depth = 0;
    int m_textDepth = -1;
    bool m_elementJustOpened = false;
    bool m_firstElement = true;
    std::function<bool(std::string_view)> m_sink;
    bool m_failed = false;
};
