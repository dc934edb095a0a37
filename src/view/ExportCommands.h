#pragma once

#include "shell/toolkit/Commands.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>
#include <functional>

class CQuiltmarkDoc;
class CQuiltmarkView;
class CSubDoc;
class CUniverseReportDlg;
class IUserMessages;
class QPoint;
class QWidget;

// Writes the ASCII-art patch scheme of a section to `path` the way every file is saved
// (WriteFileSafely). On failure `error` holds the reason, at most 255 characters.
bool WriteAsciiSchemeFile(const CSubDoc& section, const QString& path, QString* error);
// The same for the console CSV of every section and for the universe report.
bool WritePatchCsvFile(const CQuiltmarkDoc& doc, const QString& path, QString* error);
bool WriteUniverseReportFile(const CQuiltmarkDoc& doc, const QString& path, QString* error);

// File > Export > "Patch Scheme as ASCII-Art Text File..." and "Patch List as CSV...",
// View > "Universe Report...".
class CExportCommands : public QObject, public CCommandBindings {
    Q_OBJECT

public:
    static constexpr const char* kFilter = "Patch Files(*.txt);;All Files (*)";
    static constexpr const char* kCsvFilter = "CSV Files (*.csv);;All Files (*)";

    // Asks for the target file, given the proposed name; empty means cancelled.
    using FileChooser = std::function<QString(const QString& proposed)>;

    // Without a view the report cannot show tiles; everything else works.
    CExportCommands(CQuiltmarkDoc& doc, IUserMessages& messages, QWidget* dialogParent,
        CQuiltmarkView* view = nullptr);
    ~CExportCommands() override;

    void SetFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    void OnExportAscii();
    void OnExportPatchCsv();
    void OnUniverseReport();
    void OnSaveUniverseReport();
    // The project changed: an open report reads it again.
    void OnDocumentChanged();
    // Makes `section` current, selects exactly `tiles` and scrolls them into view.
    void ShowTiles(int section, const QVector<QPoint>& tiles);
    CUniverseReportDlg* Report() const;

    // The document's path with `extension` (".txt") in place of its own; empty when unsaved.
    static QString ProposedName(
        const std::string& documentPath, const QString& extension = QStringLiteral(".txt"));

signals:
    // ShowTiles made another section current: the sections bar follows.
    void currentSectionChanged(int section);

private:
    CQuiltmarkDoc& m_doc;
    IUserMessages& m_messages;
    QWidget* m_parent;
    CQuiltmarkView* m_view;
    FileChooser m_chooser;
    const char* m_filter = kFilter; // of the file the chooser is asked for
    QPointer<QDialog> m_report; // a CUniverseReportDlg while open
};
