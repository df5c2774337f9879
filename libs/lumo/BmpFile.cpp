#include "libs/lumo/BmpFile.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/FilePtr.h"
#include "libs/lumo/ReplacingFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace lumo {

namespace {

uint32_t U16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t U32(const uint8_t* p) {
    return U16(p) | U16(p + 2) << 16;
}
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_BITFIELDS = 3;

// Decodes run-length coded 8-bit rows (bottom-up) into `indices` (width * height, row 0 at the
// top). False when the codes run past the data or the image.
bool DecodeRle8(const std::vector<uint8_t>& data, uint32_t width, uint32_t height,
                std::vector<uint8_t>& indices) {
    uint32_t x = 0, row = 0; // row counts from the bottom
    size_t at = 0;
    while (at + 1 < data.size()) {
        const uint8_t first = data[at];
        const uint8_t second = data[at + 1];
        at += 2;
        if (first > 0) { // a run of `first` pixels of index `second`
            if (row >= height || x > width + 0xFFFF)
                return false;
            if (x < width) // pixels past the width (writers pad rows) are dropped
                std::memset(indices.data() + static_cast<size_t>(height - 1 - row) * width + x,
                            second, std::min<uint32_t>(first, width - x));
            x += first;
        } else if (second == 0) { // end of line
            x = 0;
            ++row;
        } else if (second == 1) { // end of bitmap
            return true;
        } else if (second == 2) { // move right and up
            if (at + 1 >= data.size())
                return false;
            x += data[at];
            row += data[at + 1];
            at += 2;
            if (x > width + 0xFFFF || row > height)
                return false;
        } else { // `second` pixels given one by one, padded to an even count
            if (row >= height || x > width + 0xFFFF || at + second > data.size())
                return false;
            if (x < width)
                std::memcpy(indices.data() + static_cast<size_t>(height - 1 - row) * width + x,
                            data.data() + at, std::min<uint32_t>(second, width - x));
            x += second;
            at += second + (second & 1u);
        }
    }
    return row >= height - 1; // a missing end-of-bitmap code after the last row is tolerated
}

// What a bitmap's headers and palette say, checked before its pixels are read.
struct BmpLayout {
    uint32_t dataOffset = 0;
    uint32_t infoSize = 0;
    uint32_t width = 0; // 1 .. 0xFFFFFF
    uint32_t height = 0;
    bool topDown = false;
    uint32_t bits = 0; // 8, 24 or 32
    uint32_t compression = BI_RGB;
    uint32_t paletteSize = 0;  // entries (8 bits: 1 .. 256)
    uint32_t paletteEntry = 4; // bytes per palette entry in the file
    uint8_t palette[256][3] = {};
    bool grey = true;    // every palette entry is grey
    uint64_t stride = 0; // bytes of one row in the file
};

// The frame is RGB unless the bitmap has 8 bits and a grey palette.
bool IsRgb(const BmpLayout& layout) {
    return layout.bits != 8 || !layout.grey;
}

// The file header and the info header (`got` bytes of `head` were read).
uint32_t ParseBmpHeaders(const uint8_t* head, size_t got, BmpLayout& layout) {
    if (got < 14 + 12 || head[0] != 'B' || head[1] != 'M')
        return LUMO_E_FILEDAMAGED;
    layout.dataOffset = U32(head + 10);
    layout.infoSize = U32(head + 14);
    const uint32_t infoSize = layout.infoSize;
    if (infoSize < 12 || (infoSize == 12 && got < 26) || (infoSize > 12 && got < 54))
        return LUMO_E_FILEDAMAGED;
    int64_t width = 0, height = 0;
    if (infoSize == 12) { // OS/2 core header
        width = U16(head + 18);
        height = U16(head + 20);
        layout.bits = U16(head + 24);
        layout.paletteEntry = 3;
    } else {
        if (infoSize < 40)
            return LUMO_E_FILEDAMAGED;
        width = static_cast<int32_t>(U32(head + 18));
        height = static_cast<int32_t>(U32(head + 22));
        layout.bits = U16(head + 28);
        layout.compression = U32(head + 30);
        layout.paletteSize = U32(head + 46);
    }
    layout.topDown = height < 0;
    if (layout.topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > 0xFFFFFF || height > 0xFFFFFF)
        return LUMO_E_FILEDAMAGED;
    layout.width = static_cast<uint32_t>(width);
    layout.height = static_cast<uint32_t>(height);
    if (layout.bits == 32 && layout.compression == BI_BITFIELDS) {
        // Only the usual layout (blue, green, red bytes) is read; masks follow a 40-byte header.
        const size_t masks = 14 + 40;
        if (got < masks + 12 || U32(head + masks) != 0x00FF0000 ||
            U32(head + masks + 4) != 0x0000FF00 || U32(head + masks + 8) != 0x000000FF)
            return LUMO_E_FILEFORMAT;
    } else if (layout.compression != BI_RGB &&
               !(layout.compression == BI_RLE8 && layout.bits == 8)) {
        return LUMO_E_FILEFORMAT;
    }
    if (layout.bits != 8 && layout.bits != 24 && layout.bits != 32)
        return LUMO_E_FILEFORMAT;
    layout.stride = ((static_cast<uint64_t>(layout.width) * layout.bits + 31) / 32) * 4;
    return LUMO_OK;
}

// The palette of an 8-bit bitmap, right after the info header.
uint32_t ReadBmpPalette(FILE* file, BmpLayout& layout) {
    if (layout.paletteSize == 0 || layout.paletteSize > 256)
        layout.paletteSize = 256;
    const long paletteAt = 14 + static_cast<long>(layout.infoSize);
    std::vector<uint8_t> entries(static_cast<size_t>(layout.paletteSize) * layout.paletteEntry);
    if (std::fseek(file, paletteAt, SEEK_SET) != 0 ||
        std::fread(entries.data(), 1, entries.size(), file) != entries.size())
        return LUMO_E_FILEDAMAGED;
    for (uint32_t i = 0; i < layout.paletteSize; ++i) {
        const uint8_t* e = entries.data() + static_cast<size_t>(i) * layout.paletteEntry;
        layout.palette[i][0] = e[2];
        layout.palette[i][1] = e[1];
        layout.palette[i][2] = e[0];
        if (e[0] != e[1] || e[1] != e[2])
            layout.grey = false;
    }
    return LUMO_OK;
}

// Reads the headers and the palette into `layout` and describes the frame; the file is left
// at the pixel data.
uint32_t ParseBmpLayout(FILE* file, uint64_t frameLimit, BmpLayout& layout, ImageFileFrame& frame) {
    uint8_t head[14 + 124] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (const uint32_t rc = ParseBmpHeaders(head, got, layout); rc != LUMO_OK)
        return rc;
    if (layout.bits == 8)
        if (const uint32_t rc = ReadBmpPalette(file, layout); rc != LUMO_OK)
            return rc;
    frame.width = layout.width;
    frame.height = layout.height;
    frame.format = IsRgb(layout) ? ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB)
                                 : ImageFormat::Make(8, 8, 1, 0, ImageFormat::CLASS_GREY);
    const uint64_t bytes = FrameBytes(frame);
    if (bytes == 0 || bytes > frameLimit)
        return LUMO_E_OUTOFMEMORY;
    if (std::fseek(file, static_cast<long>(layout.dataOffset), SEEK_SET) != 0)
        return LUMO_E_FILEDAMAGED;
    return LUMO_OK;
}

// Decodes the run-length coded pixels that follow into `indices`, top row first.
uint32_t ReadBmpRle8(FILE* file, const BmpLayout& layout, std::vector<uint8_t>& indices) {
    if (layout.topDown)
        return LUMO_E_FILEDAMAGED; // run-length coded bitmaps are bottom-up
    // The codes take at most two bytes per pixel plus two per row and a few more.
    const uint64_t most = 2 * (static_cast<uint64_t>(layout.width) + 2) * layout.height + 8;
    std::vector<uint8_t> codes(static_cast<size_t>(most));
    codes.resize(std::fread(codes.data(), 1, codes.size(), file));
    indices.assign(static_cast<size_t>(layout.width) * layout.height, 0);
    if (!DecodeRle8(codes, layout.width, layout.height, indices))
        return LUMO_E_FILEDAMAGED;
    return LUMO_OK;
}

// One row of the file's pixels (palette indices or blue, green, red bytes) into a frame row.
// False when an index lies outside the palette.
bool ConvertBmpRow(const BmpLayout& layout, const uint8_t* row, uint8_t* dst) {
    const bool rgb = IsRgb(layout);
    for (uint32_t x = 0; x < layout.width; ++x) {
        if (layout.bits == 8) {
            const uint8_t index = row[x];
            if (index >= layout.paletteSize)
                return false;
            if (rgb)
                std::memcpy(dst + static_cast<size_t>(x) * 3, layout.palette[index], 3);
            else
                dst[x] = layout.palette[index][0];
        } else {
            const uint8_t* s = row + static_cast<size_t>(x) * (layout.bits / 8);
            uint8_t* d = dst + static_cast<size_t>(x) * 3;
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    return true;
}

// Reads the pixels into `out` (the frame's memory), from the file's rows or from the decoded
// run-length codes.
uint32_t ReadBmpPixels(FILE* file, const BmpLayout& layout, uint8_t* out) {
    std::vector<uint8_t> indices; // RLE8: the decoded rows, top row first
    if (layout.compression == BI_RLE8)
        if (const uint32_t rc = ReadBmpRle8(file, layout, indices); rc != LUMO_OK)
            return rc;
    std::vector<uint8_t> row(static_cast<size_t>(layout.stride));
    const uint64_t outRow = static_cast<uint64_t>(layout.width) * (IsRgb(layout) ? 3 : 1);
    for (uint32_t r = 0; r < layout.height; ++r) {
        if (!indices.empty())
            std::memcpy(row.data(), indices.data() + static_cast<size_t>(r) * layout.width,
                        layout.width);
        else if (std::fread(row.data(), 1, row.size(), file) != row.size())
            return LUMO_E_FILEDAMAGED;
        const uint32_t y = (layout.topDown || !indices.empty()) ? r : layout.height - 1 - r;
        if (!ConvertBmpRow(layout, row.data(), out + y * outRow))
            return LUMO_E_FILEDAMAGED;
    }
    return LUMO_OK;
}

} // namespace

uint32_t ReadBmpFile(const std::string& path, uint64_t frameLimit, CImageFileTarget& target) {
    FilePtr file = OpenFile(path, "rb");
    if (!file)
        return LUMO_E_FILEREAD;
    BmpLayout layout;
    ImageFileFrame frame;
    if (const uint32_t rc = ParseBmpLayout(file.get(), frameLimit, layout, frame); rc != LUMO_OK)
        return rc;
    uint32_t prepared = LUMO_OK;
    uint8_t* out = target.Prepare(frame, prepared);
    if (!out)
        return prepared != LUMO_OK ? prepared : LUMO_E_OUTOFMEMORY;
    return ReadBmpPixels(file.get(), layout, out);
}

uint32_t WriteBmpFile(const std::string& path, const ImageFileFrame& frame, std::string* error) {
    const uint32_t channels = ImageFormat::Channels(frame.format);
    const bool rgb = ImageFormat::ImageClass(frame.format) == ImageFormat::CLASS_RGB;
    if (ImageFormat::ContainerBits(frame.format) != 8 || (rgb && channels != 3 && channels != 4) ||
        (!rgb && channels != 1))
        return LUMO_E_FILEFORMAT;
    if (!frame.pixels || frame.width == 0 || frame.height == 0 || frame.width > 0x7FFFFFFF ||
        frame.height > 0x7FFFFFFF)
        return LUMO_E_INVALIDARG;
    const uint32_t bits = rgb ? 24 : 8;
    const uint64_t stride = ((static_cast<uint64_t>(frame.width) * bits + 31) / 32) * 4;
    const uint32_t paletteBytes = rgb ? 0 : 256 * 4;
    const uint64_t dataOffset = 14 + 40 + paletteBytes;
    const uint64_t fileSize = dataOffset + stride * frame.height;
    if (fileSize > 0xFFFFFFFFull)
        return LUMO_E_FILEFORMAT;
    std::vector<uint8_t> head;
    head.reserve(dataOffset);
    head.push_back('B');
    head.push_back('M');
    Put32(head, static_cast<uint32_t>(fileSize));
    Put32(head, 0);
    Put32(head, static_cast<uint32_t>(dataOffset));
    Put32(head, 40);
    Put32(head, frame.width);
    Put32(head, frame.height); // bottom-up
    Put16(head, 1);
    Put16(head, bits);
    Put32(head, BI_RGB);
    Put32(head, static_cast<uint32_t>(stride * frame.height));
    Put32(head, 2835); // 72 dpi
    Put32(head, 2835);
    Put32(head, rgb ? 0 : 256);
    Put32(head, 0);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) {
        for (int c = 0; c < 3; ++c)
            head.push_back(static_cast<uint8_t>(i));
        head.push_back(0);
    }
    ReplacingFile file(error);
    if (file.Create(path) != LUMO_OK || !file.Stream())
        return LUMO_E_FILEWRITE;
    if (std::fwrite(head.data(), 1, head.size(), file.Stream()) != head.size())
        return file.Fail(errno);
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    const uint64_t inRow = FrameRowBytes(frame);
    for (uint32_t r = 0; r < frame.height; ++r) {
        const uint8_t* src = frame.pixels + (frame.height - 1 - r) * inRow;
        if (rgb) {
            for (uint32_t x = 0; x < frame.width; ++x) {
                const uint8_t* s = src + static_cast<size_t>(x) * channels;
                row[x * 3] = s[2];
                row[x * 3 + 1] = s[1];
                row[x * 3 + 2] = s[0];
            }
        } else {
            std::memcpy(row.data(), src, frame.width);
        }
        if (std::fwrite(row.data(), 1, row.size(), file.Stream()) != row.size())
            return file.Fail(errno);
    }
    return file.Commit();
}

} // namespace lumo
