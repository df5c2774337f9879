// Line sources the parser reads from: a file (read in binary mode) or a memory block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class IniLineSource {
public:
    virtual ~IniLineSource() = default;
    // Reads the next line without its line break. False at the end, when nothing was read.
    virtual bool ReadLine(std::string& line) = 0;
};

// File lines end at LF, CR or CR LF. Every byte of a line but its first that is 0xC2 is dropped
// and the byte after it taken instead (the UTF-8 form of U+0080..U+00BF arrives as one byte).
class IniFileLineSource final : public IniLineSource {
public:
    explicit IniFileLineSource(std::FILE* file) : m_pFile(file) {}
    bool ReadLine(std::string& line) override;
    bool Failed() const { return std::ferror(m_pFile) != 0; }

private:
    int Next();
    void PushBack(int c);
    // True when `c` ends a line; a CR takes a following LF with it.
    bool EndsLine(int c);
    std::FILE* m_pFile;
};

// Memory lines end at LF, CR, LF CR or CR LF; 0xC2 bytes are kept. A zero byte at the start of
// a line ends the text; inside a line it is stored (and hides the rest of the line).
class IniMemoryLineSource final : public IniLineSource {
public:
    IniMemoryLineSource(const char* text, uint64_t size) : m_pText(text), m_nSize(size) {}
    bool ReadLine(std::string& line) override;

private:
    const char* m_pText;
    uint64_t m_nSize;
    uint64_t m_nPos = 0;
};
