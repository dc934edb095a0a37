#include "ThreadRecordingMessages.h"

#include "shell/LongTask.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

namespace {

// `steps` steps of `stepMs` each, reported as it goes; stops when asked.
bool SlowWork(IProgress& progress, int steps, int stepMs)
{
    for (int i = 0; i <= steps; ++i) {
        if (!progress.Report(static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(steps)))
            return false;
        if (i < steps)
            QThread::msleep(static_cast<unsigned long>(stepMs));
    }
    return true;
}

QProgressDialog* FindDialog(QWidget& window)
{
    return window.findChild<QProgressDialog*>(QStringLiteral("longTaskProgress"));
}

} // namespace

TEST(LongTaskTest, SlowWorkShowsTheDialogWhichClimbsToFullWhileTheWindowRuns)
{
    QWidget window;
    CLongTask task(&window, QStringLiteral("Working..."), true);
    task.SetDialogDelay(100);
    bool dialogUp = false;
    std::vector<int> shown;
    QObject::connect(&task, &CLongTask::dialogShown, [&] {
        dialogUp = FindDialog(window) && FindDialog(window)->isVisible()
            && FindDialog(window)->windowModality() == Qt::WindowModal;
    });
    QObject::connect(
        &task, &CLongTask::percentShown, [&](int percent) { shown.push_back(percent); });
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);

    EXPECT_TRUE(task.Run([](IProgress& progress) { return SlowWork(progress, 20, 25); }));
    EXPECT_TRUE(dialogUp);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.back(), 100);
    // The window's thread went on handling its events.
    EXPECT_GT(ticks, 10);
    EXPECT_EQ(FindDialog(window), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(CLongTask::IsRunning());
}

TEST(LongTaskTest, QuickWorkShowsNoDialogAndHandsBackItsResultOrFailure)
{
    QWidget window;
    bool dialog = false;
    QThread* ranOn = nullptr;
    {
        CLongTask task(&window, QStringLiteral("Working..."), true);
        QObject::connect(&task, &CLongTask::dialogShown, [&] { dialog = true; });
        EXPECT_FALSE(task.Run([&](IProgress&) {
            ranOn = QThread::currentThread();
            return false;
        }));
    }
    EXPECT_NE(ranOn, nullptr);
    EXPECT_NE(ranOn, QThread::currentThread());
    CLongTask failing(&window, QStringLiteral("Working..."), true);
    QObject::connect(&failing, &CLongTask::dialogShown, [&] { dialog = true; });
    EXPECT_THROW(failing.Run([](IProgress&) -> bool { throw std::runtime_error("broken"); }),
        std::runtime_error);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(CLongTask::IsRunning());
}

TEST(LongTaskTest, CancelAsksTheWorkToStopAndTheDialogStaysUntilItHas)
{
    QWidget window;
    CLongTask task(&window, QStringLiteral("Working..."), true);
    task.SetDialogDelay(50);
    bool upAfterCancel = false;
    QObject::connect(&task, &CLongTask::dialogShown, [&] {
        QTimer::singleShot(0, [&] {
            QProgressDialog* dialog = FindDialog(window);
            dialog->findChild<QPushButton*>()->click();
            upAfterCancel = dialog->isVisible();
        });
    });
    bool stoppedLate = false;
    EXPECT_FALSE(task.Run([&](IProgress& progress) {
        if (SlowWork(progress, 1000, 10))
            return true;
        // Leaving everything as it was takes a moment; the window must still wait.
        QThread::msleep(100);
        stoppedLate = true;
        return false;
    }));
    EXPECT_TRUE(task.WasCancelled());
    EXPECT_TRUE(upAfterCancel);
    EXPECT_TRUE(stoppedLate);
    EXPECT_EQ(FindDialog(window), nullptr);
}

TEST(LongTaskTest, MessagesOfTheWorkAreShownOnTheWindowsThread)
{
    CThreadRecordingMessages shown;
    shown.answers = { MessageAnswer::No };
    CUiThreadMessages messages(shown);
    MessageAnswer answer = MessageAnswer::Yes;
    {
        CLongTask task(nullptr, QStringLiteral("Working..."), false);
        EXPECT_TRUE(task.Run([&](IProgress&) {
            messages.ShowMessage("read", MessageIcon::Warning);
            answer = messages.AskYesNo("go on?", MessageIcon::Question);
            return true;
        }));
    }
    EXPECT_EQ(answer, MessageAnswer::No);
    ASSERT_EQ(shown.calls.size(), 2u);
    EXPECT_EQ(shown.calls[1].text, "go on?");
    EXPECT_EQ(shown.threads,
        (std::vector<QThread*> { QThread::currentThread(), QThread::currentThread() }));

    // A message box that fails (out of memory) fails the work that wanted it.
    shown.failNext = true;
    CLongTask task(nullptr, QStringLiteral("Working..."), false);
    EXPECT_THROW(task.Run([&](IProgress&) {
        messages.ShowMessage("read", MessageIcon::Error);
        return true;
    }),
        std::bad_alloc);
}

TEST(LongTaskTest, PercentOfLargeFigures)
{
    EXPECT_EQ(CLongTask::Percent(0, 0), -1);
    EXPECT_EQ(CLongTask::Percent(5, 0), -1);
    EXPECT_EQ(CLongTask::Percent(0, 7), 0);
    EXPECT_EQ(CLongTask::Percent(UINT64_MAX / 2, UINT64_MAX), 49);
    EXPECT_EQ(CLongTask::Percent(UINT64_MAX - 1, UINT64_MAX), 99);
    EXPECT_EQ(CLongTask::Percent(UINT64_MAX, UINT64_MAX), 100);
    EXPECT_EQ(CLongTask::Percent(8, 7), 100);
}
