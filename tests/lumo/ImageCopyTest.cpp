#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "tests/lumo/LumoTestLibrary.h"

#include <cstring>

namespace {

// Fills frame `frame` with bytes seed, seed + 1, ... in memory order.
void FillCounting(CLumoImage& image, int64_t frame, uint8_t seed) {
    auto* data = static_cast<uint8_t*>(image.GetFrameData(0, frame, 0));
    for (uint64_t i = 0; i < image.GetFrameSize(); ++i)
        data[i] = static_cast<uint8_t>(seed + i);
}

uint8_t At(CLumoImage& image, int64_t frame, uint32_t x, uint32_t y) {
    const auto* data = static_cast<const uint8_t*>(image.GetFrameData(0, frame, 0));
    return data[y * image.GetWidth() + x];
}

} // namespace

using ImageCopy = LumoTest;

TEST_F(ImageCopy, WholeFramesNeedMatchingGeometryAndPixelSize) {
    ImagePtr source = NewImage();
    ImagePtr target = NewImage();
    ASSERT_EQ(source->Allocate(6, 4, ImageFormat::GREY8, 0, 3), LUMO_OK);
    ASSERT_EQ(target->Allocate(6, 4, ImageFormat::CFA8, 0, 2), LUMO_OK);
    FillCounting(*source, 2, 100);

    ASSERT_EQ(target->CopyFrame(source.get(), 2, -1, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_EQ(std::memcmp(target->GetFrameData(0, 0, 0), source->GetFrameData(0, 2, 0), 24), 0);
    EXPECT_EQ(At(*target, 1, 5, 3), 0); // only the target frame changes
    ASSERT_EQ(target->CopyFrame(source.get(), 2, 1, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_EQ(At(*target, 1, 5, 3), static_cast<uint8_t>(100 + 23));
    EXPECT_EQ(target->GetFormat(nullptr), ImageFormat::CFA8); // the target keeps its format word

    // Within one image, from one frame to another.
    ASSERT_EQ(source->CopyFrame(source.get(), 2, 0, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_EQ(At(*source, 0, 1, 0), 101);

    ImagePtr other = NewImage();
    ASSERT_EQ(other->Allocate(6, 5, ImageFormat::GREY8, 0, 1), LUMO_OK);
    EXPECT_NE(other->CopyFrame(source.get(), 0, -1, 0, nullptr, 0, 0), LUMO_OK);
    ImagePtr deep = NewImage();
    ASSERT_EQ(deep->Allocate(6, 4, ImageFormat::Make(16, 16, 1, 0, 1), 0, 1), LUMO_OK);
    EXPECT_NE(deep->CopyFrame(source.get(), 0, -1, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_NE(target->CopyFrame(source.get(), 3, -1, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_NE(target->CopyFrame(source.get(), UINT64_MAX, -1, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_NE(target->CopyFrame(source.get(), 0, 2, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_NE(target->CopyFrame(nullptr, 0, -1, 0, nullptr, 0, 0), LUMO_OK);
    ImagePtr empty = NewImage();
    EXPECT_NE(empty->CopyFrame(source.get(), 0, -1, 0, nullptr, 0, 0), LUMO_OK);
}

TEST_F(ImageCopy, RegionPlacesAFrameIntoPartOfTheTarget) {
    ImagePtr half = NewImage();
    ASSERT_EQ(half->Allocate(3, 2, ImageFormat::GREY8, 0, 2), LUMO_OK);
    FillCounting(*half, 1, 1); // rows {1, 2, 3}, {4, 5, 6}
    ImagePtr whole = NewImage();
    ASSERT_EQ(whole->Allocate(8, 4, ImageFormat::GREY8, 0, 1), LUMO_OK);
    std::memset(whole->GetFrameData(0, 0, 0), 0xEE, 32);

    RegionPtr region = NewRegion();
    ASSERT_TRUE(region);
    EXPECT_EQ(region->GetKind(), CLumoObject::KIND_REGION);
    ASSERT_EQ(region->SetRect(0, 4, 1, 3, 2, 0), LUMO_OK);
    ASSERT_EQ(whole->CopyFrame(half.get(), 1, -1, 0, region.get(), 0, 0), LUMO_OK);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            const bool inside = x >= 4 && x < 7 && y >= 1 && y < 3;
            const uint8_t expected =
                inside ? static_cast<uint8_t>(1 + (y - 1) * 3 + (x - 4)) : uint8_t{0xEE};
            EXPECT_EQ(At(*whole, 0, x, y), expected) << x << "," << y;
        }
    }

    // Two halves side by side, as a dual-channel camera assembles its image.
    ImagePtr pair = NewImage();
    ASSERT_EQ(pair->Allocate(6, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    RegionPtr left = NewRegion();
    ASSERT_EQ(left->SetRect(0, 0, 0, 3, 2, 0), LUMO_OK);
    ASSERT_EQ(region->SetRect(0, 3, 0, 3, 2, 0), LUMO_OK);
    ASSERT_EQ(pair->CopyFrame(half.get(), 1, -1, 0, region.get(), 0, 0), LUMO_OK);
    ASSERT_EQ(pair->CopyFrame(half.get(), 0, -1, 0, left.get(), 0, 0), LUMO_OK);
    EXPECT_EQ(At(*pair, 0, 2, 1), 0);
    EXPECT_EQ(At(*pair, 0, 3, 0), 1);
    EXPECT_EQ(At(*pair, 0, 5, 1), 6);

    // Rectangles that stick out of the target or do not fit the source are refused.
    ASSERT_EQ(region->SetRect(0, 6, 0, 3, 2, 0), LUMO_OK);
    EXPECT_NE(whole->CopyFrame(half.get(), 1, -1, 0, region.get(), 0, 0), LUMO_OK);
    ASSERT_EQ(region->SetRect(0, 0, 3, 3, 2, 0), LUMO_OK);
    EXPECT_NE(whole->CopyFrame(half.get(), 1, -1, 0, region.get(), 0, 0), LUMO_OK);
    ASSERT_EQ(region->SetRect(0, 0xFFFFFFFF, 0, 3, 2, 0), LUMO_OK);
    EXPECT_NE(whole->CopyFrame(half.get(), 1, -1, 0, region.get(), 0, 0), LUMO_OK);
    ASSERT_EQ(region->SetRect(0, 0, 0, 2, 2, 0), LUMO_OK);
    EXPECT_NE(whole->CopyFrame(half.get(), 1, -1, 0, region.get(), 0, 0), LUMO_OK);
    RegionPtr unset = NewRegion();
    EXPECT_NE(whole->CopyFrame(half.get(), 1, -1, 0, unset.get(), 0, 0), LUMO_OK);

    uint32_t x = 1, y = 1, w = 1, h = 1;
    ASSERT_EQ(unset->GetRect(0, &x, &y, &w, &h, 0), LUMO_OK);
    EXPECT_EQ(x + y + w + h, 0u);
    EXPECT_NE(unset->SetRect(1, 0, 0, 1, 1, 0), LUMO_OK);
    EXPECT_NE(unset->GetRect(0, &x, &y, &w, &h, 1), LUMO_OK);
}
