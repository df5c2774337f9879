// The application object: exists once, made by main() after the QApplication. It derives the
// program's identity and its settings location from the program's own version information,
// keeps the settings the whole program shares (camera type, buffer count, image height), binds
// the image and debug libraries, creates the main frame, and handles the camera-type commands.
//
// Files it touches: <data dir>/<company>/<description> V<version>/KavrinDemo.ini (the data
// dir is KAVRIN_DATA_HOME, else $XDG_DATA_HOME, else ~/.local/share) and, through the main
// frame, the registry store under Software\<company>\<description>\<version>.
//
// Thread: the user-interface thread only.
#pragma once

#include "acquisition/RuntimeLibraries.h"
#include "settings/IniFile.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>

class CApplicationAboutDlg;
class CMainFrame;
class CKavrinDemoDoc;
class QtMessageHook;

class CKavrinDemoApp final : public QObject {
    Q_OBJECT

public:
    // Reads the version information, creates the settings folder, loads "KavrinDemo.ini" and
    // reads the camera type (0 when missing or beyond the catalogue).
    CKavrinDemoApp();
    // Writes "CameraType" and saves the settings file.
    ~CKavrinDemoApp() override;
    CKavrinDemoApp(const CKavrinDemoApp&) = delete;
    CKavrinDemoApp& operator=(const CKavrinDemoApp&) = delete;

    // The one application object while it exists; null otherwise.
    static CKavrinDemoApp* Instance();

    // Start-up: binds the libraries, creates and shows the main frame with a new document,
    // then opens `files` (the command line) as a file sequence. False when the frame cannot
    // be created or the first document fails.
    [[nodiscard]] bool InitInstance(const QStringList& files = {}, bool show = true);
    // Ends what runs (grab, save, load), closes the main frame, then releases the libraries.
    void ExitInstance();

    const std::string& GetCompanyName() const { return m_companyName; }
    const std::string& GetFileDescription() const { return m_fileDescription; }
    const std::string& GetVersion() const { return m_version; }
    const std::string& GetLegalText() const { return m_legalText; }
    // "HadrellOptics.KavrinDemo.AppID.V100": company without blanks, description, version
    // without dots.
    std::string GetAppId() const;
    // <data dir>/<company>/<description> V<version>, without a trailing slash.
    const std::string& GetSettingsFolder() const { return m_settingsFolder; }
    // "Software\<company>\<description>\<version>".
    std::string GetRegistryPath() const;
    // The executable's folder with a trailing '/', empty when unknown.
    std::string GetProgramFolder() const;

    CIniFile_0* GetSettings() const { return m_pSettings.get(); }
    CLumoInstance* GetLumo() const { return m_libraries.GetLumoInstance(); }
    const RuntimeLibraries& Libraries() const { return m_libraries; }
    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }

    uint64_t GetBufferCount() const { return m_ullBufferCount; }
    void SetBufferCount(uint64_t count) { m_ullBufferCount = count; }
    // Share of the ring (0 .. 100 %) a triggered grab records after the trigger frame.
    uint32_t GetPostTriggerPercent() const { return m_uPostTriggerPercent; }
    void SetPostTriggerPercent(uint32_t percent) { m_uPostTriggerPercent = percent; }
    uint32_t GetImageHeight() const { return m_uImageHeight; }
    void SetImageHeight(uint32_t height) { m_uImageHeight = height; }
    uint64_t GetCameraType() const { return m_ullCameraType; }

    // The camera-type command of menu id 0x8002 + i.
    void OnCameraType(uint32_t commandId);
    // Marked when it is the current type; enabled unless the document is busy.
    bool IsCameraTypeChecked(uint32_t commandId) const;
    bool IsCameraTypeEnabled() const;

    // "About KavrinDemo...": the About box with every program and library of the program's
    // folder tree.
    void OnAppAbout();
    // The About box's texts, icon and module list for the program file `program` (full path).
    void FillAboutBox(CApplicationAboutDlg& dialog, const std::string& program) const;

private:
    void ReadVersionInformation();
    void CreateSettingsFolder();

    std::string m_companyName;
    std::string m_fileDescription;
    std::string m_version;
    std::string m_legalText;
    std::string m_settingsFolder;
    IniFilePtr m_pSettings;
    RuntimeLibraries m_libraries;
    uint64_t m_ullBufferCount = 100;
    uint32_t m_uPostTriggerPercent = 50;
    uint32_t m_uImageHeight = 1726;
    uint64_t m_ullCameraType = 0;
    std::unique_ptr<QtMessageHook> m_pMessageHook; // library messages as message boxes
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
