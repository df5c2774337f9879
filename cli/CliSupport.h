// What the commands share: messages, the image library, result texts, waiting for a
// sequence's thread with a progress bar, and Ctrl-C as a clean stop.
#pragma once

#include "acquisition/CSequenceBase.h"
#include "acquisition/RuntimeLibraries.h"
#include "acquisition/SequenceNotifier.h"
#include "cli/VideoOptions.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace cli {

// "kavrin: " + text on standard error.
void Error(const std::string& text);

// Loads libLumoInst.so into `libraries` and makes them current; prints why not and returns
// false when it cannot.
[[nodiscard]] bool LoadImageLibrary(RuntimeLibraries& libraries);

// "damaged or truncated file (0xA001000A)" and the like.
std::string ResultText(uint32_t rc);

// Why saving `file` through the sequence's file module failed with `rc`: the writer's own text
// ("cannot write /data/run.tif: No space left on device") when it has one, else
// "cannot save FILE: " + ResultText(rc).
std::string SaveFailureText(CSequenceBase& sequence, const std::string& file, uint32_t rc);

// Parses a whole unsigned decimal number.
[[nodiscard]] bool ParseNumber(const std::string& text, uint64_t& value);

// Chooses file type `type` on the sequence's file module for SaveSequenceToFile, with the
// playback rate and quality of `video` for the video types. Empty when done, else why not.
[[nodiscard]] std::string ChooseFileType(CSequenceBase& sequence, uint64_t type,
                                         const VideoOptions& video);

// Watches one sequence from the main thread: its notifications reach this thread through the
// notification adapter while the watch waits, and Ctrl-C asks the sequence to stop. Make it
// before the sequence's thread starts (a camera starts its monitor only when someone listens);
// it removes both when it goes.
class SequenceWatch {
public:
    explicit SequenceWatch(CSequenceBase& sequence);
    ~SequenceWatch();
    SequenceWatch(const SequenceWatch&) = delete;
    SequenceWatch& operator=(const SequenceWatch&) = delete;

    // Handles the notifications that arrived, waiting up to `timeout` for the first.
    void Pump(std::chrono::milliseconds timeout);
    // True once the sequence reported that its work ended (notification 2 or 5).
    bool Ended() const { return m_progress.ended; }
    // The frames a save reported as written (notification 4), out of Total (notification 3).
    uint64_t Done() const { return m_progress.done; }
    uint64_t Total() const { return m_progress.total; }
    // True when Ctrl-C was pressed since the last call.
    bool TakeInterrupt();

    // Waits until the sequence's thread has ended. Shows a progress bar named `what` on
    // standard error while it runs (only when that is a terminal), fed by notifications 1
    // (loading: frames so far, out of `expected` when known) or 3/4 (saving). Ctrl-C stops the
    // sequence. Returns the result of notification 2 (load) or 5 (save), or SEQ_RESULT_ABORTED
    // when none came.
    [[nodiscard]] uint32_t WaitForSequence(const char* what, uint64_t expected);

private:
    // What the sequence reported last.
    struct Progress {
        uint64_t total = 0;
        uint64_t done = 0;
        bool ended = false;
        uint32_t result = 0;
    };

    void OnNotify(uint32_t code, int64_t value);

    CSequenceBase& m_sequence;
    NotificationQueue m_mainThread;
    Progress m_progress; // touched on the main thread only
    void (*m_previousInterrupt)(int);
    SequenceNotifier m_notifier; // last: removed first
};

} // namespace cli
