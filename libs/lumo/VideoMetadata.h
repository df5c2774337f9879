// What a video file keeps about its frames in the container's global metadata.
//
// Matroska and MP4 take own keys: kavrin_format (the image format word, "0x01001208"),
// kavrin_cfa_origin ("x,y"), kavrin_size ("WxH", the frames' size before 4:2:0 padding),
// kavrin_maker, kavrin_sequence, kavrin_program (attributes 2, 3, 4; the sequence is also the
// title), kavrin_playback_fps, kavrin_grab_fps (the first frame's recording.measured_fps) and
// kavrin_record (the first frame's whole record). AVI keeps RIFF INFO only: INAM (title) the
// sequence, IART (artist) the maker, ISRC the program, ICMT (comment) the record, and IKEY the
// remaining keys as "key=value" words.
#pragma once

#include "libs/lumo/ImageFileFrame.h"

#include <cstdint>
#include <string>

struct AVDictionary;

namespace lumo {

struct VideoMetadata {
    uint64_t format = 0;
    uint32_t originX = 0;
    uint32_t originY = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::string attributes[3]; // 2, 3, 4
    uint32_t playbackMilliHz = 0;
    std::string record; // the first frame's
};

// The metadata of a file whose first frame is `first`.
VideoMetadata MetadataOf(const ImageFileFrame& first, uint32_t playbackMilliHz);
// Puts `metadata` into `dictionary` in the keys file type `type` keeps.
void PutVideoMetadata(uint32_t type, const VideoMetadata& metadata, AVDictionary** dictionary);
// Reads what a file's metadata gives; fields not found stay 0 / empty.
VideoMetadata ReadVideoMetadata(const AVDictionary* dictionary);

} // namespace lumo
