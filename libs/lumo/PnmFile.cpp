#include "libs/lumo/PnmFile.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/FilePtr.h"

#include <cstdio>
#include <vector>

namespace lumo {

namespace {

// Reads one header number, skipping white space and comments; false at the end of the file, on
// a non-digit or a number above 0xFFFFFF.
bool ReadNumber(FILE* file, uint32_t& value) {
    int c = std::fgetc(file);
    for (int guard = 0; guard < (1 << 20); ++guard) {
        if (c == '#') {
            while (c != EOF && c != '\n')
                c = std::fgetc(file);
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            c = std::fgetc(file);
        } else {
            break;
        }
    }
    if (c < '0' || c > '9')
        return false;
    value = 0;
    while (c >= '0' && c <= '9') {
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > 0xFFFFFF)
            return false;
        c = std::fgetc(file);
    }
    // exactly one white-space character ends the number (the last one before the pixels)
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

uint32_t ReadPnmFile(const std::string& path, uint64_t frameLimit, CImageFileTarget& target) {
    FilePtr file = OpenFile(path, "rb");
    if (!file)
        return LUMO_E_FILEREAD;
    char magic[2] = {};
    if (std::fread(magic, 1, 2, file.get()) != 2 || magic[0] != 'P' ||
        (magic[1] != '5' && magic[1] != '6'))
        return LUMO_E_FILEFORMAT;
    uint32_t width = 0, height = 0, maxValue = 0;
    if (!ReadNumber(file.get(), width) || !ReadNumber(file.get(), height) ||
        !ReadNumber(file.get(), maxValue) || width == 0 || height == 0 || maxValue == 0 ||
        maxValue > 65535)
        return LUMO_E_FILEDAMAGED;
    const uint32_t channels = magic[1] == '6' ? 3 : 1;
    const uint32_t container = maxValue > 255 ? 16 : 8;
    uint32_t significant = 0;
    while (significant < 16 && (maxValue >> significant) != 0)
        ++significant;
    ImageFileFrame frame;
    frame.width = width;
    frame.height = height;
    frame.format =
        ImageFormat::Make(container, significant, channels, 0,
                          channels == 3 ? ImageFormat::CLASS_RGB : ImageFormat::CLASS_GREY);
    const uint64_t bytes = FrameBytes(frame);
    if (bytes == 0 || bytes > frameLimit)
        return LUMO_E_OUTOFMEMORY;
    uint32_t rc = LUMO_OK;
    uint8_t* out = target.Prepare(frame, rc);
    if (!out)
        return rc != LUMO_OK ? rc : LUMO_E_OUTOFMEMORY;
    if (std::fread(out, 1, static_cast<size_t>(bytes), file.get()) != bytes)
        return LUMO_E_FILEDAMAGED;
    if (container == 16)
        for (uint64_t i = 0; i + 1 < bytes; i += 2) {
            const uint8_t high = out[i];
            out[i] = out[i + 1];
            out[i + 1] = high;
        }
    return LUMO_OK;
}

} // namespace lumo
