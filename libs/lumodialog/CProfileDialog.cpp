#include "libs/lumodialog/CProfileDialog.h"

#include "external/LumoModuleIds.h"
#include "external/LumoParamBlocks.h"
#include "libs/lumodialog/AnalyzeResultPlot.h"
#include "libs/lumodialog/widgets/CPlotWidget.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <optional>

namespace lumodialog {

CProfileDialog::CProfileDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    const bool column = IsColumn();
    m_plot = new CPlotWidget(this);
    Name(*m_plot, "profile", column ? tr("Column profile") : tr("Line profile"));
    Body().addWidget(m_plot, 1);
    auto* row = new QHBoxLayout;
    m_follow = new QCheckBox(tr("Follow cursor"), this);
    m_follow->setObjectName(QStringLiteral("followCursor"));
    m_follow->setChecked(true);
    row->addWidget(m_follow);
    row->addStretch(1);
    auto* label = new QLabel(column ? tr("Column:") : tr("Row:"), this);
    m_index = new QSpinBox(this);
    Name(*m_index, "index", column ? tr("Column") : tr("Row"));
    m_index->setRange(-1, MAX_INDEX);
    m_index->setSpecialValueText(tr("Middle"));
    m_index->setValue(-1);
    m_index->setEnabled(false);
    label->setBuddy(m_index);
    row->addWidget(label);
    row->addWidget(m_index);
    Body().addLayout(row);

    connect(m_follow, &QCheckBox::toggled, this, [this](bool follow) {
        m_index->setEnabled(!follow);
        if (follow)
            FollowCursor();
        else
            m_plot->SetMarker(std::nullopt);
    });
    connect(m_index, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_follow->isChecked())
            WriteIndex(value < 0 ? MIDDLE : uint32_t(value));
    });
    resize(560, 360);
    Refresh();
}

bool CProfileDialog::IsColumn() const {
    return Module().GetObjectId() == LUMO_ID_COLUMN_PROFILE;
}

void CProfileDialog::Refresh() {
    if (m_follow->isChecked())
        FollowCursor();
    ShowValues();
}

void CProfileDialog::FollowCursor() {
    uint32_t cursor[2] = {LUMO_CURSOR_OUTSIDE, LUMO_CURSOR_OUTSIDE};
    if (!GetParam(LUMO_PARAM_CURSOR, LumoArg(cursor), 0) || cursor[0] == LUMO_CURSOR_OUTSIDE ||
        cursor[1] == LUMO_CURSOR_OUTSIDE)
        return; // the mouse is outside the image: keep the last row or column
    const bool column = IsColumn();
    const uint32_t index = column ? cursor[0] : cursor[1];
    m_plot->SetMarker(double(column ? cursor[1] : cursor[0]));
    {
        const QSignalBlocker blocker(m_index);
        m_index->setValue(int(std::min<uint32_t>(index, MAX_INDEX)));
    }
    if (index != m_written)
        WriteIndex(index);
}

void CProfileDialog::WriteIndex(uint32_t index) {
    if (!SetParam(PARAM_INDEX, index, 0))
        return;
    m_written = index;
    RaiseChanged();
}

void CProfileDialog::ShowValues() {
    const LumoColourPairs colours =
        IsColumn() ? ReadBlock<LumoColumnPlotColourBlock>(LUMO_PARAM_BLOCK13).colours
                   : ReadBlock<LumoLinePlotColourBlock>(LUMO_PARAM_BLOCK13).colours;
    ShowAnalyzeResult(Module(), colours, MAX_VALUES, m_values, *m_plot);
}

} // namespace lumodialog
