#include "libs/lumodialog/CContrastWindowDialog.h"

#include "external/LumoParamBlocks.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>

namespace lumodialog {

CContrastWindowDialog::CContrastWindowDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    auto* form = new QFormLayout;
    m_minimum = new QDoubleSpinBox(this);
    Name(*m_minimum, "minimum", tr("Window minimum"));
    m_maximum = new QDoubleSpinBox(this);
    Name(*m_maximum, "maximum", tr("Window maximum"));
    for (QDoubleSpinBox* box : {m_minimum, m_maximum}) {
        box->setRange(-1e9, 1e9);
        box->setDecimals(1);
    }
    form->addRow(tr("Minimum:"), m_minimum);
    form->addRow(tr("Maximum:"), m_maximum);
    Body().addLayout(form);
    auto* buttons = new QHBoxLayout;
    m_fullRange = AddButton(tr("&Full range"), "fullRange");
    m_auto = AddButton(tr("&Auto from histogram"), "autoWindow");
    buttons->addWidget(m_fullRange);
    buttons->addWidget(m_auto);
    Body().addLayout(buttons);

    ShowValues();
    connect(m_minimum, &QDoubleSpinBox::valueChanged, this, [this](double) { Write(); });
    connect(m_maximum, &QDoubleSpinBox::valueChanged, this, [this](double) { Write(); });
    connect(m_fullRange, &QPushButton::clicked, this, [this] { FullRange(); });
    connect(m_auto, &QPushButton::clicked, this, [this] { RequestAuto(); });
}

void CContrastWindowDialog::ShowValues() {
    const auto block = ReadBlock<LumoWindowBlock>(LUMO_PARAM_BLOCK12);
    const QSignalBlocker blockMin(m_minimum);
    const QSignalBlocker blockMax(m_maximum);
    m_minimum->setValue(block.minimum);
    m_maximum->setValue(block.maximum);
}

void CContrastWindowDialog::Write() {
    auto block = ReadBlock<LumoWindowBlock>(LUMO_PARAM_BLOCK12); // keeps the label
    block.minimum = m_minimum->value();
    block.maximum = m_maximum->value();
    if (WriteBlock(LUMO_PARAM_BLOCK12, block))
        RaiseChanged();
}

void CContrastWindowDialog::FullRange() {
    if (!SetParam(LUMO_PARAM_RESET_WINDOW, 1, 0))
        return; // no input yet
    ShowValues();
    RaiseChanged();
}

void CContrastWindowDialog::RequestAuto() {
    (void)RequestNextRun(LUMO_PARAM_AUTO_WINDOW, *m_auto); // refused: nothing changes
}

void CContrastWindowDialog::Refresh() {
    if (NextRunServed(LUMO_PARAM_AUTO_WINDOW, *m_auto))
        ShowValues();
}

} // namespace lumodialog
