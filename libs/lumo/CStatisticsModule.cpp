#include "libs/lumo/CStatisticsModule.h"

#include "external/LumoResult.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumo {

namespace {

template <typename T>
std::array<double, 4> Measure(const PixelView& in, uint32_t channel) {
    const T* src = reinterpret_cast<const T*>(in.data);
    const size_t pixels = size_t(in.width) * in.height;
    uint32_t lo = 0xFFFFFFFF;
    uint32_t hi = 0;
    // Sums are exact within a row (16-bit samples squared stay below 2^32, a row of them below
    // 2^64) and gathered across rows in long double.
    uint64_t sum = 0;
    long double squares = 0;
    for (uint32_t y = 0; y < in.height; ++y) {
        uint64_t rowSquares = 0;
        const T* row = src + size_t(y) * in.width * in.channels;
        for (uint32_t x = 0; x < in.width; ++x) {
            const uint32_t v = row[size_t(x) * in.channels + channel];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v;
            rowSquares += uint64_t(v) * v;
        }
        squares += static_cast<long double>(rowSquares);
    }
    const double n = double(pixels);
    const double mean = double(sum) / n;
    const double variance = std::max(0.0, double(squares / n) - mean * mean);
    return {double(lo), double(hi), mean, std::sqrt(variance)};
}

} // namespace

uint32_t CStatisticsModule::Analyse(const PixelView& in) {
    const uint32_t channels = AnalysedChannels(in);
    m_results.clear();
    for (uint32_t c = 0; c < channels; ++c)
        m_results.push_back(in.container == 8 ? Measure<uint8_t>(in, c) : Measure<uint16_t>(in, c));
    m_channels = channels;
    return LUMO_OK;
}

void CStatisticsModule::CopyResult(uint32_t channel, void* out) const {
    std::memcpy(out, m_results[channel].data(), sizeof(double) * 4);
}

} // namespace lumo
