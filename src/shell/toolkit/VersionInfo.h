#pragma once

#include <QString>
#include <array>

// The program's version numbers and version strings. They come from the build (there is
// no version resource on this platform); a name that is not known reads as empty.
class CVersionInfo {
public:
    using Numbers = std::array<int, 4>; // major, minor, build, revision

    // Fills the record for the running program.
    void Read();

    const Numbers& GetFileVersion() const { return m_fileVersion; }
    const Numbers& GetProductVersion() const { return m_productVersion; }
    // One of "CompanyName", "FileDescription", "FileVersion", "InternalName",
    // "LegalCopyright", "OriginalFileName", "ProductName", "ProductVersion", "Comments",
    // "LegalTrademarks", "PrivateBuild", "SpecialBuild".
    QString GetString(const QString& name) const;

    // "Quiltmark Version 3.6.28.28": the product version with "," as "." and no blanks.
    QString AboutVersionLine() const;
    // "3.6.28.28"
    static QString DottedText(const Numbers& numbers);

private:
    Numbers m_fileVersion { 0, 0, 0, 0 };
    Numbers m_productVersion { 0, 0, 0, 0 };
    std::array<QString, 12> m_strings;
};
