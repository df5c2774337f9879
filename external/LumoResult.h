// Result codes of the image library's operations. 0 means ok; everything else is a failure.
#pragma once

#include <cstdint>

inline constexpr uint32_t LUMO_OK = 0;
// An argument is out of range: null object, frame or pixel outside the image, bad format word,
// unknown mode, geometry that does not match.
inline constexpr uint32_t LUMO_E_INVALIDARG = 0xA0010002;
// The frames asked for do not fit into the physical memory available, or the system refused it.
inline constexpr uint32_t LUMO_E_OUTOFMEMORY = 0xA0010003;
// The object does not offer this operation or parameter.
inline constexpr uint32_t LUMO_E_NOTSUPPORTED = 0xA0010004;
// The image holds no frames, or no geometry to shape new frames by.
inline constexpr uint32_t LUMO_E_NOIMAGE = 0xA0010007;
// A file module could not find the file it was asked to read.
inline constexpr uint32_t LUMO_E_FILENOTFOUND = 0xA0010008;
// A file module was handed data it does not read or cannot store: not an image file it knows,
// or a layout it does not handle (sample size, compression, planes, 16-bit samples for BMP).
inline constexpr uint32_t LUMO_E_FILEFORMAT = 0xA0010009;
// The file's structure is inconsistent or its data ends early (truncated or corrupted file).
inline constexpr uint32_t LUMO_E_FILEDAMAGED = 0xA001000A;
// A file module could not create or write the file (missing folder, no permission, disk full).
inline constexpr uint32_t LUMO_E_FILEWRITE = 0xA001000B;
// A file exists but could not be opened or read (no permission, input/output error).
inline constexpr uint32_t LUMO_E_FILEREAD = 0xA001000C;
