// Binary portable grey and pixel maps (PGM "P5", PPM "P6"): one image per file.
#pragma once

#include "libs/lumo/ImageFileFrame.h"

#include <cstdint>
#include <string>

namespace lumo {

// Maximum value up to 255 gives 8-bit samples, up to 65535 16-bit samples (stored big-endian in
// the file); the significant bits are those of the maximum value.
[[nodiscard]] uint32_t ReadPnmFile(const std::string& path, uint64_t frameLimit,
                                   CImageFileTarget& target);

} // namespace lumo
