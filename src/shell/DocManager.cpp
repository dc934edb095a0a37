#include "shell/DocManager.h"

#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "shell/LongTask.h"
#include "shell/RecentFileList.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <memory>

QString PathFromModel(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathToModel(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

IDocPrompts::SaveAnswer CDialogDocPrompts::AskSaveChanges(const QString& title)
{
    const auto button = QMessageBox::warning(m_parent, QStringLiteral("Quiltmark"),
        QStringLiteral("Save changes to %1?").arg(title),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (button == QMessageBox::Yes)
        return SaveAnswer::Yes;
    return button == QMessageBox::No ? SaveAnswer::No : SaveAnswer::Cancel;
}

QString CDialogDocPrompts::AskOpenFileName()
{
    return QFileDialog::getOpenFileName(
        m_parent, QStringLiteral("Open"), QString(), QString::fromLatin1(kFilter));
}

QString CDialogDocPrompts::AskSaveFileName(const QString& proposed)
{
    QFileDialog dialog(m_parent, QStringLiteral("Save As"), proposed, QString::fromLatin1(kFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("patch"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

CDocManager::CDocManager(CQuiltmarkDoc& doc, IUserMessages& messages, IDocPrompts& prompts,
    CRecentFileList& recent, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_messages(messages)
    , m_prompts(prompts)
    , m_recent(recent)
    , m_dialogDelay(CLongTask::kDialogDelayMs)
    , m_reader([](CQuiltmarkDoc& loaded, const std::string& path, std::string* error,
                   IProgress& progress) { return loaded.OnOpenDocument(path, error, &progress); })
    , m_writer([](CQuiltmarkDoc& doc, const std::string& path, std::string* error,
                   IProgress& progress) { return doc.WriteProjectFile(path, error, &progress); })
{
    Bind(CommandId::FileSave, [this] { OnFileSave(); });
    Bind(CommandId::FileSaveAs, [this] { OnFileSaveAs(); });
}

bool CDocManager::SaveModified()
{
    // Whatever asks while a file is read or written (closing the window) waits for it.
    if (CLongTask::IsRunning())
        return false;
    if (!m_doc.IsModified())
        return true;
    switch (m_prompts.AskSaveChanges(PathFromModel(m_doc.GetTitle()))) {
    case IDocPrompts::SaveAnswer::Yes:
        return OnFileSave();
    case IDocPrompts::SaveAnswer::No:
        return true;
    case IDocPrompts::SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool CDocManager::OnFileNew(bool askToSave)
{
    if (askToSave && !SaveModified())
        return false;
    const bool ok = m_doc.OnNewDocument();
    emit documentReset();
    emit titleChanged();
    return ok;
}

bool CDocManager::OpenDocumentFile(const QString& path, bool askToSave)
{
    m_openCancelled = false;
    m_openReachedDocument = false;
    if (CLongTask::IsRunning()) {
        // Not now, but nothing is wrong with the file.
        m_openCancelled = true;
        return false;
    }
    if (askToSave && !SaveModified())
        return false;
    const QString full = QFileInfo(path).absoluteFilePath();
    const std::string modelPath = PathToModel(full);
    std::string reason;
    std::unique_ptr<CQuiltmarkDoc> loaded;
    CLongTask task(m_window, QStringLiteral("Opening %1...").arg(QFileInfo(full).fileName()), true);
    task.SetDialogDelay(m_dialogDelay);
    const bool read = task.Run([&](IProgress& progress) {
        loaded = std::make_unique<CQuiltmarkDoc>(m_doc.Messages(), m_doc.GetLibraryPath());
        // A setting of this run, not of the project: the take-over must keep it.
        loaded->SetScriptDate(m_doc.GetScriptDate());
        const bool ok = m_reader(*loaded, modelPath, &reason, progress);
        // Freed here, not on the window's thread: a large project takes a while.
        if (!ok || task.WasCancelled())
            loaded.reset();
        return ok;
    });
    if (task.WasCancelled()) {
        // Even a file read whole stays unused: the user said no.
        m_openCancelled = true;
        return false;
    }
    if (!read) {
        // The reason names the file.
        m_messages.ShowMessage(
            "Failed to open document.\n\n" + (reason.empty() ? modelPath : reason),
            MessageIcon::Error);
        return false;
    }
    CBusyCursor busy;
    m_openReachedDocument = true;
    m_doc.TakeProjectFrom(*loaded);
    loaded.reset();
    m_doc.SetPathName(modelPath);
    m_recent.Add(full);
    m_recent.Save();
    emit recentFilesChanged();
    emit documentReset();
    emit titleChanged();
    return true;
}

bool CDocManager::OnFileSave()
{
    // An imported job or an unreadable file stays where it is unless the user names it.
    if (m_doc.GetPathName().empty() || !m_doc.PathHoldsProject())
        return OnFileSaveAs();
    return DoSave(PathFromModel(m_doc.GetPathName()));
}

bool CDocManager::OnFileSaveAs()
{
    QString proposed = PathFromModel(m_doc.GetPathName());
    if (!proposed.isEmpty() && !m_doc.PathHoldsProject() && m_doc.WasLoadSuccessful()) {
        // A converted job becomes a project file beside it, not a replacement of it.
        const QFileInfo job(proposed);
        proposed = job.dir().filePath(job.completeBaseName() + QStringLiteral(".patch"));
    }
    if (proposed.isEmpty())
        proposed = PathFromModel(m_doc.GetTitle()) + QStringLiteral(".patch");
    const QString path = m_prompts.AskSaveFileName(proposed);
    if (path.isEmpty())
        return false;
    return DoSave(path);
}

bool CDocManager::DoSave(const QString& path)
{
    if (CLongTask::IsRunning())
        return false;
    const QString full = QFileInfo(path).absoluteFilePath();
    const std::string modelPath = PathToModel(full);
    CLongTask task(m_window, QStringLiteral("Saving %1...").arg(QFileInfo(full).fileName()), true);
    task.SetDialogDelay(m_dialogDelay);
    // The window's dialog is modal meanwhile: nothing edits the project while it is written.
    // The document tells the user itself why the file could not be written.
    if (!task.Run(
            [&](IProgress& progress) { return m_writer(m_doc, modelPath, nullptr, progress); }))
        return false;
    // A file written whole holds the project, even when Cancel came too late to stop it.
    m_doc.MarkSaved(modelPath);
    m_recent.Add(full);
    m_recent.Save();
    emit recentFilesChanged();
    emit titleChanged();
    return true;
}
