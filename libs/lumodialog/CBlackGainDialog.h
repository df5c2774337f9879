// The dialog of the black level / gain module (514): block 12, black level and gain.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

class QDoubleSpinBox;

namespace lumodialog {

class CBlackGainDialog final : public CModuleDialog {
public:
    CBlackGainDialog(const LumoModuleDialogHost& host, QWidget* parent);

private:
    void ShowValues();
    void Write();

    QDoubleSpinBox* m_black = nullptr;
    QDoubleSpinBox* m_gain = nullptr;
};

} // namespace lumodialog
