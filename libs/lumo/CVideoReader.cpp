#include "libs/lumo/CVideoReader.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/FrameRecordText.h"
#include "libs/lumo/VideoFrames.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <sys/stat.h>

namespace lumo {

namespace {

// Record texts kept around the frame being read (the track may run ahead of the video).
constexpr size_t RECORDS_KEPT = 64;

bool ReadsCodec(AVCodecID id) {
    return id == AV_CODEC_ID_FFV1 || id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_MJPEG;
}

bool IsRecordTrack(const AVStream& stream) {
    const AVDictionaryEntry* title = av_dict_get(stream.metadata, "title", nullptr, 0);
    return stream.codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE && title &&
           std::string(title->value) == "kavrin_record";
}

} // namespace

void CVideoReader::Close() {
    m_sws.reset();
    m_packet.reset();
    m_frame.reset();
    m_codec.reset();
    m_input.reset();
    m_path.clear();
    m_entries.clear();
    m_recordTexts.clear();
    m_frameCount = m_whole = 0;
    m_damage.clear();
    m_next = UINT64_MAX;
    m_bDrained = false;
    m_video = m_records = -1;
}

uint32_t CVideoReader::Open(const std::string& path, uint64_t frameLimit) {
    Close();
    QuietVideoLibraries();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return LUMO_E_FILEREAD;
    AvOptions options;
    // Only the containers the writer makes, only from the file named (no other protocols).
    options.Set("format_whitelist", "matroska,mov,avi");
    options.Set("protocol_whitelist", "file");
    AVFormatContext* context = nullptr;
    const std::string url = "file:" + path;
    if (avformat_open_input(&context, url.c_str(), nullptr, options.Address()) < 0)
        return LUMO_E_FILEDAMAGED; // recognised by its first bytes, yet unreadable
    m_input.reset(context);
    m_path = path;
    m_frameLimit = frameLimit;
    m_fileSize = info.st_size;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream& stream = *context->streams[i];
        if (m_video < 0 && stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            m_video = static_cast<int>(i);
        else if (m_records < 0 && IsRecordTrack(stream))
            m_records = static_cast<int>(i);
    }
    if (m_video < 0 || !ReadsCodec(context->streams[m_video]->codecpar->codec_id)) {
        Close();
        return LUMO_E_FILEFORMAT;
    }
    if (const uint32_t rc = OpenDecoder(); rc != LUMO_OK) {
        Close();
        return rc;
    }
    m_metadata = ReadVideoMetadata(context->metadata);
    // Matroska reads its cues (at the file's end) only for the first seek.
    if (std::string(context->iformat->name).rfind("matroska", 0) == 0 &&
        av_seek_frame(context, m_video, 0, AVSEEK_FLAG_BACKWARD) < 0) {
        Close();
        return LUMO_E_FILEDAMAGED;
    }
    if (TakeIndex(m_fileSize))
        m_next = 0; // the demuxer stands at the first packet
    else
        CountPackets(m_fileSize);
    m_frameCount = m_whole + (m_damage.empty() ? 0 : 1);
    return LUMO_OK;
}

uint32_t CVideoReader::OpenDecoder() {
    const AVCodecParameters& parameters = *m_input->streams[m_video]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
    m_codec.reset(decoder ? avcodec_alloc_context3(decoder) : nullptr);
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_codec || !m_frame || !m_packet)
        return LUMO_E_OUTOFMEMORY;
    if (avcodec_parameters_to_context(m_codec.get(), &parameters) < 0)
        return LUMO_E_FILEFORMAT;
    m_codec->thread_count = 2;
    // A slice whose CRC does not match fails the frame instead of being concealed.
    m_codec->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
    m_codec->pkt_timebase = m_input->streams[m_video]->time_base;
    if (avcodec_open2(m_codec.get(), decoder, nullptr) < 0)
        return LUMO_E_FILEFORMAT;
    // Every pixel takes a byte at least: the decoder refuses frames the limit cannot hold
    // before it allocates them (set after opening, which would refuse the file as a whole).
    m_codec->max_pixels = static_cast<int64_t>(std::min<uint64_t>(m_frameLimit, INT_MAX));
    return LUMO_OK;
}

bool CVideoReader::TakeIndex(int64_t fileSize) {
    AVStream* stream = m_input->streams[m_video];
    const int count = avformat_index_get_entries_count(stream);
    if (count <= 0)
        return false;
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (!entry || entry->pos < 0 || entry->pos + entry->size > fileSize)
            return false;
        entries.push_back({entry->timestamp, (entry->flags & AVINDEX_KEYFRAME) != 0});
    }
    if (!entries.front().key)
        return false;
    // The index holds every frame the stream's own count or its duration gives (an unfinished
    // Matroska file has neither; its index is what the demuxer met so far).
    if (stream->nb_frames > 0)
        if (stream->nb_frames != count)
            return false;
    const AVRational rate = stream->avg_frame_rate;
    if (stream->nb_frames <= 0) {
        if (m_input->duration <= 0 || rate.num <= 0 || rate.den <= 0)
            return false;
        const double frames = static_cast<double>(m_input->duration) * av_q2d(rate) / AV_TIME_BASE;
        if (std::fabs(frames - count) > 1.0)
            return false;
    }
    m_entries = std::move(entries);
    m_whole = m_entries.size();
    return true;
}

void CVideoReader::CountPackets(int64_t fileSize) {
    m_entries.clear();
    // Every packet takes bytes of the file: no more packets than bytes.
    for (int64_t n = 0; n <= fileSize; ++n) {
        const int rc = av_read_frame(m_input.get(), m_packet.get());
        if (rc < 0)
            break;
        if (m_packet->stream_index == m_video && m_packet->size > 0 &&
            !(m_packet->flags & AV_PKT_FLAG_CORRUPT)) {
            const int64_t ts = m_packet->dts != AV_NOPTS_VALUE ? m_packet->dts : m_packet->pts;
            m_entries.push_back({ts, (m_packet->flags & AV_PKT_FLAG_KEY) != 0});
        }
        av_packet_unref(m_packet.get());
    }
    m_whole = m_entries.size();
    // Only a file that was not finished lacks its index.
    m_damage = "frame " + std::to_string(m_whole) +
               ": the file ends before it (the file was not finished)";
    m_next = UINT64_MAX;
}

bool CVideoReader::SeekTo(uint64_t frame) {
    uint64_t key = frame;
    while (key > 0 && !m_entries[key].key)
        --key;
    if (av_seek_frame(m_input.get(), m_video, m_entries[key].timestamp, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_codec.get());
    m_bDrained = false;
    m_recordTexts.clear();
    m_next = key;
    return true;
}

bool CVideoReader::DecodeNext() {
    // Bounded: each turn reads a packet, and no more packets than bytes are in the file.
    for (int64_t turn = 0; turn <= m_fileSize + 2; ++turn) {
        const int got = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (got == 0)
            return m_frame->decode_error_flags == 0 && !(m_frame->flags & AV_FRAME_FLAG_CORRUPT);
        if (got != AVERROR(EAGAIN) || m_bDrained)
            return false;
        const int rc = av_read_frame(m_input.get(), m_packet.get());
        if (rc < 0) {
            m_bDrained = true;
            if (avcodec_send_packet(m_codec.get(), nullptr) < 0)
                return false;
            continue;
        }
        if (m_packet->stream_index == m_records && m_packet->pts != AV_NOPTS_VALUE) {
            const int64_t at = av_rescale_q(m_packet->pts, m_input->streams[m_records]->time_base,
                                            m_input->streams[m_video]->time_base);
            m_recordTexts[at].assign(reinterpret_cast<const char*>(m_packet->data),
                                     static_cast<size_t>(m_packet->size));
            if (m_recordTexts.size() > RECORDS_KEPT)
                m_recordTexts.erase(m_recordTexts.begin());
        }
        const bool video = m_packet->stream_index == m_video;
        const int sent = video ? avcodec_send_packet(m_codec.get(), m_packet.get()) : 0;
        av_packet_unref(m_packet.get());
        if (sent < 0)
            return false;
    }
    return false;
}

std::string CVideoReader::RecordAt(int64_t pts) {
    if (m_records < 0)
        return m_metadata.record;
    const auto found = m_recordTexts.find(pts);
    return found == m_recordTexts.end() ? std::string() : RecordOrNothing(found->second.c_str());
}

uint32_t CVideoReader::Deliver(CImageFileTarget& target) {
    const AVFrame& decoded = *m_frame;
    ImageFileFrame frame;
    frame.format = DecodedFormat(static_cast<AVPixelFormat>(decoded.format), m_metadata.format);
    if (frame.format == 0)
        return LUMO_E_FILEFORMAT;
    // The size before 4:2:0 padding, when the metadata's fits the decoded frame.
    const auto w = static_cast<uint32_t>(decoded.width);
    const auto h = static_cast<uint32_t>(decoded.height);
    const bool padded = m_metadata.width > 0 && m_metadata.height > 0 && m_metadata.width <= w &&
                        m_metadata.width + 1 >= w && m_metadata.height <= h &&
                        m_metadata.height + 1 >= h;
    frame.width = padded ? m_metadata.width : w;
    frame.height = padded ? m_metadata.height : h;
    if (frame.width == 0 || frame.height == 0)
        return LUMO_E_FILEDAMAGED;
    const uint32_t cls = ImageFormat::ImageClass(frame.format);
    if (cls == ImageFormat::CLASS_CFA || cls == ImageFormat::CLASS_CFA_ALT) {
        frame.originX = m_metadata.originX;
        frame.originY = m_metadata.originY;
    }
    for (int i = 0; i < 3; ++i)
        frame.attributes[i] = m_metadata.attributes[i];
    const int64_t pts = decoded.best_effort_timestamp != AV_NOPTS_VALUE
                            ? decoded.best_effort_timestamp
                            : decoded.pts;
    frame.record = RecordAt(pts);
    const uint64_t bytes = FrameBytes(frame);
    if (bytes == 0 || bytes > m_frameLimit)
        return LUMO_E_OUTOFMEMORY;
    uint32_t result = LUMO_OK;
    uint8_t* pixels = target.Prepare(frame, result);
    if (!pixels)
        return result != LUMO_OK ? result : LUMO_E_OUTOFMEMORY;
    return TakeVideoFrame(decoded, frame, pixels, m_sws) ? LUMO_OK : LUMO_E_OUTOFMEMORY;
}

uint32_t CVideoReader::ReadFrame(uint64_t frame, CImageFileTarget& target) {
    if (!IsOpen() || frame >= m_frameCount)
        return LUMO_E_INVALIDARG;
    if (frame >= m_whole)
        return LUMO_E_FILEDAMAGED;
    const AVCodecParameters& parameters = *m_input->streams[m_video]->codecpar;
    if (static_cast<uint64_t>(std::max(parameters.width, 0)) *
            static_cast<uint64_t>(std::max(parameters.height, 0)) >
        m_frameLimit)
        return LUMO_E_OUTOFMEMORY;
    if (frame != m_next && !SeekTo(frame))
        return LUMO_E_FILEDAMAGED;
    // Bounded: the decoder gives frames from the key frame on, at most every frame of the file.
    while (m_next <= frame) {
        if (!DecodeNext()) {
            m_next = UINT64_MAX; // the decoder's place is not known any more
            return LUMO_E_FILEDAMAGED;
        }
        ++m_next;
    }
    return Deliver(target);
}

} // namespace lumo
