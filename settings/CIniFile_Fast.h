// CIniFile_Fast: a settings document read from and written to a text file in one go.
#pragma once

#include "settings/CIniFile_Buffered.h"

class CIniFile_Fast final : public CIniFile_Buffered {
public:
    uint32_t GetType() override { return 0; }
    // INI_E_OPEN (document unchanged) when the file cannot be read, else 0 or INI_E_SYNTAX.
    uint32_t Load() override;
    // Writes the document with CR LF line breaks to a temporary file beside the target and
    // renames it over the target only when every byte reached the disk; on failure the old file
    // stays untouched. INI_E_OPEN when the temporary file cannot be made, INI_E_WRITE when
    // writing, flushing or replacing fails.
    uint32_t Save() override;
};
