#include "view/ExportCommands.h"

#include "app/base/SafeFile.h"
#include "app/base/UserMessages.h"
#include "dialogs/UniverseReportDlg.h"
#include "document/QuiltmarkDoc.h"
#include "document/UniverseReport.h"
#include "formats/AsciiScheme.h"
#include "formats/PatchCsv.h"
#include "shell/toolkit/ModelText.h"
#include "view/QuiltmarkView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>

namespace {

bool WriteFile(const QString& path, const FileProducer& produce, QString* error)
{
    std::string reason;
    const bool ok = WriteFileSafely(QFile::encodeName(path).toStdString(), produce, &reason);
    if (!ok && error)
        *error = QFile::decodeName(reason.c_str()).left(255);
    return ok;
}

} // namespace

bool WriteAsciiSchemeFile(const CSubDoc& section, const QString& path, QString* error)
{
    std::string reason;
    const bool ok = WriteFileSafely(
        QFile::encodeName(path).toStdString(), BuildAsciiScheme(section), &reason);
    if (!ok && error)
        *error = QFile::decodeName(reason.c_str()).left(255);
    return ok;
}

bool WritePatchCsvFile(const CQuiltmarkDoc& doc, const QString& path, QString* error)
{
    std::vector<CCsvSection> sections;
    for (int s = 0; s < doc.GetSectionCount(); ++s)
        sections.push_back({ s + 1, doc.GetSection(s) });
    return WriteFile(
        path,
        [&](const FileSink& sink, std::string&) {
            CBufferedSink out(sink);
            ForEachPatchCsvPiece(
                sections, doc.GetDevices(), [&out](std::string_view piece) { out.Append(piece); });
            return out.Flush();
        },
        error);
}

bool WriteUniverseReportFile(const CQuiltmarkDoc& doc, const QString& path, QString* error)
{
    const std::vector<CUniverseReportRow> rows = BuildUniverseReport(doc);
    return WriteFile(
        path,
        [&](const FileSink& sink, std::string&) {
            CBufferedSink out(sink);
            ForEachUniverseReportCsvPiece(
                doc, rows, [&out](std::string_view piece) { out.Append(piece); });
            return out.Flush();
        },
        error);
}

CExportCommands::CExportCommands(
    CQuiltmarkDoc& doc, IUserMessages& messages, QWidget* dialogParent, CQuiltmarkView* view)
    : m_doc(doc)
    , m_messages(messages)
    , m_parent(dialogParent)
    , m_view(view)
{
    m_chooser = [this](const QString& proposed) {
        // The dialog asks before it lets an existing file be replaced.
        return QFileDialog::getSaveFileName(
            m_parent, QString(), proposed, QString::fromLatin1(m_filter));
    };
    Bind(
        CommandId::FileExportAscii, [this] { OnExportAscii(); },
        [this] {
            CCommandState state;
            state.enabled = m_doc.GetCurrentSection() != nullptr;
            return state;
        });
    Bind(CommandId::FileExportPatchCsv, [this] { OnExportPatchCsv(); });
    Bind(CommandId::ViewUniverseReport, [this] { OnUniverseReport(); });
}

CExportCommands::~CExportCommands()
{
    // The report reads the document, which may go before the window that owns the dialog.
    delete m_report.data();
}

QString CExportCommands::ProposedName(const std::string& documentPath, const QString& extension)
{
    if (documentPath.empty())
        return {};
    // Offering the project file itself would invite overwriting it with the export.
    const QFileInfo info(QFile::decodeName(documentPath.c_str()));
    return info.dir().filePath(info.completeBaseName() + extension);
}

void CExportCommands::OnExportAscii()
{
    const CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return;
    m_filter = kFilter;
    const QString path = m_chooser(ProposedName(m_doc.GetPathName()));
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool ok = WriteAsciiSchemeFile(*section, path, &error);
    QApplication::restoreOverrideCursor();
    if (!ok)
        m_messages.ShowMessage(ToModelText(error), MessageIcon::Error);
}

void CExportCommands::OnExportPatchCsv()
{
    m_filter = kCsvFilter;
    const QString path = m_chooser(ProposedName(m_doc.GetPathName(), QStringLiteral(".csv")));
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool ok = WritePatchCsvFile(m_doc, path, &error);
    QApplication::restoreOverrideCursor();
    if (!ok)
        m_messages.ShowMessage(ToModelText(error), MessageIcon::Error);
}

void CExportCommands::OnSaveUniverseReport()
{
    m_filter = kCsvFilter;
    const QString path
        = m_chooser(ProposedName(m_doc.GetPathName(), QStringLiteral("-universes.csv")));
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool ok = WriteUniverseReportFile(m_doc, path, &error);
    QApplication::restoreOverrideCursor();
    if (!ok)
        m_messages.ShowMessage(ToModelText(error), MessageIcon::Error);
}

CUniverseReportDlg* CExportCommands::Report() const
{
    return static_cast<CUniverseReportDlg*>(m_report.data());
}

void CExportCommands::OnUniverseReport()
{
    if (m_report.isNull()) {
        auto* report = new CUniverseReportDlg(m_doc, m_parent);
        m_report = report;
        connect(report, &CUniverseReportDlg::tilesRequested, this, &CExportCommands::ShowTiles);
        connect(report, &CUniverseReportDlg::saveCsvRequested, this,
            &CExportCommands::OnSaveUniverseReport);
    } else {
        Report()->Refresh();
    }
    m_report->show();
    m_report->raise();
    m_report->activateWindow();
}

void CExportCommands::OnDocumentChanged()
{
    // A hidden report is read again when it is shown.
    if (!m_report.isNull() && m_report->isVisible())
        Report()->Refresh();
}

void CExportCommands::ShowTiles(int sectionIndex, const QVector<QPoint>& tiles)
{
    CSubDoc* section = m_doc.GetSection(sectionIndex);
    if (m_view == nullptr || section == nullptr || tiles.isEmpty())
        return;
    if (m_doc.GetCurrentSectionIndex() != sectionIndex) {
        m_doc.SetCurrentSection(sectionIndex);
        emit currentSectionChanged(sectionIndex);
    }
    section->SelectAll(false);
    int left = tiles.front().x();
    int top = tiles.front().y();
    int right = left;
    int bottom = top;
    for (const QPoint& cell : tiles) {
        if (CTileRecord* tile = section->GetTile(cell.x(), cell.y()))
            tile->selected = 1;
        left = std::min(left, cell.x());
        right = std::max(right, cell.x());
        top = std::min(top, cell.y());
        bottom = std::max(bottom, cell.y());
    }
    // A selection is drawn, and kept by clicks, only in Move/Edit mode; a click in Toggle
    // mode would cut out the tile the user came to look at.
    m_view->SetTileMode(TileMode::MoveEdit);
    m_view->SetFocusCell(tiles.front().x(), tiles.front().y());
    m_view->ShowStatus(tiles.front().x(), tiles.front().y());
    m_view->Redraw();

    // The tiles' rectangle centred in the window as far as the scroll range allows.
    const CViewLayout& layout = m_view->RecomputeLayout();
    const QRect area = layout.TileRect(left, top).united(layout.TileRect(right, bottom));
    const QSize client = m_view->viewport()->size();
    m_view->horizontalScrollBar()->setValue(area.center().x() - client.width() / 2);
    m_view->verticalScrollBar()->setValue(area.center().y() - client.height() / 2);
}
