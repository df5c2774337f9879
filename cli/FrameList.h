// kavrin info FILE --frames: the frame record of a saved recording, frame by frame.
#pragma once

#include <string>

namespace cli {

// Prints the recording's fields and every frame's index, tag, lost flag and recorded CRC-32
// (text, or one JSON object with `json`); returns the exit status.
int PrintFrameList(const std::string& file, bool json);

} // namespace cli
