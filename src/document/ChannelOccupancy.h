#pragma once

#include <cstdint>
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
    // The same for starts that come one by one in ascending order, as an addressing walk
    // hands them out: no list of starts, no sort. AddSortedStart returns false, and the
    // section's footprints so far are dropped, at the first start below the one before.
    void BeginSortedFootprints(int length);
    bool AddSortedStart(int64_t start)
    {
        // The usual walk: each footprint ends at or before the next one starts.
        if (m_count == 1 && m_head + 1 == m_ends.size() && start >= m_ends[m_head]
            && start >= m_lastStart) {
            const int64_t end = m_ends[m_head];
            if (!m_local.empty() && m_local.back().last + 1 == m_position
                && m_local.back().count == 1)
                m_local.back().last = end - 1;
            else
                m_local.push_back({ m_position, end - 1, 1 });
            m_position = start;
            m_lastStart = start;
            m_ends[m_head] = start + m_length;
            return true;
        }
        return AddSortedStartSlowly(start);
    }
    void EndSortedFootprints();
    // Combines the sections added since Clear; queries see the result afterwards.
    void Finish();

    int CountAt(int64_t key) const;
    bool IsShared(int64_t key) const { return CountAt(key) > 1; }
    // Any key of first .. first + count - 1 covered more than once.
    bool IsRangeShared(int64_t first, int64_t count) const;
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

    bool AddSortedStartSlowly(int64_t start);

    std::vector<Event> m_events; // pending pieces of every section, as +count/-count
    // The sweep over one section's sorted starts: keys before m_position are done, from
    // there m_count footprints are open, ending at m_ends[m_head..] (ascending, as all
    // have the same length).
    std::vector<Piece> m_local;
    std::vector<int64_t> m_ends;
    std::size_t m_head = 0;
    int64_t m_position = 0;
    int64_t m_lastStart = 0;
    int m_count = 0;
    int m_length = 0;
    bool m_sweeping = false;
    std::vector<Piece> m_covered; // keys covered at least once (count unused)
    std::vector<Piece> m_shared; // keys covered more than once, with their counts
};
