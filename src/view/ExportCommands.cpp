#include "view/ExportCommands.h"

#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "app/base/SafeFile.h"
#include "formats/AsciiScheme.h"
#include "shell/toolkit/ModelText.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

bool WriteAsciiSchemeFile(const CSubDoc& section, const QString& path, QString* error)
{
    std::string reason;
    const bool ok = WriteFileSafely(
        QFile::encodeName(path).toStdString(), BuildAsciiScheme(section), &reason);
    if (!ok && error)
        *error = QFile::decodeName(reason.c_str()).left(255);
    return ok;
}

CExportCommands::CExportCommands(CQuiltmarkDoc& doc, IUserMessages& messages, QWidget* dialogParent)
    : m_doc(doc)
    , m_messages(messages)
    , m_parent(dialogParent)
{
    m_chooser = [this](const QString& proposed) {
        // The dialog asks before it lets an existing file be replaced.
        return QFileDialog::getSaveFileName(
            m_parent, QString(), proposed, QString::fromLatin1(kFilter));
    };
    Bind(
        CommandId::FileExportAscii, [this] { OnExportAscii(); },
        [this] {
            CCommandState state;
            state.enabled = m_doc.GetCurrentSection() != nullptr;
            return state;
        });
}

QString CExportCommands::ProposedName(const std::string& documentPath)
{
    if (documentPath.empty())
        return {};
    // Offering the project file itself would invite overwriting it with the scheme.
    const QFileInfo info(QFile::decodeName(documentPath.c_str()));
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".txt"));
}

void CExportCommands::OnExportAscii()
{
    const CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return;
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
