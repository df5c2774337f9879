// Object IDs 72 "Line Profile" and 73 "Column Profile" (analyze): the values of one row or one
// column of the source, per channel. Parameter 31 (index) chooses the row or column (default:
// the middle one; an index beyond the image takes the last). GetParam (30, channel,
// uint32_t* values) copies a channel's values (width values for a row, height for a column).
// Settings piece #0 keeps the index ("Row" or "Column").
#pragma once

#include "libs/lumo/CAnalyzeModule.h"

namespace lumo {

class CProfileModule final : public CAnalyzeModule {
public:
    static constexpr uint32_t LINE_ID = LUMO_ID_LINE_PROFILE;
    static constexpr uint32_t COLUMN_ID = LUMO_ID_COLUMN_PROFILE;
    static constexpr uint32_t PARAM_INDEX = 31;
    static constexpr uint32_t MIDDLE = 0xFFFFFFFF;
    explicit CProfileModule(bool column);

protected:
    [[nodiscard]] uint32_t Analyse(const PixelView& in) override;
    uint64_t ValuesPerChannel() const override { return m_length; }
    [[nodiscard]] uint32_t SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    void CopyResult(uint32_t channel, void* out) const override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;

private:
    const bool m_bColumn;
    uint32_t m_index = MIDDLE;
    uint64_t m_length = 0;
    std::vector<uint32_t> m_values; // channel after channel
};

} // namespace lumo
