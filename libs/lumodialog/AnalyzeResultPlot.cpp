#include "libs/lumodialog/AnalyzeResultPlot.h"

namespace lumodialog {

QColor PlotColour(const LumoColourPairs& colours, uint64_t channels, uint64_t channel) {
    const bool given = colours.first[0] || colours.first[1] || colours.first[2];
    if (given)
        return CPlotWidget::FromColourRef(colours.first[std::min<uint64_t>(channel, 2)]);
    if (channels == 1)
        return Qt::black;
    static const QColor defaults[] = {Qt::red, Qt::darkGreen, Qt::blue, Qt::gray};
    return defaults[std::min<uint64_t>(channel, 3)];
}

} // namespace lumodialog
