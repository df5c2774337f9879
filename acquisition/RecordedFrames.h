// Walks the frames of a saved recording one at a time through the image library's file reader,
// as the file sequence loads them: the pages of a multi-frame file, or the numbered series of
// single-image files that starts at the chosen file. Each frame's record comes from its
// attribute 5 or, for a BMP series, from the sidecar beside the first file.
#pragma once

#include "acquisition/FrameRecord.h"
#include "acquisition/SeriesName.h"

#include <cstdint>
#include <string>
#include <vector>

class CLumoImage;
class CLumoInstance;
class CLumoModule;

class RecordedFrames {
public:
    // What Next returns when there is no further frame.
    static constexpr uint32_t END = 1;

    // Frames are read into `image` by `reader`; both outlive this object.
    RecordedFrames(CLumoModule& reader, CLumoImage& image);
    ~RecordedFrames();
    RecordedFrames(const RecordedFrames&) = delete;
    RecordedFrames& operator=(const RecordedFrames&) = delete;

    // Starts at `file`; 0 or the reader's code.
    [[nodiscard]] uint32_t Open(const std::string& file);
    // Reads the next frame into the image: 0, END, or the reader's code.
    [[nodiscard]] uint32_t Next();
    // The frame just read: its position from 0 and its file.
    uint64_t Position() const { return m_next - 1; }
    const std::string& FileName() const { return m_name; }
    // Its record; false when it has none.
    [[nodiscard]] bool Record(framerecord::FrameRecord& out) const;

private:
    CLumoModule& m_reader;
    CLumoImage& m_image;
    std::string m_first;
    std::string m_name;
    uint64_t m_frames = 0; // of a multi-frame file; 0 for a series
    uint64_t m_next = 0;
    seriesname::CounterField m_counter;
    uint64_t m_startNumber = 0;
    bool m_hasSidecar = false;
    framerecord::RecordingInfo m_sidecarRecording;
    std::vector<framerecord::FrameEntry> m_sidecar;
};

// The file a save to `name` with file type `type` wrote first: `name` itself for the
// multi-page type and the video types, the first numbered file for the others.
std::string FirstWrittenFile(const std::string& name, uint64_t type);
