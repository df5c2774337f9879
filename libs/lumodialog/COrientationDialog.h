// The dialog of the orientation module (515): block 12, mirror horizontally and vertically.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

class QCheckBox;

namespace lumodialog {

class COrientationDialog final : public CModuleDialog {
public:
    COrientationDialog(const LumoModuleDialogHost& host, QWidget* parent);

private:
    void ShowValues();
    void Write();

    QCheckBox* m_horizontal = nullptr;
    QCheckBox* m_vertical = nullptr;
};

} // namespace lumodialog
