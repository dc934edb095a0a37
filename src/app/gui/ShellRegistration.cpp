#include "app/gui/ShellRegistration.h"

#include "shell/ShellResources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace ShellRegistration {

namespace {

const QString kDesktopFile = QStringLiteral("applications/quiltmark.desktop");
const QString kMimeFile = QStringLiteral("mime/packages/quiltmark.xml");
const QString kAppIcon = QStringLiteral("icons/hicolor/scalable/apps/quiltmark.svg");
const QString kMimeIcon
    = QStringLiteral("icons/hicolor/scalable/mimetypes/application-x-quiltmark.svg");

QByteArray ReadResource(const QString& path)
{
    InitShellResources();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& data, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    if (error)
        *error = path + QStringLiteral(": ") + file.errorString();
    return false;
}

// The desktop keeps caches of MIME types and entries; the tools are optional.
void RefreshCaches(const QString& dataHome)
{
    const auto run = [](const QString& tool, const QString& folder) {
        const QString exe = QStandardPaths::findExecutable(tool);
        if (exe.isEmpty() || !QFileInfo(folder).isDir())
            return;
        QProcess process;
        // Their advice about search paths means nothing to the user here.
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(exe, { folder });
        process.waitForFinished(10000);
    };
    run(QStringLiteral("update-mime-database"), dataHome + QStringLiteral("/mime"));
    run(QStringLiteral("update-desktop-database"), dataHome + QStringLiteral("/applications"));
}

} // namespace

QString UserDataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString QuoteExec(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`%=");
    bool needsQuotes = false;
    for (QChar c : program)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return program;
    QString quoted;
    for (QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    // The desktop entry's own escaping doubles every backslash once more.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString DesktopEntry(const QString& program)
{
    QString entry = QString::fromUtf8(ReadResource(QStringLiteral(":/desktop/quiltmark.desktop")));
    entry.replace(QStringLiteral("Exec=quiltmark %f"),
        QStringLiteral("Exec=") + QuoteExec(program) + QStringLiteral(" %f"));
    return entry;
}

bool Register(const QString& dataHome, const QString& program, QString* error)
{
    const QByteArray icon = ReadResource(QStringLiteral(":/icons/quiltmark.svg"));
    const bool ok = WriteFile(dataHome + QLatin1Char('/') + kMimeFile,
                        ReadResource(QStringLiteral(":/desktop/quiltmark-mime.xml")), error)
        && WriteFile(dataHome + QLatin1Char('/') + kAppIcon, icon, error)
        && WriteFile(dataHome + QLatin1Char('/') + kMimeIcon, icon, error)
        && WriteFile(
            dataHome + QLatin1Char('/') + kDesktopFile, DesktopEntry(program).toUtf8(), error);
    RefreshCaches(dataHome);
    return ok;
}

bool Unregister(const QString& dataHome, QString* error)
{
    bool ok = true;
    for (const QString& relative : { kDesktopFile, kMimeFile, kAppIcon, kMimeIcon }) {
        const QString path = dataHome + QLatin1Char('/') + relative;
        if (QFile::exists(path) && !QFile::remove(path)) {
            ok = false;
            if (error)
                *error = path;
        }
    }
    RefreshCaches(dataHome);
    return ok;
}

bool IsRegistered(const QString& dataHome, const QString& program)
{
    QFile file(dataHome + QLatin1Char('/') + kDesktopFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return QString::fromUtf8(file.readAll()) == DesktopEntry(program)
        && QFile::exists(dataHome + QLatin1Char('/') + kMimeFile);
}

bool IsInstalledSystemWide()
{
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QFile::exists(dir + QLatin1Char('/') + kDesktopFile))
            return true;
    }
    return false;
}

} // namespace ShellRegistration
