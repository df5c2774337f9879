// Up to four series of values plotted against their index: axes with tick labels, a linear or
// logarithmic value axis, an optional vertical marker, and a readout of the values under the
// mouse. QPainter only. The owner sets the accessible name.
//
// Logarithmic axis: the scale starts at the smallest positive value; values of 0 or less are
// drawn at the bottom.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumodialog {

class CPlotWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr int MAX_SERIES = 4;

    explicit CPlotWidget(QWidget* parent = nullptr);

    // Series `index` (below MAX_SERIES) gets these values and colour; an index beyond the
    // current count grows the count. Returns false for an index out of range.
    [[nodiscard]] bool SetSeries(int index, std::vector<double> values, const QColor& colour);
    // Keeps the first `count` series (at most MAX_SERIES).
    void SetSeriesCount(int count);
    int SeriesCount() const { return m_count; }
    const std::vector<double>& Series(int index) const;
    QColor SeriesColour(int index) const {
        return index >= 0 && index < MAX_SERIES ? m_colours[size_t(index)] : QColor();
    }

    void SetLogarithmic(bool logarithmic);
    // The plot area's fill; an invalid colour leaves the widget's own background.
    void SetPlotBackground(const QColor& colour);
    bool IsLogarithmic() const { return m_bLogarithmic; }

    // A vertical line at this index; nullopt removes it.
    void SetMarker(std::optional<double> index);
    std::optional<double> Marker() const { return m_marker; }

    // "x: v1, v2, ..." for the index under the mouse, empty while the mouse is outside.
    QString Readout() const { return m_readout; }

    // A colour of the modules' colour blocks (0x00BBGGRR).
    static QColor FromColourRef(uint32_t colour);

    QSize minimumSizeHint() const override { return {320, 200}; }
    QSize sizeHint() const override { return {480, 300}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Range {
        double low = 0.0;
        double high = 1.0;
    };
    QRectF PlotArea() const;
    size_t Length() const;
    Range ValueRange() const;
    // Position of a value on the value axis, 0 at the bottom, 1 at the top.
    double Fraction(double value, const Range& range) const;
    double XOf(double index, const QRectF& area) const;
    double YOf(double value, const Range& range, const QRectF& area) const;
    void DrawAxes(QPainter& painter, const QRectF& area, const Range& range) const;
    void DrawSeries(QPainter& painter, const QRectF& area, const Range& range, int index) const;
    void UpdateReadout(double x);

    std::array<std::vector<double>, MAX_SERIES> m_series;
    std::array<QColor, MAX_SERIES> m_colours;
    QColor m_plotBackground;
    int m_count = 0;
    bool m_bLogarithmic = false;
    std::optional<double> m_marker;
    QString m_readout;
};

} // namespace lumodialog
