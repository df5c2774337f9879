#include "acquisition/RecordingCheck.h"

#include "acquisition/RecordedFrames.h"
#include "acquisition/SavedRecord.h"
#include "external/LumoFileModules.h"
#include "external/LumoImage.h"
#include "external/LumoPtr.h"

#include <algorithm>

namespace {

// What the walk over the frames found besides the result.
struct Walk {
    uint64_t first = 0;    // the saved index of the first frame read (a series may be verified
                           // from any of its files)
    uint64_t recorded = 0; // frames the record says were saved
    bool anyRecord = false;
};

void CountBad(RecordingCheck& check, uint64_t position, const std::string& why) {
    if (check.bad++ == 0) {
        check.firstBad = position;
        check.firstWhy = why;
    }
}

// Checks the frame just read against its record. Frames are named by their saved index.
void CheckFrame(RecordedFrames& frames, CLumoImage& image, Walk& walk, RecordingCheck& check) {
    framerecord::FrameRecord record;
    const bool recorded = frames.Record(record);
    if (recorded && frames.Position() == 0)
        walk.first = record.frame.index;
    const uint64_t position = walk.first + frames.Position();
    if (!recorded) {
        CountBad(check, position, "has no record");
        return;
    }
    walk.anyRecord = true;
    walk.recorded = record.recording.frames;
    if (record.frame.index != position) {
        CountBad(check, position,
                 "carries the record of frame " + std::to_string(record.frame.index));
        return;
    }
    const uint32_t crc = SavedRecord::ImageCrc(image);
    if (crc != record.frame.crc32)
        CountBad(check, position,
                 "does not match its record (CRC-32 " + framerecord::CrcText(crc) + ", recorded " +
                     framerecord::CrcText(record.frame.crc32) + ")");
}

} // namespace

std::string RecordingCheck::BadFramesText() const {
    return "frame " + std::to_string(firstBad) + " " + firstWhy + "; " + std::to_string(bad) +
           " of " + std::to_string(total) + " frame(s) bad";
}

RecordingCheck CheckRecording(CLumoInstance* lumo, const std::string& file,
                              const RecordingCheckProgress& progress, uint64_t frameLimit) {
    RecordingCheck check;
    const LumoModulePtr reader = MakeLumoModule(lumo, LUMO_ID_FILE_READER);
    const LumoImagePtr image = MakeLumoImage(lumo);
    if (!reader || !image) {
        check.noReader = true;
        return check;
    }
    RecordedFrames frames(*reader, *image);
    uint32_t rc = frames.Open(file);
    Walk walk;
    while (rc == 0 && check.frames < frameLimit) {
        rc = frames.Next();
        if (rc != 0)
            break;
        ++check.frames;
        CheckFrame(frames, *image, walk, check);
        if (progress && !progress(frames.Position())) {
            check.aborted = true;
            return check;
        }
    }
    if (rc != 0 && rc != RecordedFrames::END) {
        check.readError = rc;
        check.readErrorFile = check.frames == 0 ? file : frames.FileName();
        return check;
    }
    if (!walk.anyRecord) {
        check.noRecord = true;
        return check;
    }
    // Frames the record counts that the file no longer holds are bad as well (counted, not
    // walked: the count comes from the file).
    const uint64_t end = walk.first + check.frames;
    if (walk.recorded > end) {
        CountBad(check, end, "is missing");
        check.bad += walk.recorded - end - 1;
    }
    check.total = std::max(end, walk.recorded) - walk.first;
    return check;
}
