// Open and Save read and write on a worker thread behind a progress dialog.
#include "FakePrompts.h"
#include "ThreadRecordingMessages.h"

#include "app/base/Progress.h"
#include "document/QuiltmarkDoc.h"
#include "shell/DocManager.h"
#include "shell/MainFrame.h"
#include "shell/RecentFileList.h"

#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kWall = QStringLiteral(QUILTMARK_SOURCE_DIR "/examples/stage-wall.patch");
const QString kBar = QStringLiteral(QUILTMARK_SOURCE_DIR "/examples/small-bar.patch");

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Watches the frame for the progress dialog; clicks its Cancel when `cancel` is set.
class CDialogWatch {
public:
    CDialogWatch(CMainFrame& frame, bool cancel)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &frame, cancel] {
            auto* dialog = frame.findChild<QProgressDialog*>(QStringLiteral("longTaskProgress"));
            if (!dialog || !dialog->isVisible() || seen)
                return;
            seen = true;
            if (cancel)
                dialog->findChild<QPushButton*>()->click();
        });
        m_timer.start(10);
    }
    bool seen = false;

private:
    QTimer m_timer;
};

// Takes `steps` x 10 ms, reporting as it goes, then reads for real. Stops when asked only
// if `honoursStop`: a reader may come too far to stop.
CDocManager::ProjectReader SlowReader(int steps, bool honoursStop, QThread** readOn = nullptr)
{
    return [=](CQuiltmarkDoc& loaded, const std::string& path, std::string* error,
               IProgress& progress) {
        if (readOn)
            *readOn = QThread::currentThread();
        for (int i = 0; i < steps; ++i) {
            if (!progress.Report(static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(steps))
                && honoursStop) {
                *error = "stopped";
                return false;
            }
            QThread::msleep(10);
        }
        return loaded.OnOpenDocument(path, error, &progress);
    };
}

class OpenSaveTaskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("Recent File List"));
        recent.Load();
        frame = std::make_unique<CMainFrame>(messages, prompts, recent, nullptr);
        ASSERT_TRUE(doc().OnNewDocument());
        doc().SetScriptDate("2024-01-01");
        docs().SetProgressDialogDelay(50);
    }
    CQuiltmarkDoc& doc() { return frame->GetDocument(); }
    CDocManager& docs() { return frame->GetDocManager(); }
    // The project as Save would write it.
    QByteArray ProjectText()
    {
        const QString path = dir.filePath(QStringLiteral("snapshot.patch"));
        EXPECT_TRUE(doc().WriteProjectFile(path.toStdString()));
        return FileBytes(path);
    }

    CThreadRecordingMessages messages;
    CFakePrompts prompts;
    CRecentFileList recent;
    std::unique_ptr<CMainFrame> frame;
    QTemporaryDir dir;
};

} // namespace

TEST_F(OpenSaveTaskTest, CancelledOpenLeavesTheShownProjectAsItWas)
{
    ASSERT_TRUE(docs().OpenDocumentFile(kWall));
    ASSERT_TRUE(doc().RenameSection(0, "renamed"));
    const QByteArray before = ProjectText();
    const std::string path = doc().GetPathName();
    const QString title = frame->windowTitle();
    const QStringList files = recent.Files();

    for (const bool honoursStop : { true, false }) {
        SCOPED_TRACE(honoursStop);
        docs().SetProjectReader(SlowReader(60, honoursStop));
        CDialogWatch watch(*frame, true);
        EXPECT_FALSE(docs().OpenDocumentFile(kBar, false));
        EXPECT_TRUE(watch.seen);
        EXPECT_TRUE(docs().WasOpenCancelled());
        EXPECT_EQ(ProjectText(), before);
        EXPECT_EQ(doc().GetPathName(), path);
        EXPECT_TRUE(doc().IsModified());
        EXPECT_TRUE(doc().CanUndo());
        EXPECT_EQ(frame->windowTitle(), title);
        EXPECT_EQ(recent.Files(), files);
        EXPECT_TRUE(messages.calls.empty());
    }
}

TEST_F(OpenSaveTaskTest, OpenReadsAsideAndTheShownDocumentTakesTheProjectOver)
{
    QThread* readOn = nullptr;
    docs().SetProjectReader(SlowReader(20, true, &readOn));
    CDialogWatch watch(*frame, false);
    ASSERT_TRUE(docs().OpenDocumentFile(kWall));
    EXPECT_TRUE(watch.seen);
    EXPECT_NE(readOn, QThread::currentThread());
    EXPECT_FALSE(docs().WasOpenCancelled());

    CRecordingMessages quiet;
    CQuiltmarkDoc direct(quiet, doc().GetLibraryPath());
    direct.SetScriptDate("2024-01-01");
    ASSERT_TRUE(direct.OnOpenDocument(kWall.toStdString()));
    const QString directPath = dir.filePath(QStringLiteral("direct.patch"));
    ASSERT_TRUE(direct.WriteProjectFile(directPath.toStdString()));
    EXPECT_EQ(ProjectText(), FileBytes(directPath));
    EXPECT_EQ(doc().GetPathName(), kWall.toStdString());
    EXPECT_FALSE(doc().IsModified());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("stage-wall.patch - Kelvra Quiltmark"));
    EXPECT_EQ(recent.Files().value(0), kWall);

    // What the reader says from the worker is shown on the window's thread.
    const QString notes = dir.filePath(QStringLiteral("notes.patch"));
    {
        QFile file(notes);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("shopping list");
    }
    ASSERT_TRUE(docs().OpenDocumentFile(notes));
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text.rfind(CQuiltmarkDoc::kCannotLoad, 0), 0u);
    EXPECT_EQ(messages.threads, std::vector<QThread*> { QThread::currentThread() });
}

TEST_F(OpenSaveTaskTest, SaveWritesOnAWorkerAndMarksSavedButNotWhenCancelled)
{
    const QString path = dir.filePath(QStringLiteral("wall.patch"));
    ASSERT_TRUE(doc().RenameSection(0, "renamed"));
    QThread* writtenOn = nullptr;
    docs().SetProjectWriter([&](CQuiltmarkDoc& written, const std::string& to, std::string* error,
                                IProgress& progress) {
        writtenOn = QThread::currentThread();
        return written.WriteProjectFile(to, error, &progress);
    });
    prompts.saveName = path;
    ASSERT_TRUE(docs().OnFileSaveAs());
    EXPECT_NE(writtenOn, QThread::currentThread());
    EXPECT_FALSE(doc().IsModified());
    EXPECT_EQ(doc().GetPathName(), path.toStdString());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("wall.patch - Kelvra Quiltmark"));
    EXPECT_EQ(FileBytes(path), ProjectText());

    ASSERT_TRUE(doc().RenameSection(0, "renamed again"));
    const QByteArray saved = FileBytes(path);
    docs().SetProjectWriter(
        [](CQuiltmarkDoc&, const std::string&, std::string*, IProgress& progress) {
            for (int i = 0; i < 500; ++i) {
                if (!progress.Report(static_cast<std::uint64_t>(i), 500))
                    return false;
                QThread::msleep(10);
            }
            return true;
        });
    CDialogWatch watch(*frame, true);
    EXPECT_FALSE(docs().OnFileSave());
    EXPECT_TRUE(watch.seen);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(FileBytes(path), saved);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("wall.patch - Kelvra Quiltmark"));
}
