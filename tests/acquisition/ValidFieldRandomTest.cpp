// Thousands of random rings: the valid field built from the one-pass index must equal the
// linear construction (every tag searched through every valid buffer) wherever that one is
// defined (every header readable) and bounded (range at most 16 x the buffers). Tags are made
// as 64-bit numbers and written as their low 32 bits, so rings across the wrap have a known
// true range.
#include "tests/acquisition/TaggedCameraTestSupport.h"

#include <random>

namespace {

// One channel's deliveries: the tag (unwrapped) of every frame it received, in order, and which
// of them carries a header without the magic.
struct Deliveries {
    std::vector<uint64_t> tags;
    int64_t bad = -1;
};

// The camera's frames: tags from `base`, with repeats and rare jumps of the counter.
std::vector<uint64_t> CameraTags(std::mt19937_64& random, uint64_t frames, uint64_t base) {
    std::bernoulli_distribution repeat(std::uniform_int_distribution<int>(0, 1)(random) ? 0.05 : 0);
    std::bernoulli_distribution jump(0.003);
    std::vector<uint64_t> tags;
    uint64_t next = base;
    for (uint64_t k = 0; k < frames; ++k) {
        if (!tags.empty() && repeat(random)) {
            tags.push_back(tags.back());
            continue;
        }
        if (jump(random))
            next += 1000 + random() % 100000;
        tags.push_back(next++);
    }
    return tags;
}

Deliveries Deliver(std::mt19937_64& random, const std::vector<uint64_t>& camera) {
    static const double DROP[] = {0, 0.01, 0.1, 0.3};
    std::bernoulli_distribution drop(DROP[random() % 4]);
    Deliveries out;
    for (const uint64_t tag : camera)
        if (!drop(random))
            out.tags.push_back(tag);
    if (!out.tags.empty() && random() % 10 == 0)
        out.bad = static_cast<int64_t>(random() % out.tags.size());
    return out;
}

uint64_t Base(std::mt19937_64& random, uint64_t buffers) {
    switch (random() % 3) {
    case 0:
        return (uint64_t{1} << 32) - random() % (3 * buffers + 2); // across the wrap
    case 1:
        return random() % 1000;
    default:
        return random() & 0xFFFFFFFFu;
    }
}

// Earlier rings' headers go.
void ClearFrames(CLumoImage& frames) {
    for (uint64_t b = 0; b < frames.GetFrameCount(); ++b)
        std::memset(frames.GetFrameData(0, static_cast<int64_t>(b), 0), 0, FrameHeader::SIZE);
}

// Writes the ring content after all deliveries: buffer j mod B holds the last frame j.
void WriteRing(CLumoImage& frames, uint64_t buffers, const Deliveries& deliveries, char channel) {
    for (uint64_t j = 0; j < deliveries.tags.size(); ++j)
        WriteHeader(frames, static_cast<int64_t>(j % buffers),
                    static_cast<uint32_t>(deliveries.tags[j]), channel,
                    static_cast<int64_t>(j) != deliveries.bad);
}

// What the valid buffers of a channel hold, in ring order.
struct ValidRing {
    bool readable = true;
    uint64_t count = 0;
    uint64_t minTag = UINT64_MAX; // unwrapped
    uint64_t maxTag = 0;
    int64_t lost = 0; // the sum of the 32-bit gaps in ring order
};

ValidRing Inspect(CTLMChannel& channel, uint64_t buffers, const Deliveries& deliveries) {
    ValidRing ring;
    ring.count = channel.CCamera::GetValidCount(0);
    const uint64_t grabbed = deliveries.tags.size();
    uint32_t previous = 0;
    for (uint64_t i = 0; i < ring.count; ++i) {
        const int64_t physical = channel.CCamera::GetPhysicalIndex(0, i);
        // The delivery that last wrote this buffer.
        uint64_t j = static_cast<uint64_t>(physical);
        while (j + buffers < grabbed)
            j += buffers;
        if (static_cast<int64_t>(j) == deliveries.bad)
            ring.readable = false;
        const uint64_t tag = deliveries.tags[j];
        ring.minTag = std::min(ring.minTag, tag);
        ring.maxTag = std::max(ring.maxTag, tag);
        if (i > 0)
            ring.lost += static_cast<uint32_t>(static_cast<uint32_t>(tag) - previous - 1);
        previous = static_cast<uint32_t>(tag);
    }
    return ring;
}

bool Bounded(const ValidRing& ring, uint64_t buffers) {
    return ring.maxTag - ring.minTag + 1 <= 16 * buffers;
}

} // namespace

class ValidFieldRandomTest : public TaggedCameraTest {};

TEST_F(ValidFieldRandomTest, SingleChannelFieldEqualsTheLinearConstruction) {
    std::mt19937_64 random(20261207);
    auto camera = MakeChannel();
    camera->SetLog(nullptr);
    int built = 0;
    int wrapped = 0;
    for (int round = 0; round < 4000; ++round) {
        SCOPED_TRACE(round);
        const uint64_t buffers = 2 + random() % 40;
        const uint64_t base = Base(random, buffers);
        const Deliveries deliveries =
            Deliver(random, CameraTags(random, random() % (3 * buffers + 2), base));
        ASSERT_TRUE(MakeRing(*camera, buffers, deliveries.tags.size()));
        ClearFrames(*Frames(*camera));
        WriteRing(*Frames(*camera), buffers, deliveries, 'L');
        const ValidRing ring = Inspect(*camera, buffers, deliveries);

        const bool ok = camera->InitializeValidField();
        const bool defined = ring.count > 0 && ring.readable;
        ASSERT_EQ(ok, defined && Bounded(ring, buffers));
        EXPECT_EQ(camera->GetLostImagesFromTags(), defined ? ring.lost : -1);
        if (!ok) {
            ASSERT_EQ(camera->GetValidFieldLength(), 0u);
            ASSERT_EQ(camera->GetImageCount(), ring.count);
            continue;
        }
        ++built;
        const uint64_t length = ring.maxTag - ring.minTag + 1;
        ASSERT_EQ(camera->GetImageCount(), length);
        const std::vector<int64_t> field = FieldOf(*camera, 0, length);
        ASSERT_EQ(field, LinearField(*camera, static_cast<uint32_t>(ring.minTag), length));
        if ((ring.minTag >> 32) == (ring.maxTag >> 32)) {
            // No wrap: exactly the range the tag range operation gives.
            uint32_t minTag = 0;
            uint32_t maxTag = 0;
            ASSERT_TRUE(camera->GetTagRange(nullptr, nullptr, &minTag, &maxTag));
            ASSERT_EQ(field, LinearField(*camera, minTag, uint64_t{maxTag} - minTag + 1));
        } else {
            ++wrapped;
        }
    }
    EXPECT_GT(built, 2000);
    EXPECT_GT(wrapped, 100);
}

TEST_F(ValidFieldRandomTest, DualChannelFieldsEqualTheLinearConstruction) {
    std::mt19937_64 random(7122026);
    auto camera = MakeFast();
    camera->SetLog(nullptr);
    CTLMChannel& right = Right(*camera);
    int paired = 0;
    for (int round = 0; round < 2500; ++round) {
        SCOPED_TRACE(round);
        const uint64_t buffers = 2 + random() % 32;
        const std::vector<uint64_t> tags =
            CameraTags(random, random() % (3 * buffers + 2), Base(random, buffers));
        const Deliveries left = Deliver(random, tags);
        const Deliveries rightDeliveries = Deliver(random, tags);
        const bool swap = random() % 4 == 0;
        ASSERT_TRUE(MakeRings(*camera, buffers, left.tags.size(), rightDeliveries.tags.size()));
        ClearFrames(*Frames(*camera));
        ClearFrames(*RightFrames(*camera));
        WriteRing(*Frames(*camera), buffers, left, swap ? 'R' : 'L');
        WriteRing(*RightFrames(*camera), buffers, rightDeliveries, swap ? 'L' : 'R');
        const ValidRing leftRing = Inspect(*camera, buffers, left);
        const ValidRing rightRing = Inspect(right, buffers, rightDeliveries);

        const bool ok = camera->InitializeValidField();
        const bool defined =
            leftRing.count > 0 && rightRing.count > 0 && leftRing.readable && rightRing.readable;
        ASSERT_EQ(ok, defined && Bounded(leftRing, buffers) && Bounded(rightRing, buffers));
        const uint64_t smaller = std::min(leftRing.count, rightRing.count);
        if (!ok) {
            ASSERT_EQ(camera->GetValidFieldLength(), 0u);
            ASSERT_EQ(camera->GetImageCount(), smaller);
            continue;
        }
        const uint64_t start = std::max(leftRing.minTag, rightRing.minTag);
        const uint64_t end = std::min(leftRing.maxTag, rightRing.maxTag);
        if (start > end) {
            ASSERT_EQ(camera->GetValidFieldLength(), 0u);
            ASSERT_EQ(camera->GetImageCount(), smaller);
            continue;
        }
        ++paired;
        const uint64_t length = end - start + 1;
        ASSERT_EQ(camera->GetImageCount(), length);
        ASSERT_EQ(FieldOf(*camera, 0, length),
                  LinearField(*camera, static_cast<uint32_t>(start), length));
        ASSERT_EQ(FieldOf(*camera, 1, length),
                  LinearField(right, static_cast<uint32_t>(start), length));
        EXPECT_EQ(camera->GetPhysicalIndex(0, length), -1);
    }
    EXPECT_GT(paired, 1000);
}

// Rings the simulated grabber fills: random first tags near the wrap, random dropped tags,
// swapped boards, and channels that received different numbers of frames.
TEST_F(ValidFieldRandomTest, SimulatedGrabsEqualTheLinearConstruction) {
    std::mt19937_64 random(42);
    int paired = 0;
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        const uint64_t buffers = 3 + random() % 12;
        const uint32_t tag0 = 0xFFFFFFFFu - static_cast<uint32_t>(random() % (2 * buffers));
        std::string drops = "list:";
        for (int k = 0; k < 3; ++k)
            drops += std::to_string(static_cast<uint32_t>(tag0 + random() % (2 * buffers))) + ",";
        drops.pop_back();
        ScopedEnv first("FGSIM_TAG0", std::to_string(tag0).c_str());
        ScopedEnv drop("FGSIM_DROP", drops.c_str());
        ScopedEnv swap("FGSIM_SWAP", round % 2 ? "1" : nullptr);
        NotificationRecorder recorder;
        auto camera = MakeFast();
        camera->SetLog(nullptr);
        ASSERT_TRUE(StartRecording(*camera, recorder, buffers, true));
        const uint64_t frames = 2 + random() % (2 * buffers);
        m_step(Grabber(*camera), frames);
        m_step(RightGrabber(*camera), frames - random() % 2);
        camera->Stop();
        CTLMChannel& right = Right(*camera);
        const uint64_t leftCount = camera->CCamera::GetValidCount(0);
        const uint64_t rightCount = right.CCamera::GetValidCount(0);
        if (leftCount == 0 || rightCount == 0) {
            EXPECT_EQ(camera->GetValidFieldLength(), 0u);
            continue;
        }
        // Tags grow in ring order: the field runs from the later of the two oldest frames to
        // the earlier of the two newest, compared across the wrap.
        const auto tagAt = [](CTLMChannel& channel, CLumoImage& ring, uint64_t logical) {
            return TagOf(ring, channel.CCamera::GetPhysicalIndex(0, logical));
        };
        const uint32_t leftOldest = tagAt(*camera, *Frames(*camera), 0);
        const uint32_t rightOldest = tagAt(right, *RightFrames(*camera), 0);
        const uint32_t leftNewest = tagAt(*camera, *Frames(*camera), leftCount - 1);
        const uint32_t rightNewest = tagAt(right, *RightFrames(*camera), rightCount - 1);
        const uint32_t start =
            static_cast<int32_t>(rightOldest - leftOldest) > 0 ? rightOldest : leftOldest;
        const uint32_t end =
            static_cast<int32_t>(rightNewest - leftNewest) < 0 ? rightNewest : leftNewest;
        const int32_t span = static_cast<int32_t>(end - start);
        const uint64_t length = span < 0 ? 0 : static_cast<uint64_t>(span) + 1;
        ASSERT_EQ(camera->GetValidFieldLength(), length);
        if (length == 0)
            continue;
        ++paired;
        const std::vector<int64_t> leftField = FieldOf(*camera, 0, length);
        const std::vector<int64_t> rightField = FieldOf(*camera, 1, length);
        ASSERT_EQ(leftField, LinearField(*camera, start, length));
        ASSERT_EQ(rightField, LinearField(right, start, length));
        auto image = MakeImage();
        for (uint64_t i = 0; i < length; ++i) {
            if (leftField[i] < 0 || rightField[i] < 0)
                continue;
            ASSERT_TRUE(camera->CopyValidToImage(i, image.get(), 1, 1));
            const auto* data = static_cast<const uint8_t*>(image->GetFrameData(0, 0, 0));
            ASSERT_EQ(data[3], 'L') << "the left half carries the left header";
            ASSERT_EQ(data[CKavrinFast::CHANNEL_WIDTH + 3], 'R');
        }
    }
    EXPECT_GT(paired, 100);
}
