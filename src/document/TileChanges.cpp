#include "document/TileChanges.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace {

using Value = std::int64_t;

// Records are kept raw below this size: compressing them gains nothing.
constexpr std::size_t kPackThreshold = 64;
// No record of a section can be larger (kMaxTiles runs of a few varints each).
constexpr std::uint64_t kMaxRawBytes = std::uint64_t { 1 } << 30;

void PutVarint(std::string& out, std::uint64_t v)
{
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7f) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

std::uint64_t ZigZag(Value v)
{
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

Value UnZigZag(std::uint64_t u)
{
    return static_cast<Value>(u >> 1) ^ -static_cast<Value>(u & 1);
}

class CVarintReader {
public:
    CVarintReader() = default;
    explicit CVarintReader(const std::string& data) { Reset(data); }
    bool Read(std::uint64_t& v)
    {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_p == m_end)
                return false;
            const unsigned char byte = *m_p++;
            v |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }
    bool AtEnd() const { return m_p == m_end; }

protected:
    void Reset(const std::string& data)
    {
        m_p = reinterpret_cast<const unsigned char*>(data.data());
        m_end = m_p + data.size();
    }

private:
    const unsigned char* m_p = nullptr;
    const unsigned char* m_end = nullptr;
};

// Rows of K values as runs of arithmetic progressions. Each run stores its length, then per
// value its start relative to where the previous run would have continued and its step
// relative to the previous step: steady patterns write zeros, which compress well.
template <int K> class CRunWriter {
public:
    explicit CRunWriter(std::string& out)
        : m_out(out)
    {
    }
    void Add(const Value (&row)[K])
    {
        if (m_length >= 2) {
            bool continues = true;
            for (int k = 0; k < K; ++k)
                continues = continues && row[k] == m_next[k];
            if (continues) {
                for (int k = 0; k < K; ++k)
                    m_next[k] += m_step[k];
                ++m_length;
                return;
            }
            Flush();
            Start(row);
            return;
        }
        if (m_length == 0) {
            Start(row);
            return;
        }
        for (int k = 0; k < K; ++k) {
            m_step[k] = row[k] - m_start[k];
            m_next[k] = row[k] + m_step[k];
        }
        m_length = 2;
    }
    void Flush()
    {
        if (m_length == 0)
            return;
        if (m_length == 1)
            std::copy(m_prevStep, m_prevStep + K, m_step);
        PutVarint(m_out, static_cast<std::uint64_t>(m_length));
        for (int k = 0; k < K; ++k) {
            PutVarint(m_out, ZigZag(m_start[k] - m_pred[k]));
            PutVarint(m_out, ZigZag(m_step[k] - m_prevStep[k]));
            m_pred[k] = m_start[k] + m_length * m_step[k];
            m_prevStep[k] = m_step[k];
        }
        m_length = 0;
    }

private:
    void Start(const Value (&row)[K])
    {
        std::copy(row, row + K, m_start);
        m_length = 1;
    }

    std::string& m_out;
    Value m_start[K] = {};
    Value m_step[K] = {};
    Value m_next[K] = {}; // the row that would continue the run
    Value m_pred[K] = {};
    Value m_prevStep[K] = {};
    Value m_length = 0;
};

template <int K> class CRunReader {
public:
    explicit CRunReader(CVarintReader& in)
        : m_in(in)
    {
    }
    bool Next(Value (&row)[K])
    {
        if (m_left == 0 && !ReadRun())
            return false;
        for (int k = 0; k < K; ++k)
            row[k] = m_start[k] + m_done * m_step[k];
        ++m_done;
        --m_left;
        return true;
    }
    // A range ends with its last run.
    bool RunFinished() const { return m_left == 0; }

private:
    bool ReadRun()
    {
        std::uint64_t length = 0;
        if (!m_in.Read(length) || length == 0 || length > kMaxRawBytes)
            return false;
        for (int k = 0; k < K; ++k) {
            std::uint64_t start = 0;
            std::uint64_t step = 0;
            if (!m_in.Read(start) || !m_in.Read(step))
                return false;
            m_start[k] = m_pred[k] + UnZigZag(start);
            m_step[k] = m_prevStep[k] + UnZigZag(step);
            m_pred[k] = m_start[k] + static_cast<Value>(length) * m_step[k];
            m_prevStep[k] = m_step[k];
        }
        m_left = static_cast<Value>(length);
        m_done = 0;
        return true;
    }

    CVarintReader& m_in;
    Value m_start[K] = {};
    Value m_step[K] = {};
    Value m_pred[K] = {};
    Value m_prevStep[K] = {};
    Value m_left = 0;
    Value m_done = 0;
};

std::string Pack(const std::string& raw)
{
    std::string out;
    if (raw.size() < kPackThreshold) {
        out.push_back('\0');
        out += raw;
        return out;
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    // The fastest level: the runs already removed what is regular within a line.
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
            reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 1)
        != Z_OK) {
        out.push_back('\0');
        out += raw;
        return out;
    }
    out.push_back('\1');
    PutVarint(out, raw.size());
    out.append(packed.data(), size);
    out.shrink_to_fit();
    return out;
}

bool Unpack(const std::string& record, std::string& raw)
{
    if (record.empty())
        return false;
    if (record[0] == '\0') {
        raw.assign(record, 1, std::string::npos);
        return true;
    }
    if (record[0] != '\1')
        return false;
    const std::string rest = record.substr(1);
    CVarintReader in(rest);
    std::uint64_t size = 0;
    if (!in.Read(size) || size > kMaxRawBytes)
        return false;
    std::string sizeBytes;
    PutVarint(sizeBytes, size);
    raw.assign(size, '\0');
    uLongf got = static_cast<uLongf>(size);
    const std::size_t offset = 1 + sizeBytes.size();
    return uncompress(reinterpret_cast<Bytef*>(raw.data()), &got,
               reinterpret_cast<const Bytef*>(record.data() + offset),
               static_cast<uLong>(record.size() - offset))
        == Z_OK
        && got == size;
}

// Reads a record of a whole grid: unpacked, with the tile count it was made for checked.
class CGridRecordReader : public CVarintReader {
public:
    bool Open(const std::string& record, std::size_t tiles)
    {
        if (!Unpack(record, m_raw))
            return false;
        Reset(m_raw);
        std::uint64_t count = 0;
        return Read(count) && count == tiles;
    }

private:
    std::string m_raw;
};

} // namespace

void CTileDiffWriter::AddRange(
    int first, const CTileRecord* before, const CTileRecord* after, int count)
{
    if (count <= 0)
        return;
    PutVarint(m_stream, static_cast<std::uint64_t>(first - m_end) + 1);
    PutVarint(m_stream, static_cast<std::uint64_t>(count));
    m_end = first + count;
    ++m_ranges;
    CRunWriter<3> runs(m_stream);
    for (int i = 0; i < count; ++i) {
        const CTileRecord& b = before[i];
        const CTileRecord& a = after[i];
        const Value row[3] = { Value { a.universe } - b.universe, Value { a.address } - b.address,
            Value { a.excluded ^ b.excluded } };
        m_changed = m_changed || row[0] != 0 || row[1] != 0 || row[2] != 0;
        runs.Add(row);
    }
    runs.Flush();
}

void CTileDiffWriter::Append(CTileDiffWriter&& later)
{
    m_stream += later.m_stream;
    m_ranges += later.m_ranges;
    m_end = later.m_ranges > 0 ? later.m_end : m_end;
    m_changed = m_changed || later.m_changed;
}

std::string CTileDiffWriter::Finish()
{
    if (!m_changed)
        return std::string();
    PutVarint(m_stream, 0);
    return Pack(m_stream);
}

bool ApplyTileDiff(const std::string& diff, std::vector<CTileRecord>& tiles, bool forward)
{
    if (diff.empty())
        return true;
    std::string raw;
    if (!Unpack(diff, raw))
        return false;
    CVarintReader in(raw);
    const Value sign = forward ? 1 : -1;
    std::uint64_t end = 0;
    for (;;) {
        std::uint64_t gap = 0;
        if (!in.Read(gap))
            return false;
        if (gap == 0)
            return in.AtEnd();
        std::uint64_t count = 0;
        if (!in.Read(count))
            return false;
        const std::uint64_t first = end + gap - 1;
        if (first > tiles.size() || count > tiles.size() - first)
            return false;
        end = first + count;
        CRunReader<3> runs(in);
        for (std::uint64_t i = first; i < end; ++i) {
            Value row[3];
            if (!runs.Next(row))
                return false;
            CTileRecord& tile = tiles[i];
            tile.universe = static_cast<int32_t>(tile.universe + sign * row[0]);
            tile.address = static_cast<int32_t>(tile.address + sign * row[1]);
            tile.excluded = static_cast<uint8_t>(tile.excluded ^ row[2]);
        }
        if (!runs.RunFinished())
            return false;
    }
}

std::string EncodeTiles(const std::vector<CTileRecord>& tiles)
{
    std::string stream;
    PutVarint(stream, tiles.size());
    CRunWriter<4> runs(stream);
    for (const CTileRecord& tile : tiles) {
        const Value row[4] = { Value { tile.universe }, Value { tile.address },
            Value { tile.excluded }, Value { tile.selected } };
        runs.Add(row);
    }
    runs.Flush();
    return Pack(stream);
}

bool DecodeTiles(const std::string& record, std::vector<CTileRecord>& tiles)
{
    CGridRecordReader in;
    if (!in.Open(record, tiles.size()))
        return false;
    CRunReader<4> runs(in);
    for (CTileRecord& tile : tiles) {
        Value row[4];
        if (!runs.Next(row))
            return false;
        tile = CTileRecord {};
        tile.universe = static_cast<int32_t>(row[0]);
        tile.address = static_cast<int32_t>(row[1]);
        tile.excluded = static_cast<uint8_t>(row[2]);
        tile.selected = static_cast<uint8_t>(row[3]);
    }
    return runs.RunFinished() && in.AtEnd();
}

std::string EncodeSelection(const std::vector<CTileRecord>& tiles)
{
    // Lengths of alternating stretches, unselected first.
    std::string stream;
    PutVarint(stream, tiles.size());
    uint8_t state = 0;
    std::uint64_t length = 0;
    for (const CTileRecord& tile : tiles) {
        const uint8_t selected = tile.selected ? 1 : 0;
        if (selected != state) {
            PutVarint(stream, length);
            state = selected;
            length = 0;
        }
        ++length;
    }
    PutVarint(stream, length);
    return Pack(stream);
}

bool DecodeSelection(const std::string& record, std::vector<CTileRecord>& tiles)
{
    CGridRecordReader in;
    if (!in.Open(record, tiles.size()))
        return false;
    const std::uint64_t count = tiles.size();
    std::uint64_t done = 0;
    uint8_t state = 0;
    while (!in.AtEnd()) {
        std::uint64_t length = 0;
        if (!in.Read(length) || length > count - done)
            return false;
        for (std::uint64_t i = done; i < done + length; ++i)
            tiles[i].selected = state;
        done += length;
        state ^= 1;
    }
    return done == count;
}
