#include "libs/pemdebug/LogFormat.h"

#include <cstdint>
#include <gtest/gtest.h>

using pemdebug::FormatLogText;
using pemdebug::ToPlatformFormat;

namespace {

// Formats like a Log call does (no compile-time format check, so "%I64u" passes here).
std::string Fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatLogText(format, args);
    va_end(args);
    return text;
}

const uint64_t BIG = 0xFEDCBA9876543210ULL; // 18364758544493064720, needs all 64 bits
const int64_t NEG = -1234567890123LL;

} // namespace

TEST(LogFormat, SixtyFourBitConversionsOfBothFamilies) {
    EXPECT_EQ(Fmt("%llu|%I64u", static_cast<unsigned long long>(BIG), BIG),
              "18364758544493064720|18364758544493064720");
    EXPECT_EQ(Fmt("%lld|%I64d", static_cast<long long>(NEG), NEG), "-1234567890123|-1234567890123");
    EXPECT_EQ(Fmt("%llx|%I64x|%llX|%I64X", static_cast<unsigned long long>(BIG), BIG,
                  static_cast<unsigned long long>(BIG), BIG),
              "fedcba9876543210|fedcba9876543210|FEDCBA9876543210|FEDCBA9876543210");
    // Flags, width and precision before the prefix; the numbered-file form "_%08I64u".
    EXPECT_EQ(Fmt("_%08I64u", uint64_t{42}), "_00000042");
    EXPECT_EQ(Fmt("[%-6I64d][%+I64d][%.3I64u]", int64_t{-7}, int64_t{7}, uint64_t{5}),
              "[-7    ][+7][005]");
    // 64-bit values between narrower arguments keep the argument order intact.
    EXPECT_EQ(Fmt("%d %I64u %s %I32u %.2f %I64d", 1, BIG, "x", 5u, 2.5, NEG),
              "1 18364758544493064720 x 5 2.50 -1234567890123");
}

TEST(LogFormat, RewriteTouchesOnlySizePrefixesOfConversions) {
    EXPECT_EQ(ToPlatformFormat("%I64u %08I64X %*.*I64d %I32u"), "%llu %08llX %*.*lld %u");
    // Literal percent signs and "I64" in plain text stay.
    EXPECT_EQ(ToPlatformFormat("100%% I64u %%I64u done"), "100%% I64u %%I64u done");
    EXPECT_EQ(ToPlatformFormat("%sI64 %dI64"), "%sI64 %dI64");
    // Cut-off conversions at the end stay as they are.
    EXPECT_EQ(ToPlatformFormat("%I6"), "%I6");
    EXPECT_EQ(ToPlatformFormat("end %"), "end %");
    EXPECT_EQ(ToPlatformFormat("end %08"), "end %08");
}

TEST(LogFormat, OneCallGivesOneBoundedLine) {
    EXPECT_EQ(Fmt("CDoc::OnNew: done\r\n"), "CDoc::OnNew: done");
    // A line break inside an argument cannot start a forged log line.
    EXPECT_EQ(Fmt("file %s\n", "a.tif\n2026-01-01 00:00:00.000 [1] 0 forged"),
              "file a.tif 2026-01-01 00:00:00.000 [1] 0 forged");
    // Texts longer than the first buffer come out whole; very long ones are cut.
    const std::string mid(600, 'y');
    EXPECT_EQ(Fmt("<%s>", mid.c_str()), "<" + mid + ">");
    const std::string huge(pemdebug::MAX_LOG_TEXT * 3, 'z');
    const std::string cut = Fmt("%s!", huge.c_str());
    EXPECT_EQ(cut.size(), pemdebug::MAX_LOG_TEXT);
    EXPECT_EQ(cut, huge.substr(0, pemdebug::MAX_LOG_TEXT));
}
