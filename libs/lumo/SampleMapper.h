// Per-channel tables that map every possible input sample to an output sample, applied to whole
// frames with contiguous loops. The tables cover the full input container (256 or 65536
// entries), so a sample is its own index and no clamping is needed in the loop.
#pragma once

#include "external/RowBands.h"
#include "libs/lumo/PixelView.h"

#include <cstdint>
#include <vector>

namespace lumo {

// What the tables were built for; a change of any field means building them again.
struct MapperKey {
    uint32_t inContainer = 0;
    uint32_t inBits = 0;
    uint32_t outContainer = 0;
    uint32_t outBits = 0;
    uint32_t channels = 0;
    uint64_t generation = 0; // the module's parameter generation
    bool operator==(const MapperKey&) const = default;
};

class SampleMapper {
public:
    // fn(channel, input value) gives the output value; it is clipped to 0 .. 2^outBits - 1.
    template <typename F>
    void Build(const MapperKey& key, F fn) {
        m_key = key;
        m_built = true;
        const size_t size = size_t(1) << key.inContainer;
        const double maxOut = double((uint64_t(1) << key.outBits) - 1);
        m_tables.assign(key.channels, std::vector<uint16_t>(size));
        for (uint32_t c = 0; c < key.channels; ++c)
            for (size_t v = 0; v < size; ++v) {
                double y = fn(c, uint32_t(v));
                y = y < 0 ? 0 : y > maxOut ? maxOut : y;
                m_tables[c][v] = uint16_t(y + 0.5);
            }
        Finish();
    }
    bool IsFor(const MapperKey& key) const { return m_built && key == m_key; }
    // True when applying the tables to `in` would give `out` the input's samples unchanged (all
    // samples within the input's significant bits).
    bool IsIdentityFor(const PixelView& in, const PixelView& out) const {
        return m_identity && in.container == out.container && in.channels == out.channels;
    }
    // Maps `in` into `out` (same width and height). Output channels beyond the input's are 0.
    // The rows are split over `bands` when given.
    void Apply(const PixelView& in, PixelView& out, CRowBands* bands = nullptr) const;
    // Table entry of channel c (tests).
    uint16_t At(uint32_t c, uint32_t v) const { return m_tables[c][v]; }

private:
    void Finish();

    MapperKey m_key;
    bool m_built = false;
    bool m_sameForAll = false;
    bool m_identity = false; // every table maps each value onto itself
    std::vector<std::vector<uint16_t>> m_tables;
    std::vector<std::vector<uint8_t>> m_tables8; // the same tables for 8-bit outputs
    std::vector<uint16_t> m_pairs; // 8 bits to 8 bits, one table: two samples per look-up
};

} // namespace lumo
