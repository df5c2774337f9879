// The window frame's own settings in the registry store, below the application's key
// (HKEY_CURRENT_USER\Software\<company>\<description>\<version>):
//   Workspace              "ApplicationLook" (REG_DWORD)
//   Workspace\MainFrame    "Geometry", "State" (REG_BINARY: the window's geometry and its
//                          dock and toolbar layout)
//   Recent File List       "File1" ... "File4" (REG_SZ, newest first)
// A store that cannot be opened leaves every value at its default and writes nothing.
//
// Thread: the user-interface thread only.
#pragma once

#include "platform/RegistryKey.h"

#include <QByteArray>
#include <QStringList>

#include <cstdint>
#include <string>

class CFrameworkSettings {
public:
    static constexpr int RECENT_FILES = 4;

    // `registryPath`: "Software\<company>\<description>\<version>".
    explicit CFrameworkSettings(const std::string& registryPath);

    uint32_t ReadApplicationLook(uint32_t def) const;
    void WriteApplicationLook(uint32_t id) const;
    QByteArray ReadBinary(const char* name) const;
    void WriteBinary(const char* name, const QByteArray& data) const;
    QStringList ReadRecentFiles() const;
    void WriteRecentFiles(const QStringList& files) const;
    // Deletes Workspace\MFCToolBar-593980: toolbar customisations of an earlier run are
    // discarded at every start. Nothing when the key cannot be opened.
    void DiscardToolBarCustomisation() const;

private:
    bool OpenKey(const char* subKey, bool create, platform::RegistryKey& out) const;

    std::string m_path;
};
