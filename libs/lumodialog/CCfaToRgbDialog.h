// The dialog of the CFA to RGB module (3): the demosaic method, the white-balance gains red,
// green, blue (block 12), and "From grey patch under cursor", which asks the module to take the
// gains from the input around the cursor on its next run; the dialog shows them once it has.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

class QDoubleSpinBox;
class QPushButton;
class QRadioButton;

namespace lumodialog {

class CCfaToRgbDialog final : public CModuleDialog {
public:
    CCfaToRgbDialog(const LumoModuleDialogHost& host, QWidget* parent);
    // Shows the gains once a grey-patch request has been served.
    void Refresh() override;

private:
    void ShowValues();
    void Write();
    void RequestGreyPatch();

    QRadioButton* m_methods[2] = {};
    QDoubleSpinBox* m_gains[3] = {};
    QPushButton* m_greyPatch = nullptr;
};

} // namespace lumodialog
