#include "libs/lumodialog/AnalyzeResultPlot.h"

namespace lumodialog {

namespace {

// The chain sets each pair as (background, drawing colour): black and white for greyscale,
// white and red, green, blue for colour. A module the chain never set holds zeros.
bool PairsGiven(const LumoColourPairs& colours) {
    return colours.second[0] || colours.second[1] || colours.second[2];
}

} // namespace

QColor PlotBackground(const LumoColourPairs& colours) {
    return PairsGiven(colours) ? CPlotWidget::FromColourRef(colours.first[0]) : QColor();
}

QColor PlotColour(const LumoColourPairs& colours, uint64_t channels, uint64_t channel) {
    if (PairsGiven(colours))
        return CPlotWidget::FromColourRef(colours.second[std::min<uint64_t>(channel, 2)]);
    if (channels == 1)
        return Qt::black;
    static const QColor defaults[] = {Qt::red, Qt::darkGreen, Qt::blue, Qt::gray};
    return defaults[std::min<uint64_t>(channel, 3)];
}

} // namespace lumodialog
