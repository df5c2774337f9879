// Object ID 32, "Look-up Table": per-channel tables for 8- and 16-bit data.
// A table is 256 points per channel (red, green, blue) of normalised output (0 .. 65535) at
// the normalised inputs i / 255; 16-bit data is interpolated linearly between the points,
// except for the factory curves, which are evaluated at every input value.
// Factory tables: identity, gamma 0.45, gamma 2.2, inverted, logarithmic, contrast S-curve. User
// tables are copies of the table in use that the user kept.
//
// Block 12 (LumoLutSetupBlock): colour mode, image class, kind, index and name of the table in
// use. Block 13 (LumoLutRangeBlock): input range, its reciprocal, output range. Block 14
// (LumoLutDialogBlock): kept for the dialog.
// Own parameters: 40 (kind, index) selects a table; 41 Set/Get (uint16_t[768]) the points of
// the table in use; 42 keeps the table in use as a new user table; 43 (index) removes one;
// 44 Get (index, char[64]*) the name of a table of the kind set with parameter 16 (1 factory,
// 2 user; QueryParam 17 counts them).
#pragma once

#include "libs/lumo/CProcessModule.h"
#include "libs/lumo/SampleMapper.h"

#include <array>
#include <string>
#include <vector>

namespace lumo {

struct LutTable {
    static constexpr size_t POINTS = 256;
    std::string name;
    // A factory table's curve (index into the factory list): 16-bit data is mapped through the
    // curve itself rather than between its points. -1 for tables of points only.
    int32_t curve = -1;
    std::array<std::array<uint16_t, POINTS>, 3> points{};
};

class CLookUpTableModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = LUMO_ID_LOOK_UP_TABLE;
    static constexpr uint32_t PARAM_SELECT = 40;
    static constexpr uint32_t PARAM_POINTS = 41;
    static constexpr uint32_t PARAM_KEEP_USER = 42;
    static constexpr uint32_t PARAM_REMOVE_USER = 43;
    static constexpr uint32_t PARAM_TABLE_NAME = 44;
    static constexpr size_t NAME_ROOM = sizeof(LumoLutSetupBlock::tableName);
    CLookUpTableModule();

    [[nodiscard]] uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    // The six factory tables.
    static std::vector<LutTable> FactoryTables();

protected:
    [[nodiscard]] uint32_t Process(const PixelView& in, PixelView& out) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;
    uint64_t TableCount() const override;

private:
    [[nodiscard]] bool ReadTable(CIniFile_0& store, LutTable& table);
    void WriteTable(CIniFile_0& store, const LutTable& table);

    LutTable m_actual;
    std::vector<LutTable> m_factory;
    std::vector<LutTable> m_user;
    uint32_t m_colourMode = 1;
    uint32_t m_imageClass = 0;
    uint32_t m_selectedKind = 1;
    uint32_t m_selectedIndex = 0;
    uint64_t m_loadCount = 0; // tables of the current kind loaded since the kind was set
    double m_ranges[3] = {256.0, 1.0 / 256.0, 256.0};
    LumoLutDialogBlock m_block14{};
    uint64_t m_generation = 0;
    SampleMapper m_mapper;
};

} // namespace lumo
