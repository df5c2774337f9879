// The plot widget: the readout under the mouse, painting of long, zero and empty series on
// both value axes, and the colour blocks' colour order.
#include "libs/lumodialog/widgets/CPlotWidget.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using lumodialog::CPlotWidget;

namespace {

bool HasColour(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

// The index and values of a readout "i: v0, v1".
std::pair<int, QStringList> Parse(const QString& readout) {
    const int colon = readout.indexOf(':');
    return {readout.left(colon).toInt(), readout.mid(colon + 1).trimmed().split(", ")};
}

} // namespace

TEST(PlotWidget, ReadoutShowsEverySeriesAtTheIndexUnderTheMouse) {
    CPlotWidget plot;
    plot.resize(420, 300);
    std::vector<double> up(100), down(100);
    for (size_t i = 0; i < 100; ++i) {
        up[i] = double(i) * 3;
        down[i] = 1000.0 - double(i);
    }
    ASSERT_TRUE(plot.SetSeries(0, up, Qt::red));
    ASSERT_TRUE(plot.SetSeries(1, down, Qt::blue));
    EXPECT_FALSE(plot.SetSeries(CPlotWidget::MAX_SERIES, up, Qt::green));
    plot.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));

    QTest::mouseMove(&plot, QPoint(200, 150));
    const auto [index, values] = Parse(plot.Readout());
    ASSERT_GT(index, 10);
    ASSERT_LT(index, 90);
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[0].toDouble(), up[size_t(index)]);
    EXPECT_EQ(values[1].toDouble(), down[size_t(index)]);

    QTest::mouseMove(&plot, QPoint(300, 150));
    EXPECT_GT(Parse(plot.Readout()).first, index);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&plot, &leave);
    EXPECT_TRUE(plot.Readout().isEmpty());
}

TEST(PlotWidget, PaintsLongAndZeroSeriesOnBothAxes) {
    CPlotWidget plot;
    plot.resize(plot.minimumSizeHint());
    const QColor colour(10, 200, 30);
    std::vector<double> bins(65536, 0.0); // far more values than pixels
    for (size_t i = 0; i < bins.size(); i += 7)
        bins[i] = double(i % 1000);
    ASSERT_TRUE(plot.SetSeries(0, bins, colour));
    EXPECT_TRUE(HasColour(plot.grab().toImage(), colour));
    plot.SetLogarithmic(true);
    plot.SetMarker(300.0);
    EXPECT_TRUE(HasColour(plot.grab().toImage(), colour));

    // Nothing positive on a logarithmic axis, and nothing at all.
    ASSERT_TRUE(plot.SetSeries(0, std::vector<double>(10, 0.0), colour));
    EXPECT_TRUE(HasColour(plot.grab().toImage(), colour)) << "zeros lie on the bottom line";
    plot.SetSeriesCount(0);
    EXPECT_TRUE(plot.Series(0).empty());
    EXPECT_FALSE(HasColour(plot.grab().toImage(), colour));
}

TEST(PlotWidget, ColourBlockValuesAreRedInTheLowByte) {
    EXPECT_EQ(CPlotWidget::FromColourRef(0x00FF8001), QColor(1, 0x80, 0xFF));
}
