// Reads the frames of a video file (Matroska, MP4, AVI with FFV1, H.264 or Motion JPEG)
// through FFmpeg.
//
// The frame count comes from the container's index (Matroska cues, MP4 sample tables, the AVI
// index) when it agrees with the file (every entry inside the file, as many as the stream's
// duration holds); otherwise the video packets are counted. A Matroska file without cues was
// not finished (a killed save leaves its hidden temporary so): its whole frames read, and the
// file reports the damage like a cut TIFF (one more frame, which reads as damaged). Reading
// the frame after the last one read goes on decoding; any other frame seeks to the key frame
// at or before it. FFV1 frames come back exactly, in the format word the metadata names (else
// one made from the pixel format); H.264 and Motion JPEG as 8-bit samples: grey or CFA (luma)
// when the metadata says so, else RGB. Attributes 2-4 come from the metadata, the frame record
// from the record track (Matroska) or, for the other containers, the file's one record.
#pragma once

#include "libs/lumo/FfmpegPtr.h"
#include "libs/lumo/ImageFileFrame.h"
#include "libs/lumo/VideoMetadata.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lumo {

class CVideoReader {
public:
    CVideoReader() = default;
    CVideoReader(const CVideoReader&) = delete;
    CVideoReader& operator=(const CVideoReader&) = delete;

    // Opens `path` and counts its frames. LUMO_E_FILEFORMAT for a container or codec it does
    // not read, LUMO_E_FILEDAMAGED when the container cannot be read at all.
    [[nodiscard]] uint32_t Open(const std::string& path, uint64_t frameLimit);
    void Close();
    bool IsOpen() const { return m_input != nullptr; }
    const std::string& Path() const { return m_path; }
    // Whole frames, plus one when the file is damaged after them.
    uint64_t FrameCount() const { return m_frameCount; }
    // Empty for a whole file; else what is damaged.
    const std::string& Damage() const { return m_damage; }
    [[nodiscard]] uint32_t ReadFrame(uint64_t frame, CImageFileTarget& target);

private:
    struct Entry {
        int64_t timestamp; // what seeking takes, in the stream's time base
        bool key;
    };
    [[nodiscard]] uint32_t OpenDecoder();
    // Takes the index when it agrees with the file; false when it does not.
    [[nodiscard]] bool TakeIndex(int64_t fileSize);
    // Counts the video packets from the start (bounded by the file's size).
    void CountPackets(int64_t fileSize);
    // Positions the decoder so that its next frame is `frame`.
    [[nodiscard]] bool SeekTo(uint64_t frame);
    // Decodes the next frame into m_frame; false at the end or on damage.
    [[nodiscard]] bool DecodeNext();
    // The record of the frame at `pts` (video time base), from the record track or the file's.
    std::string RecordAt(int64_t pts);
    [[nodiscard]] uint32_t Deliver(CImageFileTarget& target);

    std::string m_path;
    uint64_t m_frameLimit = 0;
    int64_t m_fileSize = 0;
    AvInputContextPtr m_input;
    AvCodecContextPtr m_codec;
    AvFramePtr m_frame;
    AvPacketPtr m_packet;
    SwsContextPtr m_sws;
    int m_video = -1;
    int m_records = -1;
    VideoMetadata m_metadata;
    std::vector<Entry> m_entries; // video packets in decoding order
    uint64_t m_frameCount = 0;
    uint64_t m_whole = 0;
    std::string m_damage;
    uint64_t m_next = UINT64_MAX; // the frame the decoder gives next; UINT64_MAX: not known
    bool m_bDrained = false;      // the decoder was told the packets ended
    std::map<int64_t, std::string> m_recordTexts; // record track packets read, by time
};

} // namespace lumo
