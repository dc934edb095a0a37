#include "app/gui/GuardedApplication.h"

#include <cstdio>
#include <new>

namespace {

void WriteToStandardError(const std::exception* failure)
{
    if (dynamic_cast<const std::bad_alloc*>(failure))
        std::fputs("quiltmark: not enough memory; an event was dropped\n", stderr);
    else
        std::fprintf(stderr, "quiltmark: an event failed: %s\n",
            failure ? failure->what() : "unknown error");
}

bool IsPainting(QEvent::Type type)
{
    return type == QEvent::Paint || type == QEvent::UpdateRequest || type == QEvent::UpdateLater;
}

void Report(
    const std::exception* failure, QEvent::Type type, const CGuardedApplication::Reporter& reporter)
{
    if (reporter && !IsPainting(type)) {
        try {
            reporter(failure);
            return;
        } catch (...) {
            // Reporting needs memory too; the line below needs none.
        }
    }
    WriteToStandardError(failure);
}

} // namespace

CGuardedApplication::CGuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool CGuardedApplication::notify(QObject* receiver, QEvent* event)
{
    return Deliver(
        [&] { return QApplication::notify(receiver, event); }, event->type(), m_reporter);
}

bool CGuardedApplication::Deliver(
    const std::function<bool()>& deliver, QEvent::Type type, const Reporter& reporter)
{
    try {
        return deliver();
    } catch (const std::exception& failure) {
        Report(&failure, type, reporter);
    } catch (...) {
        Report(nullptr, type, reporter);
    }
    return false;
}
