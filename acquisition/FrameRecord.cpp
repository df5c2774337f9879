#include "acquisition/FrameRecord.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <zlib.h>

namespace framerecord {

namespace {

using Json = nlohmann::ordered_json;

// The deepest nesting a record or a sidecar has (root, list of frames, frame).
constexpr int MAX_DEPTH = 3;
constexpr size_t MAX_SIDECAR_FRAMES = 16u * 1024 * 1024;

// True when the brackets of `text` never nest deeper than MAX_DEPTH (strings skipped). Checked
// before parsing, so that no hostile text makes the parser build a deep tree.
bool NestingBounded(std::string_view text) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > MAX_DEPTH)
                return false;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return true;
}

bool ParseBounded(std::string_view text, size_t limit, Json& out) {
    if (text.size() > limit || !NestingBounded(text))
        return false;
    out = Json::parse(text.begin(), text.end(), nullptr, false);
    return !out.is_discarded();
}

// `value` is an object with exactly these keys.
bool HasExactly(const Json& value, std::initializer_list<const char*> keys) {
    if (!value.is_object() || value.size() != keys.size())
        return false;
    for (const char* key : keys)
        if (!value.contains(key))
            return false;
    return true;
}

bool ReadUnsigned(const Json& value, uint64_t limit, uint64_t& out) {
    if (!value.is_number_unsigned())
        return false;
    out = value.get<uint64_t>();
    return out <= limit;
}

bool ReadText(const Json& value, size_t limit, std::string& out) {
    if (!value.is_string())
        return false;
    out = value.get<std::string>();
    return out.size() <= limit;
}

// Hex digits text[from..] (lower case for the CRC, upper case for the format word, as they
// are written) into `out`; false for any other character or an empty run.
bool ParseHexDigits(const std::string& text, size_t from, bool upper, uint64_t& out) {
    const char letter = upper ? 'A' : 'a';
    uint64_t result = 0;
    for (size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'             ? c - '0'
                          : c >= letter && c <= letter + 5 ? c - letter + 10
                                                           : -1;
        if (digit < 0)
            return false;
        result = (result << 4) | static_cast<uint64_t>(digit);
    }
    out = result;
    return text.size() > from;
}

bool ReadHex32(const Json& value, uint32_t& out) {
    std::string text;
    uint64_t result = 0;
    if (!ReadText(value, 8, text) || text.size() != 8 || !ParseHexDigits(text, 0, false, result))
        return false;
    out = static_cast<uint32_t>(result);
    return true;
}

bool ReadFormat(const Json& value, uint64_t& out) {
    std::string text;
    return ReadText(value, 18, text) && text.size() >= 3 && text.compare(0, 2, "0x") == 0 &&
           ParseHexDigits(text, 2, true, out);
}

bool ReadRate(const Json& value, double& out) {
    if (value.is_null()) { // a rate that was not finite
        out = 0.0;
        return true;
    }
    if (!value.is_number())
        return false;
    out = value.get<double>();
    return std::isfinite(out); // 1e999 reads as infinity, which the text cannot say
}

Json RateJson(double rate) {
    return std::isfinite(rate) ? Json(rate) : Json(nullptr);
}

Json FrameJson(const FrameEntry& frame) {
    Json out = Json::object();
    out["index"] = frame.index;
    out["tag"] = frame.tag ? Json(*frame.tag) : Json(nullptr);
    out["lost"] = frame.lost;
    out["crc32"] = CrcText(frame.crc32);
    return out;
}

bool ParseFrame(const Json& value, FrameEntry& out) {
    if (!HasExactly(value, {"index", "tag", "lost", "crc32"}))
        return false;
    const Json& tag = value["tag"];
    uint64_t number = 0;
    if (tag.is_null())
        out.tag.reset();
    else if (ReadUnsigned(tag, UINT32_MAX, number))
        out.tag = static_cast<uint32_t>(number);
    else
        return false;
    if (!value["lost"].is_boolean())
        return false;
    out.lost = value["lost"].get<bool>();
    return ReadUnsigned(value["index"], std::numeric_limits<uint64_t>::max(), out.index) &&
           ReadHex32(value["crc32"], out.crc32);
}

Json RecordingJson(const RecordingInfo& recording) {
    Json out = Json::object();
    out["camera"] = recording.camera;
    out["format"] = FormatText(recording.format);
    out["width"] = recording.width;
    out["height"] = recording.height;
    out["nominal_fps"] = RateJson(recording.nominalFps);
    out["measured_fps"] = RateJson(recording.measuredFps);
    out["start_utc"] = recording.startUtc.empty() ? Json(nullptr) : Json(recording.startUtc);
    out["buffers"] = recording.buffers;
    out["frames"] = recording.frames;
    Json lost = Json::array();
    for (const int64_t count : recording.lost)
        lost.push_back(count >= 0 ? Json(count) : Json(nullptr));
    out["lost"] = std::move(lost);
    out["trigger_index"] = recording.triggerIndex ? Json(*recording.triggerIndex) : Json(nullptr);
    return out;
}

bool ParseLost(const Json& value, std::vector<int64_t>& out) {
    if (!value.is_array() || value.size() > MAX_CHANNELS)
        return false;
    out.clear();
    for (const Json& entry : value) {
        uint64_t count = 0;
        if (entry.is_null())
            out.push_back(-1);
        else if (ReadUnsigned(entry, INT64_MAX, count))
            out.push_back(static_cast<int64_t>(count));
        else
            return false;
    }
    return true;
}

bool ParseRecording(const Json& value, RecordingInfo& out) {
    if (!HasExactly(value, {"camera", "format", "width", "height", "nominal_fps", "measured_fps",
                            "start_utc", "buffers", "frames", "lost", "trigger_index"}))
        return false;
    uint64_t width = 0;
    uint64_t height = 0;
    if (!ReadText(value["camera"], MAX_NAME, out.camera) ||
        !ReadFormat(value["format"], out.format) ||
        !ReadUnsigned(value["width"], UINT32_MAX, width) ||
        !ReadUnsigned(value["height"], UINT32_MAX, height) ||
        !ReadRate(value["nominal_fps"], out.nominalFps) ||
        !ReadRate(value["measured_fps"], out.measuredFps) ||
        !ReadUnsigned(value["buffers"], UINT64_MAX, out.buffers) ||
        !ReadUnsigned(value["frames"], UINT64_MAX, out.frames) ||
        !ParseLost(value["lost"], out.lost))
        return false;
    out.width = static_cast<uint32_t>(width);
    out.height = static_cast<uint32_t>(height);
    const Json& start = value["start_utc"];
    if (start.is_null())
        out.startUtc.clear();
    else if (!ReadText(start, 64, out.startUtc))
        return false;
    const Json& trigger = value["trigger_index"];
    uint64_t index = 0;
    if (trigger.is_null())
        out.triggerIndex.reset();
    else if (ReadUnsigned(trigger, UINT64_MAX, index))
        out.triggerIndex = index;
    else
        return false;
    return true;
}

bool IsVersion(const Json& value) {
    return value.is_number_unsigned() && value.get<uint64_t>() == VERSION;
}

std::string Dump(const Json& value) {
    // Camera names come from configuration: bad UTF-8 is replaced, never thrown about. Plain
    // ASCII (\u escapes), as TIFF ASCII fields and PNG tEXt chunks want it.
    return value.dump(-1, ' ', true, Json::error_handler_t::replace);
}

} // namespace

std::string ToText(const FrameRecord& record) {
    Json out = Json::object();
    out["kavrin_record"] = VERSION;
    out["frame"] = FrameJson(record.frame);
    out["recording"] = RecordingJson(record.recording);
    return Dump(out);
}

bool Parse(std::string_view text, FrameRecord& out) {
    Json value;
    if (!ParseBounded(text, MAX_RECORD_TEXT, value) ||
        !HasExactly(value, {"kavrin_record", "frame", "recording"}) ||
        !IsVersion(value["kavrin_record"]))
        return false;
    return ParseFrame(value["frame"], out.frame) &&
           ParseRecording(value["recording"], out.recording);
}

std::string SidecarText(const RecordingInfo& recording, const std::vector<FrameEntry>& frames) {
    Json out = Json::object();
    out["kavrin_record"] = VERSION;
    out["recording"] = RecordingJson(recording);
    Json list = Json::array();
    for (const FrameEntry& frame : frames)
        list.push_back(FrameJson(frame));
    out["frames"] = std::move(list);
    return Dump(out);
}

bool ParseSidecar(std::string_view text, RecordingInfo& recording,
                  std::vector<FrameEntry>& frames) {
    Json value;
    if (!ParseBounded(text, MAX_SIDECAR_TEXT, value) ||
        !HasExactly(value, {"kavrin_record", "recording", "frames"}) ||
        !IsVersion(value["kavrin_record"]) || !ParseRecording(value["recording"], recording))
        return false;
    const Json& list = value["frames"];
    if (!list.is_array() || list.size() > MAX_SIDECAR_FRAMES)
        return false;
    frames.clear();
    frames.reserve(list.size());
    for (const Json& entry : list) {
        FrameEntry frame;
        if (!ParseFrame(entry, frame) || frame.index != frames.size())
            return false;
        frames.push_back(frame);
    }
    return true;
}

bool ReadSidecar(const std::string& firstFile, RecordingInfo& recording,
                 std::vector<FrameEntry>& frames) {
    std::ifstream in(firstFile + SIDECAR_SUFFIX, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
        if (text.size() > MAX_SIDECAR_TEXT)
            return false;
    }
    return ParseSidecar(text, recording, frames);
}

bool WriteSidecar(const std::string& firstFile, const RecordingInfo& recording,
                  const std::vector<FrameEntry>& frames) {
    const std::string path = firstFile + SIDECAR_SUFFIX;
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << SidecarText(recording, frames) << '\n';
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

uint32_t PixelCrc(const void* data, uint64_t bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const Bytef* p = static_cast<const Bytef*>(data);
    while (bytes > 0) {
        const uInt chunk = bytes > (1u << 30) ? (1u << 30) : static_cast<uInt>(bytes);
        crc = crc32(crc, p, chunk);
        p += chunk;
        bytes -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

std::string CrcText(uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08" PRIx32, crc);
    return text;
}

std::string UtcText(int64_t unixSeconds) {
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
    if (!gmtime_r(&seconds, &utc))
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string FormatText(uint64_t format) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(format));
    return text;
}

} // namespace framerecord
