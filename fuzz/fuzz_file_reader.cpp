// The file reader on arbitrary bytes: whatever a file holds, identifying it, counting its frames
// and reading them ends in a result code, never in a crash, a hang or an unbounded allocation.
// Every result is 0 or one of the reader's documented codes.
#include "external/LumoFileModules.h"
#include "external/LumoResult.h"
#include "libs/lumo/CFileReader.h"
#include "libs/lumo/CImageObject.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& FilePath() {
    static const std::string path = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(base) + "/kavrin-fuzz-reader-" + std::to_string(getpid()) + ".img";
    }();
    static const bool cleanup = std::atexit([] { unlink(FilePath().c_str()); }) == 0;
    (void)cleanup;
    return path;
}

bool IsDocumented(uint32_t rc) {
    return rc == LUMO_OK || rc == LUMO_E_FILEDAMAGED || rc == LUMO_E_FILEFORMAT ||
           rc == LUMO_E_OUTOFMEMORY || rc == LUMO_E_INVALIDARG || rc == LUMO_E_FILEREAD;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = FilePath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);

    lumo::CFileReader reader;
    lumo::CImageObject image;
    CLumoImage* input = &image;
    if (reader.SetImages(1, &input) != LUMO_OK ||
        reader.SetParam(LUMO_PARAM_FRAME_LIMIT, 16u << 20, 0) != LUMO_OK ||
        reader.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0) != LUMO_OK)
        std::abort();
    const LumoOutputInfo* info = reader.GetOutputInfo(0);
    const uint64_t frames = info ? info->frameCount : 1;
    char damage[256];
    // A text that does not fit is refused whole; either way the call must return.
    (void)reader.GetParam(LUMO_PARAM_DAMAGE, LumoArg(damage), sizeof damage);
    for (uint64_t i = 0; i < frames && i < 8; ++i) {
        if (reader.SetParam(LUMO_PARAM_FRAME, i, 0) != LUMO_OK)
            std::abort();
        const uint32_t rc = reader.Execute(0);
        if (!IsDocumented(rc))
            std::abort();
        if (rc == LUMO_OK && (image.GetWidth() == 0 || image.GetFrameCount() != 1))
            std::abort();
    }
    return 0;
}
