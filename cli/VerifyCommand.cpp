// kavrin verify FILE: re-reads every frame of a saved recording and checks its pixels against
// the CRC-32 its frame record holds.
#include "acquisition/SavedRecord.h"
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/RecordedFrames.h"
#include "external/LumoPtr.h"

#include <cstdio>
#include <optional>

namespace cli {

namespace {

// What the walk over the frames found.
struct Findings {
    uint64_t frames = 0;   // frames read
    uint64_t first = 0;    // the saved index of the first frame read (a series may be
                           // verified from any of its files)
    uint64_t recorded = 0; // frames the record says were saved
    bool anyRecord = false;
    uint64_t bad = 0;
    std::optional<uint64_t> firstBad;
    std::string firstWhy;
};

void CountBad(Findings& found, uint64_t position, const std::string& why) {
    ++found.bad;
    if (!found.firstBad) {
        found.firstBad = position;
        found.firstWhy = why;
    }
}

// Checks the frame just read against its record. Frames are named by their saved index.
void CheckFrame(RecordedFrames& frames, CLumoImage& image, Findings& found) {
    framerecord::FrameRecord record;
    const bool recorded = frames.Record(record);
    if (recorded && frames.Position() == 0)
        found.first = record.frame.index;
    const uint64_t position = found.first + frames.Position();
    if (!recorded) {
        CountBad(found, position, "has no record");
        return;
    }
    found.anyRecord = true;
    found.recorded = record.recording.frames;
    if (record.frame.index != position) {
        CountBad(found, position,
                 "carries the record of frame " + std::to_string(record.frame.index));
        return;
    }
    const uint32_t crc = SavedRecord::ImageCrc(image);
    if (crc != record.frame.crc32)
        CountBad(found, position,
                 "does not match its record (CRC-32 " + framerecord::CrcText(crc) + ", recorded " +
                     framerecord::CrcText(record.frame.crc32) + ")");
}

} // namespace

int VerifyRecording(CLumoInstance* lumo, const std::string& file, bool okOnStderr) {
    const LumoModulePtr reader = MakeLumoModule(lumo, LUMO_ID_FILE_READER);
    const LumoImagePtr image = MakeLumoImage(lumo);
    if (!reader || !image) {
        Error("verify: the image library did not make a file reader");
        return CLI_FAILED;
    }
    RecordedFrames frames(*reader, *image);
    uint32_t rc = frames.Open(file);
    Findings found;
    while (rc == 0) {
        rc = frames.Next();
        if (rc != 0)
            break;
        ++found.frames;
        CheckFrame(frames, *image, found);
    }
    if (rc != RecordedFrames::END) {
        Error("cannot read " + (found.frames == 0 ? file : frames.FileName()) + ": " +
              ResultText(rc));
        return CLI_FAILED;
    }
    if (!found.anyRecord) {
        Error(file + " has no frame record");
        return CLI_FAILED;
    }
    // Frames the record counts that the file no longer holds are bad as well (counted, not
    // walked: the count comes from the file).
    const uint64_t end = found.first + found.frames;
    if (found.recorded > end) {
        CountBad(found, end, "is missing");
        found.bad += found.recorded - end - 1;
    }
    const uint64_t total = std::max(end, found.recorded) - found.first;
    if (found.bad != 0) {
        Error(file + ": frame " + std::to_string(*found.firstBad) + " " + found.firstWhy + "; " +
              std::to_string(found.bad) + " of " + std::to_string(total) + " frame(s) bad");
        return CLI_FAILED;
    }
    std::fprintf(okOnStderr ? stderr : stdout, "%llu frames verified\n",
                 static_cast<unsigned long long>(found.frames));
    return CLI_OK;
}

} // namespace cli

namespace {

int RunVerify(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        cli::Error("verify: needs one FILE (kavrin verify FILE)");
        return CLI_USAGE;
    }
    RuntimeLibraries libraries;
    if (!cli::LoadImageLibrary(libraries))
        return CLI_FAILED;
    return cli::VerifyRecording(libraries.GetLumoInstance(), args[0], false);
}

} // namespace

const CliCommand& VerifyCommand() {
    static const CliCommand command{
        "verify", "FILE", "re-read every frame and check it against its frame record",
        "  FILE is a multi-page TIFF or a file of a numbered series (checked from FILE on).\n"
        "  Exit 0 when every frame's pixels match the CRC-32 of its record (\"N frames\n"
        "  verified\"); 1 naming the first bad frame and the number of bad ones, or when FILE\n"
        "  has no record.",
        &RunVerify};
    return command;
}
