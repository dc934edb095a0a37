#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The window program's application object. Whatever an event handler throws (running out
// of memory, mostly) is caught at delivery and reported; the program goes on with the next
// event instead of ending.
class CGuardedApplication : public QApplication {
public:
    // `failure` is null for an exception that is no std::exception.
    using Reporter = std::function<void(const std::exception* failure)>;

    CGuardedApplication(int& argc, char** argv);

    // Where failures go once the main window exists; without one they go to standard error.
    void SetReporter(Reporter reporter) { m_reporter = std::move(reporter); }

    bool notify(QObject* receiver, QEvent* event) override;

    // The guard of notify: runs `deliver` and hands an exception to `reporter`. Failures
    // while painting only go to standard error: a message box over the window would
    // repaint it and fail again, for ever. False when `deliver` failed.
    static bool Deliver(
        const std::function<bool()>& deliver, QEvent::Type type, const Reporter& reporter);

private:
    Reporter m_reporter;
};
