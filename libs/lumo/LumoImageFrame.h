// The bridge between image objects and the file codecs.
#pragma once

#include "external/LumoImage.h"
#include "libs/lumo/ImageFileFrame.h"

namespace lumo {

// Describes frame 0 of `image` (geometry, format, origin, attributes 2-5, pixels). False when
// there is no image or it holds no frame.
[[nodiscard]] bool DescribeImage(CLumoImage* image, ImageFileFrame& frame);

// Decodes into frame 0 of an image object: Prepare reallocates it to the frame's shape (its
// memory is kept when the size does not change) and sets origin and attributes 2-5.
class CLumoImageTarget final : public CImageFileTarget {
public:
    explicit CLumoImageTarget(CLumoImage& image) : m_image(image) {}
    uint8_t* Prepare(const ImageFileFrame& frame, uint32_t& result) override;

private:
    CLumoImage& m_image;
};

} // namespace lumo
