// The dialog of the line profile (72) and column profile (73) modules: the values of the row or
// column in a plot, refreshed while the dialog is shown. With "Follow cursor" (on at first) the
// row or column is the one under the mouse in the image (the cursor position the view hands the
// module, LUMO_PARAM_CURSOR) and the plot marks the cursor; otherwise a spin box chooses it
// ("Middle": the module's default, the middle one).
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

#include <vector>

class QCheckBox;
class QSpinBox;

namespace lumodialog {

class CPlotWidget;

class CProfileDialog final : public CModuleDialog {
public:
    static constexpr uint32_t PARAM_INDEX = 31;
    static constexpr uint32_t MIDDLE = 0xFFFFFFFF;
    static constexpr int MAX_INDEX = 65535;
    static constexpr uint64_t MAX_VALUES = 1 << 20;

    CProfileDialog(const LumoModuleDialogHost& host, QWidget* parent);
    void Refresh() override;

private:
    bool IsColumn() const;
    void FollowCursor();
    void WriteIndex(uint32_t index);
    void ShowValues();

    CPlotWidget* m_plot = nullptr;
    QCheckBox* m_follow = nullptr;
    QSpinBox* m_index = nullptr;
    uint32_t m_written = MIDDLE;    // the index last handed to the module
    std::vector<uint32_t> m_values; // one channel's, read again on each refresh
};

} // namespace lumodialog
