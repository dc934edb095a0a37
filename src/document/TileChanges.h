#pragma once

#include "document/section/SubDoc.h"

#include <cstddef>
#include <string>
#include <vector>

// Compact records of tile records for the edit history. Tiles are written as runs in which
// every value steps by a constant (addressing counts up along a line; a re-address after one
// toggle shifts a whole stretch by one constant), then compressed: repeating run patterns,
// one per universe, shrink to almost nothing. Only the values an edit means to change are
// kept: universe, address, exclusion and selection; the connection display's scratch marks
// are not part of the project. The selection is kept apart, whole, because it also changes
// between edits and Undo brings back the one the edit started from.

// What an edit changed in a section whose grid kept its size, over the index ranges it may
// have touched.
class CTileDiffWriter {
public:
    // `before` and `after` hold the records of tiles first .. first + count - 1; ranges come
    // in ascending order and do not overlap.
    void AddRange(int first, const CTileRecord* before, const CTileRecord* after, int count);
    // A writer for ranges that follow one ending at `end` (exclusive), which an earlier
    // writer holds: they can be written apart, on another thread, and appended.
    explicit CTileDiffWriter(int end = 0)
        : m_end(end)
    {
    }
    void Append(CTileDiffWriter&& later);
    // Empty when nothing changed.
    std::string Finish();

private:
    std::string m_stream;
    int m_ranges = 0;
    int m_end = 0;
    bool m_changed = false;
};

// Puts universe, address and exclusion back as they were before the edit (forward false) or
// after it. False, with the tiles partly changed, only for a record that does not fit.
bool ApplyTileDiff(const std::string& diff, std::vector<CTileRecord>& tiles, bool forward);

// Which tiles are selected.
std::string EncodeSelection(const std::vector<CTileRecord>& tiles);
bool DecodeSelection(const std::string& record, std::vector<CTileRecord>& tiles);

// A whole grid, for sections that appear, vanish or change size.
std::string EncodeTiles(const std::vector<CTileRecord>& tiles);
// `tiles` must already have the grid's size; scratch marks are cleared.
bool DecodeTiles(const std::string& record, std::vector<CTileRecord>& tiles);
