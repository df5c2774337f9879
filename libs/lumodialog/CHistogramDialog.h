// The dialog of the histogram module (67): every channel's bins of the last analysis in a plot,
// on a linear or logarithmic count axis, refreshed while the dialog is shown.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

#include <vector>

class QRadioButton;

namespace lumodialog {

class CPlotWidget;

class CHistogramDialog final : public CModuleDialog {
public:
    static constexpr uint64_t MAX_BINS = 65536;

    CHistogramDialog(const LumoModuleDialogHost& host, QWidget* parent);
    void Refresh() override;

private:
    CPlotWidget* m_plot = nullptr;
    QRadioButton* m_linear = nullptr;
    QRadioButton* m_log = nullptr;
    std::vector<uint64_t> m_bins; // one channel's, read again on each refresh
};

} // namespace lumodialog
