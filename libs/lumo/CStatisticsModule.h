// Object ID 74, "Statistics" (analyze): minimum, maximum, mean and standard deviation (of the
// population) per channel of the source. GetParam (30, channel, double[4]) copies them.
#pragma once

#include "libs/lumo/CAnalyzeModule.h"

#include <array>

namespace lumo {

class CStatisticsModule final : public CAnalyzeModule {
public:
    static constexpr uint32_t ID = LUMO_ID_STATISTICS;
    CStatisticsModule() : CAnalyzeModule(ID, "Statistics") {}

protected:
    [[nodiscard]] uint32_t Analyse(const PixelView& in) override;
    uint64_t ValuesPerChannel() const override { return 4; }
    void CopyResult(uint32_t channel, void* out) const override;

private:
    std::vector<std::array<double, 4>> m_results;
};

} // namespace lumo
