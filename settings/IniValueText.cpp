#include "settings/IniValueText.h"

#include <clocale>
#include <cstdio>
#include <locale.h>

namespace {

// Number text never follows the process locale: the program sets the user's locale at start,
// and under a German one "%G" would write "1,5" and "%lf" stop reading "2.5" at its point, so
// a settings file would change meaning between users. Every conversion below runs on this
// thread with the C locale and restores the thread's own locale afterwards.
class CLocaleScope {
public:
    CLocaleScope() : m_old(uselocale(CLocale())) {}
    ~CLocaleScope() {
        if (m_old)
            uselocale(m_old);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    static locale_t CLocale() {
        // Made once and kept for the life of the process; the C locale always exists.
        static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return c;
    }
    locale_t m_old;
};

// sscanf of one value under the C locale; true when exactly one value was scanned.
template <typename T>
bool ScanOne(const char* text, const char* format, T& value) {
    const CLocaleScope c;
    return std::sscanf(text, format, &value) == 1;
}

// Where the hexadecimal form starts: after leading spaces, at a "0x" or "0X" prefix; else null.
const char* HexStart(const std::string& text) {
    const char* p = text.c_str();
    while (*p == ' ')
        ++p;
    return (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) ? p : nullptr;
}

// A whole number: hexadecimal after a "0x" prefix (scanned as `Hex` with `hexFormat`, its bits
// taken as they are), else decimal (scanned as `Dec` with `decFormat`). `value` is left alone
// when neither form reads.
template <typename Hex, typename Dec, typename T>
bool ParseNumber(const std::string& text, const char* hexFormat, const char* decFormat, T& value) {
    Hex h = 0;
    const char* hex = HexStart(text);
    if (hex && ScanOne(hex, hexFormat, h)) {
        value = static_cast<T>(h);
        return true;
    }
    Dec d = 0;
    if (ScanOne(text.c_str(), decFormat, d)) {
        value = static_cast<T>(d);
        return true;
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Format(const char* format, auto value) {
    const CLocaleScope c;
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, format, value);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

} // namespace

bool IniParseUInt32(const std::string& text, uint32_t& value) {
    return ParseNumber<unsigned int, unsigned int>(text, "%x", "%u", value);
}

bool IniParseInt32(const std::string& text, int32_t& value) {
    return ParseNumber<unsigned int, int>(text, "%x", "%d", value);
}

bool IniParseUInt64(const std::string& text, uint64_t& value) {
    return ParseNumber<unsigned long long, unsigned long long>(text, "%llx", "%llu", value);
}

bool IniParseInt64(const std::string& text, int64_t& value) {
    return ParseNumber<unsigned long long, long long>(text, "%llx", "%lld", value);
}

bool IniParseDouble(const std::string& text, double& value) {
    double v = 0;
    if (ScanOne(text.c_str(), "%lf", v)) {
        value = v;
        return true;
    }
    return false;
}

std::string IniFormatUInt32(uint32_t value) {
    return Format("%u", static_cast<unsigned int>(value));
}
std::string IniFormatInt32(int32_t value) {
    return Format("%d", static_cast<int>(value));
}
std::string IniFormatHex32(uint32_t value) {
    return Format("0x%08X", static_cast<unsigned int>(value));
}
std::string IniFormatUInt64(uint64_t value) {
    return Format("%llu", static_cast<unsigned long long>(value));
}
std::string IniFormatInt64(int64_t value) {
    return Format("%lld", static_cast<long long>(value));
}
std::string IniFormatHex64(uint64_t value) {
    return Format("0x%016llX", static_cast<unsigned long long>(value));
}
std::string IniFormatDouble(double value) {
    return Format("%G", value);
}

std::string IniFormatBinary(const void* data, uint64_t len) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    if (!data || len == 0)
        return text;
    const auto* bytes = static_cast<const uint8_t*>(data);
    text.reserve(static_cast<size_t>(len) * 2);
    for (uint64_t i = 0; i < len; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

bool IniParseBinary(std::string_view text, uint8_t* dst, uint64_t dstLen, uint64_t& stored) {
    stored = 0;
    for (size_t i = 0; i < text.size(); i += 2) {
        if (stored == dstLen)
            return true; // longer text is cut
        // The end of the text counts as an invalid digit, so an odd length fails.
        const int hi = HexDigit(text[i]);
        const int lo = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        if (hi < 0 || lo < 0)
            return false;
        dst[stored++] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}
