#include "libs/lumo/CTiffFileReader.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace lumo {

namespace {

int OnTiffMessage(TIFF*, void* user, const char* module, const char* fmt, va_list ap, bool error) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap); // libtiff's own format, not file text
    static_cast<CTiffFileReader*>(user)->Report(module, text, error);
    return 1; // handled: libtiff prints nothing
}

int OnTiffError(TIFF* tif, void* user, const char* module, const char* fmt, va_list ap) {
    return OnTiffMessage(tif, user, module, fmt, ap, true);
}

int OnTiffWarning(TIFF* tif, void* user, const char* module, const char* fmt, va_list ap) {
    return OnTiffMessage(tif, user, module, fmt, ap, false);
}

// Samples per pixel the reader takes (RGB with extra samples such as alpha); more is refused.
constexpr uint16_t MAX_SAMPLES = 8;

enum class Conversion { None, DropExtra, Invert, Palette };

struct PixelPlan {
    Conversion conversion = Conversion::None;
    uint32_t sourceBytes = 0; // bytes of one source pixel
    uint32_t outBytes = 0;    // bytes of one output pixel
    uint32_t sampleBytes = 0;
    const uint16_t* map[3] = {nullptr, nullptr, nullptr};
};

void ConvertPixels(const PixelPlan& plan, const uint8_t* src, uint8_t* dst, uint32_t pixels) {
    switch (plan.conversion) {
    case Conversion::None:
        std::memcpy(dst, src, static_cast<size_t>(pixels) * plan.outBytes);
        break;
    case Conversion::DropExtra:
        for (uint32_t i = 0; i < pixels; ++i)
            std::memcpy(dst + static_cast<size_t>(i) * plan.outBytes,
                        src + static_cast<size_t>(i) * plan.sourceBytes, plan.outBytes);
        break;
    case Conversion::Invert:
        for (uint32_t i = 0; i < pixels; ++i) {
            const uint8_t* s = src + static_cast<size_t>(i) * plan.sourceBytes;
            uint8_t* d = dst + static_cast<size_t>(i) * plan.outBytes;
            if (plan.sampleBytes == 1) {
                d[0] = static_cast<uint8_t>(0xFF - s[0]);
            } else {
                uint16_t v;
                std::memcpy(&v, s, 2);
                v = static_cast<uint16_t>(0xFFFF - v);
                std::memcpy(d, &v, 2);
            }
        }
        break;
    case Conversion::Palette:
        for (uint32_t i = 0; i < pixels; ++i) {
            const uint8_t index = src[static_cast<size_t>(i) * plan.sourceBytes];
            for (int c = 0; c < 3; ++c)
                dst[static_cast<size_t>(i) * 3 + c] = static_cast<uint8_t>(plan.map[c][index] >> 8);
        }
        break;
    }
}

} // namespace

CTiffFileReader::~CTiffFileReader() {
    Close();
}

void CTiffFileReader::Report(const char* module, const char* text, bool error) {
    if (error)
        m_bError = true;
    m_message = std::string(module ? module : "") + ": " + text;
}

void CTiffFileReader::Close() {
    if (m_pTiff)
        TIFFClose(m_pTiff);
    m_pTiff = nullptr;
    m_path.clear();
    m_pageCount = 0;
    m_readable = 0;
    m_current = UINT64_MAX;
}

uint32_t CTiffFileReader::Open(const std::string& path, uint64_t frameLimit) {
    Close();
    m_frameLimit = frameLimit;
    m_bError = false;
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                         TIFFOpenOptionsFree);
    if (!options)
        return LUMO_E_OUTOFMEMORY;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                        static_cast<tmsize_t>(frameLimit + (1 << 20)));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnTiffError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, this);
    m_pTiff = TIFFOpenExt(path.c_str(), "r", options.get());
    if (!m_pTiff)
        return LUMO_E_FILEDAMAGED;
    m_path = path;
    m_bError = false;
    m_readable = TIFFNumberOfDirectories(m_pTiff);
    m_pageCount = m_readable + (m_bError ? 1 : 0);
    if (m_readable == 0 || !TIFFSetDirectory(m_pTiff, 0)) {
        Close();
        return LUMO_E_FILEDAMAGED;
    }
    m_current = 0;
    return LUMO_OK;
}

uint32_t CTiffFileReader::SelectPage(uint64_t page) {
    if (!m_pTiff || page >= m_readable)
        return LUMO_E_FILEDAMAGED;
    if (page == m_current)
        return LUMO_OK;
    const bool ok = page == m_current + 1
                        ? TIFFReadDirectory(m_pTiff) == 1
                        : TIFFSetDirectory(m_pTiff, static_cast<tdir_t>(page)) == 1;
    m_current = ok ? page : UINT64_MAX;
    return ok ? LUMO_OK : LUMO_E_FILEDAMAGED;
}

uint32_t CTiffFileReader::ReadPage(uint64_t page, CImageFileTarget& target) {
    if (const uint32_t rc = SelectPage(page); rc != LUMO_OK)
        return rc;
    TIFF* tif = m_pTiff;
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t photometric = 0, compression = COMPRESSION_NONE;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        return LUMO_E_FILEDAMAGED;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (!TIFFIsCODECConfigured(compression) || sampleFormat != SAMPLEFORMAT_UINT ||
        (bits != 8 && bits != 16) || (planar != PLANARCONFIG_CONTIG && samples > 1) ||
        samples == 0 || samples > MAX_SAMPLES)
        return LUMO_E_FILEFORMAT;
    if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }

    ImageFileFrame frame;
    frame.width = width;
    frame.height = height;
    PixelPlan plan;
    plan.sampleBytes = bits / 8u;
    plan.sourceBytes = samples * plan.sampleBytes;
    uint32_t channels = 1;
    uint32_t imageClass = ImageFormat::CLASS_GREY;
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        if (photometric == PHOTOMETRIC_MINISWHITE)
            plan.conversion = Conversion::Invert;
        else if (samples > 1)
            plan.conversion = Conversion::DropExtra;
        break;
    case PHOTOMETRIC_CFA: {
        if (samples != 1)
            return LUMO_E_FILEFORMAT;
        imageClass = ImageFormat::CLASS_CFA;
        uint16_t count = 0;
        uint8_t* pattern = nullptr;
        if (TIFFGetField(tif, TIFFTAG_CFAPATTERN, &count, &pattern) && pattern && count == 4)
            CfaOriginForPattern(pattern, frame.originX, frame.originY);
        break;
    }
    case PHOTOMETRIC_RGB:
        if (samples < 3)
            return LUMO_E_FILEFORMAT;
        channels = 3;
        imageClass = ImageFormat::CLASS_RGB;
        if (samples > 3)
            plan.conversion = Conversion::DropExtra;
        break;
    case PHOTOMETRIC_PALETTE:
        if (samples != 1 || bits != 8)
            return LUMO_E_FILEFORMAT;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &plan.map[0], &plan.map[1], &plan.map[2]))
            return LUMO_E_FILEDAMAGED;
        channels = 3;
        imageClass = ImageFormat::CLASS_RGB;
        plan.conversion = Conversion::Palette;
        break;
    default:
        return LUMO_E_FILEFORMAT;
    }
    plan.outBytes = channels * plan.sampleBytes;
    uint32_t significant = bits;
    uint16_t maxSample = 0;
    if (plan.conversion != Conversion::Palette &&
        TIFFGetField(tif, TIFFTAG_MAXSAMPLEVALUE, &maxSample) && maxSample != 0) {
        uint32_t length = 0;
        while (length < 16 && (maxSample >> length) != 0)
            ++length;
        if (length < significant)
            significant = length;
    }
    frame.format = ImageFormat::Make(bits, significant, channels, 0, imageClass);
    const uint64_t bytes = FrameBytes(frame);
    if (bytes == 0 || bytes > m_frameLimit)
        return LUMO_E_OUTOFMEMORY;
    const uint32_t tags[3] = {TIFFTAG_MAKE, TIFFTAG_MODEL, TIFFTAG_SOFTWARE};
    for (int i = 0; i < 3; ++i) {
        const char* text = nullptr;
        if (TIFFGetField(tif, tags[i], &text) && text)
            frame.attributes[i] = text;
    }
    uint32_t rc = LUMO_OK;
    uint8_t* out = target.Prepare(frame, rc);
    if (!out)
        return rc != LUMO_OK ? rc : LUMO_E_OUTOFMEMORY;

    const uint64_t outRow = static_cast<uint64_t>(width) * plan.outBytes;
    const uint64_t sourceRow = static_cast<uint64_t>(width) * plan.sourceBytes;
    m_bError = false;
    if (TIFFIsTiled(tif)) {
        uint32_t tileWidth = 0, tileHeight = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
        const tmsize_t tileBytes = TIFFTileSize(tif);
        if (tileWidth == 0 || tileHeight == 0 || tileBytes <= 0 ||
            static_cast<uint64_t>(tileBytes) <
                static_cast<uint64_t>(tileWidth) * tileHeight * plan.sourceBytes ||
            static_cast<uint64_t>(tileBytes) > m_frameLimit + (1 << 20))
            return LUMO_E_FILEDAMAGED;
        std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
        for (uint32_t y0 = 0; y0 < height; y0 += tileHeight) {
            for (uint32_t x0 = 0; x0 < width; x0 += tileWidth) {
                if (TIFFReadTile(tif, tile.data(), x0, y0, 0, 0) < 0)
                    return LUMO_E_FILEDAMAGED;
                const uint32_t rows = std::min(tileHeight, height - y0);
                const uint32_t columns = std::min(tileWidth, width - x0);
                for (uint32_t r = 0; r < rows; ++r)
                    ConvertPixels(
                        plan, tile.data() + static_cast<size_t>(r) * tileWidth * plan.sourceBytes,
                        out + (y0 + r) * outRow + static_cast<uint64_t>(x0) * plan.outBytes,
                        columns);
                if (x0 > UINT32_MAX - tileWidth)
                    break;
            }
            if (y0 > UINT32_MAX - tileHeight)
                break;
        }
        return LUMO_OK;
    }
    uint32_t rowsPerStrip = height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > height)
        rowsPerStrip = height;
    const uint64_t strips = (static_cast<uint64_t>(height) + rowsPerStrip - 1) / rowsPerStrip;
    if (strips > TIFFNumberOfStrips(tif))
        return LUMO_E_FILEDAMAGED;
    std::vector<uint8_t> buffer;
    if (plan.conversion != Conversion::None) {
        if (sourceRow * rowsPerStrip > m_frameLimit + (1 << 20))
            return LUMO_E_OUTOFMEMORY;
        buffer.resize(static_cast<size_t>(sourceRow * rowsPerStrip));
    }
    for (uint64_t s = 0; s < strips; ++s) {
        const uint64_t firstRow = s * rowsPerStrip;
        const uint64_t rows = std::min<uint64_t>(rowsPerStrip, height - firstRow);
        uint8_t* dst =
            plan.conversion == Conversion::None ? out + firstRow * outRow : buffer.data();
        const tmsize_t want = static_cast<tmsize_t>(rows * sourceRow);
        const tmsize_t got = TIFFReadEncodedStrip(tif, static_cast<uint32_t>(s), dst, want);
        if (got != want)
            return LUMO_E_FILEDAMAGED;
        if (plan.conversion != Conversion::None)
            for (uint64_t r = 0; r < rows; ++r)
                ConvertPixels(plan, buffer.data() + r * sourceRow, out + (firstRow + r) * outRow,
                              width);
    }
    return LUMO_OK;
}

} // namespace lumo
