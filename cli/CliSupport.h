// What the commands share: messages, the image library, result texts, waiting for a
// sequence's thread with a progress bar, and Ctrl-C as a clean stop.
#pragma once

#include "acquisition/CSequenceBase.h"
#include "acquisition/RuntimeLibraries.h"

#include <cstdint>
#include <string>

namespace cli {

// "kavrin: " + text on standard error.
void Error(const std::string& text);

// Loads libLumoInst.so into `libraries` and makes them current; prints why not and returns
// false when it cannot.
bool LoadImageLibrary(RuntimeLibraries& libraries);

// "damaged or truncated file (0xA001000A)" and the like.
std::string ResultText(uint32_t rc);

// Parses a whole unsigned decimal number.
bool ParseNumber(const std::string& text, uint64_t& value);

// Waits until the sequence's thread has ended. Shows a progress bar named `what` on standard
// error while it runs (only when that is a terminal), fed by notifications 1 (loading: frames
// so far, out of `expected` when known) or 3/4 (saving). Ctrl-C stops the sequence. Returns
// the result of notification 2 (load) or 5 (save).
uint32_t WaitForSequence(CSequenceBase& sequence, const char* what, uint64_t expected);

// Installs the notification recorder on `sequence`; call before starting its thread.
void WatchSequence(CSequenceBase& sequence);

} // namespace cli
