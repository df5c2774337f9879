#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/MultiSz.h"
#include "platform/ProfileText.h"
#include "platform/ReadWholeFile.h"

#include <cstring>
#include <functional>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The file's text read under a shared lock; a missing or unreadable file reads as empty.
ProfileText ReadText(const std::string& path, const std::string& lockPath) {
    if (path.empty())
        return ProfileText();
    FileLock lock(lockPath, FileLock::Mode::Shared);
    std::string bytes;
    if (ReadWholeFile(path, bytes, Profile::kMaxFileBytes) != ReadStatus::Ok)
        return ProfileText();
    return ProfileText(bytes);
}

// Reads the file under an exclusive lock, applies `edit` and replaces the file when the edit
// changed the text. False when the lock cannot be taken, the file exists but cannot be read,
// or the replacement fails.
bool EditText(const std::string& path, const std::string& lockPath,
              const std::function<bool(ProfileText&)>& edit) {
    if (path.empty())
        return false;
    FileLock lock(lockPath, FileLock::Mode::Exclusive);
    if (!lock.IsLocked())
        return false;
    std::string bytes;
    if (ReadWholeFile(path, bytes, Profile::kMaxFileBytes) == ReadStatus::Failed)
        return false;
    ProfileText text(bytes);
    if (!edit(text))
        return true;
    return ReplaceFileAtomically(path, text.Serialize()) == AtomicWriteResult::Ok;
}

} // namespace

Profile::Profile(std::string path) : m_strPath(std::move(path)) {}

uint32_t Profile::GetString(const char* section, const char* key, const char* def, char* dst,
                            uint32_t size) const {
    if (!dst || size == 0)
        return 0;
    if (!section)
        return GetSectionNames(dst, size);
    const ProfileText text = ReadText(m_strPath, LockPath());
    if (!key)
        return CopyMultiSz(text.KeyNames(section), dst, size);
    std::string value;
    if (!text.FindValue(section, key, value))
        value = def ? def : "";
    return CopyZString(value, dst, size);
}

bool Profile::WriteString(const char* section, const char* key, const char* value) {
    if (!section || !ProfileText::IsValidSectionName(section))
        return false;
    if (!key)
        return WriteSection(section, nullptr);
    if (!ProfileText::IsValidKeyName(key) || (value && !ProfileText::IsValidValue(value)))
        return false;
    return EditText(m_strPath, LockPath(), [&](ProfileText& text) {
        return value ? text.SetValue(section, key, value) : text.DeleteKey(section, key);
    });
}

uint32_t Profile::GetSectionNames(char* dst, uint32_t size) const {
    if (!dst || size == 0)
        return 0;
    return CopyMultiSz(ReadText(m_strPath, LockPath()).SectionNames(), dst, size);
}

uint32_t Profile::GetSection(const char* section, char* dst, uint32_t size) const {
    if (!dst || size == 0)
        return 0;
    if (!section)
        return CopyMultiSz({}, dst, size);
    return CopyMultiSz(ReadText(m_strPath, LockPath()).SectionEntries(section), dst, size);
}

bool Profile::WriteSection(const char* section, const char* entries) {
    if (!section || !ProfileText::IsValidSectionName(section))
        return false;
    if (!entries) {
        return EditText(m_strPath, LockPath(),
                        [&](ProfileText& text) { return text.DeleteSection(section); });
    }
    // The caller's list ends with an empty string; each string is one line.
    std::vector<std::string> lines;
    for (const char* p = entries; *p != '\0'; p += std::strlen(p) + 1) {
        if (!ProfileText::IsValidEntry(p))
            return false;
        lines.emplace_back(p);
    }
    return EditText(m_strPath, LockPath(),
                    [&](ProfileText& text) { return text.ReplaceSection(section, lines); });
}

bool Profile::DeleteFile() {
    if (m_strPath.empty())
        return false;
    FileLock lock(LockPath(), FileLock::Mode::Exclusive);
    return lock.IsLocked() && unlink(m_strPath.c_str()) == 0;
}

} // namespace platform
