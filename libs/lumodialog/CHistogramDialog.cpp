#include "libs/lumodialog/CHistogramDialog.h"

#include "external/LumoParamBlocks.h"
#include "libs/lumodialog/AnalyzeResultPlot.h"
#include "libs/lumodialog/widgets/CPlotWidget.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>

#include <algorithm>

namespace lumodialog {

CHistogramDialog::CHistogramDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    m_plot = new CPlotWidget(this);
    Name(*m_plot, "histogram", tr("Histogram"));
    Body().addWidget(m_plot, 1);
    auto* scale = new QHBoxLayout;
    m_linear = new QRadioButton(tr("Linear"), this);
    m_linear->setObjectName(QStringLiteral("linear"));
    m_log = new QRadioButton(tr("Log"), this);
    m_log->setObjectName(QStringLiteral("logarithmic"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_linear);
    group->addButton(m_log);
    m_linear->setChecked(true);
    scale->addWidget(m_linear);
    scale->addWidget(m_log);
    scale->addStretch(1);
    Body().addLayout(scale);
    connect(m_log, &QRadioButton::toggled, m_plot, &CPlotWidget::SetLogarithmic);
    resize(560, 360);
    Refresh();
}

void CHistogramDialog::Refresh() {
    const auto colours = ReadBlock<LumoLinePlotColourBlock>(LUMO_PARAM_BLOCK13).colours;
    ShowAnalyzeResult(Module(), colours, MAX_BINS, m_bins, *m_plot);
}

} // namespace lumodialog
