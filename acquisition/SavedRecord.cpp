#include "acquisition/SavedRecord.h"

#include "acquisition/CSequenceBase.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoImage.h"

SavedRecord::SavedRecord(CSequenceBase& sequence, uint64_t first, uint64_t n)
    : m_sequence(sequence), m_first(first) {
    m_active = m_sequence.GetRecordingInfo(m_recording);
    if (!m_active)
        return;
    // The record describes the saved range: the trigger moves with its start, and a trigger
    // outside the range is not in the file.
    m_recording.frames = n;
    if (m_recording.triggerIndex && *m_recording.triggerIndex >= first &&
        *m_recording.triggerIndex - first < n)
        *m_recording.triggerIndex -= first;
    else
        m_recording.triggerIndex.reset();
}

uint32_t SavedRecord::ImageCrc(CLumoImage& image) {
    const void* pixels = image.GetFrameData(0, -1, 0);
    if (!pixels)
        return 0;
    const uint64_t bytes = uint64_t{image.GetWidth()} * image.GetHeight() *
                           ImageFormat::BytesPerPixel(image.GetFormat(nullptr));
    return framerecord::PixelCrc(pixels, bytes);
}

void SavedRecord::Stamp(uint64_t position, CLumoImage& work) {
    if (!m_active)
        return;
    framerecord::FrameRecord record;
    record.recording = m_recording;
    if (!m_sequence.GetFrameRecord(m_first + position, record.frame))
        record.frame = framerecord::FrameEntry{};
    record.frame.index = position;
    record.frame.crc32 = ImageCrc(work);
    // An image object takes every attribute.
    (void)work.SetAttribute(LUMO_ATTR_RECORD, framerecord::ToText(record).c_str());
    m_frames.push_back(record.frame);
}

bool SavedRecord::Finish(uint32_t fileType, const std::string& firstFile) const {
    if (!m_active || fileType != LUMO_FILE_BMP || m_frames.empty())
        return true;
    return framerecord::WriteSidecar(firstFile, m_recording, m_frames);
}
