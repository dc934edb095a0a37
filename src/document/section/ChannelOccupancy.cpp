#include "document/section/ChannelOccupancy.h"

#include <algorithm>

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

void CChannelOccupancy::AddCoveredRanges(const std::vector<std::pair<int64_t, int64_t>>& ranges)
{
    m_events.reserve(m_events.size() + 2 * ranges.size());
    for (const auto& [first, end] : ranges) {
        m_events.push_back({ first, 1 });
        m_events.push_back({ end, -1 });
    }
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
    // The buffer stays for the next rebuild: growing it again costs fresh pages.
    m_events.clear();
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

int64_t CChannelOccupancy::CountCovered(int64_t first, int64_t last) const
{
    int64_t count = 0;
    for (std::size_t c = FirstEndingAtOrAfter(m_covered, first);
         c < m_covered.size() && m_covered[c].first <= last; ++c)
        count += std::min(last, m_covered[c].last) - std::max(first, m_covered[c].first) + 1;
    return count;
}
