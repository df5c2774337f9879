// Tagged cameras in tests: direct access to their rings (so a test can stage any set of frame
// headers), the linear construction of the valid field as the reference the fast one must
// match, and fixtures against the simulated grabber in deterministic mode.
#pragma once

#include "acquisition/CKavrinFast.h"
#include "acquisition/CTLMChannel.h"
#include "libs/fgsim/FrameHeaderWriter.h"
#include "platform/ProgramFolder.h"
#include "tests/acquisition/CameraTestSupport.h"

#include <cstring>
#include <vector>

// Writes a header into a frame: magic "TL2" (or garbage when `magic` is false), the channel
// letter and the tag.
inline void WriteHeader(CLumoImage& frames, int64_t frame, uint32_t tag, char channel = 'L',
                        bool magic = true) {
    auto* data = static_cast<uint8_t*>(frames.GetFrameData(0, frame, 0));
    fgsim::WriteFrameHeader(data, channel, tag);
    if (!magic)
        data[0] = 'X';
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

// A ring of `buffers` 16 x 1 frames without a grabber, `grabbed` images grabbed into it.
inline bool MakeRing(CTLMChannel& channel, uint64_t buffers, uint64_t grabbed) {
    return SequenceTestSeam::MakeRing(channel, 16, 1, buffers, grabbed);
}

// Both rings of a dual-channel camera without grabbers, with the regions set.
inline bool MakeRings(CKavrinFast& camera, uint64_t buffers, uint64_t leftGrabbed,
                      uint64_t rightGrabbed) {
    return SequenceTestSeam::MakeRings(camera, buffers, leftGrabbed, rightGrabbed);
}

class TaggedCameraTest : public CameraTest {
protected:
    Owned<CTLMChannel> MakeChannel() {
        Owned<CTLMChannel> camera(WIDTH, ImageFormat::GREY8, 0, TheSiliconAPI(), m_pLumo);
        camera->SetHeight(HEIGHT);
        camera->SetLog(&m_sink);
        return camera;
    }
    Owned<CKavrinFast> MakeFast() {
        Owned<CKavrinFast> camera(ImageFormat::GREY8, TheSiliconAPI(), m_pLumo);
        camera->SetHeight(2);
        camera->SetLog(&m_sink);
        return camera;
    }
    // `camera` grabbing into `buffers` buffers, its notifications recorded in m_recorder.
    template <typename Camera>
    Owned<Camera> Started(Owned<Camera> camera, uint64_t buffers, bool continuous) {
        EXPECT_TRUE(StartRecording(*camera, m_recorder, buffers, continuous));
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

    NotificationRecorder m_recorder; // outlives the cameras
};
