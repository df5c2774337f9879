#include "libs/lumo/FfmpegPtr.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstring>
#include <dlfcn.h>

namespace lumo {

namespace {

// Marks the loaded library that holds `function` resident for the life of the process.
template <typename Function>
void KeepResident(Function* function) {
    void* address = nullptr;
    std::memcpy(&address, &function, sizeof address);
    Dl_info info{};
    if (dladdr(address, &info) != 0 && info.dli_fname)
        (void)dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE); // kept open
}

// FFmpeg's libraries bring a hundred others (GLib, x265, ICU, ...) whose constructors allocate
// what nothing frees. Unloaded with the image library and loaded again, they would lose that
// each time; so they stay once loaded, whatever happens to the image library.
const bool s_bResident = [] {
    KeepResident(&avcodec_version);
    KeepResident(&avformat_version);
    KeepResident(&avutil_version);
    KeepResident(&swscale_version);
    return true;
}();

} // namespace

void QuietVideoLibraries() {
    (void)s_bResident;
    // The library reports its failures through results and texts (parameters 340 and 342);
    // FFmpeg's and x264's own lines would only clutter the program's stderr. A program that
    // chose a level of its own keeps it.
    if (av_log_get_level() == AV_LOG_INFO)
        av_log_set_level(AV_LOG_QUIET);
}

} // namespace lumo
