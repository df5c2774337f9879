#include "libs/lumo/BmpFile.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace lumo {

namespace {

struct FileCloser {
    void operator()(FILE* file) const {
        if (file)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

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

} // namespace

uint32_t ReadBmpFile(const std::string& path, uint64_t frameLimit, CImageFileTarget& target) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return LUMO_E_FILEREAD;
    uint8_t head[14 + 124] = {};
    const size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got < 14 + 12 || head[0] != 'B' || head[1] != 'M')
        return LUMO_E_FILEDAMAGED;
    const uint32_t dataOffset = U32(head + 10);
    const uint32_t infoSize = U32(head + 14);
    if (infoSize < 12 || (infoSize == 12 && got < 26) || (infoSize > 12 && got < 54))
        return LUMO_E_FILEDAMAGED;
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = BI_RGB, paletteSize = 0, paletteEntry = 4;
    if (infoSize == 12) { // OS/2 core header
        width = U16(head + 18);
        height = U16(head + 20);
        bits = U16(head + 24);
        paletteEntry = 3;
    } else {
        if (infoSize < 40)
            return LUMO_E_FILEDAMAGED;
        width = static_cast<int32_t>(U32(head + 18));
        height = static_cast<int32_t>(U32(head + 22));
        bits = U16(head + 28);
        compression = U32(head + 30);
        paletteSize = U32(head + 46);
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > 0xFFFFFF || height > 0xFFFFFF)
        return LUMO_E_FILEDAMAGED;
    if (bits == 32 && compression == BI_BITFIELDS) {
        // Only the usual layout (blue, green, red bytes) is read; masks follow a 40-byte header.
        const size_t masks = 14 + 40;
        if (got < masks + 12 || U32(head + masks) != 0x00FF0000 ||
            U32(head + masks + 4) != 0x0000FF00 || U32(head + masks + 8) != 0x000000FF)
            return LUMO_E_FILEFORMAT;
    } else if (compression != BI_RGB && !(compression == BI_RLE8 && bits == 8)) {
        return LUMO_E_FILEFORMAT;
    }
    if (bits != 8 && bits != 24 && bits != 32)
        return LUMO_E_FILEFORMAT;

    uint8_t palette[256][3] = {};
    bool grey = true;
    if (bits == 8) {
        if (paletteSize == 0 || paletteSize > 256)
            paletteSize = 256;
        const long paletteAt = 14 + static_cast<long>(infoSize);
        std::vector<uint8_t> entries(static_cast<size_t>(paletteSize) * paletteEntry);
        if (std::fseek(file.get(), paletteAt, SEEK_SET) != 0 ||
            std::fread(entries.data(), 1, entries.size(), file.get()) != entries.size())
            return LUMO_E_FILEDAMAGED;
        for (uint32_t i = 0; i < paletteSize; ++i) {
            const uint8_t* e = entries.data() + static_cast<size_t>(i) * paletteEntry;
            palette[i][0] = e[2];
            palette[i][1] = e[1];
            palette[i][2] = e[0];
            if (e[0] != e[1] || e[1] != e[2])
                grey = false;
        }
    }
    ImageFileFrame frame;
    frame.width = static_cast<uint32_t>(width);
    frame.height = static_cast<uint32_t>(height);
    const bool rgb = bits != 8 || !grey;
    frame.format = rgb ? ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB)
                       : ImageFormat::Make(8, 8, 1, 0, ImageFormat::CLASS_GREY);
    const uint64_t bytes = FrameBytes(frame);
    if (bytes == 0 || bytes > frameLimit)
        return LUMO_E_OUTOFMEMORY;
    const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    if (std::fseek(file.get(), static_cast<long>(dataOffset), SEEK_SET) != 0)
        return LUMO_E_FILEDAMAGED;
    uint32_t rc = LUMO_OK;
    uint8_t* out = target.Prepare(frame, rc);
    if (!out)
        return rc != LUMO_OK ? rc : LUMO_E_OUTOFMEMORY;
    std::vector<uint8_t> indices; // RLE8: the decoded rows, top row first
    if (compression == BI_RLE8) {
        if (topDown)
            return LUMO_E_FILEDAMAGED; // run-length coded bitmaps are bottom-up
        // The codes take at most two bytes per pixel plus two per row and a few more.
        const uint64_t most =
            2 * (static_cast<uint64_t>(width) + 2) * static_cast<uint64_t>(height) + 8;
        std::vector<uint8_t> codes(static_cast<size_t>(most));
        codes.resize(std::fread(codes.data(), 1, codes.size(), file.get()));
        indices.assign(static_cast<size_t>(bytes), 0);
        if (!DecodeRle8(codes, frame.width, frame.height, indices))
            return LUMO_E_FILEDAMAGED;
    }
    std::vector<uint8_t> row(static_cast<size_t>(stride));
    const uint64_t outRow = FrameRowBytes(frame);
    for (uint32_t r = 0; r < frame.height; ++r) {
        if (!indices.empty())
            std::memcpy(row.data(), indices.data() + static_cast<size_t>(r) * frame.width,
                        frame.width);
        else if (std::fread(row.data(), 1, row.size(), file.get()) != row.size())
            return LUMO_E_FILEDAMAGED;
        const uint32_t y = (topDown || !indices.empty()) ? r : frame.height - 1 - r;
        uint8_t* dst = out + y * outRow;
        for (uint32_t x = 0; x < frame.width; ++x) {
            if (bits == 8) {
                const uint8_t index = row[x];
                if (index >= paletteSize)
                    return LUMO_E_FILEDAMAGED;
                if (rgb) {
                    std::memcpy(dst + static_cast<size_t>(x) * 3, palette[index], 3);
                } else {
                    dst[x] = palette[index][0];
                }
            } else {
                const uint8_t* s = row.data() + static_cast<size_t>(x) * (bits / 8);
                uint8_t* d = dst + static_cast<size_t>(x) * 3;
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        }
    }
    return LUMO_OK;
}

uint32_t WriteBmpFile(const std::string& path, const ImageFileFrame& frame) {
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
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return LUMO_E_FILEWRITE;
    if (std::fwrite(head.data(), 1, head.size(), file.get()) != head.size())
        return LUMO_E_FILEWRITE;
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
        if (std::fwrite(row.data(), 1, row.size(), file.get()) != row.size())
            return LUMO_E_FILEWRITE;
    }
    FILE* raw = file.release();
    return std::fclose(raw) == 0 ? LUMO_OK : LUMO_E_FILEWRITE;
}

} // namespace lumo
