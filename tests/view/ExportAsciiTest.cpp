#include "app/base/UserMessages.h"
#include "app/cli/CommandLine.h"
#include "document/QuiltmarkDoc.h"
#include "view/ExportCommands.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ExportAsciiTest, CommandWritesTheSchemeAndReportsWriteErrors)
{
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, ProgramDirectory() + "/metalib.xml");
    ASSERT_TRUE(doc.OnNewDocument());
    CExportCommands commands(doc, messages, nullptr);
    QTemporaryDir dir;

    QStringList proposed;
    QString target = dir.filePath(QStringLiteral("scheme.txt"));
    commands.SetFileChooser([&](const QString& name) {
        proposed << name;
        return target;
    });
    CCommandState state;
    ASSERT_TRUE(commands.OnUpdateCommand(CommandId::FileExportAscii, state));
    EXPECT_TRUE(state.enabled);
    {
        QFile old(target); // an existing, longer file is replaced, not overwritten in part
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    ASSERT_TRUE(commands.OnCommand(CommandId::FileExportAscii));
    EXPECT_TRUE(proposed.value(0).isEmpty()); // unsaved document: no name to offer
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("// Kelvra ASCII Patch Scheme\r\n"));
    EXPECT_FALSE(text.contains('x'));
    EXPECT_TRUE(messages.calls.empty());

    // A folder cannot be written as a file: the system's reason is shown as an error.
    target = dir.path();
    commands.OnExportAscii();
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].icon, MessageIcon::Error);
    EXPECT_FALSE(messages.calls[0].text.empty());
    EXPECT_LE(messages.calls[0].text.size(), 255u * 4);

    // Cancelled dialog: nothing happens.
    target.clear();
    commands.OnExportAscii();
    EXPECT_EQ(messages.calls.size(), 1u);
}

TEST(ExportAsciiTest, ProposedNameNeverIsTheProjectFile)
{
    EXPECT_EQ(CExportCommands::ProposedName("/home/ana/wall.patch"),
        QStringLiteral("/home/ana/wall.txt"));
    EXPECT_EQ(
        CExportCommands::ProposedName("/home/ana/wall"), QStringLiteral("/home/ana/wall.txt"));
    EXPECT_TRUE(CExportCommands::ProposedName("").isEmpty());
}

TEST(ExportAsciiTest, ReadOnlyFileIsRefusedAlsoForRoot)
{
    CRecordingMessages messages;
    CQuiltmarkDoc doc(messages, ProgramDirectory() + "/metalib.xml");
    ASSERT_TRUE(doc.OnNewDocument());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro.txt"));
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("old");
    kept.close();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    QString error;
    EXPECT_FALSE(WriteAsciiSchemeFile(*doc.GetCurrentSection(), path, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("read-only"))) << error.toStdString();
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));
}
