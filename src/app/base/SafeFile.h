#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Every file the program writes goes through here, so that a failure never leaves a
// damaged file and an output never replaces something that is not a plain file:
// - A symbolic link is followed (chains, relative targets, a dangling link's target is
//   created); the file it names is written, the link stays. A loop is an error.
// - A device, FIFO or socket is written directly, never replaced.
// - A directory, or a file without write permission (checked by its mode bits too, so
//   that it holds for root), is refused.
// - A regular file is written completely into a new file in its own folder (an unnamed
//   one where the file system allows, else ".NAME.quiltmark-save-XXXXXX"), flushed to
//   disk, given the old file's owner, group and mode where the process may set them,
//   and renamed over the target. Leftovers of that name from a killed save of the same
//   target are removed by the next save.
// - A file with several hard links is written in place, after the new contents were
//   written completely to a temporary copy, so that every name shows them.
// On failure the target is unchanged and `error` holds the reason, naming the file.
bool WriteFileSafely(
    const std::string& path, const std::string& bytes, std::string* error = nullptr);

// Takes the bytes of a file piece by piece; false when they could not be written (the
// producer then stops and returns false).
using FileSink = std::function<bool(const char* data, std::size_t size)>;
// Produces the whole contents through the sink. False stops the write: `reason`, when the
// producer sets it, becomes the error.
using FileProducer = std::function<bool(const FileSink& sink, std::string& reason)>;

// Gathers small pieces of text into writes of about a megabyte; the first failure sticks.
class CBufferedSink {
public:
    explicit CBufferedSink(const FileSink& sink)
        : m_sink(sink)
    {
    }
    void Append(std::string_view text)
    {
        m_text.append(text);
        if (m_text.size() >= (std::size_t { 1 } << 20))
            Flush();
    }
    bool Flush()
    {
        if (m_ok && !m_text.empty())
            m_ok = m_sink(m_text.data(), m_text.size());
        m_text.clear();
        return m_ok;
    }

private:
    const FileSink& m_sink;
    std::string m_text;
    bool m_ok = true;
};

// The same guarantees for contents made while they are written, so that a large file
// never has to be held in memory: they go straight into the temporary file. A stop or a
// failure at any point leaves the target as it was. Devices and FIFOs, which have nothing
// to replace, get whatever was produced up to a stop.
bool WriteFileSafely(
    const std::string& path, const FileProducer& produce, std::string* error = nullptr);

// Reads the whole regular file at `path` into `bytes`. Refuses, without blocking, what is
// not a regular file (FIFO, device, directory, socket), and a file of more than
// `maxBytes`. False, with a reason naming the file, when it cannot.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr,
    std::uint64_t maxBytes = UINT64_MAX);

// The same reading, with the same refusals, one piece (at most 1 MiB) at a time: `piece`
// gets each piece and the size the file had when it was opened. False from `piece` stops
// the reading; the result is then false and `error` untouched.
bool ReadFileInPieces(const std::string& path,
    const std::function<bool(std::string_view piece, std::uint64_t fileSize)>& piece,
    std::string* error = nullptr, std::uint64_t maxBytes = UINT64_MAX);
