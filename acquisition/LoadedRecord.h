// The frame record of a loaded recording, as the file sequence keeps it: the recording data and
// each loaded frame's entry, from the frames' attribute 5 (TIFF, PNG) or from a BMP series'
// sidecar. Frames without a record have none here; a recording without any has no record at all.
//
// The load worker adds frames while the UI thread asks; the object locks itself.
#pragma once

#include "acquisition/FrameRecord.h"
#include "platform/ThreadAnnotations.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CLumoImage;

class LoadedRecord {
public:
    // Forgets everything: a new load starts.
    void Clear();
    // A series whose first file is `firstFile`: its sidecar, when there is one, gives the
    // records of frames that carry none themselves.
    void UseSidecar(const std::string& firstFile);
    // Loaded frame `position` (in load order) was read into `image`: keeps its record.
    void Add(uint64_t position, const CLumoImage& image);

    // The recording data (false: no frame had a record).
    [[nodiscard]] bool Recording(framerecord::RecordingInfo& out) const;
    // The record of loaded frame `position`; false when it has none.
    [[nodiscard]] bool Frame(uint64_t position, framerecord::FrameEntry& out) const;

private:
    mutable platform::Mutex m_lock;
    std::optional<framerecord::RecordingInfo> m_recording KAVRIN_GUARDED_BY(m_lock);
    std::vector<std::optional<framerecord::FrameEntry>> m_frames KAVRIN_GUARDED_BY(m_lock);
    // The sidecar's recording and frames, by series position.
    std::optional<framerecord::RecordingInfo> m_sidecarRecording KAVRIN_GUARDED_BY(m_lock);
    std::vector<framerecord::FrameEntry> m_sidecar KAVRIN_GUARDED_BY(m_lock);
};
