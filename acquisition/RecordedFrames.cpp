#include "acquisition/RecordedFrames.h"

#include "acquisition/CFileSequence.h"
#include "external/LumoFileModules.h"
#include "external/LumoImage.h"
#include "external/LumoModule.h"
#include "external/LumoPtr.h"

#include <charconv>

RecordedFrames::RecordedFrames(CLumoModule& reader, CLumoImage& image)
    : m_reader(reader), m_image(image) {}

RecordedFrames::~RecordedFrames() {
    (void)m_reader.SetImages(1, nullptr); // detaching always succeeds
}

uint32_t RecordedFrames::Open(const std::string& file) {
    m_first = file;
    m_name = file;
    m_next = 0;
    CLumoImage* image = &m_image;
    uint32_t rc = m_reader.SetImages(1, &image);
    if (rc == 0)
        rc = m_reader.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(file.c_str()), 0);
    if (rc != 0)
        return rc;
    const LumoOutputInfo* info = m_reader.GetOutputInfo(0);
    m_frames = info && info->frameCount > 1 ? info->frameCount : 0;
    m_counter = m_frames == 0 ? seriesname::FindCounter(file) : seriesname::CounterField{};
    if (m_counter.width != 0) {
        const char* digits = file.data() + m_counter.start;
        const auto parsed = std::from_chars(digits, digits + m_counter.width, m_startNumber);
        if (parsed.ec != std::errc() || parsed.ptr != digits + m_counter.width)
            m_counter = {};
    }
    m_hasSidecar = m_frames == 0 && framerecord::ReadSidecar(file, m_sidecarRecording, m_sidecar);
    return 0;
}

uint32_t RecordedFrames::Next() {
    if (m_frames != 0) { // a multi-frame file: its pages
        if (m_next >= m_frames)
            return END;
        const uint32_t rc = m_reader.SetParam(LUMO_PARAM_FRAME, m_next, 0);
        if (rc != 0)
            return rc;
    } else if (m_next != 0) { // the series: the next number, until one is missing
        if (m_counter.width == 0 || m_startNumber > UINT64_MAX - m_next)
            return END;
        const std::string text = seriesname::ZeroPadded(m_startNumber + m_next, m_counter.width);
        if (text.size() > m_counter.width)
            return END;
        m_name = m_first;
        m_name.replace(m_counter.start, m_counter.width, text);
        if (const uint32_t rc = m_reader.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(m_name.c_str()), 0);
            rc != 0)
            return rc;
    }
    const uint32_t rc = m_reader.Execute(0);
    if (rc == SEQ_RESULT_FILE_MISSING && m_next != 0 && m_frames == 0)
        return END;
    if (rc == 0)
        ++m_next;
    return rc;
}

bool RecordedFrames::Record(framerecord::FrameRecord& out) const {
    if (const char* text = m_image.GetAttribute(LUMO_ATTR_RECORD);
        text && framerecord::Parse(text, out))
        return true;
    if (!m_hasSidecar || Position() >= m_sidecar.size())
        return false;
    out.frame = m_sidecar[Position()];
    out.recording = m_sidecarRecording;
    return true;
}

std::string FirstWrittenFile(const std::string& name, uint64_t type) {
    if (type == LUMO_FILE_MULTI_TIFF || LumoFileTypeIsVideo(static_cast<uint32_t>(type)))
        return name;
    std::string base, extension;
    seriesname::Split(name, base, extension);
    return seriesname::NumberedName(base, 0, extension);
}
