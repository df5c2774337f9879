#include "cli/FrameList.h"

#include "acquisition/RecordedFrames.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonText.h"
#include "external/LumoFileModules.h"
#include "external/LumoPtr.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

namespace cli {

namespace {

using Json = nlohmann::ordered_json;

// One frame as listed: its position and its record, when it has one.
struct Listed {
    uint64_t position = 0;
    std::optional<framerecord::FrameEntry> entry;
};

std::string Channels(const std::vector<int64_t>& lost) {
    std::string text;
    for (size_t i = 0; i < lost.size(); ++i)
        text += (i ? "/" : "") + (lost[i] < 0 ? std::string("-") : std::to_string(lost[i]));
    return text.empty() ? "-" : text;
}

void PrintText(const std::string& file, const std::optional<framerecord::RecordingInfo>& rec,
               const std::vector<Listed>& frames) {
    std::printf("file:         %s\n", file.c_str());
    if (!rec) {
        std::printf("record:       none\n");
    } else {
        std::printf("camera:       %s\n", rec->camera.c_str());
        std::printf("format:       %s, %u x %u\n", framerecord::FormatText(rec->format).c_str(),
                    rec->width, rec->height);
        std::printf("frame rate:   %.2f nominal, %.2f measured\n", rec->nominalFps,
                    rec->measuredFps);
        std::printf("start:        %s\n", rec->startUtc.empty() ? "-" : rec->startUtc.c_str());
        std::printf("buffers:      %llu\n", static_cast<unsigned long long>(rec->buffers));
        std::printf("frames:       %llu\n", static_cast<unsigned long long>(rec->frames));
        std::printf("lost:         %s\n", Channels(rec->lost).c_str());
        std::printf("trigger:      %s\n",
                    rec->triggerIndex ? std::to_string(*rec->triggerIndex).c_str() : "-");
    }
    std::printf("index  tag         lost  crc32\n");
    for (const Listed& frame : frames) {
        if (!frame.entry) {
            std::printf("%-6llu (no record)\n", static_cast<unsigned long long>(frame.position));
            continue;
        }
        const framerecord::FrameEntry& e = *frame.entry;
        std::printf("%-6llu %-11s %-5s %s\n", static_cast<unsigned long long>(frame.position),
                    e.tag ? std::to_string(*e.tag).c_str() : "-", e.lost ? "yes" : "no",
                    framerecord::CrcText(e.crc32).c_str());
    }
}

void PrintJson(const std::string& file, const std::optional<framerecord::RecordingInfo>& rec,
               const std::vector<Listed>& frames) {
    std::vector<framerecord::FrameEntry> entries;
    for (const Listed& frame : frames)
        entries.push_back(frame.entry.value_or(framerecord::FrameEntry{}));
    // The record's own text gives the field names and forms; frames without a record are null.
    Json record =
        Json::parse(framerecord::SidecarText(rec.value_or(framerecord::RecordingInfo{}), entries),
                    nullptr, false);
    if (record.is_discarded())
        record = Json::object();
    Json list = Json::array();
    for (size_t i = 0; i < frames.size(); ++i)
        list.push_back(frames[i].entry ? record["frames"][i] : Json{{"index", frames[i].position}});
    const Json out = {{"file", file},
                      {"recording", rec ? record["recording"] : Json(nullptr)},
                      {"frames", std::move(list)}};
    std::printf("%s\n", JsonText(out).c_str());
}

} // namespace

int PrintFrameList(const std::string& file, bool json) {
    RuntimeLibraries libraries;
    if (!LoadImageLibrary(libraries))
        return CLI_FAILED;
    CLumoInstance* lumo = libraries.GetLumoInstance();
    const LumoModulePtr reader = MakeLumoModule(lumo, LUMO_ID_FILE_READER);
    const LumoImagePtr image = MakeLumoImage(lumo);
    if (!reader || !image) {
        Error("info: the image library did not make a file reader");
        return CLI_FAILED;
    }
    // MP4 and AVI keep the first frame's record only, and the reader hands it out with every
    // frame: the later frames have none of their own.
    const uint32_t type = LumoFileTypeForName(file.c_str());
    const bool firstRecordOnly = type == LUMO_FILE_MP4 || type == LUMO_FILE_AVI;
    RecordedFrames walk(*reader, *image);
    uint32_t rc = walk.Open(file);
    std::optional<framerecord::RecordingInfo> recording;
    std::vector<Listed> frames;
    while (rc == 0 && (rc = walk.Next()) == 0) {
        framerecord::FrameRecord record;
        Listed listed{walk.Position(), std::nullopt};
        if (walk.Record(record)) {
            if (!firstRecordOnly || walk.Position() == 0)
                listed.entry = record.frame;
            if (!recording)
                recording = record.recording;
        }
        frames.push_back(listed);
    }
    if (rc != RecordedFrames::END) {
        Error("cannot read " + walk.FileName() + ": " + ResultText(rc));
        return CLI_FAILED;
    }
    if (json)
        PrintJson(file, recording, frames);
    else
        PrintText(file, recording, frames);
    return CLI_OK;
}

} // namespace cli
