// How much memory the frames of one loaded sequence may take: a share of the memory the
// machine has available, checked before the frames are allocated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace framememory {

// The share, in per cent, of the available memory one sequence may take.
inline constexpr uint64_t SHARE_PERCENT = 75;

// Available memory in bytes: KAVRIN_MEM_AVAILABLE (a number of bytes; lets tests stand in a
// small machine) when it is set to one, else MemAvailable of /proc/meminfo. Empty when unknown.
std::optional<uint64_t> AvailableBytes();

// Empty when `frames` frames of `frameBytes` bytes each (whole 4 KiB pages) fit into the share
// of `available` bytes (no figure: they fit); else why not, e.g. "the 6000 frames need
// 22.4 GiB; a sequence may take at most 75 % of the 20.1 GiB of available memory".
std::string CheckFrames(uint64_t frames, uint64_t frameBytes, std::optional<uint64_t> available);

// "512 bytes", "3.5 KiB", "22.4 GiB".
std::string SizeText(uint64_t bytes);

} // namespace framememory
