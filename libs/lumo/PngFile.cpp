#include "libs/lumo/PngFile.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/FilePtr.h"
#include "libs/lumo/FrameRecordText.h"
#include "libs/lumo/PngSampleScale.h"
#include "libs/lumo/ReplacingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <png.h>
#include <vector>

namespace lumo {

namespace {

// libpng reports errors by a long jump back into the function that set it up. Only the
// functions marked "jump target" below call setjmp; they hold no object with a destructor, so
// nothing is skipped when libpng jumps.

void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// libpng's read (Write false) or write structures, destroyed with the state.
template <bool Write>
struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    [[nodiscard]] bool Create() {
        png =
            Write
                ? png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning)
                : png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        info = png ? png_create_info_struct(png) : nullptr;
        return info != nullptr;
    }
    ~PngState() {
        if (!png)
            return;
        if constexpr (Write)
            png_destroy_write_struct(&png, info ? &info : nullptr);
        else
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};
using ReadState = PngState<false>;
using WriteState = PngState<true>;

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth; // after the transforms: 8 or 16
    int channels; // after the transforms: 1 or 3
    int significant;
};

// Jump target: reads the header and sets up the transforms.
bool ReadHeader(png_structp png, png_infop info, FILE* file, uint64_t frameLimit, PngHeader* out) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_user_limits(png, 1u << 24, 1u << 24);
    png_set_chunk_malloc_max(png, static_cast<png_alloc_size_t>(frameLimit + (1 << 20)));
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    if (colour == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    // Alpha goes, whether stored or made from a palette's transparency.
    png_set_strip_alpha(png);
    if (depth == 16)
        png_set_swap(png);
    png_color_8p sbit = nullptr;
    int significant = depth < 8 ? 8 : depth;
    if (colour != PNG_COLOR_TYPE_PALETTE && png_get_sBIT(png, info, &sbit) && sbit) {
        const int s = (colour & PNG_COLOR_MASK_COLOR) ? sbit->red : sbit->gray;
        if (s > 0 && s < significant)
            significant = s;
    }
    if (interlace != PNG_INTERLACE_NONE)
        png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->width = width;
    out->height = height;
    out->bitDepth = png_get_bit_depth(png, info);
    out->channels = png_get_channels(png, info);
    out->significant = significant;
    return true;
}

// Jump target: reads every row (all passes of an interlaced image) and the end of the file.
bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

struct PngWriteSetup {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colourType;
    int significant;
    bool filler;
    png_textp texts;
    int textCount;
};

// Jump target: writes header, rows and end.
bool WriteAll(png_structp png, png_infop info, FILE* file, const PngWriteSetup* setup,
              png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, setup->width, setup->height, setup->bitDepth, setup->colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (setup->significant > 0 && setup->significant < setup->bitDepth) {
        png_color_8 sbit{};
        const auto s = static_cast<png_byte>(setup->significant);
        sbit.red = sbit.green = sbit.blue = sbit.gray = s;
        png_set_sBIT(png, info, &sbit);
    }
    if (setup->textCount > 0)
        png_set_text(png, info, setup->texts, setup->textCount);
    png_write_info(png, info);
    if (setup->bitDepth == 16)
        png_set_swap(png);
    if (setup->filler)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

} // namespace

uint32_t ReadPngFile(const std::string& path, uint64_t frameLimit, CImageFileTarget& target) {
    FilePtr file = OpenFile(path, "rb");
    if (!file)
        return LUMO_E_FILEREAD;
    ReadState state;
    if (!state.Create())
        return LUMO_E_OUTOFMEMORY;
    PngHeader header{};
    if (!ReadHeader(state.png, state.info, file.get(), frameLimit, &header))
        return LUMO_E_FILEDAMAGED;
    if ((header.bitDepth != 8 && header.bitDepth != 16) ||
        (header.channels != 1 && header.channels != 3) || header.width == 0 || header.height == 0)
        return LUMO_E_FILEFORMAT;

    ImageFileFrame frame;
    frame.width = header.width;
    frame.height = header.height;
    uint32_t imageClass = header.channels == 3 ? ImageFormat::CLASS_RGB : ImageFormat::CLASS_GREY;
    png_textp texts = nullptr;
    int textCount = 0;
    png_get_text(state.png, state.info, &texts, &textCount);
    bool scaled = false; // marked by our writer: samples scaled to 16 bits
    bool ours = false;   // written by this program (unscaled before the mark existed)
    for (int i = 0; i < textCount && i < 4096; ++i) {
        const char* key = texts[i].key;
        const char* text = texts[i].text ? texts[i].text : "";
        if (std::strcmp(key, PNG_SCALE_KEY) == 0 && std::strcmp(text, PNG_SCALE_VALUE) == 0)
            scaled = true;
        if (std::strcmp(key, "KavrinFormat") == 0 ||
            (std::strcmp(key, "Software") == 0 && std::strcmp(text, "KavrinDemo") == 0))
            ours = true;
        if (std::strcmp(key, "Make") == 0)
            frame.attributes[0] = text;
        else if (std::strcmp(key, "Model") == 0)
            frame.attributes[1] = text;
        else if (std::strcmp(key, "Software") == 0)
            frame.attributes[2] = text;
        else if (std::strcmp(key, RECORD_KEYWORD) == 0)
            frame.record = RecordOrNothing(text);
        else if (std::strcmp(key, "KavrinFormat") == 0 && header.channels == 1) {
            unsigned cls = 0, x = 0, y = 0;
            if (std::sscanf(text, "class=%u origin=%u,%u", &cls, &x, &y) == 3 &&
                (cls == ImageFormat::CLASS_CFA || cls == ImageFormat::CLASS_CFA_ALT)) {
                imageClass = cls;
                frame.originX = x;
                frame.originY = y;
            }
        }
    }
    frame.format = ImageFormat::Make(static_cast<uint32_t>(header.bitDepth),
                                     static_cast<uint32_t>(header.significant),
                                     static_cast<uint32_t>(header.channels), 0, imageClass);
    const uint64_t bytes = FrameBytes(frame);
    if (bytes == 0 || bytes > frameLimit)
        return LUMO_E_OUTOFMEMORY;
    if (png_get_rowbytes(state.png, state.info) != FrameRowBytes(frame))
        return LUMO_E_FILEFORMAT;
    uint32_t rc = LUMO_OK;
    uint8_t* out = target.Prepare(frame, rc);
    if (!out)
        return rc != LUMO_OK ? rc : LUMO_E_OUTOFMEMORY;
    std::vector<png_bytep> rows(frame.height);
    const uint64_t rowBytes = FrameRowBytes(frame);
    for (uint32_t y = 0; y < frame.height; ++y)
        rows[y] = out + y * rowBytes;
    if (!ReadRows(state.png, rows.data()))
        return LUMO_E_FILEDAMAGED;
    if (header.bitDepth == 16 && header.significant < 16) {
        const uint64_t samples = bytes / 2;
        const auto significant = static_cast<uint32_t>(header.significant);
        if (scaled || !ours || !SamplesFit(out, samples, significant))
            ScaleSamplesDown(out, samples, significant);
    }
    return LUMO_OK;
}

uint32_t WritePngFile(const std::string& path, const ImageFileFrame& frame, std::string* error) {
    const uint32_t container = ImageFormat::ContainerBits(frame.format);
    const uint32_t channels = ImageFormat::Channels(frame.format);
    const uint32_t imageClass = ImageFormat::ImageClass(frame.format);
    const bool rgb = imageClass == ImageFormat::CLASS_RGB;
    if ((container != 8 && container != 16) || (rgb && channels != 3 && channels != 4) ||
        (!rgb && channels != 1))
        return LUMO_E_FILEFORMAT;
    if (!frame.pixels || frame.width == 0 || frame.height == 0)
        return LUMO_E_INVALIDARG;
    ReplacingFile file(error);
    if (file.Create(path) != LUMO_OK || !file.Stream())
        return LUMO_E_FILEWRITE;
    WriteState state;
    if (!state.Create())
        return LUMO_E_OUTOFMEMORY;

    static const char* const KEYS[3] = {"Make", "Model", "Software"};
    std::deque<std::string> keep; // texts stay alive (and in place) until the file is written
    std::vector<png_text> texts;
    auto addText = [&](const char* key, const std::string& value) {
        keep.push_back(value);
        png_text t{};
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = const_cast<png_charp>(key);
        t.text = const_cast<png_charp>(keep.back().c_str());
        t.text_length = keep.back().size();
        texts.push_back(t);
    };
    for (int i = 0; i < 3; ++i)
        if (!frame.attributes[i].empty())
            addText(KEYS[i], frame.attributes[i]);
    if (!frame.record.empty())
        addText(RECORD_KEYWORD, frame.record);
    const uint32_t significant = ImageFormat::SignificantBits(frame.format);
    const bool scale = container == 16 && significant > 0 && significant < 16;
    if (scale)
        addText(PNG_SCALE_KEY, PNG_SCALE_VALUE);
    if (imageClass == ImageFormat::CLASS_CFA || imageClass == ImageFormat::CLASS_CFA_ALT)
        addText("KavrinFormat", "class=" + std::to_string(imageClass) +
                                    " origin=" + std::to_string(frame.originX) + "," +
                                    std::to_string(frame.originY));

    std::vector<png_bytep> rows(frame.height);
    const uint64_t rowBytes = FrameRowBytes(frame);
    // Samples with fewer significant bits are stored scaled to 16 bits (PngSampleScale.h).
    std::vector<uint8_t> wide;
    const uint8_t* pixels = frame.pixels;
    if (scale) {
        const uint64_t bytes = FrameBytes(frame);
        wide.resize(static_cast<size_t>(bytes));
        ScaleSamplesUp(frame.pixels, wide.data(), bytes / 2, significant);
        pixels = wide.data();
    }
    for (uint32_t y = 0; y < frame.height; ++y)
        rows[y] = const_cast<png_bytep>(pixels + y * rowBytes);
    const PngWriteSetup setup{frame.width,
                              frame.height,
                              static_cast<int>(container),
                              rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY,
                              static_cast<int>(significant),
                              rgb && channels == 4,
                              texts.empty() ? nullptr : texts.data(),
                              static_cast<int>(texts.size())};
    if (!WriteAll(state.png, state.info, file.Stream(), &setup, rows.data()))
        return file.Fail(errno); // libpng gives up on the errno of the stream's failed write
    return file.Commit();
}

} // namespace lumo
