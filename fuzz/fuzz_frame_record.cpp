// The frame record's parsers over any text: never crash, and whatever parses writes back to a
// text that parses to the same record.
#include "acquisition/FrameRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    framerecord::FrameRecord record;
    if (framerecord::Parse(text, record)) {
        framerecord::FrameRecord again;
        if (!framerecord::Parse(framerecord::ToText(record), again) || !(again == record))
            std::abort();
    }
    framerecord::RecordingInfo recording;
    std::vector<framerecord::FrameEntry> frames;
    if (framerecord::ParseSidecar(text, recording, frames)) {
        framerecord::RecordingInfo recordingAgain;
        std::vector<framerecord::FrameEntry> framesAgain;
        if (!framerecord::ParseSidecar(framerecord::SidecarText(recording, frames), recordingAgain,
                                       framesAgain) ||
            !(recordingAgain == recording) || !(framesAgain == frames))
            std::abort();
    }
    return 0;
}
