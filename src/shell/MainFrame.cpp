#include "shell/MainFrame.h"

#include "app/base/UserMessages.h"
#include "app/cli/CommandLine.h"
#include "devices/gui/DeviceCommands.h"
#include "document/QuiltmarkDoc.h"
#include "shell/DocManager.h"
#include "shell/LongTask.h"
#include "shell/RecentFileList.h"
#include "shell/ShellResources.h"
#include "shell/toolkit/CommandTable.h"
#include "shell/toolkit/ExtTabCtrl.h"
#include "shell/toolkit/ModelText.h"
#include "view/DialogBarPages.h"
#include "view/EditCommands.h"
#include "view/ExportCommands.h"
#include "view/PrintCommands.h"
#include "view/QuiltmarkView.h"
#include "view/SectionCommands.h"
#include "view/TileContextMenu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <new>

namespace {

constexpr std::array<CommandId, 4> kRecentCommands { CommandId::FileRecent1, CommandId::FileRecent2,
    CommandId::FileRecent3, CommandId::FileRecent4 };

// X11 keyboard state bits of a key event (Lock and the usual Num Lock modifier).
constexpr quint32 kX11LockMask = 0x02;
constexpr quint32 kX11NumMask = 0x10;

} // namespace

CMainFrame::CMainFrame(IUserMessages& messages, IDocPrompts& prompts, CRecentFileList& recent,
    ICommandTarget* application, const CFrameOptions& options, QWidget* parent)
    : QMainWindow(parent)
    , m_messages(messages)
    , m_recent(recent)
    , m_application(application)
    , m_options(options)
{
    if (!m_options.printer) {
        m_ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_options.printer = m_ownPrinter.get();
    }
    InitShellResources();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quiltmark.svg")));
    m_docMessages = std::make_unique<CUiThreadMessages>(messages);
    m_doc = std::make_unique<CQuiltmarkDoc>(*m_docMessages, FindMetaLib());
    m_docManager = std::make_unique<CDocManager>(*m_doc, messages, prompts, recent);
    m_docManager->SetWindow(this);

    m_view = new CQuiltmarkView(*m_doc, this);
    m_view->setObjectName(QStringLiteral("quiltmarkView"));
    setCentralWidget(m_view);

    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    RegisterViewHandlers();

    Bind(CommandId::FileQuit, [this] { close(); });
    // The route: view, then the document, then this frame, then the application.
    m_router.SetTargets({ m_view, m_docManager.get(), this, m_application });
    // Undo and Redo name the step they would take, and every step can make the document
    // modified or clean again: both follow the history at once, not at the next poll.
    m_doc->SetHistoryListener([this] {
        UpdateCommandStates();
        UpdateTitle();
        m_exportCommands->OnDocumentChanged();
    });

    connect(m_bar, &CDialogBarPages::addClicked, this,
        [this] { ExecuteCommand(CommandId::SectionsAdd); });
    connect(m_bar, &CDialogBarPages::deleteClicked, this,
        [this] { ExecuteCommand(CommandId::SectionsDelete); });
    connect(m_bar, &CDialogBarPages::sectionSelected, this,
        [this] { ExecuteCommand(CommandId::SectionsChange); });
    connect(m_view, &CQuiltmarkView::statusTextChanged, this, [this](const QString& text) {
        m_messagePane->setText(text.isEmpty() ? QString::fromLatin1(kReady) : text);
    });
    connect(
        m_docManager.get(), &CDocManager::documentReset, m_view, &CQuiltmarkView::OnInitialUpdate);
    connect(m_docManager.get(), &CDocManager::titleChanged, this, &CMainFrame::UpdateTitle);
    connect(m_docManager.get(), &CDocManager::recentFilesChanged, this,
        &CMainFrame::UpdateRecentFileMenu);

    // Menu entries and buttons follow whatever their states are read from, as it changes:
    // the history (above), the view's modes, a new or opened document, a save.
    connect(m_view, &CQuiltmarkView::modesChanged, this, &CMainFrame::UpdateCommandStates);
    connect(
        m_docManager.get(), &CDocManager::documentReset, this, &CMainFrame::UpdateCommandStates);
    connect(m_docManager.get(), &CDocManager::titleChanged, this, &CMainFrame::UpdateCommandStates);

    setAcceptDrops(true);
    qApp->installEventFilter(this);
    UpdateRecentFileMenu();
    UpdateTitle();
    UpdateCommandStates();
    resize(1000, 700);
}

CMainFrame::~CMainFrame()
{
    m_doc->SetHistoryListener({});
    qApp->removeEventFilter(this);
    // The handlers filter the view's events: they go while the view is whole, so that none
    // of them sees it half torn down. Then the view, before the document it shows.
    for (const auto& handler : m_viewHandlers)
        m_view->RemoveCommandHandler(handler.get());
    m_sectionCommands = nullptr;
    m_exportCommands = nullptr;
    m_viewHandlers.clear();
    delete takeCentralWidget();
    m_view = nullptr;
}

void CMainFrame::RegisterViewHandlers()
{
    auto sections = std::make_unique<CSectionCommands>(*m_doc, *m_view, *m_bar, m_messages);
    m_sectionCommands = sections.get();
    AddViewHandler(std::move(sections));
    auto exports = std::make_unique<CExportCommands>(*m_doc, m_messages, this, m_view);
    m_exportCommands = exports.get();
    connect(exports.get(), &CExportCommands::currentSectionChanged, this,
        [this](int) { m_sectionCommands->FillBar(); });
    AddViewHandler(std::move(exports));
    auto edit = std::make_unique<CEditCommands>(*m_doc, *m_view);
    edit->ContextMenu().SetLibraryEntryEnabled(m_options.libraryEntry);
    connect(edit.get(), &CEditCommands::documentChanged, this, [this] {
        UpdateTitle();
        UpdateCommandStates();
    });
    AddViewHandler(std::move(edit));
    auto print = std::make_unique<CPrintCommands>(*m_doc, *m_view, *m_options.printer);
    // Printing patch pages leaves the last printed section current: the bar follows.
    connect(print.get(), &CPrintCommands::currentSectionPrinted, this,
        [this](int) { m_sectionCommands->FillBar(); });
    AddViewHandler(std::move(print));
    // Device changes move connection lines and the modified mark in the title.
    AddViewHandler(std::make_unique<CDeviceCommands>(*m_doc, this, [this] {
        m_view->Redraw();
        UpdateTitle();
        UpdateCommandStates();
    }));
}

void CMainFrame::AddViewHandler(std::unique_ptr<ICommandTarget> handler)
{
    m_view->AddCommandHandler(handler.get());
    m_viewHandlers.push_back(std::move(handler));
}

void CMainFrame::CreateActions()
{
    for (const CCommandInfo& info : CommandTable()) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("action") + QString::fromLatin1(info.key));
        action->setText(info.menuText);
        action->setShortcuts(info.keys);
        action->setStatusTip(info.prompt);
        if (!info.toolTip.isEmpty())
            action->setToolTip(info.toolTip);
        if (!info.icon.isEmpty())
            action->setIcon(QIcon(info.icon));
        action->setCheckable(info.checkable);
        action->setIconVisibleInMenu(false);
        const CommandId id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
        addAction(action); // keys work wherever the focus is inside the window
        m_actions[id] = action;
    }
}

QAction* CMainFrame::GetAction(CommandId id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus()
{
    std::map<MenuId, QMenu*> menus;
    for (const CMenuInfo& info : MenuTable()) {
        if (info.parent != MenuId::None)
            continue; // made where its first entry goes
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(info.title));
        menu->setObjectName(QString::fromLatin1(info.objectName));
        menus[info.id] = menu;
    }
    const auto menuFor = [&menus](MenuId id) {
        if (QMenu* menu = menus[id])
            return menu;
        const auto& table = MenuTable();
        const auto info = std::find_if(
            table.begin(), table.end(), [id](const CMenuInfo& m) { return m.id == id; });
        QMenu* parent = menus[info->parent];
        if (info->separatorBefore)
            parent->addSeparator();
        QMenu* menu = parent->addMenu(QString::fromLatin1(info->title));
        menu->setObjectName(QString::fromLatin1(info->objectName));
        menus[id] = menu;
        return menu;
    };
    for (const CCommandInfo& info : CommandTable()) {
        if (info.menu == MenuId::None)
            continue;
        QMenu* menu = menuFor(info.menu);
        if (info.separatorBefore)
            menu->addSeparator();
        menu->addAction(GetAction(info.id));
    }
}

void CMainFrame::CreateToolBars()
{
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setAllowedAreas(Qt::TopToolBarArea);
    for (const CToolBarSlot& slot : ToolBarLayout()) {
        if (slot.separator)
            m_toolBar->addSeparator();
        else
            m_toolBar->addAction(GetAction(slot.id));
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    // The sections bar sits in its own band under the tool bar and takes the full width.
    addToolBarBreak(Qt::TopToolBarArea);
    m_barHost = new QToolBar(QStringLiteral("Sections"), this);
    m_barHost->setObjectName(QStringLiteral("sectionsBarHost"));
    m_barHost->setAllowedAreas(Qt::TopToolBarArea);
    m_bar = new CDialogBarPages(m_barHost);
    m_bar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_barHost->addWidget(m_bar);
    addToolBar(Qt::TopToolBarArea, m_barHost);
}

void CMainFrame::CreateStatusBar()
{
    m_messagePane = new QLabel(QString::fromLatin1(kReady), this);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    statusBar()->addWidget(m_messagePane, 1);
    const char* names[] = { "CAP", "NUM", "SCRL" };
    for (size_t i = 0; i < m_keyIndicators.size(); ++i) {
        auto* label = new QLabel(QString::fromLatin1(names[i]), this);
        label->setObjectName(QStringLiteral("indicator") + QString::fromLatin1(names[i]));
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
        label->setEnabled(false);
        statusBar()->addPermanentWidget(label);
        m_keyIndicators[i] = label;
    }
}

bool CMainFrame::ExecuteCommand(CommandId id)
{
    bool handled = true;
    RunReportingFailure([this, id, &handled] { handled = m_router.Execute(id); });
    UpdateCommandStates();
    return handled;
}

bool CMainFrame::RunReportingFailure(const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const std::exception& failure) {
        ReportFailure(&failure);
    } catch (...) {
        ReportFailure(nullptr);
    }
    return false;
}

std::string CMainFrame::FailureReason(const std::exception* failure)
{
    if (dynamic_cast<const std::bad_alloc*>(failure))
        return "There is not enough memory.";
    return std::string("Unexpected error: ") + (failure ? failure->what() : "unknown");
}

void CMainFrame::ReportFailure(const std::exception* failure)
{
    const bool discarded = m_documentDiscarded;
    const bool keptShown = m_openFailedAside;
    m_documentDiscarded = false;
    m_openFailedAside = false;
    std::string text = FailureReason(failure);
    if (discarded)
        text += "\nThe file was not opened; a new, empty project is shown instead.";
    else if (keptShown)
        text += "\nThe file was not opened; the project shown is unchanged.";
    else
        text += "\nThe command was not finished and may have been carried out in part: check "
                "the project before saving it.";
    if (m_reportingFailure) {
        // A second message box over the first could follow it forever.
        std::fprintf(stderr, "quiltmark: %s\n", text.c_str());
        return;
    }
    m_reportingFailure = true;
    try {
        // A command that stopped half-way may have left the derived tables behind the
        // tiles; the window must show the data as it is.
        m_doc->RebuildDerivedData();
        emit m_view->sectionsReset();
        m_view->Redraw();
        UpdateTitle();
    } catch (const std::exception&) {
        // Still short of memory: the next change of tiles rebuilds them.
    }
    try {
        m_messages.ShowMessage(text, MessageIcon::Error);
    } catch (const std::exception&) {
        std::fprintf(stderr, "quiltmark: %s\n", text.c_str());
    }
    m_reportingFailure = false;
}

bool CMainFrame::OpenDocumentFile(const QString& path, bool askToSave)
{
    if (askToSave && !m_docManager->SaveModified())
        return false;
    try {
        return m_docManager->OpenDocumentFile(path, false);
    } catch (...) {
        // Save would replace the file with the part that was taken over. A failure while
        // reading aside left the shown project whole.
        if (m_docManager->OpenReachedDocument())
            DiscardPartlyLoadedDocument();
        else
            m_openFailedAside = true;
        throw;
    }
}

void CMainFrame::DiscardPartlyLoadedDocument()
{
    m_documentDiscarded = true;
    try {
        m_docManager->OnFileNew(false);
    } catch (const std::exception&) {
        // Without a path, Save asks for a name and cannot replace the file.
        m_doc->SetPathName(std::string());
        m_doc->SetModifiedFlag(false);
    }
}

void CMainFrame::UpdateCommandStates()
{
    for (const CCommandInfo& info : CommandTable()) {
        QAction* action = GetAction(info.id);
        const CCommandState state = m_router.Query(info.id);
        action->setEnabled(state.enabled);
        if (action->isCheckable())
            action->setChecked(state.checked);
        if (!state.text.empty())
            SetMenuText(*action, info, state.text);
    }
    // The placeholder entry stays disabled even if someone handles the first entry.
    if (m_recent.Files().isEmpty())
        GetAction(CommandId::FileRecent1)->setEnabled(false);
}

void CMainFrame::SetMenuText(QAction& action, const CCommandInfo& info, const std::string& text)
{
    QString menuText = FromModelText(text);
    // The key hint stays the table's.
    const qsizetype tab = info.menuText.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        menuText += info.menuText.mid(tab);
    if (action.text() != menuText)
        action.setText(menuText);
}

void CMainFrame::UpdateRecentFileMenu()
{
    const QStringList& files = m_recent.Files();
    for (int i = 0; i < static_cast<int>(kRecentCommands.size()); ++i) {
        QAction* action = GetAction(kRecentCommands[static_cast<size_t>(i)]);
        if (i < files.size()) {
            action->setText(CRecentFileList::MenuText(i, files.at(i)));
            action->setVisible(true);
        } else if (i == 0) {
            action->setText(QStringLiteral("Letzte Datei"));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    UpdateCommandStates();
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(
        PathFromModel(m_doc->GetTitle()) + QStringLiteral(" - ") + QString::fromLatin1(kAppTitle));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_docManager->SaveModified()) {
        event->ignore();
        return;
    }
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        event->acceptProposedAction();
        activateWindow();
        raise();
        // One document at a time: the first dropped file is opened, once the drop has
        // ended, so that the dragging program is not kept waiting while it is read.
        const QString path = url.toLocalFile();
        QTimer::singleShot(0, this,
            [this, path] { RunReportingFailure([this, &path] { OpenDocumentFile(path); }); });
        return;
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        UpdateKeyIndicators(*static_cast<QKeyEvent*>(event));
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdateKeyIndicators(const QKeyEvent& event)
{
    // Only the X11 key state tells the lock keys apart; elsewhere the panes stay grey.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const quint32 state = event.nativeModifiers();
    bool caps = state & kX11LockMask;
    bool num = state & kX11NumMask;
    // The state is the one before the key: a lock key press is about to flip it.
    if (event.type() == QEvent::KeyPress && event.key() == Qt::Key_CapsLock)
        caps = !caps;
    if (event.type() == QEvent::KeyPress && event.key() == Qt::Key_NumLock)
        num = !num;
    m_keyIndicators[0]->setEnabled(caps);
    m_keyIndicators[1]->setEnabled(num);
}
