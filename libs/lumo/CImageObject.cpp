#include "libs/lumo/CImageObject.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <cstring>

namespace lumo {

namespace {

uint32_t ReadSample(const uint8_t* p, uint32_t containerBits) {
    switch (containerBits) {
    case 8:
        return *p;
    case 16: {
        uint16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    default: {
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    }
}

void WriteSample(uint8_t* p, uint32_t containerBits, uint32_t value) {
    switch (containerBits) {
    case 8:
        *p = static_cast<uint8_t>(value > 0xFF ? 0xFF : value);
        break;
    case 16: {
        const uint16_t v = static_cast<uint16_t>(value > 0xFFFF ? 0xFFFF : value);
        std::memcpy(p, &v, sizeof v);
        break;
    }
    default:
        std::memcpy(p, &value, sizeof value);
        break;
    }
}

// width * height * bytes per pixel, or 0 when it does not fit into 64 bits.
[[nodiscard]] uint64_t FrameBytesFor(uint32_t width, uint32_t height, uint64_t format) {
    const uint64_t row = static_cast<uint64_t>(width) * ImageFormat::BytesPerPixel(format);
    if (height != 0 && row > UINT64_MAX / height)
        return 0;
    return row * height;
}

[[nodiscard]] uint32_t AllocateShared(uint64_t frameBytes, uint64_t count,
                                      std::vector<std::shared_ptr<FramePages>>& out) {
    std::vector<FramePages> pages;
    const uint32_t rc = AllocateFramePages(frameBytes, count, pages);
    if (rc != LUMO_OK)
        return rc;
    out.reserve(out.size() + pages.size());
    for (FramePages& frame : pages)
        out.push_back(std::make_shared<FramePages>(std::move(frame)));
    return LUMO_OK;
}

} // namespace

uint32_t CImageObject::SetAttribute(uint32_t number, const char* text) {
    if (text)
        m_attributes[number] = text;
    else
        m_attributes.erase(number);
    return LUMO_OK;
}

const char* CImageObject::GetAttribute(uint32_t number) const {
    const auto it = m_attributes.find(number);
    return it == m_attributes.end() ? nullptr : it->second.c_str();
}

uint64_t CImageObject::GetFormat(uint64_t* pFormat) const {
    if (pFormat)
        *pFormat = m_format;
    return m_format;
}

uint32_t CImageObject::GetSignificantBits() const {
    const uint32_t bits = ImageFormat::SignificantBits(m_format);
    return bits != 0 ? bits : ImageFormat::ContainerBits(m_format);
}

uint64_t CImageObject::GetFrameSize() const {
    return FrameBytesFor(m_width, m_height, m_format);
}

uint32_t CImageObject::GetBitDepth() const {
    return ImageFormat::BitsPerPixel(m_format);
}

uint64_t CImageObject::RowBytes() const {
    return static_cast<uint64_t>(m_width) * ImageFormat::BytesPerPixel(m_format);
}

uint32_t CImageObject::AllocateFrames(const CLumoImage* templateImage, uint64_t count) {
    if (!templateImage)
        return LUMO_E_INVALIDARG;
    uint32_t x = 0;
    uint32_t y = 0;
    templateImage->GetOrigin(&x, &y);
    const uint32_t rc = Allocate(templateImage->GetWidth(), templateImage->GetHeight(),
                                 templateImage->GetFormat(nullptr), 0, count);
    if (rc == LUMO_OK)
        SetOrigin(x, y);
    return rc;
}

uint32_t CImageObject::Allocate(uint32_t width, uint32_t height, uint64_t format, uint32_t reserved,
                                uint64_t frameCount) {
    if (reserved != 0 || width == 0 || height == 0 || !ImageFormat::IsValid(format))
        return LUMO_E_INVALIDARG;
    const uint64_t frameBytes = FrameBytesFor(width, height, format);
    if (frameBytes == 0)
        return LUMO_E_OUTOFMEMORY;
    // Frames of the same page size are kept and cleared rather than given back and fetched
    // again: preparing the same ring once more needs no extra memory.
    // A frame 0 another image is passing through stays as it is for that image.
    const uint64_t stride = FrameStride(frameBytes);
    const uint64_t keep = (!m_frames.empty() && m_frames.front()->Length() == stride &&
                           m_frames.front().use_count() == 1)
                              ? std::min<uint64_t>(frameCount, m_frames.size())
                              : 0;
    std::vector<std::shared_ptr<FramePages>> frames;
    const uint32_t rc = AllocateShared(frameBytes, frameCount - keep, frames);
    if (rc != LUMO_OK)
        return rc; // nothing of this image was touched
    for (uint64_t i = 0; i < keep; ++i)
        std::memset(m_frames[static_cast<size_t>(i)]->Data(), 0, static_cast<size_t>(frameBytes));
    frames.insert(frames.begin(), m_frames.begin(),
                  m_frames.begin() + static_cast<std::ptrdiff_t>(keep));
    m_frames = std::move(frames);
    m_passThrough.reset();
    m_width = width;
    m_height = height;
    m_format = format;
    return LUMO_OK;
}

uint32_t CImageObject::CopyFrame(const CLumoImage* source, uint64_t sourceFrame,
                                 int64_t targetFrame, uint32_t reserved1, const CLumoRegion* region,
                                 uint32_t reserved2, uint32_t reserved3) {
    if (!source || reserved1 != 0 || reserved2 != 0 || reserved3 != 0)
        return LUMO_E_INVALIDARG;
    if (sourceFrame >= source->GetFrameCount() || sourceFrame > INT64_MAX)
        return LUMO_E_INVALIDARG;
    if (targetFrame == 0 || targetFrame == -1)
        DetachFrame();
    uint8_t* target = FrameBytes(targetFrame);
    // Reading only: the interface hands out frame addresses through a non-const operation.
    const uint8_t* from = static_cast<const uint8_t*>(
        const_cast<CLumoImage*>(source)->GetFrameData(0, static_cast<int64_t>(sourceFrame), 0));
    if (!target || !from)
        return LUMO_E_INVALIDARG;
    const uint64_t sourceFormat = source->GetFormat(nullptr);
    if (ImageFormat::BytesPerPixel(sourceFormat) != ImageFormat::BytesPerPixel(m_format))
        return LUMO_E_INVALIDARG;
    const uint32_t width = source->GetWidth();
    const uint32_t height = source->GetHeight();

    if (!region) {
        if (width != m_width || height != m_height)
            return LUMO_E_INVALIDARG;
        if (from != target)
            std::memcpy(target, from, static_cast<size_t>(GetFrameSize()));
        return LUMO_OK;
    }

    uint32_t x = 0, y = 0, w = 0, h = 0;
    if (region->GetRect(0, &x, &y, &w, &h, 0) != LUMO_OK)
        return LUMO_E_INVALIDARG;
    if (w != width || h != height || x > m_width || w > m_width - x || y > m_height ||
        h > m_height - y)
        return LUMO_E_INVALIDARG;
    const uint64_t pixel = ImageFormat::BytesPerPixel(m_format);
    const uint64_t sourceRow = static_cast<uint64_t>(width) * pixel;
    const uint64_t targetRow = RowBytes();
    uint8_t* to = target + y * targetRow + x * pixel;
    for (uint32_t row = 0; row < height; ++row) // memmove: source and target may be one frame
        std::memmove(to + row * targetRow, from + row * sourceRow, static_cast<size_t>(sourceRow));
    return LUMO_OK;
}

void CImageObject::GetOrigin(uint32_t* pX, uint32_t* pY) const {
    if (pX)
        *pX = m_originX;
    if (pY)
        *pY = m_originY;
}

void CImageObject::SetOrigin(uint32_t x, uint32_t y) {
    m_originX = x;
    m_originY = y;
}

uint8_t* CImageObject::FrameBytes(int64_t frame) const {
    if (frame == -1)
        frame = 0;
    if (frame < 0 || static_cast<uint64_t>(frame) >= m_frames.size())
        return nullptr;
    if (frame == 0 && m_passThrough)
        return m_passThrough->Data();
    return m_frames[static_cast<size_t>(frame)]->Data();
}

bool CImageObject::PassThrough(CImageObject& source) {
    if (&source == this || m_frames.empty() || source.m_frames.empty() ||
        source.m_width != m_width || source.m_height != m_height ||
        ImageFormat::BytesPerPixel(source.m_format) != ImageFormat::BytesPerPixel(m_format))
        return false;
    // A source that passes a frame through itself hands on the frame it shows.
    m_passThrough = source.m_passThrough ? source.m_passThrough : source.m_frames.front();
    return true;
}

void CImageObject::DetachFrame() {
    if (!m_passThrough)
        return;
    std::memcpy(m_frames.front()->Data(), m_passThrough->Data(),
                static_cast<size_t>(GetFrameSize()));
    m_passThrough.reset();
}

void* CImageObject::GetFrameData(uint32_t plane, int64_t frame, uint32_t reserved) {
    if (plane != 0 || reserved != 0)
        return nullptr;
    return FrameBytes(frame);
}

uint32_t CImageObject::GetPixel(uint32_t x, uint32_t y, uint32_t* values, uint32_t valueCount,
                                int64_t frame, uint32_t reserved1, uint32_t reserved2) const {
    const uint8_t* data = FrameBytes(frame);
    const uint32_t channels = ImageFormat::Channels(m_format);
    if (!data || !values || valueCount < channels || x >= m_width || y >= m_height ||
        reserved1 != 0 || reserved2 != 0)
        return LUMO_E_INVALIDARG;
    const uint32_t container = ImageFormat::ContainerBits(m_format);
    const uint32_t sampleBytes = container / 8;
    const uint8_t* p = data + y * RowBytes() + static_cast<uint64_t>(x) * sampleBytes * channels;
    for (uint32_t c = 0; c < channels; ++c)
        values[c] = ReadSample(p + c * sampleBytes, container);
    return LUMO_OK;
}

uint32_t CImageObject::SetPixel(uint32_t row, uint32_t firstColumn, uint32_t lastColumn,
                                const uint32_t* values, uint32_t valueCount, int64_t frame,
                                uint32_t reserved1, uint32_t reserved2) {
    if (frame == 0 || frame == -1)
        DetachFrame();
    uint8_t* data = FrameBytes(frame);
    const uint32_t channels = ImageFormat::Channels(m_format);
    if (!data || !values || valueCount < channels || row >= m_height || firstColumn > lastColumn ||
        lastColumn >= m_width || reserved1 != 0 || reserved2 != 0)
        return LUMO_E_INVALIDARG;
    const uint32_t container = ImageFormat::ContainerBits(m_format);
    const uint32_t pixelBytes = container / 8 * channels;
    uint8_t* p = data + row * RowBytes() + static_cast<uint64_t>(firstColumn) * pixelBytes;
    const uint64_t pixels = static_cast<uint64_t>(lastColumn) - firstColumn + 1;
    if (pixelBytes == 1) { // the common 8-bit greyscale span
        std::memset(p, values[0] > 0xFF ? 0xFF : static_cast<int>(values[0]),
                    static_cast<size_t>(pixels));
        return LUMO_OK;
    }
    uint8_t pixel[32 * 63 / 8]; // one pixel: at most 63 channels of 32 bits
    for (uint32_t c = 0; c < channels; ++c)
        WriteSample(pixel + c * (container / 8), container, values[c]);
    for (uint64_t i = 0; i < pixels; ++i)
        std::memcpy(p + i * pixelBytes, pixel, pixelBytes);
    return LUMO_OK;
}

uint64_t CImageObject::GetAreaGroupCount(int64_t frame) const {
    return FrameBytes(frame) ? 1 : 0;
}

uint64_t CImageObject::GetAreaSpanCount(uint64_t group, int64_t frame) const {
    return (group == 0 && FrameBytes(frame)) ? m_height : 0;
}

bool CImageObject::IsSpan(uint64_t group, uint64_t span, int64_t frame) const {
    return group == 0 && span < m_height && FrameBytes(frame);
}

uint32_t CImageObject::GetAreaSpanA(uint64_t group, uint64_t span, int64_t frame) const {
    return IsSpan(group, span, frame) ? static_cast<uint32_t>(span) : 0;
}

uint32_t CImageObject::GetAreaSpanB(uint64_t, uint64_t, int64_t) const {
    return 0; // every span starts at the first column
}

uint32_t CImageObject::GetAreaSpanC(uint64_t group, uint64_t span, int64_t frame) const {
    return IsSpan(group, span, frame) ? m_width - 1 : 0;
}

uint32_t CImageObject::EditFrames(uint32_t mode, uint64_t position, uint64_t count) {
    const uint64_t frames = m_frames.size();
    if (position > frames)
        return LUMO_E_INVALIDARG;
    DetachFrame(); // frame 0 may move or go
    const auto at = m_frames.begin() + static_cast<std::ptrdiff_t>(position);
    if (mode == EDIT_REMOVE) {
        if (count > frames - position)
            return LUMO_E_INVALIDARG;
        m_frames.erase(at, at + static_cast<std::ptrdiff_t>(count));
        return LUMO_OK;
    }
    if (mode != EDIT_INSERT)
        return LUMO_E_INVALIDARG;
    if (m_width == 0 || m_height == 0)
        return LUMO_E_NOIMAGE;
    std::vector<std::shared_ptr<FramePages>> added;
    const uint32_t rc = AllocateShared(GetFrameSize(), count, added);
    if (rc != LUMO_OK)
        return rc;
    m_frames.insert(at, added.begin(), added.end());
    return LUMO_OK;
}

} // namespace lumo
