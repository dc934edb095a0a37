#pragma once

#include <QString>

// Makes the desktop open ".patch" files with this program, for the current user: a
// desktop entry, a MIME type and icons under the user's data folder (freedesktop).
namespace ShellRegistration {

inline constexpr const char* kMimeType = "application/x-quiltmark";

// $XDG_DATA_HOME, or ~/.local/share.
QString UserDataHome();

// Writes the files for `program` (absolute path of the binary) under `dataHome` and
// refreshes the desktop's caches. False with `error` when a file cannot be written.
bool Register(const QString& dataHome, const QString& program, QString* error = nullptr);
// Removes what Register wrote. Missing files are fine.
bool Unregister(const QString& dataHome, QString* error = nullptr);
// True when the user's entry exists and starts `program`.
bool IsRegistered(const QString& dataHome, const QString& program);
// True when the program is installed for all users (a system desktop entry exists).
bool IsInstalledSystemWide();

// The desktop entry's text for `program`.
QString DesktopEntry(const QString& program);
// `program` quoted for an Exec line.
QString QuoteExec(const QString& program);

} // namespace ShellRegistration
