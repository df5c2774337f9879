// Shared helpers of the settings-store tests: whole-file reads and the pipe a child process
// reports through.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Writes or reads one 32-bit number through a pipe end; false when the pipe closed.
inline bool PipeSend(int fd, uint32_t value) {
    return write(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

inline bool PipeReceive(int fd, uint32_t& value) {
    size_t got = 0;
    auto* p = reinterpret_cast<char*>(&value);
    while (got < sizeof value) {
        const ssize_t n = read(fd, p + got, sizeof value - got);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}
