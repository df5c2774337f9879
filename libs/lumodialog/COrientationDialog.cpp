#include "libs/lumodialog/COrientationDialog.h"

#include "external/LumoParamBlocks.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumodialog {

COrientationDialog::COrientationDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    m_horizontal = new QCheckBox(tr("Mirror &horizontally"), this);
    m_horizontal->setObjectName(QStringLiteral("mirrorHorizontally"));
    m_vertical = new QCheckBox(tr("Mirror &vertically"), this);
    m_vertical->setObjectName(QStringLiteral("mirrorVertically"));
    Body().addWidget(m_horizontal);
    Body().addWidget(m_vertical);
    ShowValues();
    connect(m_horizontal, &QCheckBox::toggled, this, [this](bool) { Write(); });
    connect(m_vertical, &QCheckBox::toggled, this, [this](bool) { Write(); });
}

void COrientationDialog::ShowValues() {
    const auto block = ReadBlock<LumoOrientationBlock>(LUMO_PARAM_BLOCK12);
    const QSignalBlocker blockH(m_horizontal);
    const QSignalBlocker blockV(m_vertical);
    m_horizontal->setChecked(block.mirrorHorizontally != 0);
    m_vertical->setChecked(block.mirrorVertically != 0);
}

void COrientationDialog::Write() {
    const LumoOrientationBlock block{m_horizontal->isChecked() ? 1u : 0u,
                                     m_vertical->isChecked() ? 1u : 0u};
    if (WriteBlock(LUMO_PARAM_BLOCK12, block))
        RaiseChanged();
}

} // namespace lumodialog
