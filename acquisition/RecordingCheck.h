// Verification of a saved recording: every frame is read back (RecordedFrames) and its pixels'
// CRC-32 compared with the CRC its frame record holds. The command line's `verify` and the
// export's "verify after saving" both print or report from the result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class CLumoInstance;

struct RecordingCheck {
    bool noReader = false;     // the image library made no file reader
    uint32_t readError = 0;    // the reader's code when a frame could not be read
    std::string readErrorFile; // the file that could not be read
    bool aborted = false;      // the per-frame callback asked to stop
    bool noRecord = false;     // no frame read carries a record
    uint64_t frames = 0;       // frames read and checked
    uint64_t total = 0;        // frames the recording has (read, or counted by the record)
    uint64_t bad = 0;          // frames that do not match, lack a record or are missing
    uint64_t firstBad = 0;     // the saved index of the first bad frame (when bad != 0)
    std::string firstWhy;      // what is wrong with it, e.g. "has no record"

    // True when every frame was read and matches its record.
    bool Passed() const { return !noReader && readError == 0 && !aborted && !noRecord && bad == 0; }
    // "frame 3 does not match its record (...); 2 of 10 frame(s) bad" (when bad != 0).
    std::string BadFramesText() const;
};

// Called after each frame checked with its position in the walk (from 0); false stops the
// check (RecordingCheck::aborted).
using RecordingCheckProgress = std::function<bool(uint64_t position)>;

// Verifies the recording at `file` (a multi-page file, or a numbered series from `file` on)
// with the image library `lumo`, reading at most `frameLimit` frames.
RecordingCheck CheckRecording(CLumoInstance* lumo, const std::string& file,
                              const RecordingCheckProgress& progress = {},
                              uint64_t frameLimit = UINT64_MAX);
