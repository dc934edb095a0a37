#pragma once

#include "shell/toolkit/Commands.h"

#include <QObject>
#include <QString>
#include <functional>
#include <string>

class CQuiltmarkDoc;
class CRecentFileList;
class IProgress;
class IUserMessages;
class QWidget;

// The questions and file dialogs around opening and saving, replaceable in tests.
class IDocPrompts {
public:
    enum class SaveAnswer { Yes, No, Cancel };
    virtual ~IDocPrompts() = default;
    // "Save changes to <title>?" with Yes, No and Cancel.
    virtual SaveAnswer AskSaveChanges(const QString& title) = 0;
    // Empty when cancelled.
    virtual QString AskOpenFileName() = 0;
    virtual QString AskSaveFileName(const QString& proposed) = 0;
};

// Message boxes and file dialogs on a parent window.
class CDialogDocPrompts : public IDocPrompts {
public:
    static constexpr const char* kFilter = "Quiltmark Files (*.patch);;All Files (*)";
    explicit CDialogDocPrompts(QWidget* parent = nullptr)
        : m_parent(parent)
    {
    }
    void SetParent(QWidget* parent) { m_parent = parent; }
    SaveAnswer AskSaveChanges(const QString& title) override;
    QString AskOpenFileName() override;
    QString AskSaveFileName(const QString& proposed) override;

private:
    QWidget* m_parent;
};

// File New, Open, Save and Save As for the one document, with the save question before
// the document is replaced. As a command target it stands for the document (Save and
// Save As). Reading and writing run on a worker thread (CLongTask): Open reads into a
// document of its own, which the shown one takes over only when it was read whole; Save
// writes while the window only reads the project. The document's messages must therefore
// accept calls from any thread (CUiThreadMessages).
class CDocManager : public QObject, public CCommandBindings {
    Q_OBJECT

public:
    // Reads the file at `path` into `loaded` (a fresh document), as OnOpenDocument does.
    using ProjectReader = std::function<bool(
        CQuiltmarkDoc& loaded, const std::string& path, std::string* error, IProgress& progress)>;
    // Writes `doc` to `path`, as WriteProjectFile does; tells the user itself why it failed.
    using ProjectWriter = std::function<bool(
        CQuiltmarkDoc& doc, const std::string& path, std::string* error, IProgress& progress)>;

    CDocManager(CQuiltmarkDoc& doc, IUserMessages& messages, IDocPrompts& prompts,
        CRecentFileList& recent, QObject* parent = nullptr);

    // The window that carries the progress dialog.
    void SetWindow(QWidget* window) { m_window = window; }
    // How long reading or writing may take before the progress dialog comes up.
    void SetProgressDialogDelay(int milliseconds) { m_dialogDelay = milliseconds; }
    // Replace the model's reading and writing (tests).
    void SetProjectReader(ProjectReader reader) { m_reader = std::move(reader); }
    void SetProjectWriter(ProjectWriter writer) { m_writer = std::move(writer); }

    // False when the user cancelled; a modified document is saved after Yes.
    bool SaveModified();
    // False when the document could not be made (the library is not usable).
    bool OnFileNew(bool askToSave = true);
    // False when the file cannot be opened at all or the user cancelled reading it; the
    // document is then unchanged. An exception while reading leaves it unchanged too.
    bool OpenDocumentFile(const QString& path, bool askToSave = true);
    // Whether the last open was cancelled by the user (the file may be fine).
    bool WasOpenCancelled() const { return m_openCancelled; }
    // Whether the last open got as far as replacing the shown project: a failure after
    // that may have left it half replaced.
    bool OpenReachedDocument() const { return m_openReachedDocument; }
    // False when cancelled or the file could not be written; the document then stays
    // modified and the old file as it was.
    bool OnFileSave();
    bool OnFileSaveAs();

signals:
    // A new or opened document replaced the old one: refill and redraw everything.
    void documentReset();
    // Path or modified state changed.
    void titleChanged();
    void recentFilesChanged();

private:
    bool DoSave(const QString& path);

    CQuiltmarkDoc& m_doc;
    IUserMessages& m_messages;
    IDocPrompts& m_prompts;
    CRecentFileList& m_recent;
    QWidget* m_window = nullptr;
    int m_dialogDelay;
    ProjectReader m_reader;
    ProjectWriter m_writer;
    bool m_openCancelled = false;
    bool m_openReachedDocument = false;
};

// "stage-wall.patch" from bytes of a path in the file system's encoding.
QString PathFromModel(const std::string& path);
std::string PathToModel(const QString& path);
