// A camera against the simulated grabber in deterministic mode (FGSIM_FPS=0): frames arrive only
// when the test steps the grabber. Message boxes are recorded instead of shown.
#pragma once

#include "acquisition/CCamera.h"
#include "external/ImageFormat.h"
#include "platform/ShowMessage.h"
#include "tests/acquisition/SequenceTestSupport.h"
#include "tests/support/ScopedEnv.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

class MessageRecorder {
public:
    struct Box {
        std::string text;
        std::string title;
        platform::MessageButtons buttons;
        bool operator==(const Box&) const = default;
    };

    MessageRecorder() { platform::SetMessageHook(&Record, this); }
    ~MessageRecorder() { platform::SetMessageHook(nullptr, nullptr); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<Box> Boxes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.clear();
    }

private:
    static platform::MessageAnswer Record(void* context, const char* text, const char* title,
                                          platform::MessageButtons buttons) {
        auto* self = static_cast<MessageRecorder*>(context);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_boxes.push_back(Box{text, title, buttons});
        return platform::MessageAnswer::Ok;
    }

    std::mutex m_mutex;
    std::vector<Box> m_boxes;
};

class CameraTest : public SequenceTest {
protected:
    using PFN_FgSim_Step = int64_t (*)(Fg_Struct*, uint64_t);
    using PFN_FgSim_Counter = int64_t (*)(const char*);
    using PFN_FgSim_ResetCounters = void (*)();

    static constexpr uint32_t WIDTH = 32;
    static constexpr uint32_t HEIGHT = 8;

    void SetUp() override {
        SequenceTest::SetUp();
        const platform::SharedLibrary& library = TheSiliconAPI().Library();
        ASSERT_TRUE(TheSiliconAPI().IsAvailable());
        m_step = library.Function<PFN_FgSim_Step>("FgSim_Step");
        m_counter = library.Function<PFN_FgSim_Counter>("FgSim_Counter");
        const auto reset = library.Function<PFN_FgSim_ResetCounters>("FgSim_ResetCounters");
        ASSERT_TRUE(m_step && m_counter && reset);
        reset();
    }
    void TearDown() override { EXPECT_EQ(m_counter("open"), 0) << "a grabber was left open"; }

    Owned<CCamera> MakeCamera(uint64_t slot = 0) {
        Owned<CCamera> camera(WIDTH, ImageFormat::GREY8, slot, TheSiliconAPI(), m_pLumo);
        camera->SetHeight(HEIGHT);
        camera->SetLog(&m_sink);
        return camera;
    }
    LumoImagePtr MakeImage() { return MakeLumoImage(m_pLumo); }
    // Sends the camera's notifications to `recorder`, prepares `buffers` buffers and starts
    // grabbing; false when the preparation or the start fails.
    static bool StartRecording(CCamera& camera, NotificationRecorder& recorder, uint64_t buffers,
                               bool continuous) {
        camera.SetNotifyCallback(&NotificationRecorder::Callback, recorder.Context());
        return camera.PrepareFrameBuffers(buffers) && camera.StartSnap(continuous);
    }

    uint32_t Parameter(CCamera& camera, int id) {
        uint32_t value = 0xDEAD;
        EXPECT_EQ(TheSiliconAPI().Functions().Fg_getParameter(Grabber(camera), id, &value, 0), 0);
        return value;
    }
    // The tag in the header of frame `frame` of `image`.
    static uint32_t TagOf(CLumoImage& image, int64_t frame) {
        const auto* data = static_cast<const uint8_t*>(image.GetFrameData(0, frame, 0));
        uint32_t tag = 0;
        std::memcpy(&tag, data + 4, 4);
        return tag;
    }
    // Waits until `recorder` has seen `count` notifications of `code`; the bound only keeps a
    // broken monitor from hanging the test.
    static bool WaitFor(NotificationRecorder& recorder, uint32_t code, size_t count) {
        for (int i = 0; i < 2000; ++i) {
            if (CountOf(recorder, code) >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    static size_t CountOf(NotificationRecorder& recorder, uint32_t code) {
        size_t seen = 0;
        for (const Notification& n : recorder.Seen())
            seen += n.code == code ? 1 : 0;
        return seen;
    }

    ScopedEnv m_fps{"FGSIM_FPS", "0"};
    MessageRecorder m_boxes;
    RecordingSink m_sink;
    PFN_FgSim_Step m_step = nullptr;
    PFN_FgSim_Counter m_counter = nullptr;
};
