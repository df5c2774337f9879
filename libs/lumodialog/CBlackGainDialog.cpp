#include "libs/lumodialog/CBlackGainDialog.h"

#include "external/LumoParamBlocks.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSignalBlocker>

namespace lumodialog {

CBlackGainDialog::CBlackGainDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    auto* form = new QFormLayout;
    m_black = new QDoubleSpinBox(this);
    Name(*m_black, "blackLevel", tr("Black level"));
    m_black->setRange(0.0, 65535.0);
    m_black->setDecimals(1);
    m_gain = new QDoubleSpinBox(this);
    Name(*m_gain, "gain", tr("Gain"));
    m_gain->setRange(0.0, 64.0);
    m_gain->setDecimals(3);
    m_gain->setSingleStep(0.05);
    form->addRow(tr("Black level:"), m_black);
    form->addRow(tr("Gain:"), m_gain);
    Body().addLayout(form);
    ShowValues();
    const auto changed = [this](double) { Write(); };
    connect(m_black, &QDoubleSpinBox::valueChanged, this, changed);
    connect(m_gain, &QDoubleSpinBox::valueChanged, this, changed);
}

void CBlackGainDialog::ShowValues() {
    const auto block = ReadBlock<LumoBlackGainBlock>(LUMO_PARAM_BLOCK12);
    const QSignalBlocker blockBlack(m_black);
    const QSignalBlocker blockGain(m_gain);
    if (!m_black->hasFocus())
        m_black->setValue(block.black);
    if (!m_gain->hasFocus())
        m_gain->setValue(block.gain);
}

void CBlackGainDialog::Write() {
    const LumoBlackGainBlock block{m_black->value(), m_gain->value()};
    if (WriteBlock(LUMO_PARAM_BLOCK12, block))
        RaiseChanged();
}

} // namespace lumodialog
