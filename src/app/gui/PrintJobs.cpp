#include "app/gui/PrintJobs.h"

#include "app/library/MetaLib.h"
#include "app/base/UserMessages.h"
#include "app/cli/CommandLine.h"
#include "document/QuiltmarkDoc.h"
#include "app/base/SafeFile.h"
#include "shell/toolkit/ModelText.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstdio>
#include <memory>
#include <string>

namespace {

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

CPrintJob BatchJob(PrintContent content, const CPrintStamp& stamp)
{
    CPrintJob job;
    job.content = content;
    job.stamp = stamp;
    return job;
}

} // namespace

bool PrintDocumentToPdf(const CQuiltmarkDoc& doc, const QString& path, PrintContent content,
    const CPrintStamp& stamp, QString* error)
{
    // The pages are made in memory and written with the program's one safe write, so a
    // failure never leaves a damaged or half-written file behind.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CPrintJobResult result;
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Quiltmark"));
        writer.setTitle(FromModelText(doc.GetTitle()));
        // A printer's usual unprintable rim, so that the file prints as the paper would.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
            QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
        result = RunPrintJob(writer, doc, BatchJob(content, stamp));
    }
    if (!result.ok) {
        SetError(error, QStringLiteral("Cannot write %1: the PDF could not be started").arg(path));
        return false;
    }
    std::string reason;
    if (!WriteFileSafely(
            QFile::encodeName(path).toStdString(), buffer.data().toStdString(), &reason)) {
        SetError(error, QString::fromLocal8Bit(reason.c_str()));
        return false;
    }
    return true;
}

bool PrintDocumentToPrinter(
    const CQuiltmarkDoc& doc, const QString& printerName, PrintContent content, QString* error)
{
    const QPrinterInfo info = printerName.isEmpty() ? QPrinterInfo::defaultPrinter()
                                                    : QPrinterInfo::printerInfo(printerName);
    if (info.isNull()) {
        SetError(error,
            printerName.isEmpty()
                ? QStringLiteral("There is no default printer.")
                : QStringLiteral("The printer \"%1\" is not available.").arg(printerName));
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(FromModelText(doc.GetTitle()));
    const CPrintJobResult result
        = RunPrintJob(printer, doc, BatchJob(content, CurrentPrintStamp()));
    if (!result.ok) {
        SetError(error,
            QStringLiteral("The printer \"%1\" could not be started.").arg(info.printerName()));
        return false;
    }
    return true;
}

bool IsPrintPdfInvocation(int argc, char** argv)
{
    return CCommandLine::Parse(argc, argv).mode == CCommandLine::Mode::PrintPdf;
}

int RunPrintPdf(int argc, char** argv)
{
    return RunPrintPdf(CCommandLine::Parse(argc, argv));
}

int RunPrintPdf(const CCommandLine& commandLine)
{
    if (!commandLine.problem.empty())
        return ReportUsageError(commandLine);
    const CBatchArguments& options = commandLine.batch;
    // Fonts and painting need a GUI application, but never a display.
    static int qtArgc = 1;
    static char programName[] = "quiltmark";
    static char* qtArgv[] = { programName, nullptr };
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
    }

    CStderrMessages messages;
    const std::string library = options.library.empty() ? FindMetaLib() : options.library;
    CQuiltmarkDoc doc(messages, library);
    if (!doc.OnNewDocument())
        return 1;
    if (!doc.OnOpenDocument(options.file)) {
        std::fprintf(stderr, "Cannot open %s\n", options.file.c_str());
        return 1;
    }
    if (!doc.WasLoadSuccessful())
        return 1;

    CPrintStamp stamp = CurrentPrintStamp();
    if (!options.date.empty())
        stamp.date = options.date;
    QString error;
    if (!PrintDocumentToPdf(doc, QFile::decodeName(options.printPdf.c_str()),
            options.devices ? PrintContent::Devices : PrintContent::PatchMatrix, stamp, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
