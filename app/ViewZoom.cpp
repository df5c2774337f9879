#include "app/ViewZoom.h"

#include <algorithm>

namespace viewzoom {

int32_t ZoomIn(int32_t zoom) {
    if (zoom == -2)
        return 1;
    return ClampZoom(ClampZoom(zoom) + 1);
}

int32_t ZoomOut(int32_t zoom) {
    if (zoom == 1)
        return -2;
    return ClampZoom(ClampZoom(zoom) - 1);
}

int32_t ClampZoom(int32_t zoom) {
    return std::clamp(zoom, -ZOOM_LIMIT, ZOOM_LIMIT);
}

int64_t DisplayedLength(uint32_t imageLength, int32_t zoom) {
    if (zoom >= 2)
        return int64_t(imageLength) * zoom;
    if (zoom <= -2)
        return int64_t(imageLength) / -int64_t(zoom);
    return imageLength;
}

int64_t ImageCoordinate(int64_t screen, int64_t scroll, int32_t zoom) {
    const int64_t shown = screen + scroll;
    if (zoom >= 2)
        return shown / zoom;
    if (zoom <= -2)
        return shown * -int64_t(zoom);
    return shown;
}

int32_t LineStep(int32_t zoom) {
    return zoom > 1 ? zoom : 1;
}

int32_t MaxScrollPosition(int64_t displayed, int32_t client) {
    const int64_t last = displayed - std::max<int32_t>(client, 0);
    return int32_t(std::clamp<int64_t>(last, 0, INT32_MAX));
}

int32_t ClampScrollPosition(int64_t position, int64_t displayed, int32_t client) {
    // Past the end: the end at the far edge; then anything below 1 is the start.
    const int64_t maximum = displayed - 1;
    if (position + client > maximum + 1)
        position = maximum - client + 1;
    if (position < 1)
        position = 0;
    return int32_t(std::min<int64_t>(position, INT32_MAX));
}

int64_t CentreOf(int32_t client, int32_t scroll, uint32_t imageLength, int32_t zoom) {
    if (client >= DisplayedLength(imageLength, zoom))
        return imageLength / 2;
    const int64_t middle = int64_t(scroll) + client / 2;
    if (zoom >= 2)
        return middle / zoom;
    if (zoom <= -2)
        return middle * -int64_t(zoom);
    return middle;
}

int64_t ScrollForCentre(int64_t centre, int32_t zoom, int32_t client) {
    int64_t shown = centre;
    if (zoom >= 2)
        shown = centre * zoom;
    else if (zoom <= -2)
        shown = centre / -int64_t(zoom);
    return shown - client / 2;
}

} // namespace viewzoom
