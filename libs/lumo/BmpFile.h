// Windows bitmap files: one image per file.
#pragma once

#include "libs/lumo/ImageFileFrame.h"

#include <cstdint>
#include <string>

namespace lumo {

// Reads uncompressed 8-bit palette (grey when every entry is grey, else 8-bit RGB), 24-bit and
// 32-bit (BI_RGB or the usual bit fields) bitmaps, bottom-up or top-down.
[[nodiscard]] uint32_t ReadBmpFile(const std::string& path, uint64_t frameLimit,
                                   CImageFileTarget& target);

// Writes an 8-bit one-channel frame with a grey palette, or an 8-bit RGB frame as 24-bit
// colour. Other layouts (16-bit samples): LUMO_E_FILEFORMAT. LUMO_E_FILEWRITE when writing fails
// (`error` then receives "cannot write NAME: reason"). The file replaces `path` only once it is
// complete (ReplacingFile).
[[nodiscard]] uint32_t WriteBmpFile(const std::string& path, const ImageFileFrame& frame,
                                    std::string* error = nullptr);

} // namespace lumo
