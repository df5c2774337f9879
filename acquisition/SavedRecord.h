// The frame record of one save: made from the sequence before the first frame is written, it
// stamps every copied frame with its record (image attribute 5, which the file writer stores
// with the frame) and, for BMP files, which keep pixels only, writes the series' sidecar after
// the last one.
#pragma once

#include "acquisition/FrameRecord.h"

#include <cstdint>
#include <string>
#include <vector>

class CLumoImage;
class CSequenceBase;

class SavedRecord {
public:
    // Saving `n` images from logical image `first` of `sequence`. Inactive (stamps nothing)
    // when the sequence keeps no record.
    SavedRecord(CSequenceBase& sequence, uint64_t first, uint64_t n);

    bool Active() const { return m_active; }
    // Under the sequence mutex, right after logical image first + `position` was copied into
    // `work`: sets its record, with the CRC of the pixels just copied, as attribute 5.
    void Stamp(uint64_t position, CLumoImage& work);
    // After the frames went into files of type `fileType`, the first named `firstFile`: writes
    // the sidecar when the type cannot hold the record itself (BMP). False when that failed.
    [[nodiscard]] bool Finish(uint32_t fileType, const std::string& firstFile) const;

    // The CRC-32 of frame 0 of `image` (its packed rows); 0 for an image without pixels.
    static uint32_t ImageCrc(CLumoImage& image);

private:
    CSequenceBase& m_sequence;
    uint64_t m_first;
    bool m_active = false;
    framerecord::RecordingInfo m_recording;
    std::vector<framerecord::FrameEntry> m_frames; // the frames stamped, in order
};
