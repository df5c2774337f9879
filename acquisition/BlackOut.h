// Frame 0 of an image made black, for a logical image no buffer holds.
#pragma once

class CLumoImage;

// Sets every pixel of frame 0 of `destination` to 0, span by span as the image describes its
// area; both counts are read again after every pass, so a destination without groups stays as
// it is.
void BlackOut(CLumoImage& destination);
