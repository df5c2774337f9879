// 16-bit PNG samples with fewer significant bits (sBIT n < 16) are stored scaled to the full
// 16 bits, as PNG readers expect (sBIT only says how many bits matter): the writer replicates the
// top bits into the low ones (v << (16 - n) | v >> (2n - 16) for n = 12), the reader shifts them
// back (v >> (16 - n)).
//
// Files written before carry the n-bit samples unscaled. The writer now marks its files with
// the text chunk "KavrinSamples" = "scaled"; an unmarked file is read unscaled only when it is
// one of ours (the export's "Software" text "KavrinDemo", or a "KavrinFormat" chunk) and every
// sample fits into n bits. Any other file is standard and is shifted.
#pragma once

#include <cstdint>

namespace lumo {

inline constexpr const char* PNG_SCALE_KEY = "KavrinSamples";
inline constexpr const char* PNG_SCALE_VALUE = "scaled";

// The samples are 16-bit values in host order at any alignment.

// Copies `count` samples from `in` to `out`, each of `significant` bits (larger values are
// taken as the largest) widened to 16 bits by replicating its bits.
void ScaleSamplesUp(const uint8_t* in, uint8_t* out, uint64_t count, uint32_t significant);

// Narrows `count` samples in place to their top `significant` bits.
void ScaleSamplesDown(uint8_t* samples, uint64_t count, uint32_t significant);

// True when every one of `count` samples fits into `significant` bits.
[[nodiscard]] bool SamplesFit(const uint8_t* samples, uint64_t count, uint32_t significant);

} // namespace lumo
