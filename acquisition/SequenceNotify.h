// How a sequence reports to its owner: the notification callback, its codes, and the result
// codes of long operations (carried in the value of code 5 for saves and code 2 for loads).
#pragma once

#include <cstdint>

// (context given to SetNotifyCallback, code, value, synchronous). Synchronous asks the
// receiver to handle the notification before the call returns; otherwise it may be queued.
// Called on whichever thread raises it, usually the sequence's worker thread.
using PFN_SequenceNotify = void (*)(uint64_t context, uint32_t code, int64_t value,
                                    bool synchronous);

inline constexpr uint32_t SEQ_NOTIFY_BUFFERS = 0;    // frame buffers (re)allocated; value 1
inline constexpr uint32_t SEQ_NOTIFY_NEW_IMAGES = 1; // grab: -1; load: frames loaded so far
inline constexpr uint32_t SEQ_NOTIFY_ENDED = 2;      // grab: 0; load: the load's result code
inline constexpr uint32_t SEQ_NOTIFY_SAVE_START = 3; // value: total steps
inline constexpr uint32_t SEQ_NOTIFY_SAVE_STEP = 4;  // value: step index from 0
inline constexpr uint32_t SEQ_NOTIFY_SAVE_END = 5;   // value: result code, sign-extended

inline constexpr uint32_t SEQ_RESULT_OK = 0;
inline constexpr uint32_t SEQ_RESULT_ABORTED = 0xA001000D;     // stop event set between steps
inline constexpr uint32_t SEQ_RESULT_COPY_FAILED = 0xA0010005; // frame not copied into image
// A save asked to verify what it wrote found a frame that does not match its record, a frame
// without one, or a file it could not read back (CSequenceBase::GetVerifyFailure says which).
inline constexpr uint32_t SEQ_RESULT_VERIFY_FAILED = 0xA001000E;
