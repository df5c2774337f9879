// What the kavrin tests read back from a file the program saved: its images, loaded through a
// file sequence.
#pragma once

#include "acquisition/CFileSequence.h"
#include "external/LumoPtr.h"
#include "tests/acquisition/SaveLoadTestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

// Loads a saved file into `sequence`; false when it cannot be read or holds no image.
inline bool LoadSaved(CFileSequence& sequence, const std::string& path) {
    return sequence.LoadSequence(path.c_str()) && WaitUntilEnded(sequence) &&
           sequence.GetImageCount() > 0;
}

// Image `index` of a loaded sequence, copied out through its public interface with an image of
// `lumo`; empty when the copy fails.
inline std::vector<uint8_t> SavedImage(CLumoInstance* lumo, CFileSequence& sequence,
                                       uint64_t index) {
    const LumoImagePtr image = MakeLumoImage(lumo);
    if (!image || !sequence.CopyValidToImage(index, image.get(), 1, 0))
        return {};
    const auto* data = static_cast<const uint8_t*>(image->GetFrameData(0, 0, 0));
    return std::vector<uint8_t>(data, data + image->GetFrameSize());
}
