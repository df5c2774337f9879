#include "libs/lumodialog/CCfaToRgbDialog.h"

#include "external/LumoParamBlocks.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumodialog {

namespace {
const char* const GAIN_NAMES[3] = {"gainRed", "gainGreen", "gainBlue"};
} // namespace

CCfaToRgbDialog::CCfaToRgbDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    auto* methodBox = new QGroupBox(tr("Method"), this);
    auto* methodLayout = new QVBoxLayout(methodBox);
    m_methods[0] = new QRadioButton(tr("&Bilinear"), methodBox);
    m_methods[0]->setObjectName(QStringLiteral("methodBilinear"));
    m_methods[1] = new QRadioButton(tr("&High quality (gradient-corrected)"), methodBox);
    m_methods[1]->setObjectName(QStringLiteral("methodHighQuality"));
    for (QRadioButton* button : m_methods)
        methodLayout->addWidget(button);
    Body().addWidget(methodBox);

    auto* gainBox = new QGroupBox(tr("White balance"), this);
    auto* form = new QFormLayout(gainBox);
    const QString labels[3] = {tr("Red gain"), tr("Green gain"), tr("Blue gain")};
    for (int c = 0; c < 3; ++c) {
        m_gains[c] = new QDoubleSpinBox(gainBox);
        Name(*m_gains[c], GAIN_NAMES[c], labels[c]);
        m_gains[c]->setRange(0.0, 64.0);
        m_gains[c]->setDecimals(3);
        m_gains[c]->setSingleStep(0.01);
        form->addRow(labels[c] + QLatin1Char(':'), m_gains[c]);
    }
    m_greyPatch = AddButton(tr("From grey patch under cursor"), "greyPatch");
    form->addRow(m_greyPatch);
    Body().addWidget(gainBox);

    ShowValues();
    for (QRadioButton* button : m_methods)
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                Write();
        });
    for (QDoubleSpinBox* gain : m_gains)
        connect(gain, &QDoubleSpinBox::valueChanged, this, [this](double) { Write(); });
    connect(m_greyPatch, &QPushButton::clicked, this, [this] { RequestGreyPatch(); });
}

void CCfaToRgbDialog::ShowValues() {
    const auto block = ReadBlock<LumoCfaBlock>(LUMO_PARAM_BLOCK12);
    for (QRadioButton* button : m_methods) {
        const QSignalBlocker blocker(button);
        button->setChecked(button == m_methods[block.method == 1 ? 1 : 0]);
    }
    for (int c = 0; c < 3; ++c) {
        const QSignalBlocker blocker(m_gains[c]);
        m_gains[c]->setValue(block.gains[c]);
    }
}

void CCfaToRgbDialog::Write() {
    auto block = ReadBlock<LumoCfaBlock>(LUMO_PARAM_BLOCK12);
    block.method = m_methods[1]->isChecked() ? 1 : 0;
    for (int c = 0; c < 3; ++c)
        block.gains[c] = m_gains[c]->value();
    if (WriteBlock(LUMO_PARAM_BLOCK12, block))
        RaiseChanged();
}

void CCfaToRgbDialog::RequestGreyPatch() {
    (void)RequestNextRun(LUMO_PARAM_GREY_PATCH, *m_greyPatch); // refused: nothing changes
}

void CCfaToRgbDialog::Refresh() {
    if (NextRunServed(LUMO_PARAM_GREY_PATCH, *m_greyPatch))
        ShowValues();
}

} // namespace lumodialog
