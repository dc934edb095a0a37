#include "app/gui/GuiCommandLine.h"

#include <gtest/gtest.h>

using Action = CGuiCommandLine::Action;

TEST(GuiCommandLineTest, LinuxPathsAreFilesAndOnlySwitchWordsAreSwitches)
{
    auto cmd = CGuiCommandLine::Parse({});
    EXPECT_EQ(cmd.action, Action::FileNew);
    EXPECT_TRUE(cmd.fileName.isEmpty());

    cmd = CGuiCommandLine::Parse({ "/home/ana/wall.patch" });
    EXPECT_EQ(cmd.action, Action::FileOpen);
    EXPECT_EQ(cmd.fileName, QStringLiteral("/home/ana/wall.patch"));

    // "/p" is a switch, "/P" and "/pt/x" are not switch words, so they are files.
    cmd = CGuiCommandLine::Parse({ "/p", "/srv/a.patch" });
    EXPECT_EQ(cmd.action, Action::FilePrint);
    EXPECT_EQ(cmd.fileName, QStringLiteral("/srv/a.patch"));
    cmd = CGuiCommandLine::Parse({ "/P" });
    EXPECT_EQ(cmd.action, Action::FileOpen);
    EXPECT_EQ(cmd.fileName, QStringLiteral("/P"));

    cmd = CGuiCommandLine::Parse({ "-pt", "/tmp/b.patch", "Laser", "drv", "lp0" });
    EXPECT_EQ(cmd.action, Action::FilePrintTo);
    EXPECT_EQ(cmd.fileName, QStringLiteral("/tmp/b.patch"));
    EXPECT_EQ(cmd.printerName, QStringLiteral("Laser"));
    EXPECT_EQ(cmd.driverName, QStringLiteral("drv"));
    EXPECT_EQ(cmd.portName, QStringLiteral("lp0"));
}

TEST(GuiCommandLineTest, UnknownDashWordsAreIgnoredAndNeverTheFile)
{
    // "dde" matches exactly, so "-DDE" is no switch; "/x" may be a path, "-x" is not.
    auto cmd = CGuiCommandLine::Parse({ "-x", "-DDE", "/srv/wall.patch", "-y" });
    EXPECT_EQ(cmd.action, Action::FileOpen);
    EXPECT_EQ(cmd.fileName, QStringLiteral("/srv/wall.patch"));
    EXPECT_EQ(cmd.unknownSwitches, (QStringList { "-x", "-DDE", "-y" }));

    cmd = CGuiCommandLine::Parse({ "-x" });
    EXPECT_EQ(cmd.action, Action::FileNew);
    EXPECT_TRUE(cmd.fileName.isEmpty());
    cmd = CGuiCommandLine::Parse({ "/x" });
    EXPECT_EQ(cmd.fileName, QStringLiteral("/x"));
    EXPECT_TRUE(cmd.unknownSwitches.isEmpty());
    // A lone "-" is no word at all.
    EXPECT_EQ(CGuiCommandLine::Parse({ "-" }).fileName, QStringLiteral("-"));
}

TEST(GuiCommandLineTest, RegistrationWordsIgnoreCaseAndMetalibStandsAlone)
{
    EXPECT_EQ(CGuiCommandLine::Parse({ "/REGISTER" }).action, Action::Register);
    EXPECT_EQ(CGuiCommandLine::Parse({ "-regserver" }).action, Action::Register);
    EXPECT_EQ(CGuiCommandLine::Parse({ "/Unregserver" }).action, Action::Unregister);
    EXPECT_EQ(CGuiCommandLine::Parse({ "-unregister" }).action, Action::Unregister);
    // Component-server words are known and do nothing.
    const auto server = CGuiCommandLine::Parse({ "/embedding", "-Automation" });
    EXPECT_EQ(server.action, Action::FileNew);
    EXPECT_TRUE(server.fileName.isEmpty());
    EXPECT_TRUE(server.unknownSwitches.isEmpty());
    EXPECT_EQ(CGuiCommandLine::Parse({ "/dde" }).action, Action::FileDde);

    auto cmd = CGuiCommandLine::Parse({ "/metalib", "/data/x.patch" });
    EXPECT_TRUE(cmd.libraryEntry);
    EXPECT_EQ(cmd.fileName, QStringLiteral("/data/x.patch"));
    cmd = CGuiCommandLine::Parse({ "/metalib/x.patch" });
    EXPECT_FALSE(cmd.libraryEntry);
    EXPECT_EQ(cmd.fileName, QStringLiteral("/metalib/x.patch"));
    // The first file wins; later plain arguments are not printer names without /pt.
    cmd = CGuiCommandLine::Parse({ "a.patch", "b.patch" });
    EXPECT_EQ(cmd.fileName, QStringLiteral("a.patch"));
    EXPECT_TRUE(cmd.printerName.isEmpty());
}
