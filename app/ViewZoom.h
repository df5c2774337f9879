// The view's zoom and scroll arithmetic, free of widgets. A zoom n >= 2 shows n screen pixels
// per image pixel, n <= -2 one screen pixel per |n| image pixels, -1, 0 and 1 one per one.
// Lengths and positions are in screen pixels of the displayed image unless named "image".
#pragma once

#include <cstdint>

namespace viewzoom {

// The zoom goes no further than 64:1 and 1:64: beyond that the displayed size of a large frame
// no longer fits the scroll bars' range.
inline constexpr int32_t ZOOM_LIMIT = 64;

// The zoom-in step: -2 becomes 1, anything else grows by one, up to 64.
int32_t ZoomIn(int32_t zoom);
// The zoom-out step: 1 becomes -2, anything else shrinks by one, down to -64.
int32_t ZoomOut(int32_t zoom);
// `zoom` brought into -64 ... 64.
int32_t ClampZoom(int32_t zoom);

// An image length shown with `zoom`: times the zoom, divided by |zoom| (whole pixels), or as
// it is.
int64_t DisplayedLength(uint32_t imageLength, int32_t zoom);
// An image coordinate from a screen coordinate and the scroll position.
int64_t ImageCoordinate(int64_t screen, int64_t scroll, int32_t zoom);
// One line of scrolling: the zoom when above 1, else one pixel.
int32_t LineStep(int32_t zoom);

// The largest scroll position for a displayed length seen through a client length: the bar
// covers 0 ... displayed - 1 with a page of the client length, so the last position shows the
// displayed end at the client's far edge; 0 when everything fits.
int32_t MaxScrollPosition(int64_t displayed, int32_t client);
// A requested scroll position kept inside that range.
int32_t ClampScrollPosition(int64_t position, int64_t displayed, int32_t client);

// The image coordinate shown at the middle of the client area; the middle of the image when
// the whole displayed length fits into the client.
int64_t CentreOf(int32_t client, int32_t scroll, uint32_t imageLength, int32_t zoom);
// The scroll position that puts image coordinate `centre` at the middle of the client area
// under `zoom` (before clamping: it may be negative or beyond the end).
int64_t ScrollForCentre(int64_t centre, int32_t zoom, int32_t client);

} // namespace viewzoom
