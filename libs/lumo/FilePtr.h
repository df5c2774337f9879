// A C stdio file that closes itself; the image file readers and writers hold their files in it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace lumo {

struct FileCloser {
    void operator()(FILE* file) const {
        if (file)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Opens path with the fopen mode; empty when the file cannot be opened.
inline FilePtr OpenFile(const std::string& path, const char* mode) {
    return FilePtr(std::fopen(path.c_str(), mode));
}

} // namespace lumo
