#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// Long work (loading, saving, printing a large project) says how far it got through this
// interface, as it tells the user things through IUserMessages: the window shows a progress
// dialog, the command line and the tests ignore or record it.
class IProgress {
public:
    virtual ~IProgress() = default;
    // `done` of `total` units so far, never decreasing; called often and possibly from a
    // worker thread, so implementations only store the figures. False asks the work to stop:
    // it stops at the next point where it can leave everything as it was, and says so.
    virtual bool Report(std::uint64_t done, std::uint64_t total) = 0;
};

// For callers that show nothing and never cancel.
class CNoProgress : public IProgress {
public:
    bool Report(std::uint64_t, std::uint64_t) override { return true; }
};

// Remembers every report (tests); asks to stop once `stopAt` units are done.
class CRecordingProgress : public IProgress {
public:
    bool Report(std::uint64_t done, std::uint64_t total) override
    {
        reports.emplace_back(done, total);
        return done < stopAt;
    }

    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    std::uint64_t stopAt = UINT64_MAX;
};
