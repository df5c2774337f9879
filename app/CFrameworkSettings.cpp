#include "app/CFrameworkSettings.h"

#include "platform/Registry.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const WORKSPACE = "Workspace";
const char* const MAIN_FRAME = "Workspace\\MainFrame";
const char* const RECENT = "Recent File List";

} // namespace

CFrameworkSettings::CFrameworkSettings(const std::string& registryPath) : m_path(registryPath) {}

bool CFrameworkSettings::OpenKey(const char* subKey, bool create,
                                 platform::RegistryKey& out) const {
    platform::RegistryKey root;
    if (platform::Registry::OpenRoot(platform::RegRoot::CurrentUser, root) !=
        platform::RegStatus::Ok)
        return false;
    const std::string path = m_path + "\\" + subKey;
    return root.SubKey(path.c_str(), create, out) == platform::RegStatus::Ok;
}

uint32_t CFrameworkSettings::ReadApplicationLook(uint32_t def) const {
    platform::RegistryKey key;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!OpenKey(WORKSPACE, false, key) ||
        key.QueryValue("ApplicationLook", type, data) != platform::RegStatus::Ok ||
        type != platform::REG_DWORD || data.size() != 4)
        return def;
    uint32_t value = 0;
    std::memcpy(&value, data.data(), 4);
    return value;
}

void CFrameworkSettings::WriteApplicationLook(uint32_t id) const {
    platform::RegistryKey key;
    if (OpenKey(WORKSPACE, true, key))
        (void)key.SetValue("ApplicationLook", platform::REG_DWORD, &id, 4); // best effort
}

QByteArray CFrameworkSettings::ReadBinary(const char* name) const {
    platform::RegistryKey key;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!OpenKey(MAIN_FRAME, false, key) ||
        key.QueryValue(name, type, data) != platform::RegStatus::Ok || type != platform::REG_BINARY)
        return {};
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

void CFrameworkSettings::WriteBinary(const char* name, const QByteArray& data) const {
    platform::RegistryKey key;
    if (OpenKey(MAIN_FRAME, true, key))
        (void)key.SetValue(name, platform::REG_BINARY, data.constData(),
                           size_t(data.size())); // best effort: the layout is a convenience
}

QStringList CFrameworkSettings::ReadRecentFiles() const {
    QStringList files;
    platform::RegistryKey key;
    if (!OpenKey(RECENT, false, key))
        return files;
    for (int i = 1; i <= RECENT_FILES; ++i) {
        uint32_t type = 0;
        std::vector<uint8_t> data;
        const std::string name = "File" + std::to_string(i);
        if (key.QueryValue(name.c_str(), type, data) != platform::RegStatus::Ok ||
            type != platform::REG_SZ || data.empty())
            continue;
        const QString file = QString::fromUtf8(
            reinterpret_cast<const char*>(data.data()),
            qsizetype(strnlen(reinterpret_cast<const char*>(data.data()), data.size())));
        if (!file.isEmpty())
            files.append(file);
    }
    return files;
}

void CFrameworkSettings::WriteRecentFiles(const QStringList& files) const {
    platform::RegistryKey key;
    if (!OpenKey(RECENT, true, key))
        return;
    for (int i = 1; i <= RECENT_FILES; ++i) {
        const std::string name = "File" + std::to_string(i);
        if (i <= files.size()) {
            const QByteArray text = files[i - 1].toUtf8();
            (void)key.SetValue(name.c_str(), platform::REG_SZ, text.constData(),
                               size_t(text.size()) + 1); // best effort, as the layout
        } else {
            (void)key.DeleteValue(name.c_str()); // absent already is fine
        }
    }
}

void CFrameworkSettings::DiscardToolBarCustomisation() const {
    platform::RegistryKey key;
    if (OpenKey(WORKSPACE, false, key))
        (void)key.DeleteSubKey("MFCToolBar-593980"); // absent is the usual case
}
