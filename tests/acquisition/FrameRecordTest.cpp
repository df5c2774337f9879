// The frame record's text: what is written reads back the same, and foreign text that is not
// exactly a version-1 record is refused.
#include "acquisition/FrameRecord.h"

#include <gtest/gtest.h>
#include <string>

namespace {

framerecord::FrameRecord Sample() {
    framerecord::FrameRecord record;
    record.frame = {7, 1234, false, 0x1a2b3c4du};
    record.recording.camera = "Kavrin KX-220B 200fps";
    record.recording.format = 0x02000808;
    record.recording.width = 2320;
    record.recording.height = 1726;
    record.recording.nominalFps = 200.0;
    record.recording.measuredFps = 199.8;
    record.recording.startUtc = "2026-12-08T18:00:00Z";
    record.recording.buffers = 50;
    record.recording.frames = 48;
    record.recording.lost = {3, -1};
    record.recording.triggerIndex = 12;
    return record;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(FrameRecordText, RoundTripsRecordsAndSidecars) {
    framerecord::FrameRecord record = Sample();
    framerecord::FrameRecord back;
    const std::string text = framerecord::ToText(record);
    EXPECT_EQ(text.rfind("{\"kavrin_record\":1,\"frame\":{\"index\":7,\"tag\":1234,", 0), 0u)
        << text;
    ASSERT_TRUE(framerecord::Parse(text, back)) << text;
    EXPECT_EQ(back, record);

    // Unknown values: no tag, a gap, an unknown lost count, no trigger, no start time; a name
    // outside ASCII is escaped and comes back.
    record.frame = {0, std::nullopt, true, 0};
    record.recording.lost = {-1};
    record.recording.triggerIndex.reset();
    record.recording.startUtc.clear();
    record.recording.camera = "Kamera \xc3\xa4";
    const std::string unknown = framerecord::ToText(record);
    EXPECT_NE(unknown.find("\"tag\":null"), std::string::npos);
    EXPECT_NE(unknown.find("\"lost\":[null]"), std::string::npos);
    EXPECT_EQ(unknown.find('\xc3'), std::string::npos) << "plain ASCII for TIFF and tEXt";
    ASSERT_TRUE(framerecord::Parse(unknown, back));
    EXPECT_EQ(back, record);

    std::vector<framerecord::FrameEntry> frames = {{0, 5, false, 1}, {1, std::nullopt, true, 2}};
    framerecord::RecordingInfo recording;
    std::vector<framerecord::FrameEntry> framesBack;
    ASSERT_TRUE(framerecord::ParseSidecar(framerecord::SidecarText(Sample().recording, frames),
                                          recording, framesBack));
    EXPECT_EQ(recording, Sample().recording);
    EXPECT_EQ(framesBack, frames);
    frames[1].index = 5; // the frames must be 0 .. n - 1 in order
    EXPECT_FALSE(framerecord::ParseSidecar(framerecord::SidecarText(recording, frames), recording,
                                           framesBack));
    EXPECT_EQ(framerecord::CrcText(0xABCu), "00000abc");
    EXPECT_EQ(framerecord::UtcText(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(framerecord::PixelCrc("123456789", 9), 0xCBF43926u); // the CRC-32 check value
}

TEST(FrameRecordText, RefusesWhatIsNotExactlyARecord) {
    const std::string good = framerecord::ToText(Sample());
    const std::string bad[] = {
        "",
        "Image description from another program",
        "{}",
        Replaced(good, "\"kavrin_record\":1", "\"kavrin_record\":2"),
        Replaced(good, "\"kavrin_record\":1", "\"kavrin_record\":\"1\""),
        Replaced(good, "\"tag\":1234", "\"tag\":4294967296"),
        Replaced(good, "\"tag\":1234", "\"tag\":-1"),
        Replaced(good, "\"lost\":false", "\"lost\":0"),
        Replaced(good, "\"crc32\":\"1a2b3c4d\"", "\"crc32\":\"1A2B3C4D\""),
        Replaced(good, "\"crc32\":\"1a2b3c4d\"", "\"crc32\":\"1a2b3c\""),
        Replaced(good, "\"format\":\"0x02000808\"", "\"format\":\"02000808\""),
        Replaced(good, "\"width\":2320", "\"width\":4294967296"),
        Replaced(good, "\"lost\":[3,null]", "\"lost\":[[3]]"),
        Replaced(good, "\"lost\":[3,null]",
                 "\"lost\":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]"),         // more channels than any
        Replaced(good, "\"buffers\":50,", ""),                            // a field missing
        Replaced(good, "\"buffers\":50,", "\"buffers\":50,\"extra\":1,"), // one too many
        good.substr(0, good.size() - 1),                                  // cut short
        std::string(100000, '['),
        good + std::string(framerecord::MAX_RECORD_TEXT, ' '),
    };
    for (const std::string& text : bad) {
        framerecord::FrameRecord record;
        EXPECT_FALSE(framerecord::Parse(text, record)) << text.substr(0, 200);
    }
}
