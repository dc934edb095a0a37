#pragma once

#include <string>

// Replaces the file at `path` with `bytes` so that a failure never leaves a damaged file:
// the bytes go to a new file beside the target, every write, the flush to disk and the
// close are checked, and only then is the new file renamed over the target. On failure
// the target is untouched, the temporary file is removed and `error` holds the system's
// reason. A new file gets the target's permissions, or the usual ones under the umask.
bool WriteFileSafely(
    const std::string& path, const std::string& bytes, std::string* error = nullptr);

// Reads the whole file into `bytes`. False, with the system's reason, when it cannot.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr);
