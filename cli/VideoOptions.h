// The options the commands that save share for the file types: their names, the video types'
// playback rate (--fps) and quality (--quality), and which types --verify can check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CSequenceBase;

namespace cli {

// "multi-page TIFF", ..., "MKV video (FFV1)"; "unknown" for a number that is no file type.
const char* FileTypeName(uint64_t type);

// The --type choices for a message: "give --type 1 (multi-page TIFF), ... or 7 (...)".
std::string FileTypeChoices();

// --fps and --quality as given; unset ones keep the writer's defaults.
struct VideoOptions {
    std::optional<uint32_t> rate;    // playback rate in millihertz (writer parameter 344)
    std::optional<uint32_t> quality; // 0 .. 51 (writer parameter 345)
};

// Whether `arg` is one of the video options (each takes a value).
bool IsVideoOption(const std::string& arg);

// Reads `value` of the video option `arg` into `options`: --fps a decimal number of frames per
// second from 0.1 to 1000, --quality a whole number from 0 to 51. Empty, or why not.
[[nodiscard]] std::string ParseVideoOption(const std::string& arg, const std::string& value,
                                           VideoOptions& options);

// Empty when the pixels of `file`, of file type `type`, can be checked against their records;
// else why not: MP4 and AVI are lossy.
std::string VerifyRefusal(uint64_t type, const std::string& file);

// Empty when `options` and `verify` fit an output `file` of file type `type`, else why not:
// the video options belong to the video types, and --verify needs a type that keeps the
// frames exactly (VerifyRefusal).
[[nodiscard]] std::string CheckSaveOptions(const VideoOptions& options, bool verify, uint64_t type,
                                           const std::string& file);

// Sets the playback rate and the quality (the defaults where not given) on the sequence's file
// writer when `type` is a video type. Empty when done, else why not.
[[nodiscard]] std::string ApplyVideoOptions(CSequenceBase& sequence, const VideoOptions& options,
                                            uint64_t type);

} // namespace cli
