#pragma once

#include "app/base/Progress.h"
#include "app/base/UserMessages.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

// Messages and questions of work running on another thread, shown on the window's thread;
// the worker waits there for the answer. Calls made on the window's thread go straight
// through. An exception of the shown message travels back to the caller.
class CUiThreadMessages : public IUserMessages {
public:
    // Made on the window's thread; `target` must outlive it.
    explicit CUiThreadMessages(IUserMessages& target);
    ~CUiThreadMessages() override;

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    MessageAnswer AskYesNo(const std::string& text, MessageIcon icon) override;

    // Whether a message or question is up right now: a progress dialog must not come up
    // over it, or the user could not answer it.
    static bool IsShowing();

private:
    void OnWindowThread(const std::function<void()>& call);

    IUserMessages& m_target;
    // Lives on the window's thread; forwarded calls run there.
    std::unique_ptr<QObject> m_context;
};

// Sets the busy cursor for its lifetime.
class CBusyCursor {
public:
    CBusyCursor();
    ~CBusyCursor();
    CBusyCursor(const CBusyCursor&) = delete;
    CBusyCursor& operator=(const CBusyCursor&) = delete;
};

// Runs long model work (reading or writing a large project) on a worker thread. The window
// keeps repainting but takes no input meanwhile: a busy cursor at once and, once the work
// has taken longer than the dialog delay, a window-modal progress dialog with percent and,
// where the work can stop, a Cancel button. Quick work looks as if it ran in place.
class CLongTask : public QObject {
    Q_OBJECT

public:
    static constexpr int kDialogDelayMs = 500;

    // `window` (may be null) carries the dialog; `label` says what is being done.
    CLongTask(QWidget* window, QString label, bool cancellable);
    ~CLongTask() override;

    void SetDialogDelay(int milliseconds) { m_dialogDelay = milliseconds; }

    // Runs `work` on a worker thread, handling the window's events until it has ended, and
    // returns its result. An exception of the work is thrown again here. `work` reports
    // through the progress it is given; a false answer there means the user cancelled.
    bool Run(const std::function<bool(IProgress&)>& work);

    // Whether the user asked the work to stop (also callable from the worker).
    bool WasCancelled() const { return m_stop.load(); }

    // Whether any long task runs now; another one must not start inside it.
    static bool IsRunning();

    // Percent of `done` in `total`, -1 while the total is unknown.
    static int Percent(std::uint64_t done, std::uint64_t total);

signals:
    void dialogShown();
    // Every figure the dialog showed, never decreasing.
    void percentShown(int percent);

private:
    class Figures;

    void Poll(const Figures& figures);
    void ShowDialog();
    void ShowPercent(int percent);
    void OnCancel();

    QWidget* m_window;
    QString m_label;
    bool m_cancellable;
    int m_dialogDelay = kDialogDelayMs;
    std::atomic<bool> m_stop { false };
    std::unique_ptr<QProgressDialog> m_dialog;
    int m_shownPercent = -1;
};
