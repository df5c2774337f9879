#include "acquisition/BlackOut.h"

#include "external/LumoImage.h"

#include <cstdint>

void BlackOut(CLumoImage& destination) {
    const uint32_t black[4] = {0, 0, 0, 0};
    for (uint64_t group = 0; group < destination.GetAreaGroupCount(0); ++group) {
        for (uint64_t span = 0; span < destination.GetAreaSpanCount(group, 0); ++span) {
            // The span is one the image hands out and four values cover any channel count:
            // the fill is not refused.
            (void)destination.SetPixel(
                destination.GetAreaSpanA(group, span, 0), destination.GetAreaSpanB(group, span, 0),
                destination.GetAreaSpanC(group, span, 0), black, 4, -1, 0, 0);
        }
    }
}
