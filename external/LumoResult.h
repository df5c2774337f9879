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
