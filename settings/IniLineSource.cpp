#include "settings/IniLineSource.h"

namespace {
constexpr int kLF = 10;
constexpr int kCR = 13;
constexpr int kC2 = 0xC2;
} // namespace

int IniFileLineSource::Next() {
    return getc_unlocked(m_pFile);
}

void IniFileLineSource::PushBack(int c) {
    if (c != EOF)
        std::ungetc(c, m_pFile);
}

bool IniFileLineSource::EndsLine(int c) {
    if (c == kCR) {
        const int after = Next(); // CR LF is one break
        if (after != kLF)
            PushBack(after);
        return true;
    }
    return c == kLF;
}

bool IniFileLineSource::ReadLine(std::string& line) {
    line.clear();
    int c = Next();
    if (c == EOF)
        return false;
    while (!EndsLine(c)) {
        line.push_back(static_cast<char>(c));
        c = Next();
        if (c == kC2)
            c = Next();
        if (c == EOF)
            break;
    }
    return true;
}

bool IniMemoryLineSource::ReadLine(std::string& line) {
    line.clear();
    if (!m_pText || m_nPos >= m_nSize)
        return false;
    const auto at = [this](uint64_t i) { return static_cast<unsigned char>(m_pText[i]); };
    // A line break is one of LF, CR, LF CR or CR LF.
    const auto stepOverBreak = [&](unsigned char first) {
        const unsigned char partner = first == kLF ? kCR : kLF;
        if (m_nPos < m_nSize && at(m_nPos) == partner)
            ++m_nPos;
    };
    unsigned char c = at(m_nPos++);
    if (c == 0)
        return false;
    while (c != kLF && c != kCR) {
        line.push_back(static_cast<char>(c));
        if (m_nPos >= m_nSize)
            return true;
        c = at(m_nPos++);
    }
    stepOverBreak(c);
    return true;
}
