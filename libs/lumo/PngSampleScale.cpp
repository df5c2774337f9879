#include "libs/lumo/PngSampleScale.h"

#include <algorithm>
#include <cstring>

namespace lumo {

namespace {

uint16_t Sample(const uint8_t* samples, uint64_t i) {
    uint16_t v;
    std::memcpy(&v, samples + 2 * i, 2);
    return v;
}

void Store(uint8_t* samples, uint64_t i, uint32_t v) {
    const auto narrow = static_cast<uint16_t>(v);
    std::memcpy(samples + 2 * i, &narrow, 2);
}

} // namespace

void ScaleSamplesUp(const uint8_t* in, uint8_t* out, uint64_t count, uint32_t significant) {
    if (significant == 0 || significant >= 16) {
        std::memcpy(out, in, static_cast<size_t>(count * 2));
        return;
    }
    const uint32_t largest = (1u << significant) - 1;
    const int bits = static_cast<int>(significant);
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t v = std::min<uint32_t>(Sample(in, i), largest);
        // The value's bits, repeated from the top down: 12 bits abcdefghijkl become
        // abcdefghijkl abcd.
        uint32_t wide = 0;
        for (int at = 16 - bits; at > -bits; at -= bits)
            wide |= at >= 0 ? v << at : v >> -at;
        Store(out, i, wide);
    }
}

void ScaleSamplesDown(uint8_t* samples, uint64_t count, uint32_t significant) {
    if (significant == 0 || significant >= 16)
        return;
    const uint32_t shift = 16 - significant;
    for (uint64_t i = 0; i < count; ++i)
        Store(samples, i, Sample(samples, i) >> shift);
}

bool SamplesFit(const uint8_t* samples, uint64_t count, uint32_t significant) {
    if (significant >= 16)
        return true;
    const uint32_t largest = (1u << significant) - 1;
    for (uint64_t i = 0; i < count; ++i)
        if (Sample(samples, i) > largest)
            return false;
    return true;
}

} // namespace lumo
