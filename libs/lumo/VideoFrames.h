// The pixel conversions between image frames and the frames the video codecs take.
//
// FFV1 keeps the samples exactly: 8-bit grey and CFA as gray8, 16-bit as gray16le, RGB as
// gbrp / gbrp16le, four channels as gbrap / gbrap16le. The lossy codecs take 8-bit 4:2:0 in
// full range: grey and CFA samples go into luma as they are (16-bit samples with n significant
// bits shifted down by n - 8) with chroma 128; RGB goes through swscale. 4:2:0 needs even sizes:
// an odd width or height repeats the last column or row.
#pragma once

#include "libs/lumo/FfmpegPtr.h"
#include "libs/lumo/ImageFileFrame.h"

#include <cstdint>

namespace lumo {

// The pixel format the encoder of file type `type` takes for frames of `format`;
// AV_PIX_FMT_NONE when the type holds no such frames.
AVPixelFormat VideoPixelFormat(uint32_t type, uint64_t format);
// Whether `pixelFormat` is one of the 4:2:0 formats of the lossy codecs.
bool IsLossyPixelFormat(AVPixelFormat pixelFormat);
// The coded size for a frame of `size` pixels: rounded up to even for 4:2:0.
uint32_t CodedSize(uint32_t size, AVPixelFormat pixelFormat);

// Fills `out` (allocated in its format at the coded size) from `frame`. `sws` keeps the
// converter of RGB frames between calls. False when a conversion cannot be set up.
[[nodiscard]] bool FillVideoFrame(const ImageFileFrame& frame, AVFrame& out, SwsContextPtr& sws);

// The format word a decoded frame comes back in: `stored` (from the file's metadata, 0 when
// none) where it fits the decoded pixel format, else one made from it. 0 when the pixel format
// is not one the reader takes.
uint64_t DecodedFormat(AVPixelFormat pixelFormat, uint64_t stored);
// Copies the top-left `frame.width` x `frame.height` pixels of `decoded` into `pixels` in the
// layout of `frame.format` (from DecodedFormat). False when a conversion cannot be set up.
[[nodiscard]] bool TakeVideoFrame(const AVFrame& decoded, const ImageFileFrame& frame,
                                  uint8_t* pixels, SwsContextPtr& sws);

} // namespace lumo
