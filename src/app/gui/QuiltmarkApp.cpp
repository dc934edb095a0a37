#include "app/gui/QuiltmarkApp.h"

#include "app/library/MetaLibLookup.h"
#include "app/gui/AboutDlg.h"
#include "app/gui/GuardedApplication.h"
#include "app/gui/GuiCommandLine.h"
#include "app/gui/MessageBoxMessages.h"
#include "app/gui/PrintJobs.h"
#include "app/gui/ShellRegistration.h"
#include "document/QuiltmarkDoc.h"
#include "shell/DocManager.h"
#include "shell/MainFrame.h"
#include "shell/RecentFileList.h"
#include "shell/ShellResources.h"
#include "shell/toolkit/DrawToolkit.h"
#include "shell/toolkit/ModelText.h"
#include "view/QuiltmarkView.h"

#include <QApplication>
#include <QIcon>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QTimer>
#include <cstdio>

namespace {

constexpr const char* kCompany = "Vom lokalen Anwendungs-Assistenten generierte Anwendungen";
constexpr const char* kAppName = "Quiltmark";

int RegisterAndEnd(bool registering)
{
    const QString home = ShellRegistration::UserDataHome();
    QString error;
    const bool ok = registering
        ? ShellRegistration::Register(home, QApplication::applicationFilePath(), &error)
        : ShellRegistration::Unregister(home, &error);
    if (!ok)
        std::fprintf(stderr, "quiltmark: %s\n", qPrintable(error));
    return ok ? 0 : 1;
}

} // namespace

CQuiltmarkApp::CQuiltmarkApp(IUserMessages& messages, IDocPrompts* prompts)
    : m_messages(messages)
    , m_prompts(prompts)
    , m_recent(std::make_unique<CRecentFileList>())
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    if (!m_prompts) {
        m_ownPrompts = std::make_unique<CDialogDocPrompts>();
        m_prompts = m_ownPrompts.get();
    }
    BindCommands();
}

CQuiltmarkApp::~CQuiltmarkApp() = default;

bool CQuiltmarkApp::InitInstance(const CGuiCommandLine& commandLine)
{
    m_recent->Load();
    CFrameOptions options;
    options.printer = m_printer.get();
    options.libraryEntry = commandLine.libraryEntry;
    m_frame = std::make_unique<CMainFrame>(m_messages, *m_prompts, *m_recent, this, options);
    if (auto* dialogs = dynamic_cast<CDialogDocPrompts*>(m_ownPrompts.get()))
        dialogs->SetParent(m_frame.get());

    bool ok = false;
    const bool opens = !commandLine.fileName.isEmpty()
        && commandLine.action != CGuiCommandLine::Action::FileNew
        && commandLine.action != CGuiCommandLine::Action::FileDde;
    try {
        if (opens) {
            m_refreshSectionsBar = true;
            ok = m_frame->OpenDocumentFile(commandLine.fileName, false);
        } else {
            ok = m_frame->GetDocManager().OnFileNew(false);
        }
    } catch (const std::exception& failure) {
        // As for a file that cannot be opened at all: said, and no window.
        std::string text = CMainFrame::FailureReason(&failure);
        if (opens)
            text = "Failed to open document.\n\n" + PathToModel(commandLine.fileName) + "\n\n"
                + text;
        m_messages.ShowMessage(text, MessageIcon::Error);
    }
    if (!ok) {
        m_frame.reset();
        return false;
    }
    return true;
}

void CQuiltmarkApp::BindCommands()
{
    using C = CommandId;
    // Before the frame exists there is nothing to open into or to show over.
    const auto withFrame = [this](Run run) {
        return [this, run = std::move(run)] {
            if (m_frame)
                run();
        };
    };
    Bind(C::FileNew, withFrame([this] { m_frame->GetDocManager().OnFileNew(); }));
    Bind(C::FileOpen, withFrame([this] {
        const QString path = m_prompts->AskOpenFileName();
        if (!path.isEmpty())
            m_frame->OpenDocumentFile(path);
    }));
    const C recent[] = { C::FileRecent1, C::FileRecent2, C::FileRecent3, C::FileRecent4 };
    for (int i = 0; i < 4; ++i) {
        Bind(recent[i], withFrame([this, i] { OnOpenRecentFile(i); }), [this, i] {
            CCommandState state;
            state.enabled = i < m_recent->Files().size();
            return state;
        });
    }
    Bind(C::FilePrintSetup, withFrame([this] { OnFilePrintSetup(); }));
    Bind(C::HelpAbout, withFrame([this] { OnAppAbout(); }));
}

void CQuiltmarkApp::OnAppAbout()
{
    const std::string library = m_frame ? m_frame->GetDocument().GetLibraryPath() : FindMetaLib();
    CAboutDlg dialog(
        FromModelText(LibraryInUseText(library, CLibraryPlaces::FromEnvironment())), m_frame.get());
    dialog.exec();
}

void CQuiltmarkApp::OnFilePrintSetup()
{
    QPageSetupDialog dialog(m_printer.get(), m_frame.get());
    dialog.exec();
}

void CQuiltmarkApp::OnOpenRecentFile(int index)
{
    const QString path = m_recent->File(index);
    if (path.isEmpty())
        return;
    CDocManager& docs = m_frame->GetDocManager();
    if (!docs.SaveModified())
        return;
    // A failure half-way throws past this: the file is still there and stays listed.
    if (!m_frame->OpenDocumentFile(path, false) && !docs.WasOpenCancelled()) {
        // A file that is gone stays out of the list.
        m_recent->Remove(index);
        m_recent->Save();
        emit docs.recentFilesChanged();
    }
}

int RunQuiltmarkApp(int argc, char** argv)
{
    CGuardedApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(kCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppName));
    QGuiApplication::setDesktopFileName(QStringLiteral("quiltmark"));

    const CGuiCommandLine commandLine = CGuiCommandLine::Parse(QApplication::arguments().mid(1));
    for (const QString& word : commandLine.unknownSwitches)
        std::fprintf(stderr, "quiltmark: ignoring unknown option %s\n", qPrintable(word));
    const bool printing = commandLine.action == CGuiCommandLine::Action::FilePrint
        || commandLine.action == CGuiCommandLine::Action::FilePrintTo;
    if (printing && commandLine.fileName.isEmpty()) {
        // Printing a new, empty project would be a blank page that nobody asked for.
        std::fprintf(stderr, "quiltmark: /p and /pt need the project file to print\n");
        return 2;
    }

    InitShellResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quiltmark.svg")));
    CMessageBoxMessages messages;
    CDrawToolkit* toolkit = CDrawToolkit::Create();
    if (!toolkit->CreateAllFonts())
        messages.ShowMessage(CDrawToolkit::kLucidaFailed, MessageIcon::Error);

    if (commandLine.action == CGuiCommandLine::Action::Register
        || commandLine.action == CGuiCommandLine::Action::Unregister) {
        const int status = RegisterAndEnd(commandLine.action == CGuiCommandLine::Action::Register);
        CDrawToolkit::Destroy();
        return status;
    }
    // The file type is registered at every start, but only when something is
    // missing, and never over a system-wide installation.
    const QString dataHome = ShellRegistration::UserDataHome();
    if (!ShellRegistration::IsInstalledSystemWide()
        && !ShellRegistration::IsRegistered(dataHome, QApplication::applicationFilePath()))
        ShellRegistration::Register(dataHome, QApplication::applicationFilePath());

    int status = 1;
    {
        CQuiltmarkApp app(messages);
        if (app.InitInstance(commandLine)) {
            CMainFrame* frame = app.GetMainFrame();
            messages.SetParent(frame);
            application.SetReporter(
                [frame](const std::exception* failure) { frame->ReportFailure(failure); });
            // The frame goes before the application: no report may reach it then.
            struct ReporterReset {
                CGuardedApplication& application;
                ~ReporterReset() { application.SetReporter(nullptr); }
            } reporterReset { application };
            if (printing) {
                // Print every section and end, without showing the window. "/p" takes the
                // default printer; "/pt" names one (driver and port mean nothing here).
                const QString printer = commandLine.action == CGuiCommandLine::Action::FilePrintTo
                    ? commandLine.printerName
                    : QString();
                QString error;
                status = PrintDocumentToPrinter(
                             frame->GetDocument(), printer, PrintContent::PatchMatrix, &error)
                    ? 0
                    : 1;
                if (status != 0)
                    messages.ShowMessage(ToModelText(error), MessageIcon::Error);
            } else {
                frame->show();
                if (app.m_refreshSectionsBar) {
                    QTimer::singleShot(200, frame, [&app, frame] {
                        if (app.m_refreshSectionsBar) {
                            app.m_refreshSectionsBar = false;
                            emit frame->GetView().sectionsReset();
                        }
                    });
                }
                status = application.exec();
            }
        }
    }
    CDrawToolkit::Destroy();
    return status;
}
