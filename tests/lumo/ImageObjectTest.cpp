#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "platform/MemoryStatus.h"
#include "tests/lumo/LumoTestLibrary.h"

#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

bool IsZero(const void* data, size_t bytes) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < bytes; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

} // namespace

TEST(ImageFormatWord, FieldsRoundTripAndCameraWords) {
    constexpr uint64_t word = ImageFormat::Make(16, 12, 3, 26, ImageFormat::CLASS_RGB);
    static_assert(ImageFormat::ContainerBits(word) == 16);
    static_assert(ImageFormat::SignificantBits(word) == 12);
    static_assert(ImageFormat::Channels(word) == 3);
    static_assert(ImageFormat::Layout(word) == 26);
    static_assert(ImageFormat::ImageClass(word) == 4);
    static_assert(ImageFormat::BytesPerPixel(word) == 6);
    EXPECT_EQ(ImageFormat::GREY8, 0x01001208u);
    EXPECT_EQ(ImageFormat::CFA8, 0x02001208u);
    EXPECT_EQ(ImageFormat::Make(8, 8, 4, 58, 4), 0x04E84208u);
    EXPECT_TRUE(ImageFormat::IsValid(word));
    EXPECT_FALSE(ImageFormat::IsValid(ImageFormat::Make(12, 12, 1, 0, 1)));
    EXPECT_FALSE(ImageFormat::IsValid(ImageFormat::Make(8, 8, 0, 0, 1)));
    EXPECT_FALSE(ImageFormat::IsValid(ImageFormat::Make(8, 9, 1, 0, 1)));
    EXPECT_FALSE(ImageFormat::IsValid(ImageFormat::GREY8 | (1ull << 40)));
}

using ImageObject = LumoTest;

TEST_F(ImageObject, AllocationGivesPackedPageAlignedZeroedFrames) {
    ImagePtr image = NewImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetKind(), CLumoObject::KIND_IMAGE);
    EXPECT_EQ(image->GetFrameCount(), 0u);
    EXPECT_EQ(image->GetFormat(nullptr), 0u);
    EXPECT_EQ(image->GetFrameData(0, -1, 0), nullptr);

    const uint64_t format = ImageFormat::Make(16, 12, 3, 26, ImageFormat::CLASS_RGB);
    ASSERT_EQ(image->Allocate(7, 5, format, 0, 3), LUMO_OK);
    uint64_t out = 0;
    EXPECT_EQ(image->GetFormat(&out), format);
    EXPECT_EQ(out, format);
    EXPECT_EQ(image->GetWidth(), 7u);
    EXPECT_EQ(image->GetHeight(), 5u);
    EXPECT_EQ(image->GetSignificantBits(), 12u);
    EXPECT_EQ(image->GetBitDepth(), 48u);
    EXPECT_EQ(image->GetFrameSize(), 7u * 5u * 6u);
    EXPECT_EQ(image->GetFrameCount(), 3u);

    const long page = sysconf(_SC_PAGESIZE);
    std::vector<uint8_t*> frames;
    for (int64_t i = 0; i < 3; ++i) {
        auto* data = static_cast<uint8_t*>(image->GetFrameData(0, i, 0));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % static_cast<uintptr_t>(page), 0u);
        EXPECT_TRUE(IsZero(data, 210));
        std::memset(data, 0x40 + static_cast<int>(i), 210); // the whole frame is writable
        frames.push_back(data);
    }
    EXPECT_EQ(image->GetFrameData(0, -1, 0), frames[0]);
    EXPECT_EQ(image->GetFrameData(0, 3, 0), nullptr);
    EXPECT_EQ(image->GetFrameData(0, -2, 0), nullptr);
    EXPECT_EQ(image->GetFrameData(1, 0, 0), nullptr);
    EXPECT_EQ(frames[1][209], 0x41);

    // The same frame size again: the frames stay where they are, cleared, and one is added.
    ASSERT_EQ(image->Allocate(5, 7, format, 0, 4), LUMO_OK);
    EXPECT_EQ(image->GetFrameData(0, 0, 0), frames[0]);
    EXPECT_EQ(image->GetFrameData(0, 2, 0), frames[2]);
    EXPECT_TRUE(IsZero(frames[1], 210));
    EXPECT_TRUE(IsZero(frames[2], 210));
    EXPECT_TRUE(IsZero(image->GetFrameData(0, 3, 0), 210));
    EXPECT_EQ(image->GetWidth(), 5u);

    // Memory an image gave back is handed out again cleared, never with the old pixels.
    for (int round = 0; round < 2; ++round) {
        ImagePtr used = NewImage();
        ASSERT_EQ(used->Allocate(7, 5, format, 0, 3), LUMO_OK);
        for (int64_t i = 0; i < 3; ++i) {
            EXPECT_TRUE(IsZero(used->GetFrameData(0, i, 0), 210)) << round << "/" << i;
            std::memset(used->GetFrameData(0, i, 0), 0xFF, 210);
        }
    }

    // Significant bits 0 stand for the whole container.
    ASSERT_EQ(image->Allocate(4, 4, ImageFormat::Make(16, 0, 1, 0, 1), 0, 1), LUMO_OK);
    EXPECT_EQ(image->GetSignificantBits(), 16u);
    // Zero frames is an empty store with a geometry.
    ASSERT_EQ(image->Allocate(4, 4, ImageFormat::GREY8, 0, 0), LUMO_OK);
    EXPECT_EQ(image->GetFrameCount(), 0u);
    EXPECT_EQ(image->GetFrameSize(), 16u);
}

TEST_F(ImageObject, RefusedAllocationsLeaveTheImageAsItWas) {
    ImagePtr image = NewImage();
    ASSERT_EQ(image->Allocate(2320, 1726, ImageFormat::GREY8, 0, 2), LUMO_OK);
    void* before = image->GetFrameData(0, 1, 0);
    std::memset(before, 0x5A, 16);

    const auto unchanged = [&] {
        EXPECT_EQ(image->GetWidth(), 2320u);
        EXPECT_EQ(image->GetHeight(), 1726u);
        EXPECT_EQ(image->GetFormat(nullptr), ImageFormat::GREY8);
        EXPECT_EQ(image->GetFrameCount(), 2u);
        EXPECT_EQ(image->GetFrameData(0, 1, 0), before);
        EXPECT_EQ(static_cast<uint8_t*>(before)[15], 0x5A);
    };
    EXPECT_EQ(image->Allocate(0, 10, ImageFormat::GREY8, 0, 1), LUMO_E_INVALIDARG);
    EXPECT_EQ(image->Allocate(10, 0, ImageFormat::GREY8, 0, 1), LUMO_E_INVALIDARG);
    EXPECT_EQ(image->Allocate(10, 10, ImageFormat::Make(12, 12, 1, 0, 1), 0, 1), LUMO_E_INVALIDARG);
    EXPECT_EQ(image->Allocate(10, 10, ImageFormat::GREY8, 1, 1), LUMO_E_INVALIDARG);
    unchanged();

    // More frames than the machine has available: refused before anything is touched.
    const std::optional<uint64_t> available = platform::MemAvailableBytes();
    ASSERT_TRUE(available.has_value());
    const uint64_t tooMany = *available / image->GetFrameSize() + 2;
    EXPECT_EQ(image->Allocate(2320, 1726, ImageFormat::GREY8, 0, tooMany), LUMO_E_OUTOFMEMORY);
    EXPECT_EQ(image->EditFrames(CLumoImage::EDIT_INSERT, 2, tooMany), LUMO_E_OUTOFMEMORY);
    // Sizes whose product does not fit into 64 bits.
    EXPECT_EQ(
        image->Allocate(0xFFFFFFFF, 0xFFFFFFFF, ImageFormat::Make(32, 32, 63, 0, 4), 0, UINT64_MAX),
        LUMO_E_OUTOFMEMORY);
    EXPECT_EQ(image->Allocate(0xFFFFFFFF, 0xFFFFFFFF, ImageFormat::GREY8, 0, UINT64_MAX),
              LUMO_E_OUTOFMEMORY);
    unchanged();
}

TEST_F(ImageObject, AllocateFramesTakesGeometryFormatAndOriginOfTemplate) {
    ImagePtr pattern = NewImage();
    ASSERT_EQ(pattern->Allocate(9, 3, ImageFormat::CFA8, 0, 1), LUMO_OK);
    pattern->SetOrigin(1, 0);
    ImagePtr image = NewImage();
    ASSERT_EQ(image->AllocateFrames(pattern.get(), 4), LUMO_OK);
    EXPECT_EQ(image->GetWidth(), 9u);
    EXPECT_EQ(image->GetHeight(), 3u);
    EXPECT_EQ(image->GetFormat(nullptr), ImageFormat::CFA8);
    EXPECT_EQ(image->GetFrameCount(), 4u);
    uint32_t x = 7, y = 7;
    image->GetOrigin(&x, &y);
    EXPECT_EQ(x, 1u);
    EXPECT_EQ(y, 0u);

    EXPECT_NE(image->AllocateFrames(nullptr, 1), LUMO_OK);
    ImagePtr empty = NewImage();
    EXPECT_NE(image->AllocateFrames(empty.get(), 1), LUMO_OK); // a template without geometry
    EXPECT_EQ(image->GetFrameCount(), 4u);
}

TEST_F(ImageObject, EditFramesInsertsAndRemovesWithoutMovingOtherFrames) {
    ImagePtr image = NewImage();
    EXPECT_EQ(image->EditFrames(CLumoImage::EDIT_INSERT, 0, 1), LUMO_E_NOIMAGE);
    ASSERT_EQ(image->Allocate(5, 3, ImageFormat::GREY8, 0, 3), LUMO_OK);
    std::vector<uint8_t*> original;
    for (int64_t i = 0; i < 3; ++i) {
        auto* data = static_cast<uint8_t*>(image->GetFrameData(0, i, 0));
        std::memset(data, 10 + static_cast<int>(i), 15);
        original.push_back(data);
    }

    ASSERT_EQ(image->EditFrames(CLumoImage::EDIT_INSERT, 1, 2), LUMO_OK);
    ASSERT_EQ(image->GetFrameCount(), 5u);
    EXPECT_EQ(image->GetFrameData(0, 0, 0), original[0]);
    EXPECT_EQ(image->GetFrameData(0, 3, 0), original[1]);
    EXPECT_EQ(image->GetFrameData(0, 4, 0), original[2]);
    EXPECT_TRUE(IsZero(image->GetFrameData(0, 1, 0), 15));
    EXPECT_TRUE(IsZero(image->GetFrameData(0, 2, 0), 15));
    EXPECT_EQ(static_cast<uint8_t*>(image->GetFrameData(0, 4, 0))[14], 12);

    ASSERT_EQ(image->EditFrames(CLumoImage::EDIT_INSERT, 5, 1), LUMO_OK); // append
    EXPECT_EQ(image->GetFrameCount(), 6u);
    ASSERT_EQ(image->EditFrames(CLumoImage::EDIT_REMOVE, 1, 3), LUMO_OK);
    ASSERT_EQ(image->GetFrameCount(), 3u);
    EXPECT_EQ(image->GetFrameData(0, 0, 0), original[0]);
    EXPECT_EQ(image->GetFrameData(0, 1, 0), original[2]);
    EXPECT_EQ(static_cast<uint8_t*>(image->GetFrameData(0, 1, 0))[0], 12);

    EXPECT_EQ(image->EditFrames(CLumoImage::EDIT_INSERT, 4, 1), LUMO_E_INVALIDARG);
    EXPECT_EQ(image->EditFrames(CLumoImage::EDIT_REMOVE, 2, 2), LUMO_E_INVALIDARG);
    EXPECT_EQ(image->EditFrames(CLumoImage::EDIT_REMOVE, 1, UINT64_MAX), LUMO_E_INVALIDARG);
    EXPECT_EQ(image->EditFrames(18, 0, 1), LUMO_E_INVALIDARG);
    EXPECT_EQ(image->GetFrameCount(), 3u);
    ASSERT_EQ(image->EditFrames(CLumoImage::EDIT_REMOVE, 0, 3), LUMO_OK);
    EXPECT_EQ(image->GetFrameCount(), 0u);
    EXPECT_EQ(image->GetFrameData(0, 0, 0), nullptr);
}

TEST_F(ImageObject, PixelsAreReadAndWrittenPerChannelWithClipping) {
    ImagePtr grey = NewImage();
    ASSERT_EQ(grey->Allocate(6, 2, ImageFormat::GREY8, 0, 2), LUMO_OK);
    const uint32_t value[4] = {300, 0, 0, 0};
    ASSERT_EQ(grey->SetPixel(1, 2, 4, value, 4, 1, 0, 0), LUMO_OK); // row 1, columns 2..4
    const auto* frame1 = static_cast<const uint8_t*>(grey->GetFrameData(0, 1, 0));
    const uint8_t expected[12] = {0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(frame1, expected, 12), 0);
    EXPECT_TRUE(IsZero(grey->GetFrameData(0, 0, 0), 12)); // frame 0 untouched
    uint32_t read[4] = {9, 9, 9, 9};
    ASSERT_EQ(grey->GetPixel(3, 1, read, 4, 1, 0, 0), LUMO_OK);
    EXPECT_EQ(read[0], 255u);
    EXPECT_EQ(read[1], 9u); // only as many values as channels are written

    ImagePtr rgb = NewImage();
    ASSERT_EQ(rgb->Allocate(3, 2, ImageFormat::Make(16, 12, 3, 26, 4), 0, 1), LUMO_OK);
    const uint32_t colour[3] = {1, 0x1234, 70000};
    ASSERT_EQ(rgb->SetPixel(0, 1, 1, colour, 3, -1, 0, 0), LUMO_OK);
    ASSERT_EQ(rgb->GetPixel(1, 0, read, 4, 0, 0, 0), LUMO_OK);
    EXPECT_EQ(read[0], 1u);
    EXPECT_EQ(read[1], 0x1234u);
    EXPECT_EQ(read[2], 0xFFFFu);
    const auto* samples = static_cast<const uint16_t*>(rgb->GetFrameData(0, 0, 0));
    EXPECT_EQ(samples[0], 0u);          // pixel 0 untouched
    EXPECT_EQ(samples[3 + 1], 0x1234u); // pixel 1, channel 1: samples are interleaved
    EXPECT_EQ(samples[6], 0u);          // pixel 2 untouched

    ImagePtr wide = NewImage();
    ASSERT_EQ(wide->Allocate(2, 1, ImageFormat::Make(32, 32, 1, 0, 1), 0, 1), LUMO_OK);
    const uint32_t big[1] = {0xFEDCBA98};
    ASSERT_EQ(wide->SetPixel(0, 0, 1, big, 1, 0, 0, 0), LUMO_OK);
    ASSERT_EQ(wide->GetPixel(1, 0, read, 1, 0, 0, 0), LUMO_OK);
    EXPECT_EQ(read[0], 0xFEDCBA98u);

    // Spans and pixels outside the image, too few values, frames that do not exist.
    EXPECT_NE(grey->SetPixel(2, 0, 0, value, 4, 0, 0, 0), LUMO_OK);
    EXPECT_NE(grey->SetPixel(0, 0, 6, value, 4, 0, 0, 0), LUMO_OK);
    EXPECT_NE(grey->SetPixel(0, 4, 3, value, 4, 0, 0, 0), LUMO_OK);
    EXPECT_NE(grey->SetPixel(0, 0, 0, value, 4, 2, 0, 0), LUMO_OK);
    EXPECT_NE(rgb->SetPixel(0, 0, 0, colour, 2, 0, 0, 0), LUMO_OK);
    EXPECT_NE(grey->GetPixel(6, 0, read, 4, 0, 0, 0), LUMO_OK);
    EXPECT_NE(grey->GetPixel(0, 2, read, 4, 0, 0, 0), LUMO_OK);
    EXPECT_NE(rgb->GetPixel(0, 0, read, 2, 0, 0, 0), LUMO_OK);
    EXPECT_NE(grey->GetPixel(0, 0, nullptr, 4, 0, 0, 0), LUMO_OK);
}

TEST_F(ImageObject, AreaSpansBlackOutTheWholeFrameOnce) {
    ImagePtr image = NewImage();
    EXPECT_EQ(image->GetAreaGroupCount(0), 0u); // no frames: nothing to black out
    ASSERT_EQ(image->Allocate(5, 4, ImageFormat::GREY8, 0, 2), LUMO_OK);
    std::memset(image->GetFrameData(0, 0, 0), 0x77, 20);
    std::memset(image->GetFrameData(0, 1, 0), 0x66, 20);

    // The walk a camera does for a lost frame, re-reading both counts after each pass.
    const uint32_t zeros[4] = {0, 0, 0, 0};
    uint64_t spans = 0;
    for (uint64_t g = 0; g < image->GetAreaGroupCount(0); ++g) {
        for (uint64_t k = 0; k < image->GetAreaSpanCount(g, 0); ++k) {
            const uint32_t a = image->GetAreaSpanA(g, k, 0);
            const uint32_t b = image->GetAreaSpanB(g, k, 0);
            const uint32_t c = image->GetAreaSpanC(g, k, 0);
            EXPECT_EQ(a, k);
            EXPECT_EQ(b, 0u);
            EXPECT_EQ(c, 4u);
            ASSERT_EQ(image->SetPixel(a, b, c, zeros, 4, -1, 0, 0), LUMO_OK);
            ++spans;
        }
    }
    EXPECT_EQ(spans, 4u);
    EXPECT_TRUE(IsZero(image->GetFrameData(0, 0, 0), 20));
    EXPECT_EQ(static_cast<uint8_t*>(image->GetFrameData(0, 1, 0))[19], 0x66);

    EXPECT_EQ(image->GetAreaGroupCount(2), 0u);
    EXPECT_EQ(image->GetAreaSpanCount(1, 0), 0u);
    EXPECT_EQ(image->GetAreaSpanC(0, 4, 0), 0u);
    EXPECT_EQ(image->GetAreaSpanA(1, 0, 0), 0u);
}

TEST_F(ImageObject, AttributesAndOriginSurviveReallocation) {
    ImagePtr image = NewImage();
    EXPECT_EQ(image->GetAttribute(2), nullptr);
    uint32_t x = 9, y = 9;
    image->GetOrigin(&x, &y);
    EXPECT_EQ(x, 0u);
    EXPECT_EQ(y, 0u);

    ASSERT_EQ(image->SetAttribute(2, "Hadrell Optics GmbH"), LUMO_OK);
    ASSERT_EQ(image->SetAttribute(4, "KavrinDemo"), LUMO_OK);
    ASSERT_EQ(image->SetAttribute(4, "replaced"), LUMO_OK);
    image->SetOrigin(3, 1);
    ASSERT_EQ(image->Allocate(4, 4, ImageFormat::CFA8, 0, 1), LUMO_OK);

    ASSERT_NE(image->GetAttribute(2), nullptr);
    EXPECT_STREQ(image->GetAttribute(2), "Hadrell Optics GmbH");
    EXPECT_STREQ(image->GetAttribute(4), "replaced");
    EXPECT_EQ(image->GetAttribute(3), nullptr);
    image->GetOrigin(&x, nullptr);
    image->GetOrigin(nullptr, &y);
    EXPECT_EQ(x, 3u);
    EXPECT_EQ(y, 1u);
    ASSERT_EQ(image->SetAttribute(2, nullptr), LUMO_OK);
    EXPECT_EQ(image->GetAttribute(2), nullptr);
}
