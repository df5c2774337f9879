// What the simulated grabber reads from the environment. Every value is user text; parsing is
// bounded and a malformed value falls back to its default.
//   FGSIM_BOARDS  comma-separated "type:serial" pairs (numbers decimal or 0x hex); default two
//                 boards of type 2626 with serials 0x00001001 and 0x00001002; empty = no boards
//   FGSIM_FPS     frames per second, default 200; 0 = frames only through FgSim_Step
//   FGSIM_TAG0    tag of the first frame after the camera's clock starts, default 0
//   FGSIM_DROP    frames the camera skips: "every:N" (frames N-1, 2N-1, ... counted from the
//                 clock's start) or "list:a,b,..." (those tags)
//   FGSIM_NOTAG=1 frames carry no header; FGSIM_NOLOST=1 status 20 is not available;
//   FGSIM_SWAP=1  the grabber on the lower board index receives the right half
//   FGSIM_FAIL    comma-separated entry point names that fail
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fgsim {

// Reads one environment variable; null when unset.
using EnvLookup = std::function<const char*(const char* name)>;

struct SimBoard {
    int32_t type = 0;
    uint32_t serial = 0;
    bool operator==(const SimBoard&) const = default;
};

struct DropRule {
    uint64_t every = 0;         // 0: no periodic drop
    std::vector<uint32_t> tags; // sorted
    // True when the camera skips frame `frame` (counted from the clock's start) with `tag`.
    bool Drops(uint64_t frame, uint32_t tag) const;
};

struct CameraSettings {
    uint32_t fps = 200;
    uint32_t tag0 = 0;
    DropRule drop;
    bool noTag = false;
    bool noLost = false;
    bool swap = false;
};

inline constexpr size_t MAX_BOARDS = 64;
inline constexpr size_t MAX_LIST_ITEMS = 4096;
inline constexpr uint32_t MAX_FPS = 100000;

// A number: decimal, or hexadecimal after "0x"/"0X", no sign, no spaces, at most `max`.
[[nodiscard]] bool ParseNumber(std::string_view text, uint64_t max, uint64_t& value);

// Null text gives the default boards; entries that are not "type:serial" are skipped.
std::vector<SimBoard> ParseBoards(const char* text);
DropRule ParseDrop(const char* text);
// Names separated by commas (surrounding spaces dropped, empty names skipped).
std::vector<std::string> ParseNameList(const char* text);
CameraSettings ParseCameraSettings(const EnvLookup& lookup);

// The process environment.
const char* ReadEnvironment(const char* name);

} // namespace fgsim
