#include "acquisition/LoadedRecord.h"

#include "external/LumoFileModules.h"
#include "external/LumoImage.h"

void LoadedRecord::Clear() {
    platform::MutexLock lock(m_lock);
    m_recording.reset();
    m_frames.clear();
    m_sidecarRecording.reset();
    m_sidecar.clear();
}

void LoadedRecord::UseSidecar(const std::string& firstFile) {
    framerecord::RecordingInfo recording;
    std::vector<framerecord::FrameEntry> frames;
    if (!framerecord::ReadSidecar(firstFile, recording, frames))
        return;
    platform::MutexLock lock(m_lock);
    m_sidecarRecording = std::move(recording);
    m_sidecar = std::move(frames);
}

void LoadedRecord::Add(uint64_t position, const CLumoImage& image) {
    std::optional<framerecord::FrameEntry> entry;
    std::optional<framerecord::RecordingInfo> recording;
    framerecord::FrameRecord record;
    // The reader restores attribute 5 only from a record; it is parsed again here all the same.
    if (const char* text = image.GetAttribute(LUMO_ATTR_RECORD);
        text && framerecord::Parse(text, record)) {
        entry = record.frame;
        recording = std::move(record.recording);
    }
    platform::MutexLock lock(m_lock);
    if (!entry && position < m_sidecar.size()) {
        entry = m_sidecar[position];
        recording = m_sidecarRecording;
    }
    if (position >= m_frames.size())
        m_frames.resize(position + 1);
    m_frames[position] = entry;
    if (!m_recording && recording)
        m_recording = std::move(recording);
}

bool LoadedRecord::Recording(framerecord::RecordingInfo& out) const {
    platform::MutexLock lock(m_lock);
    if (!m_recording)
        return false;
    out = *m_recording;
    return true;
}

bool LoadedRecord::Frame(uint64_t position, framerecord::FrameEntry& out) const {
    platform::MutexLock lock(m_lock);
    if (position >= m_frames.size() || !m_frames[position])
        return false;
    out = *m_frames[position];
    return true;
}
