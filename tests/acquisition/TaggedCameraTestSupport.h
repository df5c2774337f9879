// Tagged cameras in tests: direct access to their rings (so a test can stage any set of frame
// headers), the linear construction of the valid field as the reference the fast one must
// match, and fixtures against the simulated grabber in deterministic mode.
#pragma once

#include "acquisition/CKavrinFast.h"
#include "acquisition/CTLMChannel.h"
#include "platform/ProgramFolder.h"
#include "tests/acquisition/CameraTestSupport.h"

#include <cstring>
#include <vector>

// Writes a header into a frame: magic "TL2" (or garbage when `magic` is false), the channel
// letter and the tag.
inline void WriteHeader(CLumoImage& frames, int64_t frame, uint32_t tag, char channel = 'L',
                        bool magic = true) {
    auto* data = static_cast<uint8_t*>(frames.GetFrameData(0, frame, 0));
    const uint8_t header[8] = {static_cast<uint8_t>(magic ? 'T' : 'X'),
                               'L',
                               '2',
                               static_cast<uint8_t>(channel),
                               static_cast<uint8_t>(tag),
                               static_cast<uint8_t>(tag >> 8),
                               static_cast<uint8_t>(tag >> 16),
                               static_cast<uint8_t>(tag >> 24)};
    std::memcpy(data, header, sizeof header);
}

// The linear construction: every tag from `first` on searched through every valid buffer.
inline std::vector<int64_t> LinearField(CTLMChannel& channel, uint32_t first, uint64_t length) {
    std::vector<int64_t> field;
    for (uint64_t k = 0; k < length; ++k)
        field.push_back(channel.FindPhysicalIndexByTag(first + static_cast<uint32_t>(k)));
    return field;
}

// The field a camera answers through GetPhysicalIndex for `count` logical images.
inline std::vector<int64_t> FieldOf(CCamera& camera, uint32_t channel, uint64_t count) {
    std::vector<int64_t> field;
    for (uint64_t i = 0; i < count; ++i)
        field.push_back(camera.GetPhysicalIndex(channel, i));
    return field;
}

class TestTLMChannel final : public CTLMChannel {
public:
    using CTLMChannel::CTLMChannel;
    ~TestTLMChannel() override { Stop(); }
    Fg_Struct* Grabber() const { return m_pGrabber; }
    CLumoImage* Frames() { return m_pFrames; }
    // A ring of `buffers` frames without a grabber, `grabbed` images grabbed into it.
    bool MakeRing(uint64_t buffers, uint64_t grabbed) {
        CSequenceLock lock(*this);
        if (!m_pFrames || m_pFrames->Allocate(16, 1, ImageFormat::GREY8, 0, buffers) != 0)
            return false;
        StoreGrabbedCount(static_cast<int64_t>(grabbed));
        return true;
    }
};

class TestKavrinFast final : public CKavrinFast {
public:
    using CKavrinFast::CKavrinFast;
    ~TestKavrinFast() override { Stop(); }
    CTLMChannel& Right() { return m_right; }
    Fg_Struct* LeftGrabber() const { return m_pGrabber; }
    Fg_Struct* RightGrabber() { return GrabberOf(m_right); }
    CLumoImage* LeftFrames() { return m_pFrames; }
    CLumoImage* RightFrames() { return FramesOf(m_right); }
    void MarkSaveBusy(bool busy) { m_bSaveBusy.store(busy); }
    bool MakeRings(uint64_t buffers, uint64_t leftGrabbed, uint64_t rightGrabbed) {
        CSequenceLock lock(*this);
        CLumoImage* right = FramesOf(m_right);
        if (!m_pFrames || !right ||
            m_pFrames->Allocate(CHANNEL_WIDTH, m_uHeight, ImageFormat::GREY8, 0, buffers) != 0 ||
            right->Allocate(CHANNEL_WIDTH, m_uHeight, ImageFormat::GREY8, 0, buffers) != 0)
            return false;
        m_pLeftRegion->SetRect(0, 0, 0, CHANNEL_WIDTH, m_uHeight, 0);
        m_pRightRegion->SetRect(0, CHANNEL_WIDTH, 0, CHANNEL_WIDTH, m_uHeight, 0);
        StoreGrabbedCount(static_cast<int64_t>(leftGrabbed));
        StoreGrabbedCountOf(m_right, static_cast<int64_t>(rightGrabbed));
        return true;
    }
};

class TaggedCameraTest : public CameraTest {
protected:
    std::unique_ptr<TestTLMChannel> MakeChannel() {
        auto camera = std::make_unique<TestTLMChannel>(WIDTH, ImageFormat::GREY8, 0,
                                                       TheSiliconAPI(), m_pLumo);
        camera->SetHeight(HEIGHT);
        camera->SetLog(&m_sink);
        return camera;
    }
    std::unique_ptr<TestKavrinFast> MakeFast() {
        auto camera =
            std::make_unique<TestKavrinFast>(ImageFormat::GREY8, TheSiliconAPI(), m_pLumo);
        camera->SetHeight(2);
        camera->SetLog(&m_sink);
        return camera;
    }
    bool HasLine(const std::string& line) {
        const auto lines = m_sink.Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    size_t CountLines(const std::string& line) {
        const auto lines = m_sink.Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
};
