// Object IDs of the image library's modules: the one list both the program and the library
// name them by (CreateModule, GetObjectId, the chain files' "ObjectID" items).
#pragma once

#include <cstdint>

// Files (the sequence export and the file sequence).
inline constexpr uint32_t LUMO_ID_FILE_WRITER = 1;
inline constexpr uint32_t LUMO_ID_FILE_READER = 2;
// The view's display module.
inline constexpr uint32_t LUMO_ID_DISPLAY = 256;
// Modules of the process chain.
inline constexpr uint32_t LUMO_ID_CFA_TO_RGB = 3;
inline constexpr uint32_t LUMO_ID_LOOK_UP_TABLE = 32;
inline constexpr uint32_t LUMO_ID_CONTRAST_WINDOW = 96;
inline constexpr uint32_t LUMO_ID_BLACK_GAIN = 514;
inline constexpr uint32_t LUMO_ID_ORIENTATION = 515;
// Modules of the analyze group.
inline constexpr uint32_t LUMO_ID_HISTOGRAM = 67;
inline constexpr uint32_t LUMO_ID_LINE_PROFILE = 72;
inline constexpr uint32_t LUMO_ID_COLUMN_PROFILE = 73;
inline constexpr uint32_t LUMO_ID_STATISTICS = 74;
