// CIniFile_Secure: a settings store with no copy in memory; every operation goes straight to
// the private-profile file named by the store name, so each change reaches the file at once.
#pragma once

#include "settings/CIniFile.h"

class CIniFile_Secure : public CIniFile {
public:
    CIniFile_Secure() = default;
    ~CIniFile_Secure() override = default;

    uint32_t GetType() override;
    // Nothing to load or save: the file is read and written by every operation.
    uint32_t Load() override;
    uint32_t Save() override;

    uint32_t GetSectionCount() override;
    uint32_t GetSectionName(uint64_t index, char* dst, uint64_t len) override;
    uint32_t SectionExists(const char* section) override;
    uint32_t GetKeyCount(const char* section) override;
    uint32_t GetKeyName(const char* section, uint64_t index, char* dst, uint64_t len) override;
    uint32_t KeyExists(const char* section, const char* key) override;
    // Deletes the file.
    uint32_t Clear() override;
    uint32_t DeleteSection(const char* section) override;
    uint32_t DeleteKey(const char* section, const char* key) override;

    // `found` is 1 exactly when the text read differs from `def`: a stored value equal to the
    // default counts as not found.
    void ReadValue(const char* section, const char* key, const std::string& def, std::string& out,
                   int* found) override;
    uint32_t WriteValue(const char* section, const char* key, const char* value) override;

    // The buffer sizes of the profile calls: lists and values longer than these are cut.
    static constexpr uint32_t kNamesBuffer = 16384;
    static constexpr uint32_t kEntriesBuffer = 32768;
    static constexpr uint32_t kValueBuffer = 32768;
};
