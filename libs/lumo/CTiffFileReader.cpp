#include "libs/lumo/CTiffFileReader.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/FrameRecordText.h"
#include "libs/lumo/TiffDataRanges.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
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

// What one page holds, how its samples become the frame's and how they are stored, read from
// the page's tags before a byte of pixel data is read.
struct TiffPageLayout {
    ImageFileFrame frame;
    PixelPlan plan;
    uint16_t bits = 1;
    uint16_t samples = 1;
    uint16_t photometric = 0;

    // How the samples are stored (ParseStorageLayout).
    uint64_t outRow = 0;    // bytes of one frame row
    uint64_t sourceRow = 0; // bytes of one decoded row in the file
    bool tiled = false;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    uint64_t tileBytes = 0;
    uint32_t rowsPerStrip = 0;
    uint64_t strips = 0;
};

// The tags every page needs; LUMO_E_FILEFORMAT for a layout the reader does not take.
uint32_t ParseSampleTags(TIFF* tif, TiffPageLayout& layout) {
    uint32_t width = 0, height = 0;
    uint16_t planar = PLANARCONFIG_CONTIG, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t compression = COMPRESSION_NONE;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        return LUMO_E_FILEDAMAGED;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout.photometric))
        layout.photometric = layout.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (!TIFFIsCODECConfigured(compression) || sampleFormat != SAMPLEFORMAT_UINT ||
        (layout.bits != 8 && layout.bits != 16) ||
        (planar != PLANARCONFIG_CONTIG && layout.samples > 1) || layout.samples == 0 ||
        layout.samples > MAX_SAMPLES)
        return LUMO_E_FILEFORMAT;
    if (layout.photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        layout.photometric = PHOTOMETRIC_RGB;
    }
    layout.frame.width = width;
    layout.frame.height = height;
    return LUMO_OK;
}

// The image class, channels and conversion the photometric interpretation asks for.
uint32_t ParseColour(TIFF* tif, TiffPageLayout& layout, uint32_t& channels, uint32_t& imageClass) {
    PixelPlan& plan = layout.plan;
    channels = 1;
    imageClass = ImageFormat::CLASS_GREY;
    switch (layout.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        if (layout.photometric == PHOTOMETRIC_MINISWHITE)
            plan.conversion = Conversion::Invert;
        else if (layout.samples > 1)
            plan.conversion = Conversion::DropExtra;
        return LUMO_OK;
    case PHOTOMETRIC_CFA: {
        if (layout.samples != 1)
            return LUMO_E_FILEFORMAT;
        imageClass = ImageFormat::CLASS_CFA;
        uint16_t count = 0;
        uint8_t* pattern = nullptr;
        // An unknown pattern leaves the origin at (0, 0).
        if (TIFFGetField(tif, TIFFTAG_CFAPATTERN, &count, &pattern) && pattern && count == 4)
            (void)CfaOriginForPattern(pattern, layout.frame.originX, layout.frame.originY);
        return LUMO_OK;
    }
    case PHOTOMETRIC_RGB:
        if (layout.samples < 3)
            return LUMO_E_FILEFORMAT;
        channels = 3;
        imageClass = ImageFormat::CLASS_RGB;
        if (layout.samples > 3)
            plan.conversion = Conversion::DropExtra;
        return LUMO_OK;
    case PHOTOMETRIC_PALETTE:
        if (layout.samples != 1 || layout.bits != 8)
            return LUMO_E_FILEFORMAT;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &plan.map[0], &plan.map[1], &plan.map[2]))
            return LUMO_E_FILEDAMAGED;
        channels = 3;
        imageClass = ImageFormat::CLASS_RGB;
        plan.conversion = Conversion::Palette;
        return LUMO_OK;
    default:
        return LUMO_E_FILEFORMAT;
    }
}

// Significant bits: the sample size, or fewer when MaxSampleValue says so.
uint32_t SignificantBits(TIFF* tif, const TiffPageLayout& layout) {
    uint32_t significant = layout.bits;
    uint16_t maxSample = 0;
    if (layout.plan.conversion != Conversion::Palette &&
        TIFFGetField(tif, TIFFTAG_MAXSAMPLEVALUE, &maxSample) && maxSample != 0) {
        uint32_t length = 0;
        while (length < 16 && (maxSample >> length) != 0)
            ++length;
        if (length < significant)
            significant = length;
    }
    return significant;
}

// Reads the page's tags into `layout`. The frame it describes holds at most `frameLimit`
// bytes (LUMO_E_OUTOFMEMORY otherwise).
uint32_t ParsePageLayout(TIFF* tif, uint64_t frameLimit, TiffPageLayout& layout) {
    if (const uint32_t rc = ParseSampleTags(tif, layout); rc != LUMO_OK)
        return rc;
    PixelPlan& plan = layout.plan;
    plan.sampleBytes = layout.bits / 8u;
    plan.sourceBytes = layout.samples * plan.sampleBytes;
    uint32_t channels = 1;
    uint32_t imageClass = ImageFormat::CLASS_GREY;
    if (const uint32_t rc = ParseColour(tif, layout, channels, imageClass); rc != LUMO_OK)
        return rc;
    plan.outBytes = channels * plan.sampleBytes;
    layout.frame.format =
        ImageFormat::Make(layout.bits, SignificantBits(tif, layout), channels, 0, imageClass);
    const uint64_t bytes = FrameBytes(layout.frame);
    if (bytes == 0 || bytes > frameLimit)
        return LUMO_E_OUTOFMEMORY;
    const uint32_t tags[3] = {TIFFTAG_MAKE, TIFFTAG_MODEL, TIFFTAG_SOFTWARE};
    for (int i = 0; i < 3; ++i) {
        const char* text = nullptr;
        if (TIFFGetField(tif, tags[i], &text) && text)
            layout.frame.attributes[i] = text;
    }
    // Only an ImageDescription that is a frame record is kept; other programs write theirs.
    const char* description = nullptr;
    if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) && description)
        layout.frame.record = RecordOrNothing(description);
    return LUMO_OK;
}

// Most bytes one tile or strip of encoded samples may take: a frame and a little more.
uint64_t BlockLimit(uint64_t frameLimit) {
    return frameLimit + (1 << 20);
}

uint32_t ParseTileLayout(TIFF* tif, uint64_t frameLimit, TiffPageLayout& layout) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &layout.tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &layout.tileHeight);
    const tmsize_t tileBytes = TIFFTileSize(tif);
    // A tile wider than the block limit cannot fit into it; below that bound the product of
    // both sides (each under 2^32) and the pixel size (16 bytes at most) cannot overflow.
    if (layout.tileWidth == 0 || layout.tileHeight == 0 || tileBytes <= 0 ||
        layout.tileWidth > BlockLimit(frameLimit) ||
        static_cast<uint64_t>(tileBytes) <
            static_cast<uint64_t>(layout.tileWidth) * layout.tileHeight * layout.plan.sourceBytes ||
        static_cast<uint64_t>(tileBytes) > BlockLimit(frameLimit))
        return LUMO_E_FILEDAMAGED;
    layout.tileBytes = static_cast<uint64_t>(tileBytes);
    return LUMO_OK;
}

uint32_t ParseStripLayout(TIFF* tif, uint64_t frameLimit, TiffPageLayout& layout) {
    const uint32_t height = layout.frame.height;
    layout.rowsPerStrip = height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &layout.rowsPerStrip);
    if (layout.rowsPerStrip == 0 || layout.rowsPerStrip > height)
        layout.rowsPerStrip = height;
    layout.strips = (static_cast<uint64_t>(height) + layout.rowsPerStrip - 1) / layout.rowsPerStrip;
    if (layout.strips > TIFFNumberOfStrips(tif))
        return LUMO_E_FILEDAMAGED;
    // A strip that needs converting is read through a buffer of its own.
    if (layout.plan.conversion != Conversion::None &&
        layout.sourceRow > BlockLimit(frameLimit) / layout.rowsPerStrip)
        return LUMO_E_OUTOFMEMORY;
    return LUMO_OK;
}

// How the page's samples are stored: tiles or strips, their sizes checked against the frame
// and the block limit.
uint32_t ParseStorageLayout(TIFF* tif, uint64_t frameLimit, TiffPageLayout& layout) {
    // At most 2^32 pixels of 16 bytes each: a row fits into 37 bits.
    layout.outRow = static_cast<uint64_t>(layout.frame.width) * layout.plan.outBytes;
    layout.sourceRow = static_cast<uint64_t>(layout.frame.width) * layout.plan.sourceBytes;
    layout.tiled = TIFFIsTiled(tif) != 0;
    return layout.tiled ? ParseTileLayout(tif, frameLimit, layout)
                        : ParseStripLayout(tif, frameLimit, layout);
}

// Reads a tiled page into `out` (the frame's memory).
uint32_t ReadTiles(TIFF* tif, const TiffPageLayout& layout, uint8_t* out) {
    const PixelPlan& plan = layout.plan;
    const uint32_t width = layout.frame.width;
    const uint32_t height = layout.frame.height;
    const uint32_t tileWidth = layout.tileWidth;
    const uint32_t tileHeight = layout.tileHeight;
    const uint64_t tileRow = static_cast<uint64_t>(tileWidth) * plan.sourceBytes;
    std::vector<uint8_t> tile(static_cast<size_t>(layout.tileBytes));
    for (uint32_t y0 = 0; y0 < height; y0 += tileHeight) {
        for (uint32_t x0 = 0; x0 < width; x0 += tileWidth) {
            if (TIFFReadTile(tif, tile.data(), x0, y0, 0, 0) < 0)
                return LUMO_E_FILEDAMAGED;
            const uint32_t rows = std::min(tileHeight, height - y0);
            const uint32_t columns = std::min(tileWidth, width - x0);
            for (uint32_t r = 0; r < rows; ++r)
                ConvertPixels(plan, tile.data() + r * tileRow,
                              out + (y0 + r) * layout.outRow +
                                  static_cast<uint64_t>(x0) * plan.outBytes,
                              columns);
            if (x0 > UINT32_MAX - tileWidth)
                break;
        }
        if (y0 > UINT32_MAX - tileHeight)
            break;
    }
    return LUMO_OK;
}

// Reads a page stored in strips into `out` (the frame's memory): straight into it when no
// conversion is needed, else through one strip's buffer.
uint32_t ReadStrips(TIFF* tif, const TiffPageLayout& layout, uint8_t* out) {
    const PixelPlan& plan = layout.plan;
    const uint64_t height = layout.frame.height;
    std::vector<uint8_t> buffer;
    if (plan.conversion != Conversion::None)
        buffer.resize(static_cast<size_t>(layout.sourceRow * layout.rowsPerStrip));
    for (uint64_t s = 0; s < layout.strips; ++s) {
        const uint64_t firstRow = s * layout.rowsPerStrip;
        const uint64_t rows = std::min<uint64_t>(layout.rowsPerStrip, height - firstRow);
        uint8_t* dst =
            plan.conversion == Conversion::None ? out + firstRow * layout.outRow : buffer.data();
        const tmsize_t want = static_cast<tmsize_t>(rows * layout.sourceRow);
        const tmsize_t got = TIFFReadEncodedStrip(tif, static_cast<uint32_t>(s), dst, want);
        if (got != want)
            return LUMO_E_FILEDAMAGED;
        if (plan.conversion != Conversion::None)
            for (uint64_t r = 0; r < rows; ++r)
                ConvertPixels(plan, buffer.data() + r * layout.sourceRow,
                              out + (firstRow + r) * layout.outRow, layout.frame.width);
    }
    return LUMO_OK;
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
    m_damage.clear();
}

void CTiffFileReader::CountWholePages(uint64_t fileSize) {
    CTiffDataRanges ranges(fileSize);
    // Every page takes at least the bytes of its directory: the walk ends within as many turns
    // as the file has bytes, and libtiff refuses a chain of directories that loops.
    while (m_readable < fileSize) {
        std::string why;
        if (!ranges.AddPage(m_pTiff, why)) {
            m_damage = "page " + std::to_string(m_readable + 1) + ": " + why;
            return;
        }
        ++m_readable;
        m_bError = false;
        if (TIFFReadDirectory(m_pTiff) != 1) {
            if (m_bError)
                m_damage = "page " + std::to_string(m_readable + 1) +
                           ": its directory cannot be read (" + m_message + ")";
            return;
        }
    }
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
    struct stat status {};
    if (fstat(TIFFFileno(m_pTiff), &status) != 0 || status.st_size <= 0) {
        Close();
        return LUMO_E_FILEREAD;
    }
    CountWholePages(static_cast<uint64_t>(status.st_size));
    m_pageCount = m_readable + (m_damage.empty() ? 0 : 1);
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
    TiffPageLayout layout;
    if (const uint32_t rc = ParsePageLayout(m_pTiff, m_frameLimit, layout); rc != LUMO_OK)
        return rc;
    uint32_t prepared = LUMO_OK;
    uint8_t* out = target.Prepare(layout.frame, prepared);
    if (!out)
        return prepared != LUMO_OK ? prepared : LUMO_E_OUTOFMEMORY;
    m_bError = false;
    // Checked after Prepare: a page whose tiles or strips do not fit leaves the target shaped
    // for it, like a page whose data breaks off.
    if (const uint32_t rc = ParseStorageLayout(m_pTiff, m_frameLimit, layout); rc != LUMO_OK)
        return rc;
    return layout.tiled ? ReadTiles(m_pTiff, layout, out) : ReadStrips(m_pTiff, layout, out);
}

} // namespace lumo
