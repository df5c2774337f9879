// The texts of the five status panes the view writes: pixel under the cursor (118), lost images
// (119), display rate (120), grab rate (121) and zoom (122).
#pragma once

#include <QString>

#include <cstdint>

class CLumoImage;
class CSequenceBase;

namespace viewtext {

// The names pane 118 gives an image class and, for raw colour-filter images, the filter phase
// of image pixel (x, y) with the image origin (originX, originY).
struct PixelNames {
    const char* format;  // "Greyscale", "RGB-CFA", "RGB", "- unknown format -"
    const char* channel; // "Grey"; "Green", "Red", "Blue"; "RGB"; "Value"
};
PixelNames NamesFor(uint32_t imageClass, uint32_t originX, uint32_t originY, uint32_t x,
                    uint32_t y);

// Pane 118 for image position (x, y) of `image`: "- No image available -" without an image or
// with an empty one; "<format> [x/y], <channel> = v1/v2/v3" inside it; "<format> [WxH]" outside.
QString PixelText(CLumoImage* image, int64_t x, int64_t y);

// Pane 119: empty without a sequence; "Lost Images: " with every channel's count ("-" where it
// is unknown) for a camera, the recorded counts for a loaded recording with a frame record,
// "Lost Images: -" for other sequences.
QString LostImagesText(CSequenceBase* sequence);
// Pane 120: the display rate while grabbing (1) or replaying (2), dashes otherwise.
QString DisplayRateText(CSequenceBase* sequence, uint32_t state);
// Pane 121: the grab rate while grabbing; dashes for an idle camera; empty otherwise.
QString GrabRateText(CSequenceBase* sequence, uint32_t state);
// Pane 122: "n : 1" for zoom n > 0, "1 : n" for zoom -n, "1 : 1" for 0.
QString ZoomText(int32_t zoomX);

} // namespace viewtext
