// The outcome of a settings operation inside the library. The CIniFile_0 interface hands it
// out as its 32-bit code (IniCode); nothing inside the library mixes it with other codes.
#pragma once

#include "settings/IniFile.h"

#include <cstdint>

enum class IniResult : uint32_t {
    Ok = INI_OK,
    Open = INI_E_OPEN,
    Syntax = INI_E_SYNTAX,
    Write = INI_E_WRITE,
    Arg = INI_E_ARG,
    Empty = INI_E_EMPTY,
    NoKey = INI_E_NOKEY,
    List = INI_E_LIST,
};

// The code callers of the interface see.
constexpr uint32_t IniCode(IniResult result) {
    return static_cast<uint32_t>(result);
}
