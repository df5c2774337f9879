// CIniFile_Mem: a settings document read from and written to memory blocks described by the
// caller's IniMemDescriptor (SetFileName takes the descriptor's address).
#pragma once

#include "settings/CIniFile_Buffered.h"

#include <cstdlib>
#include <memory>

class CIniFile_Mem final : public CIniFile_Buffered {
public:
    uint32_t GetType() override { return 3; }
    uint32_t SetFileName(const char* path) override;
    const char* GetFileName() override { return ""; }
    // INI_E_OPEN without a descriptor or input text; else 0 or INI_E_SYNTAX.
    uint32_t Load() override;
    // Writes the text with LF line breaks and one final zero byte into the object's own buffer
    // and publishes it in the descriptor. INI_E_OPEN without a descriptor; INI_E_WRITE (output
    // cleared in the descriptor) when the buffer cannot grow.
    uint32_t Save() override;

private:
    struct FreeDeleter {
        void operator()(char* p) const { std::free(p); }
    };
    // Makes room for `need` more bytes; false when the buffer cannot grow.
    bool Reserve(uint64_t need);

    IniMemDescriptor* m_pDesc = nullptr;
    std::unique_ptr<char, FreeDeleter> m_pOut;
    uint64_t m_nAllocated = 0;
    uint64_t m_nUsed = 0;
};
