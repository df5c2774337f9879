// What the user types into the options dialog's number fields: any text gives either no number
// or one within the field's range, and the texts and memory check computed from it never
// report a request that does not fit as fitting.
#include "app/AppOptionsFigures.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    uint64_t memory = 0;
    std::memcpy(&memory, data, sizeof memory);
    const std::string text(reinterpret_cast<const char*>(data + 8), size - 8);
    const size_t split = text.find('|');
    const std::string heightText = text.substr(0, split);
    const std::string buffersText = split == std::string::npos ? "" : text.substr(split + 1);
    const auto height = appoptions::ParseUnsigned(heightText, UINT32_MAX);
    const auto buffers = appoptions::ParseUnsigned(buffersText, UINT64_MAX);
    if (height && *height > UINT32_MAX)
        std::abort();
    const appoptions::CameraFigures camera{"fuzz", 2320, 1726, 2, 3};
    const appoptions::Request request{uint32_t(height.value_or(1)), buffers.value_or(1)};
    const appoptions::Texts texts = appoptions::ComputeTexts(&camera, request, memory, 200, 0);
    const bool valid = appoptions::IsValid(&camera, request, memory);
    const auto required = appoptions::CheckedProduct(request.bufferCount, request.newHeight,
                                                     camera.width, camera.bytesPerPixel);
    if (valid && !required)
        std::abort(); // an overflowing request passed the memory check
    if (valid && texts.colour == appoptions::StatusColour::Red && request.bufferCount != 0)
        std::abort(); // the status line and the check disagree
    return 0;
}
