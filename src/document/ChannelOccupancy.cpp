#include "document/ChannelOccupancy.h"

#include <algorithm>
#include <cstdint>

namespace {

// Appends a piece, joining it to the previous one when they touch with the same count.
template <typename Piece>
void AppendPiece(std::vector<Piece>& pieces, int64_t first, int64_t last, int count)
{
    if (!pieces.empty() && pieces.back().last + 1 == first && pieces.back().count == count) {
        pieces.back().last = last;
        return;
    }
    pieces.push_back({ first, last, count });
}

// Index of the first piece that ends at or after `key` (pieces are disjoint and sorted,
// so their ends are sorted too).
template <typename Piece>
std::size_t FirstEndingAtOrAfter(const std::vector<Piece>& pieces, int64_t key)
{
    auto it = std::lower_bound(pieces.begin(), pieces.end(), key,
        [](const Piece& piece, int64_t value) { return piece.last < value; });
    return static_cast<std::size_t>(it - pieces.begin());
}

} // namespace

void CChannelOccupancy::Clear()
{
    m_events.clear();
    m_covered.clear();
    m_shared.clear();
}

void CChannelOccupancy::AddFootprints(std::vector<int64_t>& starts, int length)
{
    if (starts.empty() || length <= 0)
        return;
    // Tiles are usually stored in address order already; sorting is then skipped.
    if (!std::is_sorted(starts.begin(), starts.end()))
        std::sort(starts.begin(), starts.end());

    // All footprints of a section have the same length, so their ends are sorted too:
    // one merge of the two sorted streams gives the section's count per key.
    const std::size_t n = starts.size();
    std::size_t i = 0; // next start
    std::size_t j = 0; // next end (exclusive), starts[j] + length
    int count = 0;
    int64_t position = 0;
    struct LocalPiece {
        int64_t first;
        int64_t last;
        int count;
    };
    std::vector<LocalPiece> pieces;
    while (j < n) {
        const int64_t nextEnd = starts[j] + length;
        const int64_t next = i < n ? std::min(starts[i], nextEnd) : nextEnd;
        if (count > 0 && next > position)
            AppendPiece(pieces, position, next - 1, count);
        while (i < n && starts[i] == next) {
            ++count;
            ++i;
        }
        while (j < n && starts[j] + length == next) {
            --count;
            ++j;
        }
        position = next;
    }
    for (const LocalPiece& piece : pieces) {
        m_events.push_back({ piece.first, piece.count });
        m_events.push_back({ piece.last + 1, -piece.count });
    }
}

void CChannelOccupancy::BeginSortedFootprints(int length)
{
    m_local.clear();
    m_ends.clear();
    m_head = 0;
    m_position = INT64_MIN;
    m_lastStart = INT64_MIN;
    m_count = 0;
    m_length = length;
    m_sweeping = length > 0;
}

bool CChannelOccupancy::AddSortedStartSlowly(int64_t start)
{
    if (!m_sweeping)
        return true;
    if (start < m_lastStart) {
        m_sweeping = false;
        m_local.clear();
        m_ends.clear();
        m_head = 0;
        m_count = 0;
        return false;
    }
    m_lastStart = start;
    // Close the footprints that end at or before this start.
    while (m_head < m_ends.size() && m_ends[m_head] <= start) {
        const int64_t end = m_ends[m_head++];
        if (end > m_position) {
            AppendPiece(m_local, m_position, end - 1, m_count);
            m_position = end;
        }
        --m_count;
    }
    if (m_head == m_ends.size()) {
        m_ends.clear();
        m_head = 0;
    }
    if (start > m_position) {
        if (m_count > 0)
            AppendPiece(m_local, m_position, start - 1, m_count);
        m_position = start;
    }
    ++m_count;
    m_ends.push_back(start + m_length);
    return true;
}

void CChannelOccupancy::EndSortedFootprints()
{
    if (!m_sweeping)
        return;
    for (; m_head < m_ends.size(); ++m_head) {
        const int64_t end = m_ends[m_head];
        if (end > m_position) {
            AppendPiece(m_local, m_position, end - 1, m_count);
            m_position = end;
        }
        --m_count;
    }
    m_events.reserve(m_events.size() + 2 * m_local.size());
    for (const Piece& piece : m_local) {
        m_events.push_back({ piece.first, piece.count });
        m_events.push_back({ piece.last + 1, -piece.count });
    }
    m_local.clear();
    m_ends.clear();
    m_head = 0;
    m_sweeping = false;
}

void CChannelOccupancy::Finish()
{
    m_covered.clear();
    m_shared.clear();
    // One section's events come in order already.
    const auto byKey = [](const Event& a, const Event& b) { return a.key < b.key; };
    if (!std::is_sorted(m_events.begin(), m_events.end(), byKey))
        std::sort(m_events.begin(), m_events.end(), byKey);
    int count = 0;
    int64_t position = 0;
    std::size_t k = 0;
    while (k < m_events.size()) {
        const int64_t next = m_events[k].key;
        if (count > 0 && next > position) {
            AppendPiece(m_covered, position, next - 1, 1);
            if (count > 1)
                AppendPiece(m_shared, position, next - 1, count);
        }
        while (k < m_events.size() && m_events[k].key == next)
            count += m_events[k++].delta;
        position = next;
    }
    m_events.clear();
    m_events.shrink_to_fit();
}

int CChannelOccupancy::CountAt(int64_t key) const
{
    const std::size_t s = FirstEndingAtOrAfter(m_shared, key);
    if (s < m_shared.size() && m_shared[s].first <= key)
        return m_shared[s].count;
    const std::size_t c = FirstEndingAtOrAfter(m_covered, key);
    return c < m_covered.size() && m_covered[c].first <= key ? 1 : 0;
}

bool CChannelOccupancy::IsRangeShared(int64_t first, int64_t count) const
{
    if (count <= 0)
        return false;
    const int64_t last = first + count - 1;
    const std::size_t s = FirstEndingAtOrAfter(m_shared, first);
    return s < m_shared.size() && m_shared[s].first <= last;
}
