#include "../../shell/FakePrompts.h"

#include "app/base/UserMessages.h"
#include "app/gui/GuiCommandLine.h"
#include "app/gui/QuiltmarkApp.h"
#include "app/gui/ShellRegistration.h"
#include "shell/MainFrame.h"
#include "shell/toolkit/VersionInfo.h"
#include "view/QuiltmarkView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kProgram = QStringLiteral(QUILTMARK_BIN_DIR "/quiltmark");

// The window program without a display, its messages on standard error and its settings
// and desktop files in `dir`.
void PrepareWindowRun(QProcess& process, const QTemporaryDir& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QUILTMARK_MESSAGES"), QStringLiteral("stderr"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    // An installed copy elsewhere on the machine must not stand in for a missing library.
    env.insert(QStringLiteral("XDG_DATA_DIRS"), dir.filePath(QStringLiteral("system")));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
}

// The first entry of the tile menu that the menu key opens over the view of an application
// started with `commandLine`; empty when no menu opened.
QString FirstTileMenuEntry(CGuiCommandLine commandLine)
{
    CRecordingMessages messages;
    CFakePrompts prompts;
    CQuiltmarkApp app(messages, &prompts);
    commandLine.action = CGuiCommandLine::Action::FileOpen;
    commandLine.fileName = QStringLiteral(QUILTMARK_SOURCE_DIR "/examples/stage-wall.patch");
    if (!app.InitInstance(commandLine))
        return QStringLiteral("start-up failed");
    CMainFrame& frame = *app.GetMainFrame();
    frame.show();
    frame.ExecuteCommand(CommandId::EditMoveTileMode);
    QString first;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            first = menu->actions().value(0)->text();
            menu->close();
        }
    });
    CQuiltmarkView& view = frame.GetView();
    view.SetFocusCell(0, 0);
    QContextMenuEvent request(
        QContextMenuEvent::Keyboard, QPoint(0, 0), view.mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(&view, &request);
    return first;
}

} // namespace

TEST(StartupTest, MetalibSwitchOffersTheLibraryEntryInTheTileMenuForThatRunOnly)
{
    QSettings().remove(QStringLiteral("Recent File List"));
    CGuiCommandLine withSwitch;
    withSwitch.libraryEntry = true;
    EXPECT_EQ(FirstTileMenuEntry(withSwitch), "Generate a new <lamp> metalib.xml entry...");
    EXPECT_EQ(FirstTileMenuEntry(CGuiCommandLine()), "Set Properties for Selected Tiles...");
    QSettings().remove(QStringLiteral("Recent File List"));
}

TEST(StartupTest, WithoutMetalibTheProgramEndsWithItsMessageAndNoWindow)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("quiltmark"));
    ASSERT_TRUE(QFile::copy(kProgram, program));
    ASSERT_FALSE(QFile::exists(dir.filePath(QStringLiteral("metalib.xml"))));

    QProcess process;
    PrepareWindowRun(process, dir);
    process.start(program, {});
    ASSERT_TRUE(process.waitForFinished(30000)) << "the program kept running";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardError().contains(
        "The metalib.xml-file is not valid! Quiltmark can not be start."));
}

TEST(StartupTest, PrintSwitchesWithoutAFilePrintNothingAndSayWhy)
{
    QTemporaryDir dir;
    for (const char* word : { "/p", "-pt" }) {
        QProcess process;
        PrepareWindowRun(process, dir);
        process.start(kProgram, { QString::fromLatin1(word) });
        ASSERT_TRUE(process.waitForFinished(30000)) << word;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << word;
        EXPECT_EQ(process.exitCode(), 2) << word;
        EXPECT_TRUE(process.readAllStandardError().contains("need the project file to print"))
            << word;
    }
}

TEST(StartupTest, AnUnknownDashWordIsIgnoredAndTheWindowOpensTheFile)
{
    QTemporaryDir dir;
    QProcess process;
    PrepareWindowRun(process, dir);
    process.start(kProgram,
        { QStringLiteral("-x"), QStringLiteral(QUILTMARK_SOURCE_DIR "/examples/small-bar.patch") });
    ASSERT_TRUE(process.waitForStarted(30000));
    // Taken for the file, "-x" ended the program at once; the window keeps running.
    EXPECT_FALSE(process.waitForFinished(4000));
    const QByteArray err = process.readAllStandardError();
    EXPECT_TRUE(err.contains("quiltmark: ignoring unknown option -x")) << err.toStdString();
    EXPECT_FALSE(err.contains("Failed to open document")) << err.toStdString();
    process.kill();
    process.waitForFinished(30000);
}

TEST(StartupTest, AboutVersionLineFromTheBuild)
{
    CVersionInfo info;
    info.Read();
    EXPECT_EQ(info.AboutVersionLine(), QStringLiteral("Quiltmark Version 3.6.28.28"));
    EXPECT_EQ(CVersionInfo::DottedText(info.GetFileVersion()), QStringLiteral("3.6.28.28"));
    EXPECT_EQ(info.GetString(QStringLiteral("ProductVersion")), QStringLiteral("3, 6, 28, 28"));
    EXPECT_TRUE(info.GetString(QStringLiteral("NoSuchName")).isEmpty());
    EXPECT_TRUE(info.GetString(QStringLiteral("SpecialBuild")).isEmpty());
}

TEST(StartupTest, RegistrationWritesAndRemovesTheDesktopFiles)
{
    QTemporaryDir dir;
    const QString program = QStringLiteral("/opt/my tools/quiltmark");
    EXPECT_FALSE(ShellRegistration::IsRegistered(dir.path(), program));
    ASSERT_TRUE(ShellRegistration::Register(dir.path(), program));
    EXPECT_TRUE(ShellRegistration::IsRegistered(dir.path(), program));
    EXPECT_FALSE(ShellRegistration::IsRegistered(dir.path(), QStringLiteral("/usr/bin/other")));

    QFile entry(dir.filePath(QStringLiteral("applications/quiltmark.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"/opt/my tools/quiltmark\" %f")));
    EXPECT_TRUE(text.contains(QStringLiteral("MimeType=application/x-quiltmark;")));
    QFile mime(dir.filePath(QStringLiteral("mime/packages/quiltmark.xml")));
    ASSERT_TRUE(mime.open(QIODevice::ReadOnly));
    EXPECT_TRUE(mime.readAll().contains("<glob pattern=\"*.patch\"/>"));

    ASSERT_TRUE(ShellRegistration::Unregister(dir.path()));
    EXPECT_FALSE(QFile::exists(entry.fileName()));
    EXPECT_FALSE(QFile::exists(mime.fileName()));
}

TEST(StartupTest, ExecQuotingEscapesShellCharacters)
{
    EXPECT_EQ(ShellRegistration::QuoteExec(QStringLiteral("/usr/bin/quiltmark")),
        QStringLiteral("/usr/bin/quiltmark"));
    EXPECT_EQ(ShellRegistration::QuoteExec(QStringLiteral("/a b/$x\"y%")),
        QStringLiteral("\"/a b/\\\\$x\\\\\"y%%\""));
}
