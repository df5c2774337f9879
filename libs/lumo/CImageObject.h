// The library's image object: frames of one geometry and format word in page-aligned memory.
#pragma once

#include "external/LumoImage.h"
#include "libs/lumo/FramePages.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lumo {

class CImageObject final : public CLumoImage {
public:
    CImageObject() = default;
    ~CImageObject() override = default;
    CImageObject(const CImageObject&) = delete;
    CImageObject& operator=(const CImageObject&) = delete;

    uint32_t GetKind() const override { return KIND_IMAGE; }

    [[nodiscard]] uint32_t SetAttribute(uint32_t number, const char* text) override;
    const char* GetAttribute(uint32_t number) const override;
    uint32_t GetWidth() const override { return m_width; }
    uint32_t GetHeight() const override { return m_height; }
    uint64_t GetFormat(uint64_t* pFormat) const override;
    uint32_t GetSignificantBits() const override;
    uint64_t GetFrameSize() const override;
    uint32_t GetBitDepth() const override;
    [[nodiscard]] uint32_t AllocateFrames(const CLumoImage* templateImage, uint64_t count) override;
    [[nodiscard]] uint32_t Allocate(uint32_t width, uint32_t height, uint64_t format,
                                    uint32_t reserved, uint64_t frameCount) override;
    [[nodiscard]] uint32_t CopyFrame(const CLumoImage* source, uint64_t sourceFrame,
                                     int64_t targetFrame, uint32_t reserved1,
                                     const CLumoRegion* region, uint32_t reserved2,
                                     uint32_t reserved3) override;
    void GetOrigin(uint32_t* pX, uint32_t* pY) const override;
    void SetOrigin(uint32_t x, uint32_t y) override;
    uint64_t GetFrameCount() const override { return m_frames.size(); }
    void* GetFrameData(uint32_t plane, int64_t frame, uint32_t reserved) override;
    [[nodiscard]] uint32_t GetPixel(uint32_t x, uint32_t y, uint32_t* values, uint32_t valueCount,
                                    int64_t frame, uint32_t reserved1,
                                    uint32_t reserved2) const override;
    [[nodiscard]] uint32_t SetPixel(uint32_t row, uint32_t firstColumn, uint32_t lastColumn,
                                    const uint32_t* values, uint32_t valueCount, int64_t frame,
                                    uint32_t reserved1, uint32_t reserved2) override;
    uint64_t GetAreaGroupCount(int64_t frame) const override;
    uint64_t GetAreaSpanCount(uint64_t group, int64_t frame) const override;
    uint32_t GetAreaSpanA(uint64_t group, uint64_t span, int64_t frame) const override;
    uint32_t GetAreaSpanB(uint64_t group, uint64_t span, int64_t frame) const override;
    uint32_t GetAreaSpanC(uint64_t group, uint64_t span, int64_t frame) const override;
    [[nodiscard]] uint32_t EditFrames(uint32_t mode, uint64_t position, uint64_t count) override;

    // Frame 0 shows `source`'s frame 0 without a copy: a module whose output equals its input
    // hands the input on this way. Both need a frame 0 and the same width, height and bytes
    // per pixel; false changes nothing. The shown frame stays alive while it is shown, follows
    // later writes into the source's frame, and is copied into this image's own frame before
    // any operation of this image writes into frame 0, so nothing written here reaches the
    // source. Callers that write through GetFrameData call EndPassThrough first.
    [[nodiscard]] bool PassThrough(CImageObject& source);
    // Frame 0 is this image's own frame again, holding what it held before the pass-through.
    void EndPassThrough() { m_passThrough.reset(); }
    bool IsPassingThrough() const { return m_passThrough != nullptr; }

private:
    // Ends a pass-through keeping what frame 0 shows: the shown frame is copied into our own.
    void DetachFrame();
    // Frame `frame` (-1: frame 0) or null when there is none.
    uint8_t* FrameBytes(int64_t frame) const;
    bool IsSpan(uint64_t group, uint64_t span, int64_t frame) const;
    uint64_t RowBytes() const;

    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint64_t m_format = 0;
    uint32_t m_originX = 0;
    uint32_t m_originY = 0;
    // Shared so that an image passing a frame through keeps it alive (see PassThrough).
    std::vector<std::shared_ptr<FramePages>> m_frames;
    std::shared_ptr<FramePages> m_passThrough;
    std::map<uint32_t, std::string> m_attributes;
};

} // namespace lumo
