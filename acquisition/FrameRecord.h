// The frame record: what a saved recording keeps about each of its frames and about the
// recording as a whole, so that a file read back later still knows which frames were lost,
// which tag each frame carried and whether its pixels are still the ones that were written.
//
// Every saved frame carries one self-contained JSON object (image attribute 5, LUMO_ATTR_RECORD;
// TIFF ImageDescription, PNG text chunk "kavrin_record"):
//   {"kavrin_record":1,
//    "frame":{"index":0,"tag":1234,"lost":false,"crc32":"1a2b3c4d"},
//    "recording":{"camera":"...","format":"0x00000000...","width":2320,"height":1726,
//                 "nominal_fps":200.0,"measured_fps":199.8,"start_utc":"2026-12-08T18:00:00Z",
//                 "buffers":50,"frames":200,"lost":[0],"trigger_index":null}}
// A BMP series keeps the recording and all frames in one sidecar "<first file>.kavrin.json":
//   {"kavrin_record":1,"recording":{...},"frames":[{"index":0,...},...]}
//
// Parsing is strict (every field present with its type, nothing else, version 1 only) and
// bounded (text size, nesting, string lengths and list sizes), since the text comes from files.
// No exceptions leave this file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace framerecord {

inline constexpr int VERSION = 1;
// The sidecar of a BMP series: this suffix appended to the first file's name.
inline constexpr const char* SIDECAR_SUFFIX = ".kavrin.json";
// The PNG text chunk's keyword.
inline constexpr const char* PNG_KEYWORD = "kavrin_record";
// Bounds of foreign text.
inline constexpr size_t MAX_RECORD_TEXT = 64 * 1024;
inline constexpr size_t MAX_SIDECAR_TEXT = 256u * 1024 * 1024;
inline constexpr size_t MAX_CHANNELS = 16;
inline constexpr size_t MAX_NAME = 1024;

// One frame of the saved range.
struct FrameEntry {
    uint64_t index = 0;          // position in the saved range
    std::optional<uint32_t> tag; // none: a camera without tags, or an unreadable header
    bool lost = false;           // a gap, written black
    uint32_t crc32 = 0;          // zlib's CRC-32 of the frame's packed pixel rows
    bool operator==(const FrameEntry&) const = default;
};

// The recording the frames belong to.
struct RecordingInfo {
    std::string camera;
    uint64_t format = 0; // image format word
    uint32_t width = 0;
    uint32_t height = 0;
    double nominalFps = 0.0;
    double measuredFps = 0.0;
    std::string startUtc; // ISO 8601 with "Z"; empty when not known
    uint64_t buffers = 0;
    uint64_t frames = 0;                  // frames in the saved range
    std::vector<int64_t> lost;            // per channel; negative: not known (null in the text)
    std::optional<uint64_t> triggerIndex; // in the saved range
    bool operator==(const RecordingInfo&) const = default;
};

struct FrameRecord {
    FrameEntry frame;
    RecordingInfo recording;
    bool operator==(const FrameRecord&) const = default;
};

// The attribute text of one frame.
std::string ToText(const FrameRecord& record);
// False (and `out` unspecified) unless `text` is a version-1 record as ToText writes it.
[[nodiscard]] bool Parse(std::string_view text, FrameRecord& out);

// The sidecar text of a series, and its strict reading (frames in index order 0 .. n - 1).
std::string SidecarText(const RecordingInfo& recording, const std::vector<FrameEntry>& frames);
[[nodiscard]] bool ParseSidecar(std::string_view text, RecordingInfo& recording,
                                std::vector<FrameEntry>& frames);
// Reads and parses the sidecar of `firstFile`; false when there is none or it does not parse.
[[nodiscard]] bool ReadSidecar(const std::string& firstFile, RecordingInfo& recording,
                               std::vector<FrameEntry>& frames);
// Writes it (replacing an older one through a temporary file); false when that fails.
[[nodiscard]] bool WriteSidecar(const std::string& firstFile, const RecordingInfo& recording,
                                const std::vector<FrameEntry>& frames);

// zlib's CRC-32 of `bytes` bytes, and its text form (8 lowercase hex digits).
uint32_t PixelCrc(const void* data, uint64_t bytes);
std::string CrcText(uint32_t crc);
// A time (seconds since 1970, UTC) as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcText(int64_t unixSeconds);
// The format word as the record writes it ("0x%08llX").
std::string FormatText(uint64_t format);

} // namespace framerecord
