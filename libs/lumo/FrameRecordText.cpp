#include "libs/lumo/FrameRecordText.h"

#include "acquisition/FrameRecord.h"

#include <cstring>

namespace lumo {

std::string RecordOrNothing(const char* text) {
    if (!text)
        return {};
    // Bounded before anything is copied: a description may be as long as the file.
    const size_t length = ::strnlen(text, framerecord::MAX_RECORD_TEXT + 1);
    const std::string_view view(text, length);
    framerecord::FrameRecord record;
    return framerecord::Parse(view, record) ? std::string(view) : std::string();
}

} // namespace lumo
