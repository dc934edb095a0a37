#include "shell/toolkit/ModelText.h"

#include "app/base/NumberText.h"
#include "app/base/StoredText.h"

QString FromModelText(const std::string& bytes)
{
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string utf8 = Utf8FromWindows1252(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string CutUtf8(const std::string& bytes, int maxBytes)
{
    if (maxBytes < 0)
        return bytes;
    std::string cut = bytes;
    CutTextKeepingUtf8(cut, static_cast<std::size_t>(maxBytes));
    return cut;
}

std::string ToModelText(const QString& text, int maxBytes)
{
    const QByteArray utf8 = text.toUtf8();
    return CutUtf8(std::string(utf8.constData(), static_cast<size_t>(utf8.size())), maxBytes);
}

std::string ToProjectText(const QString& text, int maxBytes, bool* replaced)
{
    std::string bytes = ToModelText(text);
    const bool changed = MakeStorableText(bytes);
    if (replaced)
        *replaced = changed;
    return CutUtf8(bytes, maxBytes);
}
