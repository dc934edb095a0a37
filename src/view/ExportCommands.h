#pragma once

#include "shell/toolkit/Commands.h"

#include <QString>
#include <functional>

class CQuiltmarkDoc;
class CSubDoc;
class IUserMessages;
class QWidget;

// Writes the ASCII-art patch scheme of a section to `path` the way every file is saved
// (WriteFileSafely). On failure `error` holds the reason, at most 255 characters.
bool WriteAsciiSchemeFile(const CSubDoc& section, const QString& path, QString* error);

// File > Export > "Patch Scheme as ASCII-Art Text File...".
class CExportCommands : public CCommandBindings {
public:
    static constexpr const char* kFilter = "Patch Files(*.txt);;All Files (*)";

    // Asks for the target file, given the proposed name; empty means cancelled.
    using FileChooser = std::function<QString(const QString& proposed)>;

    CExportCommands(CQuiltmarkDoc& doc, IUserMessages& messages, QWidget* dialogParent);

    void SetFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    void OnExportAscii();

    // The document's path with ".txt" in place of its extension; empty when unsaved.
    static QString ProposedName(const std::string& documentPath);

private:
    CQuiltmarkDoc& m_doc;
    IUserMessages& m_messages;
    QWidget* m_parent;
    FileChooser m_chooser;
};
