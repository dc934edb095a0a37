#pragma once

#include "shell/Commands.h"

#include <QObject>
#include <QString>

class CQuiltmarkDoc;
class CRecentFileList;
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
// Save As).
class CDocManager : public QObject, public ICommandTarget {
    Q_OBJECT

public:
    CDocManager(CQuiltmarkDoc& doc, IUserMessages& messages, IDocPrompts& prompts,
        CRecentFileList& recent, QObject* parent = nullptr);

    bool OnCommand(CommandId id) override;
    bool OnUpdateCommand(CommandId id, CCommandState& state) override;

    // False when the user cancelled; a modified document is saved after Yes.
    bool SaveModified();
    // False when the document could not be made (the library is not usable).
    bool OnFileNew(bool askToSave = true);
    // False when the file cannot be opened at all; the document is then unchanged.
    bool OpenDocumentFile(const QString& path, bool askToSave = true);
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
};

// "stage-wall.patch" from bytes of a path in the file system's encoding.
QString PathFromModel(const std::string& path);
std::string PathToModel(const QString& path);
