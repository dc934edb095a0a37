#include "shell/toolkit/VersionInfo.h"

#include "Version.h"

namespace {

const std::array<const char*, 12> kNames { "CompanyName", "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "OriginalFileName", "ProductName", "ProductVersion",
    "Comments", "LegalTrademarks", "PrivateBuild", "SpecialBuild" };

int IndexOf(const QString& name)
{
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (name == QLatin1String(kNames[i]))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

void CVersionInfo::Read()
{
    m_fileVersion = { QUILTMARK_VERSION_MAJOR, QUILTMARK_VERSION_MINOR, QUILTMARK_VERSION_BUILD,
        QUILTMARK_VERSION_REVISION };
    m_productVersion = m_fileVersion;
    // Version texts are written with commas and blanks ("3, 6, 28, 28").
    const QString commaText = QStringLiteral("%1, %2, %3, %4")
                                  .arg(m_fileVersion[0])
                                  .arg(m_fileVersion[1])
                                  .arg(m_fileVersion[2])
                                  .arg(m_fileVersion[3]);
    m_strings = {};
    m_strings[static_cast<size_t>(IndexOf("CompanyName"))] = QStringLiteral("Kelvra");
    m_strings[static_cast<size_t>(IndexOf("FileDescription"))] = QStringLiteral("Quiltmark");
    m_strings[static_cast<size_t>(IndexOf("FileVersion"))] = commaText;
    m_strings[static_cast<size_t>(IndexOf("InternalName"))] = QStringLiteral("Quiltmark");
    m_strings[static_cast<size_t>(IndexOf("LegalCopyright"))]
        = QStringLiteral("Copyright (C) Kelvra");
    m_strings[static_cast<size_t>(IndexOf("OriginalFileName"))] = QStringLiteral("quiltmark");
    m_strings[static_cast<size_t>(IndexOf("ProductName"))] = QStringLiteral("Quiltmark");
    m_strings[static_cast<size_t>(IndexOf("ProductVersion"))] = commaText;
}

QString CVersionInfo::GetString(const QString& name) const
{
    const int i = IndexOf(name);
    return i < 0 ? QString() : m_strings[static_cast<size_t>(i)];
}

QString CVersionInfo::AboutVersionLine() const
{
    QString version = GetString(QStringLiteral("ProductVersion"));
    version.replace(QLatin1Char(','), QLatin1Char('.'));
    version.remove(QLatin1Char(' '));
    return GetString(QStringLiteral("ProductName")) + QStringLiteral(" Version ") + version;
}

QString CVersionInfo::DottedText(const Numbers& numbers)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(numbers[0])
        .arg(numbers[1])
        .arg(numbers[2])
        .arg(numbers[3]);
}
