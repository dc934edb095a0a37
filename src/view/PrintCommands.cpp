#include "view/PrintCommands.h"

#include "document/QuiltmarkDoc.h"
#include "view/ExtPrintDialog.h"
#include "view/QuiltmarkView.h"

#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSettings>

CPrintCommands::CPrintCommands(
    CQuiltmarkDoc& doc, CQuiltmarkView& view, QPrinter& printer, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_view(view)
    , m_printer(printer)
    , m_runDialog([](CExtPrintDialog& dialog) { return dialog.exec() == QDialog::Accepted; })
    , m_runPreview([](QPrintPreviewDialog& dialog) { dialog.exec(); })
{
}

bool CPrintCommands::OnCommand(CommandId id)
{
    switch (id) {
    case CommandId::FilePrint:
        OnFilePrint();
        return true;
    case CommandId::FilePrintPreview:
        OnFilePrintPreview();
        return true;
    default:
        return false;
    }
}

bool CPrintCommands::OnUpdateCommand(CommandId id, CCommandState& state)
{
    if (id != CommandId::FilePrint && id != CommandId::FilePrintPreview)
        return false;
    state.enabled = true;
    state.checked = false;
    return true;
}

CPrintViewOptions CPrintCommands::ViewOptions() const
{
    CPrintViewOptions options;
    options.showSwitches = m_view.IsShowingSwitches();
    options.connectionMode = m_view.GetConnectionMode();
    options.connectionOrder = m_view.GetConnectionOrder();
    options.focusColumn = m_view.GetFocusColumn();
    options.focusRow = m_view.GetFocusRow();
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
    const CPrintJobResult result = RunPrintJob(m_printer, m_doc, job);
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
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this, stamp](QPrinter* printer) {
        CPrintJob job;
        job.content = m_content;
        job.view = ViewOptions();
        job.stamp = stamp;
        RunPrintJob(*printer, m_doc, job);
    });
    m_runPreview(dialog);
    if (preview) {
        settings.setValue(QLatin1String(kPreviewPagesKey),
            preview->viewMode() == QPrintPreviewWidget::FacingPagesView ? 2 : 1);
    }
}
