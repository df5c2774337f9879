#include "libs/lumo/CVideoWriter.h"

#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoResult.h"
#include "libs/lumo/VideoFrames.h"
#include "libs/lumo/VideoMetadata.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {

namespace {

constexpr int IO_BUFFER = 1 << 16;

int WriteCallback(void* opaque, uint8_t* data, int size) {
    return static_cast<CVideoWriter*>(opaque)->WriteBytes(data, size);
}

int64_t SeekCallback(void* opaque, int64_t offset, int whence) {
    return static_cast<CVideoWriter*>(opaque)->Seek(offset, whence);
}

const char* MuxerName(uint32_t type) {
    return type == LUMO_FILE_MP4 ? "mp4" : type == LUMO_FILE_MKV ? "matroska" : "avi";
}

const char* EncoderName(uint32_t type) {
    return type == LUMO_FILE_MP4 ? "libx264" : type == LUMO_FILE_MKV ? "ffv1" : "mjpeg";
}

// The encoder's settings of each type; the header comment says why.
void SetEncoderOptions(uint32_t type, uint32_t quality, const ImageFileFrame& first,
                       AVCodecContext& codec, AvOptions& options) {
    codec.thread_count = 2;
    switch (type) {
    case LUMO_FILE_MP4:
        codec.color_range = AVCOL_RANGE_JPEG;
        codec.colorspace = AVCOL_SPC_SMPTE170M;
        options.Set("preset", CVideoWriter::ENCODER_PRESET);
        options.Set("crf", std::to_string(quality).c_str());
        break;
    case LUMO_FILE_MKV:
        codec.gop_size = 1;
        codec.level = 3;
        codec.thread_type = FF_THREAD_SLICE;
        options.Set("slices", std::to_string(CVideoWriter::SLICES).c_str());
        options.Set("slicecrc", "1");
        options.Set("coder", ImageFormat::ContainerBits(first.format) == 8 ? "rice" : "range_def");
        break;
    default: {
        const int q = std::max(2, static_cast<int>(quality) / 6 + 1);
        codec.color_range = AVCOL_RANGE_JPEG;
        codec.qmin = codec.qmax = q;
        codec.flags |= AV_CODEC_FLAG_QSCALE;
        codec.global_quality = FF_QP2LAMBDA * q;
        break;
    }
    }
}

} // namespace

int CVideoWriter::WriteBytes(const uint8_t* data, int size) {
    int done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(m_file.Descriptor(), data + done,
                                   static_cast<size_t>(size - done), m_position + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_writeErrno = n < 0 ? errno : EIO;
            return AVERROR(m_writeErrno);
        }
        done += static_cast<int>(n);
    }
    m_position += size;
    m_size = std::max(m_size, m_position);
    return size;
}

int64_t CVideoWriter::Seek(int64_t offset, int whence) {
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return m_size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += m_position;
        break;
    case SEEK_END:
        offset += m_size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    m_position = offset;
    return offset;
}

uint32_t CVideoWriter::Failed(int rc) {
    int error = m_writeErrno;
    if (error == 0)
        error = rc < 0 && -rc < 4096 ? -rc : EIO; // FFmpeg's own codes have no errno
    return m_file.Fail(error);
}

uint32_t CVideoWriter::Open(const std::string& path, uint32_t type, uint32_t rateMilliHz,
                            uint32_t quality, const ImageFileFrame& first) {
    Discard();
    if (VideoPixelFormat(type, first.format) == AV_PIX_FMT_NONE || first.width == 0 ||
        first.height == 0)
        return LUMO_E_FILEFORMAT;
    QuietVideoLibraries();
    if (const uint32_t rc = m_file.Create(path); rc != LUMO_OK)
        return rc;
    m_position = m_size = 0;
    m_writeErrno = 0;
    m_frames = 0;
    m_width = first.width;
    m_height = first.height;
    m_formatWord = first.format;
    uint32_t rc = OpenEncoder(type, rateMilliHz, quality, first);
    if (rc == LUMO_OK)
        rc = OpenContainer(type, first, rateMilliHz);
    if (rc != LUMO_OK)
        Discard(); // the failure's text stays
    return rc;
}

uint32_t CVideoWriter::OpenEncoder(uint32_t type, uint32_t rateMilliHz, uint32_t quality,
                                   const ImageFileFrame& first) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(EncoderName(type));
    m_codec.reset(encoder ? avcodec_alloc_context3(encoder) : nullptr);
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_codec || !m_frame || !m_packet)
        return Failed(AVERROR(ENOMEM));
    const AVPixelFormat pixelFormat = VideoPixelFormat(type, first.format);
    AVCodecContext& codec = *m_codec;
    codec.width = static_cast<int>(CodedSize(first.width, pixelFormat));
    codec.height = static_cast<int>(CodedSize(first.height, pixelFormat));
    codec.pix_fmt = pixelFormat;
    av_reduce(&codec.time_base.num, &codec.time_base.den, 1000, rateMilliHz, INT32_MAX);
    av_reduce(&codec.framerate.num, &codec.framerate.den, rateMilliHz, 1000, INT32_MAX);
    const AVOutputFormat* muxer = av_guess_format(MuxerName(type), nullptr, nullptr);
    if (muxer && (muxer->flags & AVFMT_GLOBALHEADER))
        codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AvOptions options;
    SetEncoderOptions(type, quality, first, codec, options);
    if (const int rc = avcodec_open2(&codec, encoder, options.Address()); rc < 0)
        return Failed(rc);
    m_frame->format = pixelFormat;
    m_frame->width = codec.width;
    m_frame->height = codec.height;
    m_frame->color_range = codec.color_range;
    if (const int rc = av_frame_get_buffer(m_frame.get(), 0); rc < 0)
        return Failed(rc);
    return LUMO_OK;
}

uint32_t CVideoWriter::OpenContainer(uint32_t type, const ImageFileFrame& first,
                                     uint32_t rateMilliHz) {
    AVFormatContext* context = nullptr;
    if (const int rc = avformat_alloc_output_context2(&context, nullptr, MuxerName(type), nullptr);
        rc < 0)
        return Failed(rc);
    m_format.reset(context);
    auto* buffer = static_cast<unsigned char*>(av_malloc(IO_BUFFER));
    m_io.reset(buffer ? avio_alloc_context(buffer, IO_BUFFER, 1, this, nullptr, WriteCallback,
                                           SeekCallback)
                      : nullptr);
    if (!m_io) {
        av_free(buffer);
        return Failed(AVERROR(ENOMEM));
    }
    context->pb = m_io.get();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_video = avformat_new_stream(context, nullptr);
    if (!m_video)
        return Failed(AVERROR(ENOMEM));
    if (const int rc = avcodec_parameters_from_context(m_video->codecpar, m_codec.get()); rc < 0)
        return Failed(rc);
    m_video->time_base = m_codec->time_base;
    m_video->avg_frame_rate = m_codec->framerate;
    m_video->disposition = AV_DISPOSITION_DEFAULT;
    AvOptions options;
    if (type == LUMO_FILE_MKV) {
        m_records = avformat_new_stream(context, nullptr);
        if (!m_records)
            return Failed(AVERROR(ENOMEM));
        m_records->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
        m_records->codecpar->codec_id = AV_CODEC_ID_TEXT;
        m_records->time_base = m_codec->time_base;
        m_records->disposition = 0;
        av_dict_set(&m_records->metadata, "title", "kavrin_record", 0);
        options.Set("default_mode", "passthrough");
    }
    if (type == LUMO_FILE_MP4)
        options.Set("movflags", "+use_metadata_tags");
    PutVideoMetadata(type, MetadataOf(first, rateMilliHz), &context->metadata);
    if (const int rc = avformat_write_header(context, options.Address()); rc < 0)
        return Failed(rc);
    return LUMO_OK;
}

int CVideoWriter::WriteRecord(const std::string& record, int64_t pts) {
    if (!m_records || record.empty())
        return 0;
    AvPacketPtr packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(record.size())) < 0)
        return AVERROR(ENOMEM);
    std::copy(record.begin(), record.end(), packet->data);
    packet->stream_index = m_records->index;
    packet->pts = packet->dts = pts;
    packet->duration = 1;
    packet->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet.get(), m_codec->time_base, m_records->time_base);
    return av_write_frame(m_format.get(), packet.get());
}

int CVideoWriter::Encode(AVFrame* frame) {
    int rc = avcodec_send_frame(m_codec.get(), frame);
    while (rc >= 0) {
        rc = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return 0;
        if (rc < 0)
            break;
        m_packet->stream_index = m_video->index;
        av_packet_rescale_ts(m_packet.get(), m_codec->time_base, m_video->time_base);
        rc = av_write_frame(m_format.get(), m_packet.get());
        av_packet_unref(m_packet.get());
    }
    return rc;
}

uint32_t CVideoWriter::Append(const ImageFileFrame& frame) {
    if (!IsOpen())
        return LUMO_E_INVALIDARG;
    if (frame.width != m_width || frame.height != m_height || frame.format != m_formatWord)
        return LUMO_E_FILEFORMAT;
    if (const int rc = av_frame_make_writable(m_frame.get()); rc < 0)
        return Failed(rc);
    if (!FillVideoFrame(frame, *m_frame, m_sws))
        return Failed(AVERROR(ENOMEM));
    const auto pts = static_cast<int64_t>(m_frames);
    m_frame->pts = pts;
    int rc = WriteRecord(frame.record, pts);
    if (rc >= 0)
        rc = Encode(m_frame.get());
    // Each frame reaches the file now: Matroska closes its cluster, the I/O buffer is written.
    if (rc >= 0 && m_records)
        rc = av_write_frame(m_format.get(), nullptr);
    if (rc >= 0) {
        avio_flush(m_io.get());
        rc = m_io->error;
    }
    if (rc < 0)
        return Failed(rc);
    ++m_frames;
    return LUMO_OK;
}

uint32_t CVideoWriter::Close() {
    if (!IsOpen())
        return LUMO_OK;
    int rc = Encode(nullptr);
    if (rc >= 0)
        rc = av_write_trailer(m_format.get());
    if (rc >= 0) {
        avio_flush(m_io.get());
        rc = m_io->error;
    }
    const uint32_t result = rc < 0 ? Failed(rc) : m_file.Commit();
    Discard(); // the file has its name, or is gone with the failure's text kept
    return result;
}

void CVideoWriter::Discard() {
    m_format.reset();
    m_io.reset();
    m_codec.reset();
    m_frame.reset();
    m_packet.reset();
    m_sws.reset();
    m_video = m_records = nullptr;
    m_file.Discard();
}

} // namespace lumo
