#include "shell/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString kGroup = QStringLiteral("Recent File List");
}

void CRecentFileList::Load()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    m_files.clear();
    for (int i = 1; i <= kSize; ++i) {
        const QString file = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty() && !m_files.contains(file))
            m_files.append(file);
    }
}

void CRecentFileList::Save() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    for (int i = 1; i <= kSize; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_files.size())
            settings.setValue(key, m_files.at(i - 1));
        else
            settings.remove(key);
    }
}

void CRecentFileList::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    m_files.removeAll(full);
    m_files.prepend(full);
    while (m_files.size() > kSize)
        m_files.removeLast();
}

void CRecentFileList::Remove(int index)
{
    if (index >= 0 && index < m_files.size())
        m_files.removeAt(index);
}

QString CRecentFileList::MenuText(int index, const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}
