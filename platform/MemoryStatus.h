// Physical memory figures of the machine (the kernel's /proc/meminfo).
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

// "MemAvailable" in bytes: memory that can be handed out without swapping. Empty when the
// figure cannot be read.
std::optional<uint64_t> MemAvailableBytes();

// Parses the text of /proc/meminfo; empty when it has no valid "MemAvailable:" line.
std::optional<uint64_t> ParseMemAvailable(const char* text, uint64_t length);

} // namespace platform
