#include "libs/lumo/CStatisticsModule.h"

#include "external/LumoResult.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace lumo {

namespace {

// Minimum, maximum and the exact sums of one channel over some rows. Sums are exact within a
// row (16-bit samples squared stay below 2^32, a row of them below 2^64) and gathered across
// rows in long double, which holds them exactly for any frame below 2^32 pixels: the order in
// which rows and bands are added does not change the result.
struct ChannelSums {
    uint32_t lo = 0xFFFFFFFF;
    uint32_t hi = 0;
    uint64_t sum = 0;
    long double squares = 0;

    void Add(const ChannelSums& other) {
        lo = std::min(lo, other.lo);
        hi = std::max(hi, other.hi);
        sum += other.sum;
        squares += other.squares;
    }
};

template <typename T>
ChannelSums Measure(const PixelView& in, uint32_t channel, uint32_t rowBegin, uint32_t rowEnd) {
    ChannelSums sums;
    for (uint32_t y = rowBegin; y < rowEnd; ++y) {
        uint64_t rowSquares = 0;
        const T* row = in.Row<T>(y);
        for (uint32_t x = 0; x < in.width; ++x) {
            const uint32_t v = row[size_t(x) * in.channels + channel];
            sums.lo = std::min(sums.lo, v);
            sums.hi = std::max(sums.hi, v);
            sums.sum += v;
            rowSquares += uint64_t(v) * v;
        }
        sums.squares += static_cast<long double>(rowSquares);
    }
    return sums;
}

std::array<double, 4> Result(const ChannelSums& sums, size_t pixels) {
    const double n = double(pixels);
    const double mean = double(sums.sum) / n;
    const double variance = std::max(0.0, double(sums.squares / n) - mean * mean);
    return {double(sums.lo), double(sums.hi), mean, std::sqrt(variance)};
}

} // namespace

uint32_t CStatisticsModule::Analyse(const PixelView& in) {
    const uint32_t channels = AnalysedChannels(in);
    std::vector<ChannelSums> total(channels);
    // Each band measures its rows and adds its sums to the total when done.
    platform::Mutex merge;
    RunRowBands(RowBands(), in.height, [&](uint32_t rowBegin, uint32_t rowEnd) {
        std::vector<ChannelSums> band(channels);
        for (uint32_t c = 0; c < channels; ++c)
            band[c] = in.container == 8 ? Measure<uint8_t>(in, c, rowBegin, rowEnd)
                                        : Measure<uint16_t>(in, c, rowBegin, rowEnd);
        platform::MutexLock lock(merge);
        for (uint32_t c = 0; c < channels; ++c)
            total[c].Add(band[c]);
    });
    m_results.clear();
    for (uint32_t c = 0; c < channels; ++c)
        m_results.push_back(Result(total[c], size_t(in.width) * in.height));
    m_channels = channels;
    return LUMO_OK;
}

void CStatisticsModule::CopyResult(uint32_t channel, void* out) const {
    std::memcpy(out, m_results[channel].data(), sizeof(double) * 4);
}

} // namespace lumo
