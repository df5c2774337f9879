#include "libs/pemdebug/LogFormat.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace {

// Formats like a Log call does (no compile-time format check, so "%I64u" passes here).
std::string Fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = pemdebug::FormatLogText(format, args);
    va_end(args);
    return text;
}

} // namespace

TEST(LogFormat, SixtyFourBitConversionsOfBothFamilies) {
    const uint64_t big = 0xFEDCBA9876543210ULL; // needs all 64 bits
    const int64_t neg = -1234567890123LL;
    EXPECT_EQ(Fmt("%llu|%I64u|%lld|%I64d", static_cast<unsigned long long>(big), big,
                  static_cast<long long>(neg), neg),
              "18364758544493064720|18364758544493064720|-1234567890123|-1234567890123");
    EXPECT_EQ(Fmt("%llx|%I64x|%I64X", static_cast<unsigned long long>(big), big, big),
              "fedcba9876543210|fedcba9876543210|FEDCBA9876543210");
    // Flags, width and precision before the prefix; narrower arguments around 64-bit ones.
    EXPECT_EQ(Fmt("_%08I64u [%-4I64d] %.3I64u", uint64_t{42}, int64_t{-7}, uint64_t{5}),
              "_00000042 [-7  ] 005");
    EXPECT_EQ(Fmt("%d %I64u %s %I32u %.1f", 1, big, "x", 5u, 2.5),
              "1 18364758544493064720 x 5 2.5");
    // Only size prefixes of conversions change: not "%%I64u", not "I64" in text.
    EXPECT_EQ(pemdebug::ToPlatformFormat("100%% I64u %%I64u %sI64 %*.*I64d end %"),
              "100%% I64u %%I64u %sI64 %*.*lld end %");
}

TEST(LogFormat, OneCallGivesOneBoundedLine) {
    EXPECT_EQ(Fmt("CDoc::OnNew: done\r\n"), "CDoc::OnNew: done");
    // A line break inside an argument cannot start a forged log line.
    EXPECT_EQ(Fmt("file %s\n", "a.tif\n2026-01-01 [1] 0 forged"),
              "file a.tif 2026-01-01 [1] 0 forged");
    const std::string mid(600, 'y'); // longer than the first buffer
    EXPECT_EQ(Fmt("<%s>", mid.c_str()), "<" + mid + ">");
    const std::string huge(pemdebug::MAX_LOG_TEXT * 3, 'z');
    EXPECT_EQ(Fmt("%s!", huge.c_str()), huge.substr(0, pemdebug::MAX_LOG_TEXT));
}
