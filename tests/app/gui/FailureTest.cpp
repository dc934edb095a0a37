// Failures inside commands and events (running out of memory, mostly) are reported and the
// window goes on; a file read half-way never replaces the shown project.
#include "../../shell/FakePrompts.h"

#include "app/base/UserMessages.h"
#include "app/gui/GuardedApplication.h"
#include "app/gui/GuiCommandLine.h"
#include "app/gui/QuiltmarkApp.h"
#include "document/QuiltmarkDoc.h"
#include "shell/MainFrame.h"
#include "shell/RecentFileList.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <new>

namespace {

// Records messages; the first one after `failNext` is set throws instead, as a message box
// that cannot get its memory would.
class CFailingMessages : public CRecordingMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override
    {
        if (failNext) {
            failNext = false;
            throw std::bad_alloc();
        }
        CRecordingMessages::ShowMessage(text, icon);
    }
    bool failNext = false;
};

class CFailingApplication : public ICommandTarget {
public:
    bool OnCommand(CommandId id) override
    {
        if (id != CommandId::HelpAbout)
            return false;
        throw std::bad_alloc();
    }
    bool OnUpdateCommand(CommandId id, CCommandState& state) override
    {
        state.enabled = true;
        return id == CommandId::HelpAbout;
    }
};

class CFailingWidget : public QWidget {
protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User || event->type() == QEvent::Paint)
            throw std::bad_alloc();
        return QWidget::event(event);
    }
};

QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

class FailureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("Recent File List"));
        ASSERT_TRUE(dir.isValid());
        wall = QStringLiteral(QUILTMARK_SOURCE_DIR "/examples/stage-wall.patch");
        // Not a project: loading it reports, after the old project was already cleared.
        notes = WriteFile(dir, "notes.patch", "shopping list");
    }

    CFailingMessages messages;
    CFakePrompts prompts;
    QTemporaryDir dir;
    QString wall;
    QString notes;
};

} // namespace

TEST_F(FailureTest, AFailingCommandIsReportedAndTheWindowGoesOn)
{
    CRecentFileList recent;
    CFailingApplication application;
    CMainFrame frame(messages, prompts, recent, &application);
    ASSERT_TRUE(frame.GetDocument().OnNewDocument());

    EXPECT_TRUE(frame.ExecuteCommand(CommandId::HelpAbout));
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].icon, MessageIcon::Error);
    EXPECT_EQ(messages.calls[0].text.rfind("There is not enough memory.\n", 0), 0u)
        << messages.calls[0].text;
    EXPECT_TRUE(frame.ExecuteCommand(CommandId::SectionsAdd));
    EXPECT_EQ(frame.GetDocument().GetSectionCount(), 2);
}

TEST_F(FailureTest, AFileThatFailsWhileReadLeavesTheShownProjectAsItWas)
{
    CQuiltmarkApp app(messages, &prompts);
    CGuiCommandLine commandLine;
    commandLine.action = CGuiCommandLine::Action::FileOpen;
    commandLine.fileName = wall;
    ASSERT_TRUE(app.InitInstance(commandLine));
    CMainFrame& frame = *app.GetMainFrame();
    const CQuiltmarkDoc& doc = frame.GetDocument();
    const int sections = doc.GetSectionCount();
    ASSERT_GT(sections, 1);

    // The file is read aside: the shown project is never half replaced.
    prompts.openName = notes;
    messages.failNext = true;
    EXPECT_TRUE(frame.ExecuteCommand(CommandId::FileOpen));
    EXPECT_EQ(doc.GetPathName(), wall.toStdString());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetSectionCount(), sections);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("stage-wall.patch - Kelvra Quiltmark"));
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text,
        "There is not enough memory.\nThe file was not opened; the project shown is unchanged.");
    EXPECT_EQ(app.GetRecentFiles().Files(), QStringList { wall });

    // A recent file that failed half-way is still there: it stays in the list.
    ASSERT_TRUE(frame.OpenDocumentFile(notes)); // reported as not loadable, but opened
    ASSERT_EQ(app.GetRecentFiles().Files().value(0), notes);
    messages.failNext = true;
    EXPECT_TRUE(frame.ExecuteCommand(CommandId::FileRecent1));
    EXPECT_EQ(app.GetRecentFiles().Files(), (QStringList { notes, wall }));
    EXPECT_EQ(doc.GetPathName(), notes.toStdString());
}

TEST_F(FailureTest, AFailingStartUpFileIsReportedAndLeavesNoWindow)
{
    CQuiltmarkApp app(messages, &prompts);
    CGuiCommandLine commandLine;
    commandLine.action = CGuiCommandLine::Action::FileOpen;
    commandLine.fileName = notes;
    messages.failNext = true;
    EXPECT_FALSE(app.InitInstance(commandLine));
    EXPECT_EQ(app.GetMainFrame(), nullptr);
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text,
        "Failed to open document.\n\n" + notes.toStdString() + "\n\nThere is not enough memory.");
}

TEST(GuardedApplicationTest, AnEventHandlerThatThrowsIsReportedOnceAndPaintingOnlyWritten)
{
    CFailingWidget widget;
    int reports = 0;
    const CGuardedApplication::Reporter reporter = [&reports](const std::exception* failure) {
        EXPECT_NE(dynamic_cast<const std::bad_alloc*>(failure), nullptr);
        ++reports;
    };
    QEvent user(QEvent::User);
    EXPECT_FALSE(CGuardedApplication::Deliver(
        [&] { return QCoreApplication::sendEvent(&widget, &user); }, user.type(), reporter));
    EXPECT_EQ(reports, 1);
    // A message box would repaint the window and fail again: painting is not shown.
    QEvent paint(QEvent::Paint);
    EXPECT_FALSE(CGuardedApplication::Deliver(
        [&] { return QCoreApplication::sendEvent(&widget, &paint); }, paint.type(), reporter));
    EXPECT_EQ(reports, 1);
    QEvent show(QEvent::Show);
    EXPECT_TRUE(CGuardedApplication::Deliver(
        [&] { return QCoreApplication::sendEvent(&widget, &show); }, show.type(), reporter));
}
