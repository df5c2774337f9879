// Object ID 67, "Histogram" (analyze): one histogram per channel of the source, 2^bits bins
// (at most 65536). View 0 (parameter 16) is the histogram plot, view 1 the cumulative plot;
// each has its colour block 13. GetParam (30, channel, uint64_t* bins) copies a channel's bins.
#pragma once

#include "libs/lumo/CAnalyzeModule.h"

namespace lumo {

class CHistogramModule final : public CAnalyzeModule {
public:
    static constexpr uint32_t ID = LUMO_ID_HISTOGRAM;
    CHistogramModule() : CAnalyzeModule(ID, "Histogram") {}

protected:
    [[nodiscard]] uint32_t Analyse(const PixelView& in) override;
    uint64_t ValuesPerChannel() const override { return m_bins; }
    void CopyResult(uint32_t channel, void* out) const override;

private:
    uint64_t m_bins = 0;
    std::vector<uint64_t> m_counts; // channel after channel
};

} // namespace lumo
