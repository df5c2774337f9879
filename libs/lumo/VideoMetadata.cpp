#include "libs/lumo/VideoMetadata.h"

#include "acquisition/FrameRecord.h"
#include "external/LumoFileModules.h"
#include "libs/lumo/FrameRecordText.h"

extern "C" {
#include <libavutil/dict.h>
}

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace lumo {

namespace {

std::string Fps(double fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", fps);
    return text;
}

void Put(AVDictionary** dictionary, const char* key, const std::string& value) {
    if (!value.empty())
        av_dict_set(dictionary, key, value.c_str(), 0);
}

// The value of `key`: its own entry, or its word "key=value" in IKEY (AVI).
std::string Get(const AVDictionary* dictionary, const char* key) {
    if (const AVDictionaryEntry* entry = av_dict_get(dictionary, key, nullptr, 0))
        return entry->value;
    const AVDictionaryEntry* words = av_dict_get(dictionary, "IKEY", nullptr, 0);
    if (!words)
        return {};
    const std::string list = std::string(" ") + words->value + " ";
    const std::string wanted = std::string(" ") + key + "=";
    const size_t at = list.find(wanted);
    if (at == std::string::npos)
        return {};
    const size_t from = at + wanted.size();
    return list.substr(from, list.find(' ', from) - from);
}

} // namespace

VideoMetadata MetadataOf(const ImageFileFrame& first, uint32_t playbackMilliHz) {
    VideoMetadata metadata;
    metadata.format = first.format;
    metadata.originX = first.originX;
    metadata.originY = first.originY;
    metadata.width = first.width;
    metadata.height = first.height;
    for (int i = 0; i < 3; ++i)
        metadata.attributes[i] = first.attributes[i];
    metadata.playbackMilliHz = playbackMilliHz;
    metadata.record = first.record;
    return metadata;
}

void PutVideoMetadata(uint32_t type, const VideoMetadata& metadata, AVDictionary** dictionary) {
    char format[24], origin[24], size[32];
    std::snprintf(format, sizeof format, "0x%08" PRIX64, metadata.format);
    std::snprintf(origin, sizeof origin, "%u,%u", metadata.originX, metadata.originY);
    std::snprintf(size, sizeof size, "%ux%u", metadata.width, metadata.height);
    std::string grab;
    framerecord::FrameRecord record;
    if (!metadata.record.empty() && framerecord::Parse(metadata.record, record))
        grab = Fps(record.recording.measuredFps);
    const std::string playback = Fps(metadata.playbackMilliHz / 1000.0);
    Put(dictionary, "title", metadata.attributes[1]);
    if (type == LUMO_FILE_AVI) {
        Put(dictionary, "artist", metadata.attributes[0]);
        Put(dictionary, "ISRC", metadata.attributes[2]);
        Put(dictionary, "comment", metadata.record);
        std::string words = std::string("kavrin_format=") + format +
                            " kavrin_cfa_origin=" + origin + " kavrin_size=" + size +
                            " kavrin_playback_fps=" + playback;
        if (!grab.empty())
            words += " kavrin_grab_fps=" + grab;
        Put(dictionary, "IKEY", words);
        return;
    }
    Put(dictionary, "kavrin_format", format);
    Put(dictionary, "kavrin_cfa_origin", origin);
    Put(dictionary, "kavrin_size", size);
    Put(dictionary, "kavrin_maker", metadata.attributes[0]);
    Put(dictionary, "kavrin_sequence", metadata.attributes[1]);
    Put(dictionary, "kavrin_program", metadata.attributes[2]);
    Put(dictionary, "kavrin_playback_fps", playback);
    Put(dictionary, "kavrin_grab_fps", grab);
    Put(dictionary, "kavrin_record", metadata.record);
}

VideoMetadata ReadVideoMetadata(const AVDictionary* dictionary) {
    VideoMetadata metadata;
    unsigned long long format = 0;
    if (std::sscanf(Get(dictionary, "kavrin_format").c_str(), "0x%llx", &format) == 1 &&
        format <= UINT32_MAX)
        metadata.format = format;
    unsigned x = 0, y = 0;
    if (std::sscanf(Get(dictionary, "kavrin_cfa_origin").c_str(), "%u,%u", &x, &y) == 2 && x <= 1 &&
        y <= 1) {
        metadata.originX = x;
        metadata.originY = y;
    }
    unsigned w = 0, h = 0;
    if (std::sscanf(Get(dictionary, "kavrin_size").c_str(), "%ux%u", &w, &h) == 2) {
        metadata.width = w;
        metadata.height = h;
    }
    const bool avi = av_dict_get(dictionary, "IKEY", nullptr, 0) != nullptr;
    metadata.attributes[0] = Get(dictionary, avi ? "artist" : "kavrin_maker");
    metadata.attributes[1] = Get(dictionary, avi ? "title" : "kavrin_sequence");
    metadata.attributes[2] = Get(dictionary, avi ? "ISRC" : "kavrin_program");
    const std::string record = Get(dictionary, avi ? "comment" : "kavrin_record");
    metadata.record = RecordOrNothing(record.c_str());
    return metadata;
}

} // namespace lumo
