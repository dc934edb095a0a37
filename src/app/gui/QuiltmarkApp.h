#pragma once

#include "shell/toolkit/Commands.h"

#include <memory>

class CMainFrame;
class CRecentFileList;
class IDocPrompts;
class IUserMessages;
class QPrinter;
struct CGuiCommandLine;

// Starts the window program; returns the process exit status.
int RunQuiltmarkApp(int argc, char** argv);

// The single application object: owns the main frame and handles the application's
// commands (New, Open, recent files, Printer Setup, About).
class CQuiltmarkApp : public CCommandBindings {
public:
    // `prompts` may be null: message boxes and file dialogs are then used.
    CQuiltmarkApp(IUserMessages& messages, IDocPrompts* prompts = nullptr);
    ~CQuiltmarkApp() override;

    // Creates the frame and performs File New or File Open as the command line asks. False
    // when no document could be made; then there is no frame. The frame is not shown.
    bool InitInstance(const CGuiCommandLine& commandLine);
    CMainFrame* GetMainFrame() { return m_frame.get(); }
    CRecentFileList& GetRecentFiles() { return *m_recent; }

    void OnAppAbout();
    void OnFilePrintSetup();
    void OnOpenRecentFile(int index);

    // Set when start-up opened a file; the sections bar is filled once more later.
    bool m_refreshSectionsBar = false;

private:
    void BindCommands();

    IUserMessages& m_messages;
    std::unique_ptr<IDocPrompts> m_ownPrompts;
    IDocPrompts* m_prompts;
    std::unique_ptr<CRecentFileList> m_recent;
    // The printer the program prints to, shared by Printer Setup and printing.
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<CMainFrame> m_frame;
};
