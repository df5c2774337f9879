// A frame seen as contiguous samples: geometry, container, channels, significant bits and
// origin of frame 0 of an image object.
#pragma once

#include "external/ImageFormat.h"
#include "external/LumoImage.h"

#include <cstddef>
#include <cstdint>

namespace lumo {

struct PixelView {
    uint8_t* data = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t container = 0; // 8 or 16 (32-bit samples are not processed)
    uint32_t channels = 0;
    uint32_t bits = 0; // significant bits
    uint32_t imageClass = 0;
    uint32_t originX = 0;
    uint32_t originY = 0;

    size_t RowSamples() const { return size_t(width) * channels; }
    size_t Samples() const { return RowSamples() * height; }
    uint32_t MaxValue() const { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }
    template <typename T>
    T* Row(uint32_t y) const {
        return reinterpret_cast<T*>(data) + size_t(y) * RowSamples();
    }

    // False when the image has no frame or a container other than 8 or 16 bits.
    [[nodiscard]] static bool Of(CLumoImage* image, PixelView& view) {
        if (!image)
            return false;
        const uint64_t format = image->GetFormat(nullptr);
        view.data = static_cast<uint8_t*>(image->GetFrameData(0, -1, 0));
        view.width = image->GetWidth();
        view.height = image->GetHeight();
        view.container = ImageFormat::ContainerBits(format);
        view.channels = ImageFormat::Channels(format);
        view.bits = image->GetSignificantBits();
        view.imageClass = ImageFormat::ImageClass(format);
        image->GetOrigin(&view.originX, &view.originY);
        return view.data && view.width && view.height && view.channels &&
               (view.container == 8 || view.container == 16);
    }
};

} // namespace lumo
