// Owning pointers for the FFmpeg objects the video writer and reader hold, and the one place
// that keeps the libraries quiet.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace lumo {

struct AvCodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct AvFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct AvPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsContextFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
// A custom I/O context and the buffer it was given (which FFmpeg may have replaced).
struct AvIoContextFree {
    void operator()(AVIOContext* io) const {
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
// An output context: its streams and metadata; the I/O context is owned elsewhere.
struct AvOutputContextFree {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
// An input context opened by avformat_open_input.
struct AvInputContextClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct AvDictionaryFree {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};

using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextFree>;
using AvIoContextPtr = std::unique_ptr<AVIOContext, AvIoContextFree>;
using AvOutputContextPtr = std::unique_ptr<AVFormatContext, AvOutputContextFree>;
using AvInputContextPtr = std::unique_ptr<AVFormatContext, AvInputContextClose>;

// An option dictionary handed to an FFmpeg call, freed with what the call left in it.
class AvOptions {
public:
    AvOptions() = default;
    ~AvOptions() { av_dict_free(&m_dict); }
    AvOptions(const AvOptions&) = delete;
    AvOptions& operator=(const AvOptions&) = delete;
    void Set(const char* key, const char* value) { av_dict_set(&m_dict, key, value, 0); }
    AVDictionary** Address() { return &m_dict; }

private:
    AVDictionary* m_dict = nullptr;
};

// FFmpeg and x264 print only errors, never progress or notes: a normal save or load leaves
// stderr alone. Called before every file the library opens.
void QuietVideoLibraries();

} // namespace lumo
