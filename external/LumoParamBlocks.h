// The module parameters the program and the library both use beyond those of every module
// (LumoModule.h), and the exact byte layout of the parameter blocks 12, 13 and 14 that cross
// the library boundary. A block goes through SetParam (id, block, size) and GetParam (id,
// block, size) as raw bytes: both sides copy these structs in and out with memcpy, so every
// field stays at the byte it is asserted at below. Fields not named are kept as they were read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Parameter blocks: Set/Get (id, uint8_t* block, size in bytes).
inline constexpr uint32_t LUMO_PARAM_BLOCK12 = 12;
inline constexpr uint32_t LUMO_PARAM_BLOCK13 = 13;
inline constexpr uint32_t LUMO_PARAM_BLOCK14 = 14;
// Settings persistence: 15 (section, key or null) where the next load or save goes; 16 (kind)
// the table kind of the look-up table (0 in use, 1 factory, 2 user) or an analyze module's view;
// 17 Set (store, part) loads, Get (store, part or table index) saves, Query (17, 0, 0, 0,
// uint64_t* count) counts the tables of the kind.
inline constexpr uint32_t LUMO_PARAM_WHERE = 15;
inline constexpr uint32_t LUMO_PARAM_KIND = 16;
inline constexpr uint32_t LUMO_PARAM_STORE = 17;
// Analyze modules: Set (0, name) applies a named options group ("Options").
inline constexpr uint32_t LUMO_PARAM_OPTIONS = 18;
// Analyze modules: Query (30, 0, uint64_t* channels, uint64_t* values per channel, 0) and Get
// (30, channel, out) the result of the last analysis.
inline constexpr uint32_t LUMO_PARAM_RESULT = 30;
// Set (value) / Get (uint32_t* out): the edit state the module's dialog keeps.
inline constexpr uint32_t LUMO_PARAM_EDIT_STATE = 21;
// Process modules: Set (x, y) the image position under the mouse, 0xFFFFFFFF, 0xFFFFFFFF when
// the mouse is outside the image; Get (uint32_t[2]* out). The view hands it to the modules whose
// dialogs use it.
inline constexpr uint32_t LUMO_PARAM_CURSOR = 22;
inline constexpr uint32_t LUMO_CURSOR_OUTSIDE = 0xFFFFFFFF;
// CFA to RGB: Set (1) asks the next Execute for white-balance gains from the grey 16 x 16 patch
// of the input around the cursor (green mean / red mean, 1, green mean / blue mean); Set (0)
// withdraws the request. Get (uint32_t* out): 1 while a request waits.
inline constexpr uint32_t LUMO_PARAM_GREY_PATCH = 0x300000;
// Contrast window: Set (1) makes the window the input's full range.
inline constexpr uint32_t LUMO_PARAM_RESET_WINDOW = 0x600000;
// Contrast window: Set (1) asks the next Execute for the window from the 0.5 % and 99.5 %
// percentiles of the input's histogram; Set (0) withdraws the request. Get (uint32_t* out): 1
// while a request waits.
inline constexpr uint32_t LUMO_PARAM_AUTO_WINDOW = 0x600001;

// Copies `data` into the first `size` bytes of `block`; bytes beyond the struct become zero.
template <typename Block>
void LumoPutBlock(const Block& data, uint8_t* block, size_t size) {
    std::memset(block, 0, size);
    std::memcpy(block, &data, std::min(size, sizeof(Block)));
}

// The struct a block of `size` bytes holds; fields beyond the block's end are zero.
template <typename Block>
Block LumoTakeBlock(const uint8_t* block, size_t size) {
    Block data{};
    std::memcpy(&data, block, std::min(size, sizeof(Block)));
    return data;
}

// Look-up table (LUMO_ID_LOOK_UP_TABLE), block 12: colour mode and the table in use.
struct LumoLutSetupBlock {
    uint8_t reserved0[8];
    uint32_t colourMode; // 1 one table for all samples, 3 one per RGB channel
    uint32_t imageClass;
    uint32_t tableKind;  // 1 factory, 2 user
    uint32_t tableIndex; // within its kind
    char tableName[64];  // zero-terminated
    uint8_t reserved1[96];
};
static_assert(offsetof(LumoLutSetupBlock, colourMode) == 8);
static_assert(offsetof(LumoLutSetupBlock, imageClass) == 12);
static_assert(offsetof(LumoLutSetupBlock, tableKind) == 16);
static_assert(offsetof(LumoLutSetupBlock, tableIndex) == 20);
static_assert(offsetof(LumoLutSetupBlock, tableName) == 24);
static_assert(sizeof(LumoLutSetupBlock) == 184);

// Look-up table, block 13: the sample ranges the tables are scaled by.
struct LumoLutRangeBlock {
    uint8_t reserved0[24];
    double inputRange;
    uint8_t reserved1[24];
    double inputScale; // 1 / inputRange
    uint8_t reserved2[24];
    double outputRange;
    uint8_t reserved3[56];
};
static_assert(offsetof(LumoLutRangeBlock, inputRange) == 24);
static_assert(offsetof(LumoLutRangeBlock, inputScale) == 56);
static_assert(offsetof(LumoLutRangeBlock, outputRange) == 88);
static_assert(sizeof(LumoLutRangeBlock) == 152);

// Look-up table, block 14: kept for the module's dialog.
struct LumoLutDialogBlock {
    uint8_t data[36];
};
static_assert(sizeof(LumoLutDialogBlock) == 36);

// Contrast window (LUMO_ID_CONTRAST_WINDOW), block 12.
struct LumoWindowBlock {
    uint8_t reserved0[16];
    double minimum;
    double maximum;
    uint8_t reserved1[64];
    char label[32]; // units of the window, zero-terminated; "#" means sample values
};
static_assert(offsetof(LumoWindowBlock, minimum) == 16);
static_assert(offsetof(LumoWindowBlock, maximum) == 24);
static_assert(offsetof(LumoWindowBlock, label) == 96);
static_assert(sizeof(LumoWindowBlock) == 128);

// Black level / gain (LUMO_ID_BLACK_GAIN), block 12, in input units.
struct LumoBlackGainBlock {
    double black;
    double gain;
};
static_assert(offsetof(LumoBlackGainBlock, gain) == 8);
static_assert(sizeof(LumoBlackGainBlock) == 16);

// Orientation (LUMO_ID_ORIENTATION), block 12: non-zero mirrors.
struct LumoOrientationBlock {
    uint32_t mirrorHorizontally;
    uint32_t mirrorVertically;
};
static_assert(offsetof(LumoOrientationBlock, mirrorVertically) == 4);
static_assert(sizeof(LumoOrientationBlock) == 8);

// CFA to RGB (LUMO_ID_CFA_TO_RGB), block 12.
struct LumoCfaBlock {
    uint32_t method; // 0 bilinear, 1 gradient-corrected high quality
    uint32_t reserved;
    double gains[3]; // white balance red, green, blue
};
static_assert(offsetof(LumoCfaBlock, gains) == 8);
static_assert(sizeof(LumoCfaBlock) == 32);

// The plot colours of an analyze module's block 13 (0x00BBGGRR): the first colours of three
// pairs, then, 16 bytes on, their second colours.
struct LumoColourPairs {
    uint32_t first[3];
    uint32_t reserved;
    uint32_t second[3];
};
static_assert(offsetof(LumoColourPairs, second) == 16);
static_assert(sizeof(LumoColourPairs) == 28);

// An analyze module's block 13: `Before` bytes, the colour pairs, `After` bytes.
template <size_t Before, size_t After>
struct LumoColourBlock {
    uint8_t reserved0[Before];
    LumoColourPairs colours;
    uint8_t reserved1[After];
};

// Statistics (LUMO_ID_STATISTICS).
using LumoStatisticsColourBlock = LumoColourBlock<4, 4>;
static_assert(offsetof(LumoStatisticsColourBlock, colours) == 4);
static_assert(sizeof(LumoStatisticsColourBlock) == 36);

// Column profile (LUMO_ID_COLUMN_PROFILE) and the histogram's cumulative view (view 1).
using LumoColumnPlotColourBlock = LumoColourBlock<16, 4>;
static_assert(offsetof(LumoColumnPlotColourBlock, colours) == 16);
static_assert(sizeof(LumoColumnPlotColourBlock) == 48);

// Line profile (LUMO_ID_LINE_PROFILE) and the histogram's plot view (view 0).
using LumoLinePlotColourBlock = LumoColourBlock<20, 8>;
static_assert(offsetof(LumoLinePlotColourBlock, colours) == 20);
static_assert(sizeof(LumoLinePlotColourBlock) == 56);
