// The check after `kavrin verify`, `convert --verify` and `grab --verify`.
#pragma once

#include <string>

class CLumoInstance;

namespace cli {

// Re-reads every frame of the recording at `file` with the image library `lumo` and compares
// its pixels' CRC-32 with its record. Prints "N frames verified" (on standard output, or on
// standard error when `okOnStderr`: after a command whose output is JSON) and returns CLI_OK
// when all match; otherwise says why on standard error (the first bad frame and how many are
// bad, or that the file has no record) and returns CLI_FAILED.
int VerifyRecording(CLumoInstance* lumo, const std::string& file, bool okOnStderr);

} // namespace cli
