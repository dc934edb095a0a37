#pragma once

#include <cstdint>
#include <string>

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

// Reads the whole regular file at `path` into `bytes`. Refuses, without blocking, what is
// not a regular file (FIFO, device, directory, socket), and a file of more than
// `maxBytes`. False, with a reason naming the file, when it cannot.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr,
    std::uint64_t maxBytes = UINT64_MAX);
