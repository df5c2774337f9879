// The dialog of the statistics module (74): a read-only table of minimum, maximum, mean and
// standard deviation per channel of the last analysis, refreshed while the dialog is shown.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

class QTableWidget;

namespace lumodialog {

class CStatisticsDialog final : public CModuleDialog {
public:
    static constexpr uint32_t MAX_CHANNELS = 4;

    CStatisticsDialog(const LumoModuleDialogHost& host, QWidget* parent);
    void Refresh() override;

private:
    QTableWidget* m_table = nullptr;
};

} // namespace lumodialog
