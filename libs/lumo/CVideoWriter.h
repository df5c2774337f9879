// Writes the video file types (5 MP4/H.264, 6 Matroska/FFV1, 7 AVI/Motion JPEG) frame by frame.
//
// The file is written under a hidden temporary name beside the target (ReplacingFile) through
// an FFmpeg I/O context on its descriptor, with write and seek callbacks, so that a failed write
// keeps the errno ("cannot write NAME: No space left on device") and the muxers can seek back
// to fix their headers. Every frame is encoded, muxed and flushed to the file before Append
// returns (for Matroska a cluster per frame, so that a killed save leaves the frames written so
// far readable). Close drains the encoder, writes the trailer and gives the file its name.
//
// Encoders, tuned to keep up with 2320x1726 8-bit frames on two cores: H.264 (libx264, preset
// ENCODER_PRESET, CRF = quality, full-range 4:2:0), FFV1 version 3 (every frame a key frame,
// slice CRCs, SLICES slices on two threads, Golomb-Rice coder for 8 bits, the range coder for
// 16), Motion JPEG (full-range 4:2:0, fixed quantiser max(2, quality / 6 + 1)).
#pragma once

#include "libs/lumo/FfmpegPtr.h"
#include "libs/lumo/ImageFileFrame.h"
#include "libs/lumo/ReplacingFile.h"

#include <cstdint>
#include <string>

namespace lumo {

class CVideoWriter {
public:
    static constexpr const char* ENCODER_PRESET = "ultrafast";
    static constexpr int SLICES = 4;

    CVideoWriter() = default;
    // Finishes an open file, as deleting the writer module does with every file type.
    ~CVideoWriter() { (void)Close(); } // no one is left to tell how it went
    CVideoWriter(const CVideoWriter&) = delete;
    CVideoWriter& operator=(const CVideoWriter&) = delete;

    // Starts the file of `type` that will replace `path`, for frames shaped like `first`, played
    // at `rateMilliHz`, lossy types at `quality` (0 .. 51). LUMO_E_FILEFORMAT when the type
    // holds no such frames, LUMO_E_FILEWRITE when the file or the encoder cannot be set up.
    [[nodiscard]] uint32_t Open(const std::string& path, uint32_t type, uint32_t rateMilliHz,
                                uint32_t quality, const ImageFileFrame& first);
    // Encodes one frame. LUMO_E_FILEFORMAT (file left as it was) when its size or format differs
    // from the first frame's; LUMO_E_FILEWRITE when the file does not take it.
    [[nodiscard]] uint32_t Append(const ImageFileFrame& frame);
    // Drains the encoder, writes the trailer, flushes the file and gives it its name.
    [[nodiscard]] uint32_t Close();
    // Closes and removes the open file; the target stays as it was.
    void Discard();

    bool IsOpen() const { return m_format != nullptr; }
    uint64_t FrameCount() const { return m_frames; }
    const std::string& LastError() const { return m_file.LastError(); }

    // The I/O callbacks (public for the C callbacks).
    int WriteBytes(const uint8_t* data, int size);
    int64_t Seek(int64_t offset, int whence);

private:
    [[nodiscard]] uint32_t OpenEncoder(uint32_t type, uint32_t rateMilliHz, uint32_t quality,
                                       const ImageFileFrame& first);
    [[nodiscard]] uint32_t OpenContainer(uint32_t type, const ImageFileFrame& first,
                                         uint32_t rateMilliHz);
    // Sends `frame` (null: drain) to the encoder and writes the packets it gives.
    [[nodiscard]] int Encode(AVFrame* frame);
    // Writes the record of the frame at `pts` to the record track (Matroska).
    [[nodiscard]] int WriteRecord(const std::string& record, int64_t pts);
    // Records a failure of FFmpeg call result `rc` and returns LUMO_E_FILEWRITE.
    [[nodiscard]] uint32_t Failed(int rc);

    ReplacingFile m_file;
    AvIoContextPtr m_io;
    AvOutputContextPtr m_format;
    AvCodecContextPtr m_codec;
    AvFramePtr m_frame;
    AvPacketPtr m_packet;
    SwsContextPtr m_sws;
    AVStream* m_video = nullptr;
    AVStream* m_records = nullptr; // Matroska only
    int64_t m_position = 0;        // of the I/O callbacks
    int64_t m_size = 0;
    int m_writeErrno = 0;
    uint64_t m_frames = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint64_t m_formatWord = 0;
};

} // namespace lumo
