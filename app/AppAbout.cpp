// The application's "About" command: the About box with the program's texts and every program
// and library of its folder tree.
#include "app/CApplicationAboutDlg.h"
#include "app/CKavrinDemoApp.h"
#include "app/CMainFrame.h"
#include "platform/ProgramFolder.h"

#include <QApplication>

namespace {

std::string ParentFolder(const std::string& folder) {
    const size_t slash = folder.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : folder.substr(0, slash);
}

// The project's library folder: where the image library is found beside the program, else the
// "lib" folder next to the program's folder.
std::string LibraryFolder(const std::string& base) {
    const std::string library = platform::FindBesideProgram("libLumoInst.so");
    return library.empty() ? base + "/lib" : ParentFolder(library);
}

} // namespace

void CKavrinDemoApp::OnAppAbout() {
    CApplicationAboutDlg dialog(m_pMainFrame.get());
    const QString name = QString::fromStdString(m_fileDescription);
    dialog.SetCaption(QStringLiteral("About ") + name);
    dialog.SetTitle(name);
    dialog.SetBottomText(QString::fromStdString(m_legalText));
    dialog.SetIcon(QApplication::windowIcon());
    const std::string folder = platform::ExecutableFolder();
    if (!folder.empty()) {
        const std::string base = ParentFolder(folder);
        dialog.SetPreferredFirst(platform::ExecutablePath());
        // Only the project's own programs: an installed bin folder is shared with others.
        if (!dialog.AddModules(base, folder, "kavrin*", true, true) ||
            !dialog.AddModules(base, LibraryFolder(base), "*.so", false, false))
            m_pMainFrame->ShowStatusMessage(QStringLiteral("The program folder cannot be read"));
    }
    dialog.exec();
}
