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
std::string LibraryFolder(const std::string& programFolder) {
    const std::string library = platform::FindBesideProgram("libLumoInst.so");
    return library.empty() ? ParentFolder(programFolder) + "/lib" : ParentFolder(library);
}

// The deepest folder that holds both (paths without a trailing '/').
std::string CommonFolder(const std::string& a, const std::string& b) {
    std::string common = a;
    while (common.size() > 1 && !(b.compare(0, common.size(), common) == 0 &&
                                  (b.size() == common.size() || b[common.size()] == '/')))
        common = ParentFolder(common);
    return common;
}

// A glob that matches exactly `name`.
std::string ExactPattern(const std::string& name) {
    std::string pattern;
    for (char c : name) {
        if (c == '*' || c == '?' || c == '[' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

} // namespace

void CKavrinDemoApp::FillAboutBox(CApplicationAboutDlg& dialog, const std::string& program) const {
    const QString name = QString::fromStdString(m_fileDescription);
    dialog.SetCaption(QStringLiteral("About ") + name);
    dialog.SetTitle(name);
    dialog.SetBottomText(QString::fromStdString(m_legalText));
    dialog.SetIcon(QApplication::windowIcon());
    const std::string folder = ParentFolder(program);
    const std::string libraries = LibraryFolder(folder);
    const std::string base = CommonFolder(ParentFolder(folder), libraries);
    dialog.SetPreferredFirst(program);
    // The program first, then the project's other programs (an installed bin folder is shared
    // with every other program), then the libraries.
    const std::string own = ExactPattern(program.substr(folder.size() + 1));
    if (!dialog.AddModules(base, folder, own, true, true) ||
        !dialog.AddModules(base, folder, "kavrin*", true, false) ||
        !dialog.AddModules(base, libraries, "*.so", false, false))
        m_pMainFrame->ShowStatusMessage(QStringLiteral("The program folder cannot be read"));
}

void CKavrinDemoApp::OnAppAbout() {
    CApplicationAboutDlg dialog(m_pMainFrame.get());
    const std::string program = platform::ExecutablePath();
    if (!program.empty())
        FillAboutBox(dialog, program);
    dialog.exec();
}
