#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// How many tile footprints cover each DMX channel key (universe * 512 + address).
// Footprints are collected per section and swept into sorted, disjoint pieces, so the
// table stays small for real projects (a few pieces per universe) and never grows with
// the size of the key range, however absurd the universes read from a file are.
class CChannelOccupancy {
public:
    void Clear();
    // One section's tiles: a footprint of `length` channels at each start key. `starts`
    // is used as scratch space (sorted in place).
    void AddFootprints(std::vector<int64_t>& starts, int length);
    // One section's channels as ascending, disjoint, non-touching ranges first .. end - 1,
    // each covered once: what an addressing walk gives when no two of its tiles overlap.
    void AddCoveredRanges(const std::vector<std::pair<int64_t, int64_t>>& ranges);
    // Combines the sections added since Clear; queries see the result afterwards.
    void Finish();

    int CountAt(int64_t key) const;
    bool IsShared(int64_t key) const { return CountAt(key) > 1; }
    // Any key of first .. first + count - 1 covered more than once.
    bool IsRangeShared(int64_t first, int64_t count) const;
    // How many keys of first .. last are covered at least once.
    int64_t CountCovered(int64_t first, int64_t last) const;
    // Number of disjoint pieces with a count above 1 (tests, diagnostics).
    std::size_t SharedPieceCount() const { return m_shared.size(); }

private:
    struct Piece {
        int64_t first;
        int64_t last;
        int count;
    };
    struct Event {
        int64_t key;
        int delta;
    };

    std::vector<Event> m_events; // pending pieces of every section, as +count/-count
    std::vector<Piece> m_covered; // keys covered at least once (count unused)
    std::vector<Piece> m_shared; // keys covered more than once, with their counts
};
