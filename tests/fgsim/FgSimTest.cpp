// The simulated grabber through its exports, as the program binds it. Frames come by stepping
// (FGSIM_FPS=0) except in the one real-time case.
#include "acquisition/CSiliconAPI.h"
#include "tests/support/ScopedEnv.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using PFN_FgSim_Step = int64_t (*)(Fg_Struct*, uint64_t);
using PFN_FgSim_Counter = int64_t (*)(const char*);

struct Header {
    std::string magic; // "TL2" and the channel letter
    uint32_t tag = 0;
};

Header ReadHeader(const std::vector<uint8_t>& buffer) {
    Header header;
    header.magic.assign(reinterpret_cast<const char*>(buffer.data()), 4);
    std::memcpy(&header.tag, buffer.data() + 4, 4); // little-endian machine
    return header;
}

class FgSimTest : public ::testing::Test {
protected:
    FgSimTest() : m_api(FGSIM_SO_PATH) {}

    void SetUp() override {
        ASSERT_TRUE(m_api.IsAvailable());
        m_step = m_api.Library().Function<PFN_FgSim_Step>("FgSim_Step");
        m_counter = m_api.Library().Function<PFN_FgSim_Counter>("FgSim_Counter");
        ASSERT_TRUE(m_step && m_counter);
    }
    void TearDown() override { EXPECT_EQ(m_counter("open"), 0) << "a grabber was left open"; }

    // A grabber on `board` with `count` buffers of `width` x 4 bytes.
    struct Grabber {
        const FgLibFunctions* fn = nullptr;
        Fg_Struct* handle = nullptr;
        dma_mem* head = nullptr;
        std::vector<std::vector<uint8_t>> buffers;

        Grabber(const FgLibFunctions& functions, unsigned board, uint64_t count,
                uint32_t width = 16)
            : fn(&functions), buffers(count, std::vector<uint8_t>(uint64_t{width} * 4, 0xEE)) {
            handle = fn->Fg_Init("FullAreaGray8_HS.dll", board);
            if (!handle)
                return;
            const uint64_t bytes = buffers[0].size();
            head = fn->Fg_AllocMemHead(handle, bytes * count, count);
            for (uint64_t i = 0; head && i < count; ++i)
                fn->Fg_AddMem(handle, buffers[i].data(), bytes, i, head);
            const uint32_t height = 4;
            fn->Fg_setParameter(handle, FG_PARAM_WIDTH, &width, 0);
            fn->Fg_setParameter(handle, FG_PARAM_HEIGHT, &height, 0);
        }
        ~Grabber() {
            if (handle) {
                fn->Fg_stopAcquireEx(handle, 0, head, FG_STOP_FLAGS);
                fn->Fg_FreeMemHead(handle, head);
                fn->Fg_FreeGrabber(handle);
            }
        }
        int Acquire(int64_t count) { return fn->Fg_AcquireEx(handle, 0, count, 1, head); }
        int64_t Status(int id, int64_t data) {
            return fn->Fg_getStatusEx(handle, id, data, 0, head);
        }
        Header At(size_t i) { return ReadHeader(buffers[i]); }
    };

    CSiliconAPI m_api;
    const FgLibFunctions& fn = m_api.Functions();
    PFN_FgSim_Step m_step = nullptr;
    PFN_FgSim_Counter m_counter = nullptr;
    ScopedEnv m_fps{"FGSIM_FPS", "0"};
};

} // namespace

TEST_F(FgSimTest, BoardsComeFromTheEnvironment) {
    EXPECT_EQ(fn.Fg_getBoardType(0), 2626);
    EXPECT_EQ(fn.Fg_getBoardType(1), 2626);
    EXPECT_LE(fn.Fg_getBoardType(2), 0);
    EXPECT_LE(fn.Fg_getBoardType(-1), 0);
    {
        ScopedEnv boards("FGSIM_BOARDS", "3652:0xABC");
        EXPECT_EQ(fn.Fg_getBoardType(0), 3652);
        EXPECT_LE(fn.Fg_getBoardType(1), 0);
        Fg_Struct* grabber = fn.Fg_Init("any applet name", 0);
        ASSERT_NE(grabber, nullptr);
        EXPECT_EQ(fn.Fg_getSerialNumber(grabber), 0xABCu);
        EXPECT_EQ(fn.Fg_Init("", 0), nullptr) << "a board serves one grabber at a time";
        EXPECT_EQ(fn.Fg_Init("", 1), nullptr) << "no such board";
        EXPECT_EQ(fn.Fg_FreeGrabber(grabber), 0);
        EXPECT_EQ(fn.Fg_FreeGrabber(grabber), -1) << "a released handle is refused";
    }
    EXPECT_EQ(fn.Fg_getSerialNumber(nullptr), 0u);
}

TEST_F(FgSimTest, SteppedFramesFillTheRingWithHeaderTagAndPattern) {
    Grabber grabber(fn, 0, 3);
    ASSERT_NE(grabber.head, nullptr);
    EXPECT_EQ(m_step(grabber.handle, 1), -1) << "not acquiring";
    ASSERT_EQ(grabber.Acquire(-1), 0);
    EXPECT_LT(grabber.Acquire(-1), 0) << "already acquiring";
    EXPECT_EQ(grabber.Status(10, 0), 0);
    EXPECT_EQ(m_step(grabber.handle, 4), 4);
    EXPECT_EQ(grabber.Status(10, 0), 4);
    EXPECT_EQ(grabber.Status(20, 1), 0);
    // Frame k (tag k) went into buffer k mod 3: buffer 0 holds frame 3.
    EXPECT_EQ(grabber.At(0).magic, "TL2L");
    EXPECT_EQ(grabber.At(0).tag, 3u);
    EXPECT_EQ(grabber.At(1).tag, 1u);
    EXPECT_EQ(grabber.At(2).tag, 2u);
    // The pattern moves from frame to frame: rows of 16 bytes after the header differ.
    EXPECT_NE(std::memcmp(grabber.buffers[0].data() + 16, grabber.buffers[1].data() + 16, 48), 0);
    EXPECT_NE(grabber.buffers[1][16], 0xEE);
    uint32_t value = 0;
    EXPECT_EQ(fn.Fg_getParameter(grabber.handle, FG_PARAM_HEIGHT, &value, 0), 0);
    EXPECT_EQ(value, 4u);
    EXPECT_LT(fn.Fg_getParameter(grabber.handle, 12345, &value, 0), 0);
    EXPECT_LT(fn.Fg_setParameter(grabber.handle, 12345, &value, 0), 0);
    EXPECT_LT(grabber.Status(99, 0), 0);
    EXPECT_EQ(fn.Fg_stopAcquireEx(grabber.handle, 0, grabber.head, FG_STOP_FLAGS), 0);
    EXPECT_EQ(grabber.Status(10, 0), 4) << "the count stays after the stop";
    EXPECT_EQ(m_step(grabber.handle, 1), -1);
}

TEST_F(FgSimTest, GrabbersShareOneCameraAndItsClock) {
    Grabber left(fn, 0, 4);
    Grabber right(fn, 1, 4);
    ASSERT_EQ(right.Acquire(-1), 0);
    ASSERT_EQ(left.Acquire(-1), 0);
    EXPECT_EQ(m_step(left.handle, 2), 2);
    EXPECT_EQ(m_step(right.handle, 2), 2);
    EXPECT_EQ(left.At(1).magic, "TL2L");
    EXPECT_EQ(right.At(1).magic, "TL2R");
    EXPECT_EQ(left.At(1).tag, 1u);
    EXPECT_EQ(right.At(1).tag, 1u) << "both halves of a frame carry the same tag";
    // A grabber started later receives only frames no grabber has been given yet.
    fn.Fg_stopAcquireEx(right.handle, 0, right.head, FG_STOP_FLAGS);
    EXPECT_EQ(m_step(left.handle, 3), 3);
    ASSERT_EQ(right.Acquire(-1), 0);
    EXPECT_EQ(m_step(right.handle, 1), 1);
    EXPECT_EQ(right.At(0).tag, 5u);
    // Once nobody acquires, the next start restarts the clock at the first tag.
    fn.Fg_stopAcquireEx(right.handle, 0, right.head, FG_STOP_FLAGS);
    fn.Fg_stopAcquireEx(left.handle, 0, left.head, FG_STOP_FLAGS);
    ScopedEnv tag0("FGSIM_TAG0", "1000");
    ScopedEnv swap("FGSIM_SWAP", "1");
    ASSERT_EQ(left.Acquire(-1), 0);
    ASSERT_EQ(right.Acquire(-1), 0);
    EXPECT_EQ(m_step(left.handle, 1), 1);
    EXPECT_EQ(m_step(right.handle, 1), 1);
    EXPECT_EQ(left.At(0).magic, "TL2R") << "crossed channels";
    EXPECT_EQ(right.At(0).magic, "TL2L");
    EXPECT_EQ(left.At(0).tag, 1000u);
    EXPECT_EQ(right.At(0).tag, 1000u);
}

TEST_F(FgSimTest, CameraFaults) {
    {
        ScopedEnv tag0("FGSIM_TAG0", "0xFFFFFFFE");
        ScopedEnv drop("FGSIM_DROP", "list:0xFFFFFFFF,2");
        Grabber grabber(fn, 0, 8);
        ASSERT_EQ(grabber.Acquire(-1), 0);
        EXPECT_EQ(m_step(grabber.handle, 6), 4) << "two frames never came";
        std::vector<uint32_t> tags;
        for (size_t i = 0; i < 4; ++i)
            tags.push_back(grabber.At(i).tag);
        EXPECT_EQ(tags, (std::vector<uint32_t>{0xFFFFFFFE, 0, 1, 3})) << "the tag wraps";
        EXPECT_EQ(grabber.Status(20, 1), 0) << "camera-side loss is not the grabber's";
    }
    {
        ScopedEnv drop("FGSIM_DROP", "every:3");
        ScopedEnv noTag("FGSIM_NOTAG", "1");
        ScopedEnv noLost("FGSIM_NOLOST", "1");
        Grabber grabber(fn, 0, 8);
        ASSERT_EQ(grabber.Acquire(-1), 0);
        EXPECT_EQ(m_step(grabber.handle, 9), 6);
        EXPECT_NE(grabber.At(0).magic.substr(0, 3), "TL2");
        EXPECT_NE(grabber.buffers[0][0], 0xEE) << "the pattern covers the whole frame";
        EXPECT_LT(grabber.Status(20, 1), 0);
    }
    {
        Grabber grabber(fn, 0, 2);
        ASSERT_EQ(grabber.Acquire(3), 0);
        EXPECT_EQ(m_step(grabber.handle, 5), 3) << "a counted acquisition ends";
        EXPECT_EQ(m_step(grabber.handle, 1), 0);
        EXPECT_EQ(grabber.Status(10, 0), 3);
    }
}

TEST_F(FgSimTest, NamedEntryPointsFail) {
    ScopedEnv fail("FGSIM_FAIL", "Fg_AllocMemHead,Fg_getStatusEx,Fg_getSerialNumber");
    Grabber grabber(fn, 0, 2);
    ASSERT_NE(grabber.handle, nullptr);
    EXPECT_EQ(grabber.head, nullptr);
    EXPECT_EQ(fn.Fg_getSerialNumber(grabber.handle), 0u);
    EXPECT_LT(grabber.Status(10, 0), 0);
    {
        ScopedEnv failInit("FGSIM_FAIL", "Fg_Init");
        EXPECT_EQ(fn.Fg_Init("", 1), nullptr);
    }
    // Entry points the program never calls exist and fail.
    EXPECT_LT(fn.Fg_Acquire(grabber.handle, 0, 1), 0);
    EXPECT_EQ(fn.Fg_getImagePtrEx(grabber.handle, 1, 0, nullptr), nullptr);
    EXPECT_LT(fn.Shad_GetMaxLine(nullptr, 0), 0);
}

TEST_F(FgSimTest, RealTimeFramesArriveInRingOrderWithoutGaps) {
    ScopedEnv fps("FGSIM_FPS", "1000");
    Grabber grabber(fn, 0, 64);
    ASSERT_EQ(grabber.Acquire(-1), 0);
    // Waits for 20 frames; the bound only keeps a broken simulator from hanging the test.
    for (int i = 0; i < 2000 && grabber.Status(10, 0) < 20; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    fn.Fg_stopAcquireEx(grabber.handle, 0, grabber.head, FG_STOP_FLAGS);
    const int64_t transferred = grabber.Status(10, 0);
    ASSERT_GE(transferred, 20);
    ASSERT_LE(transferred, 64) << "this machine is far slower than assumed";
    for (int64_t i = 0; i < transferred; ++i)
        EXPECT_EQ(grabber.At(static_cast<size_t>(i)).tag, static_cast<uint32_t>(i));
    EXPECT_EQ(grabber.Status(20, 1), 0);
}

TEST_F(FgSimTest, BothChannelsOfTheCameraReceiveTheFirstFrame) {
    ScopedEnv fps("FGSIM_FPS", "1000");
    Grabber left(fn, 0, 64);
    Grabber right(fn, 1, 64);
    ASSERT_EQ(left.Acquire(-1), 0);
    // The other channel starts well within the arming time but many frame times later.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(right.Acquire(-1), 0);
    // Waits for a few frames; the bound only keeps a broken simulator from hanging the test.
    for (int i = 0; i < 2000 && right.Status(10, 0) < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    fn.Fg_stopAcquireEx(right.handle, 0, right.head, FG_STOP_FLAGS);
    fn.Fg_stopAcquireEx(left.handle, 0, left.head, FG_STOP_FLAGS);
    ASSERT_GE(right.Status(10, 0), 5);
    EXPECT_EQ(left.At(0).tag, 0u);
    EXPECT_EQ(right.At(0).tag, 0u) << "the camera waited for the second channel";
}

TEST_F(FgSimTest, StopEndsACatchUpBurstWithinAFrame) {
    // Frames of 16 MiB at the highest rate: the writer falls behind at once and catches up in
    // bursts that grow to fps / 2 frames; past a few hundred frames every burst takes seconds.
    ScopedEnv fps("FGSIM_FPS", "100000");
    Grabber grabber(fn, 0, 2, 4u << 20);
    ASSERT_EQ(grabber.Acquire(-1), 0);
    // Waits until a long burst is under way; the bound only keeps a broken simulator from
    // hanging the test.
    for (int i = 0; i < 2000 && grabber.Status(10, 0) < 300; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(grabber.Status(10, 0), 300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fn.Fg_stopAcquireEx(grabber.handle, 0, grabber.head, FG_STOP_FLAGS), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(2))
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    const int64_t transferred = grabber.Status(10, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(grabber.Status(10, 0), transferred) << "no frame after the stop";
}
