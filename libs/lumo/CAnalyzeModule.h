// What the analyze modules share: they read one image (SetImages (1, source)), analyse it with
// Execute (0xFFFFFFFF) and keep the result; they produce no output image.
// Block 13: the colours of the plot (LumoParamBlocks.h: their sizes and places are the chain's);
// with several views (parameter 16) each view keeps its own block. Parameter 18 (0, name) applies a
// named options group ("Options": the colours just set). Results: QueryParam (30, 0, uint64_t*
// channels, uint64_t* values per channel, 0); GetParam (30, channel, out) with the module's result
// type.
#pragma once

#include "libs/lumo/CProcessModule.h"

#include <array>
#include <vector>

namespace lumo {

class CAnalyzeModule : public CProcessModule {
public:
    static constexpr uint32_t PARAM_RESULT = LUMO_PARAM_RESULT;
    static constexpr uint32_t PARAM_OPTIONS = LUMO_PARAM_OPTIONS;
    CAnalyzeModule(uint32_t objectId, const char* title);

    [[nodiscard]] uint32_t Execute(uint32_t mode) override;
    const LumoOutputInfo* GetOutputInfo(uint32_t which) override;
    [[nodiscard]] uint32_t QueryParam(uint32_t id, uintptr_t a, uintptr_t b, uintptr_t c,
                                      uintptr_t d) override;

protected:
    // Samples analysed per pixel: the colour channels of RGB images, else every channel.
    static uint32_t AnalysedChannels(const PixelView& in);
    [[nodiscard]] virtual uint32_t Analyse(const PixelView& in) = 0;
    virtual uint64_t ValuesPerChannel() const = 0;
    // Copies the result of one channel (below m_channels) to out.
    virtual void CopyResult(uint32_t channel, void* out) const = 0;
    [[nodiscard]] uint32_t Process(const PixelView&, PixelView&) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;

    uint32_t m_channels = 0; // channels of the last result (0: none yet)

private:
    std::array<std::vector<uint8_t>, 2> m_colourBlocks;
};

} // namespace lumo
