// The simulated grabber's settings: any text in any FGSIM_ variable gives bounded, consistent
// settings. The input is split at newlines into the values of the variables, in the order of
// NAMES; a missing line leaves that variable unset.
#include "libs/fgsim/SimSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const NAMES[] = {"FGSIM_BOARDS", "FGSIM_FPS",    "FGSIM_TAG0", "FGSIM_DROP",
                             "FGSIM_NOTAG",  "FGSIM_NOLOST", "FGSIM_SWAP", "FGSIM_FAIL"};
constexpr size_t NAME_COUNT = sizeof NAMES / sizeof NAMES[0];

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> values;
    size_t start = 0;
    while (values.size() < NAME_COUNT && start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        values.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const fgsim::EnvLookup lookup = [&](const char* name) -> const char* {
        for (size_t i = 0; i < values.size(); ++i) {
            if (std::string(name) == NAMES[i])
                return values[i].c_str();
        }
        return nullptr;
    };

    const auto boards = fgsim::ParseBoards(lookup("FGSIM_BOARDS"));
    Check(boards.size() <= fgsim::MAX_BOARDS);
    for (const auto& board : boards)
        Check(board.type >= 0);

    const fgsim::CameraSettings settings = fgsim::ParseCameraSettings(lookup);
    Check(settings.fps <= fgsim::MAX_FPS);
    Check(settings.drop.tags.size() <= fgsim::MAX_LIST_ITEMS);
    for (uint64_t frame = 0; frame < 4; ++frame)
        (void)settings.drop.Drops(frame, settings.tag0 + static_cast<uint32_t>(frame));

    const auto names = fgsim::ParseNameList(lookup("FGSIM_FAIL"));
    Check(names.size() <= fgsim::MAX_LIST_ITEMS);
    for (const auto& name : names)
        Check(!name.empty() && name.find(',') == std::string::npos);

    uint64_t value = 0;
    if (fgsim::ParseNumber(text, UINT32_MAX, value))
        Check(value <= UINT32_MAX);
    return 0;
}
