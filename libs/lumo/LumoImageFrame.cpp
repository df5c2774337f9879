#include "libs/lumo/LumoImageFrame.h"

#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoResult.h"

namespace lumo {

bool DescribeImage(CLumoImage* image, ImageFileFrame& frame) {
    if (!image || image->GetFrameCount() == 0)
        return false;
    frame.width = image->GetWidth();
    frame.height = image->GetHeight();
    frame.format = image->GetFormat(nullptr);
    image->GetOrigin(&frame.originX, &frame.originY);
    for (uint32_t i = 0; i < 3; ++i) {
        const char* text = image->GetAttribute(2 + i);
        frame.attributes[i] = text ? text : "";
    }
    const char* record = image->GetAttribute(LUMO_ATTR_RECORD);
    frame.record = record ? record : "";
    frame.pixels = static_cast<const uint8_t*>(image->GetFrameData(0, -1, 0));
    return frame.pixels != nullptr && ImageFormat::IsValid(frame.format);
}

uint8_t* CLumoImageTarget::Prepare(const ImageFileFrame& frame, uint32_t& result) {
    result = m_image.Allocate(frame.width, frame.height, frame.format, 0, 1);
    if (result != LUMO_OK)
        return nullptr;
    m_image.SetOrigin(frame.originX, frame.originY);
    for (uint32_t i = 0; i < 3; ++i) {
        const char* text = frame.attributes[i].empty() ? nullptr : frame.attributes[i].c_str();
        (void)m_image.SetAttribute(2 + i, text); // an image object takes every attribute
    }
    (void)m_image.SetAttribute(LUMO_ATTR_RECORD,
                               frame.record.empty() ? nullptr : frame.record.c_str());
    return static_cast<uint8_t*>(m_image.GetFrameData(0, -1, 0));
}

} // namespace lumo
