// Shared by the export and file-sequence tests: a scratch folder, frames with varied pixels, a
// notification log that can hold the sequence's thread at one notification, and waiting.
#pragma once

#include "acquisition/CSequenceBase.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoPtr.h"
#include "platform/Event.h"
#include "tests/acquisition/SequenceTestSupport.h"

#include "tests/support/TempFolder.h"
#include <chrono>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// The shared temporary folder, with paths inside it written as folder / "name".
class SaveLoadFolder : public TempFolder {
public:
    std::string operator/(const std::string& name) const { return File(name); }
};

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Frame f of `image` gets bytes that differ per position and frame.
inline void FillFrames(CLumoImage& image) {
    for (uint64_t f = 0; f < image.GetFrameCount(); ++f) {
        auto* data = static_cast<uint8_t*>(image.GetFrameData(0, static_cast<int64_t>(f), 0));
        for (uint64_t i = 0; i < image.GetFrameSize(); ++i)
            data[i] = static_cast<uint8_t>(i * 13 + f * 101 + (i >> 8));
    }
}

// Records notifications; when the one given to HoldAt arrives it signals `held` and waits (on
// the sequence's thread) until the given stop event is set.
class NotificationLog {
public:
    static void Callback(uint64_t context, uint32_t code, int64_t value, bool synchronous) {
        auto* self = reinterpret_cast<NotificationLog*>(context);
        const platform::Event* wait = nullptr;
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_seen.push_back({code, value, synchronous});
            if (code == self->m_holdCode && value == self->m_holdValue)
                wait = self->m_pStop;
        }
        if (wait) {
            self->held.Set();
            wait->Wait(10000);
        }
    }
    void Attach(CSequenceBase& sequence) {
        sequence.SetNotifyCallback(&Callback, reinterpret_cast<uint64_t>(this));
    }
    void HoldAt(const platform::Event& stopEvent, uint32_t code, int64_t value) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pStop = &stopEvent;
        m_holdCode = code;
        m_holdValue = value;
    }
    struct Entry {
        uint32_t code;
        int64_t value;
        bool synchronous;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> Seen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }
    platform::Event held;

private:
    std::mutex m_mutex;
    std::vector<Entry> m_seen;
    const platform::Event* m_pStop = nullptr;
    uint32_t m_holdCode = 0;
    int64_t m_holdValue = 0;
};

inline bool WaitUntilEnded(CSequenceBase& sequence) {
    for (int i = 0; i < 20000 && sequence.IsThreadRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !sequence.IsThreadRunning();
}
