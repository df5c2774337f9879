// A concrete sequence, a log sink that records its lines, and a notification recorder for the
// sequence model's tests. The image library is the real libLumoInst.so, loaded through the
// run-time binding and made current, as the application does.
#pragma once

#include "acquisition/CSequenceBase.h"
#include "acquisition/RuntimeLibraries.h"
#include "external/DebugSink.h"
#include "external/LumoInstance.h"
#include "tests/acquisition/SequenceTestSeam.h"

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

class RecordingSink final : public CDebugSink {
public:
    virtual ~RecordingSink() = default;
    uint32_t SetSinkParam(uint32_t, uintptr_t, uintptr_t) override { return 0; }
    uint32_t GetSinkParam(uint32_t, uintptr_t*, uintptr_t) override { return 0; }
    uint32_t ActivateOutput(uint32_t) override { return 0; }
    void Log(uint32_t level, const char* format, ...) override {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(std::to_string(level) + " " + text);
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

struct Notification {
    uint64_t context;
    uint32_t code;
    int64_t value;
    bool synchronous;
    bool operator==(const Notification&) const = default;
};

class NotificationRecorder {
public:
    static void Callback(uint64_t context, uint32_t code, int64_t value, bool synchronous) {
        auto* self = reinterpret_cast<NotificationRecorder*>(context);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_seen.push_back(Notification{context, code, value, synchronous});
    }
    uint64_t Context() { return reinterpret_cast<uint64_t>(this); }
    std::vector<Notification> Seen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }

private:
    std::mutex m_mutex;
    std::vector<Notification> m_seen;
};

class TestSequence final : public CSequenceBase {
public:
    using CSequenceBase::CSequenceBase;
    ~TestSequence() override { Stop(); }

    uint32_t GetSequenceType() override { return 1; }
    uint32_t WorkerThread() override {
        return m_body ? m_body(*this) : CSequenceBase::WorkerThread();
    }

    using CSequenceBase::Notify;
    using CSequenceBase::StopEvent;

    // The worker's body; set before StartThread.
    std::function<uint32_t(TestSequence&)> m_body;
};

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_libs.LoadImageLibrary()) << m_libs.ImageLibrary().Error();
        m_libs.MakeCurrent();
        m_pLumo = m_libs.GetLumoInstance();
    }

    RuntimeLibraries m_libs;
    CLumoInstance* m_pLumo = nullptr;
};
