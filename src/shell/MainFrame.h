#pragma once

#include "shell/CommandRouter.h"
#include "shell/toolkit/Commands.h"

#include <QMainWindow>
#include <array>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct CCommandInfo;
class CDialogBarPages;
class CDocManager;
class CExportCommands;
class CQuiltmarkDoc;
class CQuiltmarkView;
class CRecentFileList;
class CSectionCommands;
class CUiThreadMessages;
class IDocPrompts;
class IUserMessages;
class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QToolBar;

// What start-up decides for the whole run and hands down to the frame.
struct CFrameOptions {
    // The printer that Printer Setup configures and printing uses; null: the frame keeps its own.
    QPrinter* printer = nullptr;
    // "/metalib" was on the command line: the tile menu offers the library-entry command.
    bool libraryEntry = false;
};

// The one main window: menu bar, tool bar, sections bar and status bar around the
// matrix view. Every command enters here and travels view -> document -> frame ->
// application.
class CMainFrame : public QMainWindow, public CCommandBindings {
    Q_OBJECT

public:
    static constexpr const char* kAppTitle = "Kelvra Quiltmark";
    static constexpr const char* kReady = "Ready.";

    // `application` handles New, Open, the recent files, Printer Setup and About; it
    // may be null (those commands are then disabled). All references, and the printer of
    // `options`, must outlive the frame.
    CMainFrame(IUserMessages& messages, IDocPrompts& prompts, CRecentFileList& recent,
        ICommandTarget* application, const CFrameOptions& options = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CQuiltmarkDoc& GetDocument() { return *m_doc; }
    CQuiltmarkView& GetView() { return *m_view; }
    CDialogBarPages& GetSectionsBar() { return *m_bar; }
    CDocManager& GetDocManager() { return *m_docManager; }
    QToolBar& GetToolBar() { return *m_toolBar; }
    QAction* GetAction(CommandId id) const;

    // Runs a command along the route; false when nobody handled it. A command that fails
    // with an exception (out of memory) is reported and counts as handled.
    bool ExecuteCommand(CommandId id);
    // Runs `work`; an exception is reported as ReportFailure does. False when it failed.
    bool RunReportingFailure(const std::function<void()>& work);
    // Tells the user that a command or event failed and brings the window back in line
    // with the data. Nested failures while the message is up go to standard error.
    void ReportFailure(const std::exception* failure);
    // Why something failed, in one sentence for the user.
    static std::string FailureReason(const std::exception* failure);

    // File Open of `path` (asking to save first when `askToSave`). An exception while the
    // file is read leaves the shown project as it was; one while the shown project takes
    // the read one over leaves a new, empty project instead of a partly taken one under the
    // file's name. Either goes on to the caller.
    bool OpenDocumentFile(const QString& path, bool askToSave = true);
    CCommandState QueryCommand(CommandId id) const { return m_router.Query(id); }
    // Enables, disables and checks every menu entry and tool bar button. Runs whenever
    // something a state is read from changes; it asks each command once and walks no tiles.
    void UpdateCommandStates();
    void UpdateTitle();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The one place where the view's groups of commands are plugged in.
    void RegisterViewHandlers();
    void AddViewHandler(std::unique_ptr<ICommandTarget> handler);

    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    // `text` without the key hint, which comes from the command table.
    static void SetMenuText(QAction& action, const CCommandInfo& info, const std::string& text);
    void UpdateRecentFileMenu();
    void UpdateKeyIndicators(const QKeyEvent& event);
    void DiscardPartlyLoadedDocument();

    IUserMessages& m_messages;
    CRecentFileList& m_recent;
    ICommandTarget* m_application;
    CFrameOptions m_options;
    std::unique_ptr<QPrinter> m_ownPrinter;
    // The document's messages, which reading and writing send from a worker thread.
    std::unique_ptr<CUiThreadMessages> m_docMessages;
    std::unique_ptr<CQuiltmarkDoc> m_doc;
    std::unique_ptr<CDocManager> m_docManager;
    CQuiltmarkView* m_view = nullptr;
    CDialogBarPages* m_bar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_barHost = nullptr;
    QLabel* m_messagePane = nullptr;
    std::array<QLabel*, 3> m_keyIndicators {};
    std::map<CommandId, QAction*> m_actions;
    std::vector<std::unique_ptr<ICommandTarget>> m_viewHandlers;
    CSectionCommands* m_sectionCommands = nullptr;
    CExportCommands* m_exportCommands = nullptr;
    CCommandRouter m_router;
    bool m_reportingFailure = false;
    bool m_documentDiscarded = false;
    bool m_openFailedAside = false;
};
