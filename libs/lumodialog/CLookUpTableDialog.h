// The dialog of the look-up-table module (32): the factory and user tables (choosing one puts it
// in use), the curve of the table in use in a curve editor (each edit goes to the module at
// once), keeping the table in use as a user table, removing a user table, and CSV import and
// export of the table in use. With an RGB image (or a module in colour mode) a channel choice
// picks the curve to show and edit; "All channels" edits the three together.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"
#include "libs/lumodialog/widgets/LutCsv.h"

#include <QString>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace lumodialog {

class CCurveEditor;

class CLookUpTableDialog final : public CModuleDialog {
public:
    static constexpr uint32_t PARAM_SELECT = 40;
    static constexpr uint32_t PARAM_POINTS = 41;
    static constexpr uint32_t PARAM_KEEP_USER = 42;
    static constexpr uint32_t PARAM_REMOVE_USER = 43;
    static constexpr uint32_t PARAM_TABLE_NAME = 44;
    static constexpr uint32_t KIND_FACTORY = 1;
    static constexpr uint32_t KIND_USER = 2;
    static constexpr uint64_t MAX_TABLES = 1024; // per kind, shown at most
    // Item data of the table list: kind << 16 | index.
    static constexpr int TABLE_ROLE = Qt::UserRole;

    CLookUpTableDialog(const LumoModuleDialogHost& host, QWidget* parent);

    // The table in use from / to a CSV file; a refusal is shown in a message box naming the line.
    [[nodiscard]] bool ImportCsv(const QString& fileName);
    [[nodiscard]] bool ExportCsv(const QString& fileName);

private:
    void BuildControls();
    void FillTables();
    void AddTables(uint32_t kind);
    void ShowTableInUse();
    void ShowInUseName();
    void ShowChannel();
    void Select(uint32_t kind, uint32_t index);
    void ApplyCurve(const QList<quint16>& points);
    [[nodiscard]] bool WriteTable(const LutChannels& table);
    void KeepAsUserTable();
    void RemoveUserTable();
    void UpdateButtons();
    void AskImport();
    void AskExport();
    void ShowError(const QString& text);

    LutChannels m_table{};
    QListWidget* m_tables = nullptr;
    QLabel* m_inUse = nullptr;
    QComboBox* m_channel = nullptr;
    CCurveEditor* m_editor = nullptr;
    QPushButton* m_keep = nullptr;
    QPushButton* m_remove = nullptr;
};

} // namespace lumodialog
