// Reading a whole file, and replacing a file so that readers see either the old or the new
// content, never a mixture, and a failure leaves the old file as it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole file into `out`. Missing: there is no such file (`out` empty). Failed: it
// cannot be opened or read, is not a regular file, or is larger than `maxBytes`.
ReadStatus ReadWholeFile(const std::string& path, std::string& out, size_t maxBytes);

// Writes `bytes` to a new temporary file in the same folder, flushes it to the disk, gives it
// the permission bits of the file it replaces (when there is one) and renames it over `path`.
// On any failure the temporary file is removed, `path` is left untouched and the result is
// false.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

} // namespace platform
