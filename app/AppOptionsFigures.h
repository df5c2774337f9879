// The figures and texts of the application options dialog, without any toolkit: the size texts,
// the memory check, the status line and the parsing of the two edit fields. The dialog
// (CAppOptionsDlg) shows what these compute.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace appoptions {

// What the dialog knows of the camera; absent without one.
struct CameraFigures {
    std::string name;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bytesPerPixel = 0; // container bits x channels / 8 of the image format word
    uint64_t buffersHeld = 0;   // frame buffers the camera holds now
};

// The values the user edits.
struct Request {
    uint32_t newHeight = 0;     // image height to grab
    uint64_t bufferCount = 100; // frame buffers to reserve
};

enum class StatusColour { None, Red, Green };

struct Texts {
    std::string camera;        // "Currently selected Camera:"
    std::string bytesPerImage; // "Current Bytes per Image:"
    std::string required;      // "Total memory required:"
    std::string available;     // "Physical memory available:"
    std::string status;
    StatusColour colour = StatusColour::None;
    std::string recordingTime; // "Recording time:"
};

// Bytes per pixel of an image format word: container bits (bits 0-5) x channels (bits 12-17) / 8.
uint32_t BytesPerPixel(uint64_t formatWord);

// "1.0 MiB, 1.0 MB, (1048576 Bytes)": the power-of-two and power-of-ten renderings with
// truncated tenths, then the exact count; renderings below their first step are left out.
std::string SizeText(uint64_t bytes);

// a x b x c x d, or nothing when the product does not fit into 64 bits.
std::optional<uint64_t> CheckedProduct(uint64_t a, uint64_t b, uint64_t c, uint64_t d);

// The texts for `camera` (null: none), the request, the physical memory available (empty:
// unknown) and the frame rate the recording time is given for (0: unknown; `measured` tells
// whether it was measured in a grab or is the camera's nominal rate).
Texts ComputeTexts(const CameraFigures* camera, const Request& request,
                   std::optional<uint64_t> memoryAvailable, double frameRate, bool measured);

// The check OK runs: false without a camera, with a height or buffer count of 0, or when the
// requested buffers do not fit into the available memory plus what the camera holds now
// (reducing the buffers is always valid). With the memory unknown the settings are valid.
bool IsValid(const CameraFigures* camera, const Request& request,
             std::optional<uint64_t> memoryAvailable);

// Reads an unsigned number as the edit fields take it: blanks, then decimal digits (anything
// after them is ignored). Empty when no digit comes first, for a minus sign, or when the number
// does not fit into `maximum`.
std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t maximum);

} // namespace appoptions
