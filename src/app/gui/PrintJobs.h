#pragma once

#include "view/PrintPainter.h"

#include <QString>

class CQuiltmarkDoc;
struct CCommandLine;

// Printing without the print dialog: the command line's print switches and --print-pdf.
// Patch-matrix jobs print every section, one page each.

// Writes the pages as a PDF file on A4 portrait. The file is replaced only when the whole
// document was written; false with `error` set otherwise.
bool PrintDocumentToPdf(const CQuiltmarkDoc& doc, const QString& path, PrintContent content,
    const CPrintStamp& stamp, QString* error = nullptr);

// Prints on the named printer, or the default printer when `printerName` is empty.
bool PrintDocumentToPrinter(const CQuiltmarkDoc& doc, const QString& printerName,
    PrintContent content, QString* error = nullptr);

// True when the arguments hold --print-pdf; such runs go to RunPrintPdf before any other
// command-line handling.
bool IsPrintPdfInvocation(int argc, char** argv);

//   quiltmark --print-pdf OUT.pdf [--devices] [--library METALIB.xml] [--date TEXT] FILE
// Works without a display. Returns the exit status: 0 written, 1 failed, 2 usage error.
int RunPrintPdf(const CCommandLine& commandLine);
int RunPrintPdf(int argc, char** argv);
