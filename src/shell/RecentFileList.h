#pragma once

#include <QString>
#include <QStringList>

// The last four opened or saved files, newest first, kept in the settings store under
// "Recent File List/File1".."File4".
class CRecentFileList {
public:
    static constexpr int kSize = 4;

    // Reads the list from the application's settings.
    void Load();
    void Save() const;

    // Puts `path` in front (once; equal paths compare as the file system sees them).
    void Add(const QString& path);
    void Remove(int index);
    const QStringList& Files() const { return m_files; }
    QString File(int index) const { return m_files.value(index); }

    // Menu text of an entry: "&1 /path/name.patch".
    static QString MenuText(int index, const QString& path);

private:
    QStringList m_files;
};
