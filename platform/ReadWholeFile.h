// Reading a whole file into memory, with a size limit.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole file into `out`. Missing: there is no such file (`out` empty). Failed: it
// cannot be opened or read, is not a regular file, or is larger than `maxBytes`.
[[nodiscard]] ReadStatus ReadWholeFile(const std::string& path, std::string& out, size_t maxBytes);

} // namespace platform
