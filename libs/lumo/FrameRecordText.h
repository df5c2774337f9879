// The readers' side of the frame record (attribute 5): a text found in a file is kept only when
// it is a frame record.
#pragma once

#include <string>

namespace lumo {

// The PNG text chunk that holds the record.
inline constexpr const char* RECORD_KEYWORD = "kavrin_record";

// `text` when it parses as a frame record, else empty.
std::string RecordOrNothing(const char* text);

} // namespace lumo
