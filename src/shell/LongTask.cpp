#include "shell/LongTask.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace {

// Both only touched on the window's thread.
int g_showing = 0;
int g_running = 0;

// Often enough for a smooth bar, rarely enough to cost nothing.
constexpr int kPollMs = 50;

// Escape and the title bar's close button ask to stop, as Cancel does; the dialog stays up
// (and the window blocked) until the work has really stopped.
class CTaskProgressDialog : public QProgressDialog {
public:
    CTaskProgressDialog(QWidget* parent, bool cancellable)
        : QProgressDialog(parent)
        , m_cancellable(cancellable)
    {
    }
    void reject() override
    {
        if (m_cancellable)
            emit canceled();
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        reject();
    }

private:
    bool m_cancellable;
};

} // namespace

CUiThreadMessages::CUiThreadMessages(IUserMessages& target)
    : m_target(target)
    , m_context(std::make_unique<QObject>())
{
}

CUiThreadMessages::~CUiThreadMessages() = default;

void CUiThreadMessages::ShowMessage(const std::string& text, MessageIcon icon)
{
    OnWindowThread([&] { m_target.ShowMessage(text, icon); });
}

MessageAnswer CUiThreadMessages::AskYesNo(const std::string& text, MessageIcon icon)
{
    MessageAnswer answer = MessageAnswer::No;
    OnWindowThread([&] { answer = m_target.AskYesNo(text, icon); });
    return answer;
}

bool CUiThreadMessages::IsShowing()
{
    return g_showing > 0;
}

void CUiThreadMessages::OnWindowThread(const std::function<void()>& call)
{
    const auto show = [&call] {
        struct Showing {
            Showing() { ++g_showing; }
            ~Showing() { --g_showing; }
        } showing;
        call();
    };
    if (QThread::currentThread() == m_context->thread()) {
        show();
        return;
    }
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        m_context.get(),
        [&] {
            try {
                show();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

CBusyCursor::CBusyCursor()
{
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

CBusyCursor::~CBusyCursor()
{
    QApplication::restoreOverrideCursor();
}

// The figures travel from the worker through atomics; the window's thread polls them.
class CLongTask::Figures : public IProgress {
public:
    explicit Figures(const std::atomic<bool>& stop)
        : m_stop(stop)
    {
    }
    bool Report(std::uint64_t done, std::uint64_t total) override
    {
        m_total.store(total);
        m_done.store(done);
        return !m_stop.load();
    }
    int Percent() const { return CLongTask::Percent(m_done.load(), m_total.load()); }

    std::atomic<bool> ended { false };

private:
    const std::atomic<bool>& m_stop;
    std::atomic<std::uint64_t> m_done { 0 };
    std::atomic<std::uint64_t> m_total { 0 };
};

CLongTask::CLongTask(QWidget* window, QString label, bool cancellable)
    : m_window(window)
    , m_label(std::move(label))
    , m_cancellable(cancellable)
{
}

CLongTask::~CLongTask() = default;

bool CLongTask::IsRunning()
{
    return g_running > 0;
}

int CLongTask::Percent(std::uint64_t done, std::uint64_t total)
{
    if (total == 0)
        return -1;
    if (done >= total)
        return 100;
    return static_cast<int>(static_cast<long double>(done) * 100 / total);
}

bool CLongTask::Run(const std::function<bool(IProgress&)>& work)
{
    Figures figures(m_stop);
    bool result = false;
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            result = work(figures);
        } catch (...) {
            failure = std::current_exception();
        }
        figures.ended.store(true);
    }));

    // Whatever happens here, the worker has ended before its data goes.
    struct Running {
        CLongTask& task;
        QThread& worker;
        const Figures& figures;
        Running(CLongTask& t, QThread& w, const Figures& f)
            : task(t)
            , worker(w)
            , figures(f)
        {
            ++g_running;
        }
        ~Running()
        {
            if (!figures.ended.load()) {
                task.m_stop.store(true);
                // The worker may wait for an answer from this thread.
                while (!figures.ended.load()) {
                    QCoreApplication::processEvents();
                    worker.wait(20);
                }
            }
            worker.wait();
            task.m_dialog.reset();
            --g_running;
        }
    };

    CBusyCursor busy;
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QTimer poll;
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (figures.ended.load()) {
            loop.quit();
            return;
        }
        if (m_dialog) {
            ShowPercent(figures.Percent());
            return;
        }
        if (clock.elapsed() < m_dialogDelay || CUiThreadMessages::IsShowing())
            return;
        ShowDialog();
        ShowPercent(figures.Percent());
        // From now on the dialog takes the input: leave the loop that holds it back.
        loop.quit();
    });

    {
        Running running(*this, *worker, figures);
        clock.start();
        worker->start();
        poll.start();
        while (!figures.ended.load()) {
            // Until the modal dialog is up, input waits (it is not lost) instead of
            // reaching a window that must not change now.
            const auto flags
                = m_dialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
            if (loop.exec(flags) < 0)
                break; // the application is quitting: Running waits for the worker
        }
        poll.stop();
        if (m_dialog && result)
            ShowPercent(figures.Percent());
    }
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

void CLongTask::ShowDialog()
{
    auto dialog = std::make_unique<CTaskProgressDialog>(m_window, m_cancellable);
    dialog->setObjectName(QStringLiteral("longTaskProgress"));
    dialog->setWindowTitle(QStringLiteral("Quiltmark"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setLabelText(m_label);
    dialog->setMinimumWidth(dialog->fontMetrics().averageCharWidth() * 50);
    // It closes when the work has ended, not when the bar is full (a file is renamed last).
    dialog->setAutoReset(false);
    dialog->setAutoClose(false);
    if (m_cancellable) {
        // Cancel asks the work to stop; the dialog stays until it has.
        QObject::disconnect(dialog.get(), SIGNAL(canceled()), dialog.get(), SLOT(cancel()));
        connect(dialog.get(), &QProgressDialog::canceled, this, &CLongTask::OnCancel);
    } else {
        dialog->setCancelButton(nullptr);
    }
    m_dialog = std::move(dialog);
    m_dialog->show();
    emit dialogShown();
}

void CLongTask::ShowPercent(int percent)
{
    if (percent < 0 && m_shownPercent < 0) {
        // Nothing reported yet: a moving bar instead of a figure.
        m_dialog->setRange(0, 0);
        return;
    }
    percent = std::max(percent, m_shownPercent);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    if (m_dialog->maximum() != 100)
        m_dialog->setRange(0, 100);
    m_dialog->setValue(percent);
    emit percentShown(percent);
}

void CLongTask::OnCancel()
{
    if (m_stop.exchange(true) || !m_dialog)
        return;
    m_dialog->setLabelText(QStringLiteral("Cancelling..."));
    if (auto* button = m_dialog->findChild<QPushButton*>())
        button->setEnabled(false);
}
