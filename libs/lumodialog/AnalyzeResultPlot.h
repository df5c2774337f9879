// What the plot dialogs of the analyze modules share: the result of the last analysis
// (LUMO_PARAM_RESULT: channels and values per channel, one channel's values) shown as
// one series per channel, in the drawing colours of the module's block 13 over its background
// colour where the chain set them, else black for one channel and red, green, blue for more.
#pragma once

#include "external/LumoModule.h"
#include "external/LumoParamBlocks.h"
#include "external/LumoResult.h"
#include "libs/lumodialog/widgets/CPlotWidget.h"

#include <QColor>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lumodialog {

QColor PlotColour(const LumoColourPairs& colours, uint64_t channels, uint64_t channel);
// Invalid when the chain set no colours.
QColor PlotBackground(const LumoColourPairs& colours);

// T is the module's value type; `buffer` is kept between calls. A series whose values did not
// change is left alone (no repaint). Results longer than `maxValues` are not shown.
template <typename T>
void ShowAnalyzeResult(CLumoModule& module, const LumoColourPairs& colours, uint64_t maxValues,
                       std::vector<T>& buffer, CPlotWidget& plot) {
    uint64_t channels = 0;
    uint64_t length = 0;
    if (module.QueryParam(LUMO_PARAM_RESULT, 0, LumoArg(&channels), LumoArg(&length), 0) !=
            LUMO_OK ||
        length > maxValues)
        channels = 0;
    channels = std::min<uint64_t>(channels, CPlotWidget::MAX_SERIES);
    plot.SetPlotBackground(PlotBackground(colours));
    buffer.resize(size_t(length));
    int shown = 0;
    for (uint64_t c = 0; c < channels; ++c) {
        if (module.GetParam(LUMO_PARAM_RESULT, uintptr_t(c), LumoArg(buffer.data())) != LUMO_OK)
            break;
        std::vector<double> values(buffer.begin(), buffer.end());
        if (plot.SeriesCount() <= shown || values != plot.Series(shown))
            if (!plot.SetSeries(shown, std::move(values), PlotColour(colours, channels, c)))
                break;
        ++shown;
    }
    if (plot.SeriesCount() != shown)
        plot.SetSeriesCount(shown);
}

} // namespace lumodialog
