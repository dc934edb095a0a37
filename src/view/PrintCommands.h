#pragma once

#include "shell/toolkit/Commands.h"
#include "view/PrintPainter.h"

#include <QObject>
#include <functional>

class CExtPrintDialog;
class CQuiltmarkDoc;
class CQuiltmarkView;
class QPrinter;
class QPrintPreviewDialog;
class QWidget;

// Print and Print Preview of the view: patch-matrix pages (one per section) or the
// device list. Printer Setup stays with the application, which owns the printer.
class CPrintCommands : public QObject, public CCommandBindings {
    Q_OBJECT

public:
    // Where the preview's page arrangement (1 or 2 pages side by side) is kept.
    static constexpr const char* kPreviewPagesKey = "Settings/PreviewPages";

    // `printer` is shared with Printer Setup and must outlive this object.
    CPrintCommands(
        CQuiltmarkDoc& doc, CQuiltmarkView& view, QPrinter& printer, QObject* parent = nullptr);

    void OnFilePrint();
    void OnFilePrintPreview();

    // The content the next print dialog proposes; Patch Matrix again after every job.
    PrintContent GetPrintContent() const { return m_content; }
    void SetPrintContent(PrintContent content) { m_content = content; }

    // Runs the print dialog; the default runs it modally. Tests put in their own.
    using DialogRunner = std::function<bool(CExtPrintDialog&)>;
    void SetDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }
    // Shows the preview; the default runs it modally.
    using PreviewRunner = std::function<void(QPrintPreviewDialog&)>;
    void SetPreviewRunner(PreviewRunner runner) { m_runPreview = std::move(runner); }
    // Fixed texts for the pages (tests); otherwise the version and the time of printing.
    void SetStamp(const CPrintStamp& stamp)
    {
        m_stamp = stamp;
        m_fixedStamp = true;
    }

    // The view's settings that show on paper.
    CPrintViewOptions ViewOptions() const;
    // One job without a dialog, ended as every job is.
    CPrintJobResult Print(PrintContent content, int fromPage, int toPage);

signals:
    // A job printed patch-matrix pages: the section of the last one is now current, and
    // the sections bar should select it.
    void currentSectionPrinted(int index);

private:
    CPrintStamp Stamp() const;
    void EndPrinting(const CPrintJobResult& result);
    void RunPreview();
    // Gives the memory of a closed preview back to the system.
    static void ReleasePreviewMemory();

    CQuiltmarkDoc& m_doc;
    CQuiltmarkView& m_view;
    QPrinter& m_printer;
    PrintContent m_content = PrintContent::PatchMatrix;
    DialogRunner m_runDialog;
    PreviewRunner m_runPreview;
    CPrintStamp m_stamp;
    bool m_fixedStamp = false;
};
