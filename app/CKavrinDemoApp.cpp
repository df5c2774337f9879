#include "app/CKavrinDemoApp.h"

#include "acquisition/CameraCatalogue.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CKavrinDemoView.h"
#include "app/CMainFrame.h"
#include "app/CommandIds.h"
#include "app/QtMessageHook.h"
#include "platform/AppDataFolder.h"
#include "platform/CFileVersionInfo.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>

namespace {

CKavrinDemoApp* g_pApp = nullptr;

} // namespace

CKavrinDemoApp::CKavrinDemoApp() {
    g_pApp = this;
    ReadVersionInformation();
    QCoreApplication::setOrganizationName(QString::fromStdString(m_companyName));
    QCoreApplication::setApplicationName(QString::fromStdString(m_fileDescription));
    QCoreApplication::setApplicationVersion(QString::fromStdString(m_version));
    CreateSettingsFolder();
    m_pSettings = MakeIniFile(0);
    if (m_pSettings) {
        const std::string file = m_settingsFolder + "/KavrinDemo.ini";
        (void)m_pSettings->SetFileName(file.c_str()); // a path always fits
        (void)m_pSettings->Load(); // a missing file is an empty one; it is written at exit
        m_ullCameraType = m_pSettings->GetUInt64("COMMON", "CameraType", 0, nullptr);
    }
    if (m_ullCameraType >= CameraCatalogueSize())
        m_ullCameraType = 0;
}

CKavrinDemoApp::~CKavrinDemoApp() {
    ExitInstance();
    if (m_pSettings) {
        (void)m_pSettings->SetUInt64("COMMON", "CameraType", m_ullCameraType);
        if (m_pSettings->Save() != 0)
            qWarning("KavrinDemo.ini could not be written in %s", m_settingsFolder.c_str());
        m_pSettings.reset();
    }
    g_pApp = nullptr;
}

CKavrinDemoApp* CKavrinDemoApp::Instance() {
    return g_pApp;
}

void CKavrinDemoApp::ReadVersionInformation() {
    platform::CFileVersionInfo info;
    if (!platform::CFileVersionInfo::ReadOwn(info))
        return; // every binary of ours carries it; a stranger gets empty texts
    m_companyName = info.GetString("CompanyName");
    m_fileDescription = info.GetString("FileDescription");
    m_legalText = info.GetString("LegalCopyright");
    m_version = info.GetVersionText();
}

void CKavrinDemoApp::CreateSettingsFolder() {
    m_settingsFolder = platform::AppDataFolder() + "/" + m_companyName + "/" + m_fileDescription +
                       " V" + m_version;
    // Every missing folder on the way, outermost first; an existing one is fine.
    if (!platform::MakeFolders(m_settingsFolder))
        qWarning("The settings folder %s could not be created", m_settingsFolder.c_str());
}

std::string CKavrinDemoApp::GetAppId() const {
    std::string company;
    for (char c : m_companyName)
        if (c != ' ')
            company += c;
    std::string version;
    for (char c : m_version)
        if (c != '.')
            version += c;
    return company + "." + m_fileDescription + ".AppID.V" + version;
}

std::string CKavrinDemoApp::GetRegistryPath() const {
    return "Software\\" + m_companyName + "\\" + m_fileDescription + "\\" + m_version;
}

std::string CKavrinDemoApp::GetProgramFolder() const {
    const std::string folder = platform::ExecutableFolder();
    return folder.empty() ? std::string() : folder + "/";
}

bool CKavrinDemoApp::InitInstance(const QStringList& files, bool show) {
    (void)m_libraries.LoadDebugLibrary(); // without it nothing logs
    (void)m_libraries.LoadImageLibrary(); // without it nothing is loaded or displayed
    m_libraries.MakeCurrent();
    m_pMainFrame = std::make_unique<CMainFrame>(*this);
    m_pMessageHook = std::make_unique<QtMessageHook>(m_pMainFrame.get());
    if (!m_pMainFrame->Create()) {
        m_pMainFrame.reset();
        return false;
    }
    if (show)
        m_pMainFrame->show();
    for (const QString& file : files) {
        if (m_pMainFrame->GetActiveDocument()->OpenFile(file))
            break; // one sequence at a time: the first file that loads
    }
    return true;
}

void CKavrinDemoApp::ExitInstance() {
    if (m_pMainFrame) {
        m_pMainFrame->PrepareQuit();
        m_pMainFrame.reset();
    }
    m_pMessageHook.reset();
    m_libraries.Unload();
}

void CKavrinDemoApp::OnCameraType(uint32_t commandId) {
    const uint64_t index = commandId - cmd::ID_CAMERA_FIRST;
    if (index == m_ullCameraType || index >= CameraCatalogueSize())
        return;
    CKavrinDemoDoc* doc = m_pMainFrame ? m_pMainFrame->GetActiveDocument() : nullptr;
    if (!doc) {
        m_ullCameraType = index;
        return; // the next new document takes it
    }
    if (!doc->QueryDiscardChanges())
        return;
    const uint64_t old = m_ullCameraType;
    m_ullCameraType = index;
    if (doc->OnNewDocument())
        emit doc->updateViews(cmd::HINT_NEW_SEQUENCE, 0);
    else
        m_ullCameraType = old;
}

bool CKavrinDemoApp::IsCameraTypeChecked(uint32_t commandId) const {
    return commandId - cmd::ID_CAMERA_FIRST == m_ullCameraType;
}

bool CKavrinDemoApp::IsCameraTypeEnabled() const {
    const CKavrinDemoDoc* doc = m_pMainFrame ? m_pMainFrame->GetActiveDocument() : nullptr;
    return !doc || !doc->IsBusy();
}
