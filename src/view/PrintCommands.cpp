#include "view/PrintCommands.h"

#include "document/QuiltmarkDoc.h"
#include "view/ExtPrintDialog.h"
#include "view/QuiltmarkView.h"

#include "app/base/Progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QSettings>
#include <climits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// A print job on the window's thread: a busy cursor at once, a progress dialog with
// percent once the job takes longer than half a second, and the window kept repainting
// between rows. The dialog is modal, so nothing can change the project meanwhile.
// A preview is made inside the preview dialog's own handling, which must not be entered
// again: there the progress dialog is only redrawn, and no events are let through.
class CPrintProgress : public IProgress {
public:
    CPrintProgress(QWidget* parent, const QString& title, bool letEventsThrough)
        : m_dialog(title, QString(), 0, 100, parent)
        , m_letEventsThrough(letEventsThrough)
    {
        m_dialog.setWindowTitle(QStringLiteral("Quiltmark"));
        m_dialog.setObjectName(QStringLiteral("printProgress"));
        m_dialog.setCancelButton(nullptr);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        if (m_letEventsThrough) {
            m_dialog.setWindowModality(Qt::ApplicationModal);
            m_dialog.setMinimumDuration(500);
            m_dialog.setValue(0);
        } else {
            // A dialog that never shows itself: it is shown below once the time is up.
            m_dialog.setMinimumDuration(INT_MAX);
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_started.start();
        m_sinceEvents.start();
    }
    ~CPrintProgress() override { QApplication::restoreOverrideCursor(); }

    bool Report(std::uint64_t done, std::uint64_t total) override
    {
        const int percent = std::min(total > 0 ? static_cast<int>(done * 100 / total) : 100, 100);
        // Rows come quickly: the screen is served a few dozen times a second.
        if (percent == m_dialog.value() && m_sinceEvents.elapsed() < 40)
            return true;
        m_sinceEvents.restart();
        if (m_letEventsThrough) {
            m_dialog.setValue(percent);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        }
        m_dialog.setValue(percent);
        if (m_started.elapsed() >= 500) {
            if (!m_dialog.isVisible())
                m_dialog.show();
            m_dialog.repaint();
        }
        return true;
    }

private:
    QProgressDialog m_dialog;
    bool m_letEventsThrough;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceEvents;
};

} // namespace

CPrintCommands::CPrintCommands(
    CQuiltmarkDoc& doc, CQuiltmarkView& view, QPrinter& printer, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_view(view)
    , m_printer(printer)
    , m_runDialog([](CExtPrintDialog& dialog) { return dialog.exec() == QDialog::Accepted; })
    , m_runPreview([](QPrintPreviewDialog& dialog) { dialog.exec(); })
{
    Bind(CommandId::FilePrint, [this] { OnFilePrint(); });
    Bind(CommandId::FilePrintPreview, [this] { OnFilePrintPreview(); });
}

CPrintViewOptions CPrintCommands::ViewOptions() const
{
    CPrintViewOptions options;
    options.showSwitches = m_view.IsShowingSwitches();
    options.connectionMode = m_view.GetConnectionMode();
    options.connectionOrder = m_view.GetConnectionOrder();
    options.focusColumn = m_view.GetFocusColumn();
    options.focusRow = m_view.GetFocusRow();
    options.rearView = m_view.IsRearView();
    return options;
}

CPrintStamp CPrintCommands::Stamp() const
{
    return m_fixedStamp ? m_stamp : CurrentPrintStamp();
}

void CPrintCommands::OnFilePrint()
{
    const int sections = m_doc.GetSectionCount();
    CExtPrintDialog dialog(
        &m_printer, sections, m_doc.GetCurrentSectionIndex() + 1, m_content, &m_view);
    if (!m_runDialog(dialog)) {
        m_content = PrintContent::PatchMatrix;
        return;
    }
    const PrintContent content = dialog.GetPrintContent();
    int from = 0;
    int to = 0;
    if (content == PrintContent::PatchMatrix && m_printer.printRange() == QPrinter::PageRange) {
        from = m_printer.fromPage();
        to = m_printer.toPage();
    }
    Print(content, from, to);
}

CPrintJobResult CPrintCommands::Print(PrintContent content, int fromPage, int toPage)
{
    CPrintJob job;
    job.content = content;
    job.fromPage = fromPage;
    job.toPage = toPage;
    job.view = ViewOptions();
    job.stamp = Stamp();
    CPrintJobResult result;
    {
        CPrintProgress progress(&m_view, QStringLiteral("Printing..."), true);
        job.progress = &progress;
        result = RunPrintJob(m_printer, m_doc, job);
    }
    if (!result.ok) {
        QMessageBox::warning(&m_view, QStringLiteral("Quiltmark"),
            QStringLiteral("The printer could not be started. Nothing was printed."));
    }
    EndPrinting(result);
    return result;
}

void CPrintCommands::EndPrinting(const CPrintJobResult& result)
{
    m_content = PrintContent::PatchMatrix;
    if (result.lastSection >= 0 && result.lastSection != m_doc.GetCurrentSectionIndex()) {
        m_doc.SetCurrentSection(result.lastSection);
        // Another section on screen starts again at its first tile, as a tab change does.
        m_view.SetFocusCell(0, 0);
    }
    if (result.lastSection >= 0)
        emit currentSectionPrinted(result.lastSection);
    m_view.Redraw();
}

void CPrintCommands::OnFilePrintPreview()
{
    RunPreview();
    ReleasePreviewMemory();
}

void CPrintCommands::RunPreview()
{
    QPrintPreviewDialog dialog(&m_printer, &m_view);
    dialog.setObjectName(QStringLiteral("printPreview"));
    QSettings settings;
    const int pages = settings.value(QLatin1String(kPreviewPagesKey), 1).toInt();
    QPrintPreviewWidget* preview = dialog.findChild<QPrintPreviewWidget*>();
    if (preview) {
        preview->setViewMode(pages >= 2 ? QPrintPreviewWidget::FacingPagesView
                                        : QPrintPreviewWidget::SinglePageView);
    }
    // The preview shows what Print would print outside a job: every section's page. It
    // leaves the current section alone, since the user only looked.
    const CPrintStamp stamp = Stamp();
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
        [this, stamp, &dialog](QPrinter* printer) {
            CPrintJob job;
            job.content = m_content;
            job.view = ViewOptions();
            job.stamp = stamp;
            CPrintProgress progress(&dialog, QStringLiteral("Preparing the preview..."), false);
            job.progress = &progress;
            RunPrintJob(*printer, m_doc, job);
        });
    m_runPreview(dialog);
    if (preview) {
        settings.setValue(QLatin1String(kPreviewPagesKey),
            preview->viewMode() == QPrintPreviewWidget::FacingPagesView ? 2 : 1);
    }
}

void CPrintCommands::ReleasePreviewMemory()
{
#ifdef __GLIBC__
    // The preview's pages are many small blocks; once they are freed the allocator keeps
    // them unless asked to hand them back.
    malloc_trim(0);
#endif
}
