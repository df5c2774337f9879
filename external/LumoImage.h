// Image objects and region objects of the image library (libLumoInst.so).
// Both are made and destroyed only through the library instance (CLumoInstance::CreateImage /
// DeleteImage). An object is not locked inside: its owner serialises access (a sequence's frame
// store is guarded by the sequence mutex).
#pragma once

#include <cstdint>

// What the instance's CreateImage hands out; GetKind tells which of the two it is.
class CLumoObject {
public:
    static constexpr uint32_t KIND_IMAGE = 0;
    static constexpr uint32_t KIND_REGION = 1;

    virtual uint32_t GetKind() const = 0;

protected:
    virtual ~CLumoObject() = default;
};

// A rectangle inside an image, used to place a frame into part of a larger image (CopyFrame).
class CLumoRegion : public CLumoObject {
public:
    // Reads the rectangle. `index` and `flags` must be 0. Any out pointer may be null.
    [[nodiscard]] virtual uint32_t GetRect(uint32_t index, uint32_t* pX, uint32_t* pY,
                                           uint32_t* pWidth, uint32_t* pHeight,
                                           uint32_t flags) const = 0;
    // Sets the rectangle: left column x, top row y, width and height in pixels. `index` and
    // `flags` must be 0. A new region is empty (0 x 0 at 0, 0).
    [[nodiscard]] virtual uint32_t SetRect(uint32_t index, uint32_t x, uint32_t y, uint32_t width,
                                           uint32_t height, uint32_t flags) = 0;
};

// An image object: one or more frames of one geometry and one format word (ImageFormat.h).
// Every frame is one contiguous, page-aligned block, rows packed without padding, so a frame
// holds GetFrameSize() = width * height * bytes per pixel bytes and a frame grabber can write
// straight into GetFrameData(). Frame memory is touched when it is allocated, so writing into it
// later never page-faults.
//
// Frame arguments are signed: -1 means frame 0, the frame a single-frame image works on.
// Results of type uint32_t are 0 (LUMO_OK) on success, else a code of LumoResult.h.
class CLumoImage : public CLumoObject {
public:
    // Numbered text attributes (2 maker, 3 sequence name, 4 program name, any other number
    // free). A null text removes the attribute.
    [[nodiscard]] virtual uint32_t SetAttribute(uint32_t number, const char* text) = 0;
    // The attribute's text, owned by the image and valid until it is set again; null if unset.
    virtual const char* GetAttribute(uint32_t number) const = 0;

    virtual uint32_t GetWidth() const = 0;
    virtual uint32_t GetHeight() const = 0;
    // The format word; also stored through pFormat when that is not null. 0 before Allocate.
    virtual uint64_t GetFormat(uint64_t* pFormat) const = 0;
    // Significant bits per sample (the format word's field, or the container bits when it is 0).
    virtual uint32_t GetSignificantBits() const = 0;
    // Bytes of one frame: width * height * bytes per pixel.
    virtual uint64_t GetFrameSize() const = 0;
    // Memory bits per pixel: container bits * channels.
    virtual uint32_t GetBitDepth() const = 0;

    // Replaces the frames with `count` frames shaped like `templateImage` (its width, height,
    // format word and origin). Contents are zero. On failure the image keeps what it had.
    [[nodiscard]] virtual uint32_t AllocateFrames(const CLumoImage* templateImage,
                                                  uint64_t count) = 0;
    // Replaces the frames with `frameCount` zeroed frames of width x height in `format`.
    // `reserved` must be 0. Width and height must be non-zero and the format word valid. A
    // request larger than the physical memory available fails with LUMO_E_OUTOFMEMORY before any
    // memory is touched. On failure the image keeps what it had. Origin and attributes stay.
    // Frames whose memory size does not change keep their addresses (cleared).
    [[nodiscard]] virtual uint32_t Allocate(uint32_t width, uint32_t height, uint64_t format,
                                            uint32_t reserved, uint64_t frameCount) = 0;
    // Copies frame `sourceFrame` of `source` into frame `targetFrame` of this image (-1: frame 0).
    // Without a region the two images must have the same width, height and bytes per pixel and
    // the whole frame is copied. With a region the source frame is placed into the region's
    // rectangle of this image: the rectangle must lie inside this image and have the source's
    // width and height, and the pixels must have the same bytes per pixel. `reserved1`,
    // `reserved2` and `reserved3` must be 0. Source and target may be the same image.
    [[nodiscard]] virtual uint32_t CopyFrame(const CLumoImage* source, uint64_t sourceFrame,
                                             int64_t targetFrame, uint32_t reserved1,
                                             const CLumoRegion* region, uint32_t reserved2,
                                             uint32_t reserved3) = 0;

    // The position of pixel (0, 0) on the sensor; it fixes the colour-filter phase. Either out
    // pointer may be null. A new image has origin (0, 0).
    virtual void GetOrigin(uint32_t* pX, uint32_t* pY) const = 0;
    virtual void SetOrigin(uint32_t x, uint32_t y) = 0;

    virtual uint64_t GetFrameCount() const = 0;
    // Address of the first pixel of frame `frame`; null when there is no such frame. `plane`
    // and `reserved` must be 0.
    virtual void* GetFrameData(uint32_t plane, int64_t frame, uint32_t reserved) = 0;

    // Reads pixel (x, y) of frame `frame`: one value per channel into values[0 .. channels - 1].
    // `valueCount` is the room in `values` and must be at least the channel count. `reserved1`
    // and `reserved2` must be 0.
    [[nodiscard]] virtual uint32_t GetPixel(uint32_t x, uint32_t y, uint32_t* values,
                                            uint32_t valueCount, int64_t frame, uint32_t reserved1,
                                            uint32_t reserved2) const = 0;
    // Fills one row span of frame `frame`: in row `row`, every pixel from column `firstColumn`
    // to column `lastColumn` (both included) gets values[0 .. channels - 1]; values above the
    // sample container's maximum are clipped to it. One pixel is the span (y, x, x). The three
    // span arguments are those the area description hands out (GetAreaSpanA/B/C). `valueCount`
    // is the number of entries in `values` and must be at least the channel count. The row must
    // lie inside the image and firstColumn <= lastColumn < width. `reserved1` and `reserved2`
    // must be 0.
    [[nodiscard]] virtual uint32_t SetPixel(uint32_t row, uint32_t firstColumn, uint32_t lastColumn,
                                            const uint32_t* values, uint32_t valueCount,
                                            int64_t frame, uint32_t reserved1,
                                            uint32_t reserved2) = 0;

    // The area of a frame, described as groups of row spans; filling every span with SetPixel
    // covers the area once. An image object's area is its whole frame: one group whose spans
    // are its rows in order. A frame that does not exist has no groups.
    // Number of groups of frame `frame`.
    virtual uint64_t GetAreaGroupCount(int64_t frame) const = 0;
    // Number of spans of group `group` of frame `frame` (0 for a group that does not exist).
    virtual uint64_t GetAreaSpanCount(uint64_t group, int64_t frame) const = 0;
    // Span `span` of group `group`: A is its row, B its first column, C its last column
    // (included). A span that does not exist answers 0 for all three.
    virtual uint32_t GetAreaSpanA(uint64_t group, uint64_t span, int64_t frame) const = 0;
    virtual uint32_t GetAreaSpanB(uint64_t group, uint64_t span, int64_t frame) const = 0;
    virtual uint32_t GetAreaSpanC(uint64_t group, uint64_t span, int64_t frame) const = 0;

    static constexpr uint32_t EDIT_INSERT = 16;
    static constexpr uint32_t EDIT_REMOVE = 17;
    // EDIT_INSERT: inserts `count` zeroed frames before frame `position` (position = frame count
    // appends); needs a geometry from an earlier Allocate and is limited by the physical memory
    // available like Allocate. EDIT_REMOVE: removes frames position .. position + count - 1 and
    // frees their memory. The other frames keep their memory and addresses.
    [[nodiscard]] virtual uint32_t EditFrames(uint32_t mode, uint64_t position, uint64_t count) = 0;
};

// Typed view of what CreateImage made; null when `object` is null or of the other kind.
inline CLumoImage* AsLumoImage(CLumoObject* object) {
    return (object && object->GetKind() == CLumoObject::KIND_IMAGE)
               ? static_cast<CLumoImage*>(object)
               : nullptr;
}
inline CLumoRegion* AsLumoRegion(CLumoObject* object) {
    return (object && object->GetKind() == CLumoObject::KIND_REGION)
               ? static_cast<CLumoRegion*>(object)
               : nullptr;
}
