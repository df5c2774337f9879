// PNG files through libpng: one image per file.
#pragma once

#include "libs/lumo/ImageFileFrame.h"

#include <cstdint>
#include <string>

namespace lumo {

// Reads grey, grey+alpha, RGB, RGBA and palette images of 1-16 bits into 8- or 16-bit grey or
// RGB (alpha dropped, palette expanded, fewer than 8 bits widened). sBIT gives the significant
// bits (16-bit samples scaled back to them, PngSampleScale.h); text chunks "Make", "Model",
// "Software" attributes 2-4; "KavrinFormat" restores a colour- filter-array class and origin.
// LUMO_E_FILEDAMAGED for a truncated or corrupt file.
[[nodiscard]] uint32_t ReadPngFile(const std::string& path, uint64_t frameLimit,
                                   CImageFileTarget& target);

// Writes one 8- or 16-bit grey, colour-filter-array or RGB frame (a fourth channel is dropped)
// with fast compression; 16-bit samples with fewer significant bits are scaled to 16 bits.
// LUMO_E_FILEFORMAT for other layouts, LUMO_E_FILEWRITE when writing fails (`error` then receives
// "cannot write NAME: reason"). The file replaces `path` only once it is complete
// (ReplacingFile).
[[nodiscard]] uint32_t WritePngFile(const std::string& path, const ImageFileFrame& frame,
                                    std::string* error = nullptr);

} // namespace lumo
