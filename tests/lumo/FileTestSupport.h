// Helpers for the file module tests: a scratch folder, test frames with varied pixels, and the
// writer and reader modules of the real library.
#pragma once

#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "tests/lumo/LumoTestLibrary.h"

#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

struct ModuleDeleter {
    CLumoInstance* instance;
    void operator()(CLumoModule* module) const {
        if (module)
            instance->DeleteModule(module);
    }
};
using ModulePtr = std::unique_ptr<CLumoModule, ModuleDeleter>;

// The shared temporary folder, with paths inside it written as folder / "name".
class ScratchFolder : public TempFolder {
public:
    std::string operator/(const std::string& name) const { return File(name); }
};

// Fills every frame of `image` with values that differ per pixel, channel and frame (`seed`),
// kept within the format's significant bits.
inline void FillPattern(CLumoImage& image, uint32_t seed) {
    const uint64_t format = image.GetFormat(nullptr);
    const uint32_t bits = image.GetSignificantBits();
    const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    const uint32_t container = ImageFormat::ContainerBits(format);
    for (uint64_t f = 0; f < image.GetFrameCount(); ++f) {
        auto* data = static_cast<uint8_t*>(image.GetFrameData(0, static_cast<int64_t>(f), 0));
        const uint64_t samples = image.GetFrameSize() / (container / 8);
        uint32_t state = seed * 2654435761u + static_cast<uint32_t>(f) * 40503u + 1;
        for (uint64_t i = 0; i < samples; ++i) {
            state = state * 1103515245u + 12345u;
            const uint32_t v = (state >> 8) & mask;
            if (container == 8)
                data[i] = static_cast<uint8_t>(v);
            else {
                const uint16_t s = static_cast<uint16_t>(v);
                std::memcpy(data + 2 * i, &s, 2);
            }
        }
    }
}

inline bool SameFrame(CLumoImage& a, int64_t frameA, CLumoImage& b, int64_t frameB) {
    return a.GetFrameSize() == b.GetFrameSize() &&
           std::memcmp(a.GetFrameData(0, frameA, 0), b.GetFrameData(0, frameB, 0),
                       static_cast<size_t>(a.GetFrameSize())) == 0;
}

// The hidden temporary (".NAME.XXXXXX" beside it) that holds the file being written for
// `target`; empty when there is none.
inline std::string TemporaryOf(const std::string& target) {
    const std::filesystem::path path(target);
    const std::string prefix = "." + path.filename().string() + ".";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            return entry.path().string();
    }
    return {};
}

class FileModuleTest : public LumoTest {
protected:
    ModulePtr NewWriter() {
        return ModulePtr(m_pLumo->CreateModule(LUMO_ID_FILE_WRITER), ModuleDeleter{m_pLumo});
    }
    ModulePtr NewReader() {
        return ModulePtr(m_pLumo->CreateModule(LUMO_ID_FILE_READER), ModuleDeleter{m_pLumo});
    }
    // Writes every frame of `image` through a writer of `type` (one Execute per frame, frame k
    // copied into a one-frame work image); the multi-page file is finished at the end.
    uint32_t WriteFrames(CLumoImage& image, uint32_t type, const std::string& path) {
        ModulePtr writer = NewWriter();
        ImagePtr work = NewImage();
        CLumoImage* input = work.get();
        uint32_t rc = writer->SetParam(LUMO_PARAM_FILE_TYPE, type, 0);
        if (rc == 0)
            rc = writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0);
        if (rc == 0)
            rc = writer->SetImages(1, &input);
        if (rc != 0)
            return rc;
        uint32_t x = 0, y = 0;
        image.GetOrigin(&x, &y);
        for (uint64_t f = 0; f < image.GetFrameCount(); ++f) {
            if (work->Allocate(image.GetWidth(), image.GetHeight(), image.GetFormat(nullptr), 0, 1))
                return 1;
            work->SetOrigin(x, y);
            for (uint32_t n = 2; n <= 4; ++n)
                EXPECT_EQ(work->SetAttribute(n, image.GetAttribute(n)), 0u);
            if (const uint32_t copied = work->CopyFrame(&image, f, -1, 0, nullptr, 0, 0))
                return copied;
            if (const uint32_t written = writer->Execute(0))
                return written;
        }
        return writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1);
    }
    // Reads frame `frame` of `path` into `into`.
    uint32_t ReadFrame(const std::string& path, uint64_t frame, CLumoImage& into) {
        ModulePtr reader = NewReader();
        CLumoImage* input = &into;
        uint32_t rc = reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0);
        if (rc == 0)
            rc = reader->SetParam(LUMO_PARAM_FRAME, frame, 0);
        if (rc == 0)
            rc = reader->SetImages(1, &input);
        return rc != 0 ? rc : reader->Execute(0);
    }
    uint64_t FrameCountOf(const std::string& path) {
        ModulePtr reader = NewReader();
        if (reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0) != 0)
            return 0;
        const LumoOutputInfo* info = reader->GetOutputInfo(0);
        return info ? info->frameCount : 0;
    }

    ScratchFolder m_folder;
};
