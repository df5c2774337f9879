#include "libs/lumo/FfmpegPtr.h"

extern "C" {
#include <libavutil/log.h>
}

namespace lumo {

void QuietVideoLibraries() {
    // The library reports its failures through results and texts (parameters 340 and 342);
    // FFmpeg's and x264's own lines would only clutter the program's stderr. A program that
    // chose a level of its own keeps it.
    if (av_log_get_level() == AV_LOG_INFO)
        av_log_set_level(AV_LOG_QUIET);
}

} // namespace lumo
