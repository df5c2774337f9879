#include "libs/lumo/VideoFrames.h"

#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace lumo {

// The 16-bit FFmpeg formats below are the little-endian ones, as are the frames in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

// Significant bits of a format word: 0 means all of the container.
uint32_t Significant(uint64_t format) {
    const uint32_t bits = ImageFormat::SignificantBits(format);
    return bits == 0 ? ImageFormat::ContainerBits(format) : bits;
}

bool IsGreyOrCfa(uint64_t format) {
    const uint32_t cls = ImageFormat::ImageClass(format);
    return cls == ImageFormat::CLASS_GREY || cls == ImageFormat::CLASS_CFA ||
           cls == ImageFormat::CLASS_CFA_ALT;
}

// Sample `x` of channel `c` in a row of interleaved samples.
uint32_t SampleAt(const uint8_t* row, uint32_t x, uint32_t c, uint32_t channels, bool wide) {
    const size_t i = static_cast<size_t>(x) * channels + c;
    if (!wide)
        return row[i];
    uint16_t v;
    std::memcpy(&v, row + 2 * i, 2);
    return v;
}

// Moves the samples of every channel between the interleaved rows of `frame` (`pixels`) and
// the components of `av` as its descriptor places them. Same size; `toAv` gives the direction.
void CopyComponents(const ImageFileFrame& frame, uint8_t* pixels, const AVFrame& av, bool toAv) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(av.format));
    const uint32_t channels = ImageFormat::Channels(frame.format);
    const bool wide = ImageFormat::ContainerBits(frame.format) == 16;
    const size_t bytes = wide ? 2 : 1;
    const uint64_t rowBytes = FrameRowBytes(frame);
    for (uint32_t c = 0; c < channels; ++c) {
        const AVComponentDescriptor& comp = desc->comp[c];
        for (uint32_t y = 0; y < frame.height; ++y) {
            uint8_t* row = pixels + rowBytes * y;
            uint8_t* plane = av.data[comp.plane] +
                             static_cast<ptrdiff_t>(y) * av.linesize[comp.plane] + comp.offset;
            if (channels == 1 && static_cast<size_t>(comp.step) == bytes) {
                if (toAv)
                    std::memcpy(plane, row, rowBytes);
                else
                    std::memcpy(row, plane, rowBytes);
                continue;
            }
            for (uint32_t x = 0; x < frame.width; ++x) {
                uint8_t* sample = row + (static_cast<size_t>(x) * channels + c) * bytes;
                uint8_t* there = plane + static_cast<size_t>(x) * comp.step;
                if (toAv)
                    std::memcpy(there, sample, bytes);
                else
                    std::memcpy(sample, there, bytes);
            }
        }
    }
}

// Luma from grey or CFA samples (16-bit ones shifted to 8 bits), edges repeated to the coded
// size; chroma 128.
void FillGreyLuma(const ImageFileFrame& frame, AVFrame& out) {
    const bool wide = ImageFormat::ContainerBits(frame.format) == 16;
    const uint32_t shift = Significant(frame.format) > 8 ? Significant(frame.format) - 8 : 0;
    const uint64_t rowBytes = FrameRowBytes(frame);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* src = frame.pixels + rowBytes * std::min<uint32_t>(y, frame.height - 1);
        uint8_t* dst = out.data[0] + static_cast<ptrdiff_t>(y) * out.linesize[0];
        if (!wide)
            std::memcpy(dst, src, frame.width);
        else
            for (uint32_t x = 0; x < frame.width; ++x)
                dst[x] =
                    static_cast<uint8_t>(std::min(SampleAt(src, x, 0, 1, true) >> shift, 255u));
        for (int x = static_cast<int>(frame.width); x < out.width; ++x)
            dst[x] = dst[frame.width - 1];
    }
    for (int p = 1; p <= 2; ++p)
        for (int y = 0; y < (out.height + 1) / 2; ++y)
            std::memset(out.data[p] + static_cast<ptrdiff_t>(y) * out.linesize[p], 128,
                        static_cast<size_t>((out.width + 1) / 2));
}

// RGB samples as 8-bit RGB24 rows at the coded size, edges repeated.
std::vector<uint8_t> Rgb24(const ImageFileFrame& frame, int width, int height) {
    const uint32_t channels = ImageFormat::Channels(frame.format);
    const bool wide = ImageFormat::ContainerBits(frame.format) == 16;
    const uint32_t shift = Significant(frame.format) > 8 ? Significant(frame.format) - 8 : 0;
    const uint64_t rowBytes = FrameRowBytes(frame);
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = frame.pixels + rowBytes * std::min<uint32_t>(y, frame.height - 1);
        uint8_t* dst = rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const uint32_t sx = std::min<uint32_t>(x, frame.width - 1);
            for (uint32_t c = 0; c < 3; ++c)
                dst[x * 3 + c] = static_cast<uint8_t>(
                    std::min(SampleAt(src, sx, c, channels, wide) >> shift, 255u));
        }
    }
    return rgb;
}

// Exact rounding and full-resolution chroma in and out: the fast YUV-to-RGB paths leave the
// last pixels of rows whose width is not a multiple of 8 unwritten.
constexpr int SWS_FLAGS = SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;

// A converter between two pixel formats of one size, full range on both sides (BT.601).
SwsContext* FullRangeConverter(SwsContextPtr& sws, int width, int height, AVPixelFormat from,
                               AVPixelFormat to) {
    // The full-range "J" formats are their plain twins with the range set below.
    auto plain = [](AVPixelFormat f) { return f == AV_PIX_FMT_YUVJ420P ? AV_PIX_FMT_YUV420P : f; };
    SwsContext* context =
        sws_getCachedContext(sws.release(), width, height, plain(from), width, height, plain(to),
                             SWS_FLAGS, nullptr, nullptr, nullptr);
    sws.reset(context);
    if (!context)
        return nullptr;
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(context, coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
    return context;
}

} // namespace

AVPixelFormat VideoPixelFormat(uint32_t type, uint64_t format) {
    const uint32_t container = ImageFormat::ContainerBits(format);
    const uint32_t channels = ImageFormat::Channels(format);
    const bool grey = IsGreyOrCfa(format) && channels == 1;
    const bool rgb = ImageFormat::ImageClass(format) == ImageFormat::CLASS_RGB &&
                     (channels == 3 || channels == 4);
    if ((container != 8 && container != 16) || (!grey && !rgb))
        return AV_PIX_FMT_NONE;
    switch (type) {
    case LUMO_FILE_MKV:
        if (grey)
            return container == 8 ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_GRAY16LE;
        // FFV1 takes 8-bit RGB packed (bgr0, bgra) and 16-bit RGB planar.
        if (container == 8)
            return channels == 3 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGRA;
        return channels == 3 ? AV_PIX_FMT_GBRP16LE : AV_PIX_FMT_GBRAP16LE;
    case LUMO_FILE_MP4:
        return AV_PIX_FMT_YUV420P; // full range, marked on the encoder
    case LUMO_FILE_AVI:
        return AV_PIX_FMT_YUVJ420P;
    default:
        return AV_PIX_FMT_NONE;
    }
}

bool IsLossyPixelFormat(AVPixelFormat pixelFormat) {
    return pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P;
}

uint32_t CodedSize(uint32_t size, AVPixelFormat pixelFormat) {
    return IsLossyPixelFormat(pixelFormat) ? size + (size & 1) : size;
}

bool FillVideoFrame(const ImageFileFrame& frame, AVFrame& out, SwsContextPtr& sws) {
    const auto pixelFormat = static_cast<AVPixelFormat>(out.format);
    if (!IsLossyPixelFormat(pixelFormat)) {
        CopyComponents(frame, const_cast<uint8_t*>(frame.pixels), out, true);
        return true;
    }
    if (IsGreyOrCfa(frame.format)) {
        FillGreyLuma(frame, out);
        return true;
    }
    const std::vector<uint8_t> rgb = Rgb24(frame, out.width, out.height);
    SwsContext* context =
        FullRangeConverter(sws, out.width, out.height, AV_PIX_FMT_RGB24, pixelFormat);
    if (!context)
        return false;
    const uint8_t* planes[1] = {rgb.data()};
    const int strides[1] = {out.width * 3};
    return sws_scale(context, planes, strides, 0, out.height, out.data, out.linesize) == out.height;
}

uint64_t DecodedFormat(AVPixelFormat pixelFormat, uint64_t stored) {
    using namespace ImageFormat;
    const uint32_t storedClass = ImageClass(stored);
    const bool storedGrey = IsValid(stored) && IsGreyOrCfa(stored);
    switch (pixelFormat) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P:
        // Lossy: 8-bit samples; grey and CFA from luma, everything else as RGB.
        return storedGrey ? Make(8, 8, 1, 0, storedClass) : Make(8, 8, 3, 0, CLASS_RGB);
    default:
        break;
    }
    uint64_t made = 0;
    switch (pixelFormat) {
    case AV_PIX_FMT_GRAY8:
        made = Make(8, 8, 1, 0, CLASS_GREY);
        break;
    case AV_PIX_FMT_GRAY16LE:
        made = Make(16, 16, 1, 0, CLASS_GREY);
        break;
    case AV_PIX_FMT_BGR0:
    case AV_PIX_FMT_GBRP:
        made = Make(8, 8, 3, 0, CLASS_RGB);
        break;
    case AV_PIX_FMT_BGRA:
    case AV_PIX_FMT_GBRAP:
        made = Make(8, 8, 4, 0, CLASS_RGB);
        break;
    case AV_PIX_FMT_GBRP16LE:
        made = Make(16, 16, 3, 0, CLASS_RGB);
        break;
    case AV_PIX_FMT_GBRAP16LE:
        made = Make(16, 16, 4, 0, CLASS_RGB);
        break;
    default:
        return 0;
    }
    // The stored word describes the same samples (container, channels, grey or RGB alike).
    const bool fits = IsValid(stored) && ContainerBits(stored) == ContainerBits(made) &&
                      Channels(stored) == Channels(made) &&
                      IsGreyOrCfa(stored) == IsGreyOrCfa(made) && (stored >> 32) == 0;
    return fits ? stored : made;
}

bool TakeVideoFrame(const AVFrame& decoded, const ImageFileFrame& frame, uint8_t* pixels,
                    SwsContextPtr& sws) {
    const auto pixelFormat = static_cast<AVPixelFormat>(decoded.format);
    if (!IsLossyPixelFormat(pixelFormat)) {
        CopyComponents(frame, pixels, decoded, false);
        return true;
    }
    if (ImageFormat::Channels(frame.format) == 1) {
        for (uint32_t y = 0; y < frame.height; ++y)
            std::memcpy(pixels + static_cast<size_t>(y) * frame.width,
                        decoded.data[0] + static_cast<ptrdiff_t>(y) * decoded.linesize[0],
                        frame.width);
        return true;
    }
    SwsContext* context =
        FullRangeConverter(sws, decoded.width, decoded.height, pixelFormat, AV_PIX_FMT_RGB24);
    if (!context)
        return false;
    std::vector<uint8_t> rgb(static_cast<size_t>(decoded.width) * decoded.height * 3);
    uint8_t* planes[1] = {rgb.data()};
    const int strides[1] = {decoded.width * 3};
    if (sws_scale(context, decoded.data, decoded.linesize, 0, decoded.height, planes, strides) !=
        decoded.height)
        return false;
    for (uint32_t y = 0; y < frame.height; ++y)
        std::memcpy(pixels + static_cast<size_t>(y) * frame.width * 3,
                    rgb.data() + static_cast<size_t>(y) * strides[0],
                    static_cast<size_t>(frame.width) * 3);
    return true;
}

} // namespace lumo
