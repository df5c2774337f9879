// The dialog of the contrast window module (96): the window's minimum and maximum (block 12),
// "Full range" (the input's whole sample range) and "Auto from histogram", which asks the module
// for the window from the input's 0.5 % and 99.5 % percentiles on its next run; the dialog
// shows the window once it has.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

class QDoubleSpinBox;
class QPushButton;

namespace lumodialog {

class CContrastWindowDialog final : public CModuleDialog {
public:
    CContrastWindowDialog(const LumoModuleDialogHost& host, QWidget* parent);
    // Shows the window once an automatic request has been served.
    void Refresh() override;

private:
    void ShowValues();
    void Write();
    void FullRange();
    void RequestAuto();

    QDoubleSpinBox* m_minimum = nullptr;
    QDoubleSpinBox* m_maximum = nullptr;
    QPushButton* m_fullRange = nullptr;
    QPushButton* m_auto = nullptr;
};

} // namespace lumodialog
