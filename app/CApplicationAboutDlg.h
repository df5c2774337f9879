// The About box: the program's logo, name and version on a white band, and below it every
// program file and library of the program's folder tree with the version its version section
// carries ("Unavailable" for a file without one).
//
// The caller sets the texts and the icon, collects the modules (AddModules, as often as needed)
// and runs the dialog modally.
//
// Thread: the user-interface thread only.
#pragma once

#include "app/ModuleList.h"

#include <QBitmap>
#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QLabel;
class QTreeWidget;

class CApplicationAboutDlg final : public QDialog {
    Q_OBJECT

public:
    // The logo's colour key: the colour of this pixel is transparent.
    static constexpr int KEY_X = 170;
    static constexpr int KEY_Y = 0;

    explicit CApplicationAboutDlg(QWidget* parent = nullptr);
    ~CApplicationAboutDlg() override;

    void SetCaption(const QString& caption) { m_caption = caption; }
    void SetTitle(const QString& title) { m_title = title; }
    void SetInfo(const QString& info) { m_info = info; }
    // The line shown when the first module carries no product version.
    void SetVersionLine(const QString& line) { m_versionLine = line; }
    void SetBottomText(const QString& text) { m_bottom = text; }
    void SetIcon(const QIcon& icon) { m_icon = icon; }
    // A logo other than the program's own (tests); a null pixmap leaves the band without one.
    void SetLogo(const QPixmap& logo) { m_logoSource = logo; }

    // Collects files into the module list (ModuleList::AddModules); `baseDir` is the folder the
    // list's paths are relative to. False when a folder cannot be resolved: nothing changes.
    [[nodiscard]] bool AddModules(const std::string& baseDir, const std::string& dir,
                                  const std::string& pattern, bool executablesOnly,
                                  bool clearFirst);
    void SetPreferredFirst(const std::string& path) { m_modules.SetPreferredFirst(path); }

    const ModuleList& Modules() const { return m_modules; }
    QString VersionLine() const { return m_versionLine; }
    // The logo as drawn: colour-key pixels turned black, with its transparency mask.
    const QPixmap& Logo() const { return m_logo; }
    // Column texts of row `row` (tests).
    QString ModuleText(int row, int column) const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitDialog();
    void BuildLogo();
    void FillModuleList();
    int BandHeight() const;

    QString m_caption;
    QString m_title;
    QString m_info;
    QString m_versionLine;
    QString m_bottom;
    QIcon m_icon;
    QPixmap m_logoSource;
    QPixmap m_logo;
    ModuleList m_modules;
    std::string m_baseDir;
    bool m_bInitialised = false;

    QLabel* m_pIcon = nullptr;
    QTreeWidget* m_pList = nullptr;
};
