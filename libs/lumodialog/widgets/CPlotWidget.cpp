#include "libs/lumodialog/widgets/CPlotWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumodialog {

namespace {

constexpr double MARGIN_LEFT = 56.0;
constexpr double MARGIN_RIGHT = 12.0;
constexpr double MARGIN_TOP = 22.0; // room for the readout
constexpr double MARGIN_BOTTOM = 24.0;
constexpr int MAX_TICKS = 8;
constexpr int MAX_DECADES = 24; // tick labels drawn on a logarithmic axis, at most

// A step of 1, 2 or 5 times a power of ten that cuts `span` into at most `ticks` pieces.
double NiceStep(double span, int ticks) {
    if (!(span > 0.0) || !std::isfinite(span))
        return 1.0;
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (factor * power >= raw)
            return factor * power;
    return 10.0 * power;
}

QString TickText(double value) {
    return QString::number(value, 'g', 6);
}

} // namespace

CPlotWidget::CPlotWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

bool CPlotWidget::SetSeries(int index, std::vector<double> values, const QColor& colour) {
    if (index < 0 || index >= MAX_SERIES)
        return false;
    m_series[size_t(index)] = std::move(values);
    m_colours[size_t(index)] = colour;
    m_count = std::max(m_count, index + 1);
    update();
    return true;
}

void CPlotWidget::SetSeriesCount(int count) {
    m_count = std::clamp(count, 0, MAX_SERIES);
    for (size_t i = size_t(m_count); i < m_series.size(); ++i)
        m_series[i].clear();
    update();
}

const std::vector<double>& CPlotWidget::Series(int index) const {
    static const std::vector<double> none;
    return index >= 0 && index < m_count ? m_series[size_t(index)] : none;
}

void CPlotWidget::SetLogarithmic(bool logarithmic) {
    m_bLogarithmic = logarithmic;
    update();
}

void CPlotWidget::SetMarker(std::optional<double> index) {
    m_marker = index;
    update();
}

QColor CPlotWidget::FromColourRef(uint32_t colour) {
    return QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
}

QRectF CPlotWidget::PlotArea() const {
    return QRectF(MARGIN_LEFT, MARGIN_TOP, std::max(1.0, width() - MARGIN_LEFT - MARGIN_RIGHT),
                  std::max(1.0, height() - MARGIN_TOP - MARGIN_BOTTOM));
}

size_t CPlotWidget::Length() const {
    size_t length = 0;
    for (int i = 0; i < m_count; ++i)
        length = std::max(length, m_series[size_t(i)].size());
    return length;
}

CPlotWidget::Range CPlotWidget::ValueRange() const {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    double smallestPositive = low;
    for (int i = 0; i < m_count; ++i)
        for (const double v : m_series[size_t(i)]) {
            if (!std::isfinite(v))
                continue;
            low = std::min(low, v);
            high = std::max(high, v);
            if (v > 0.0)
                smallestPositive = std::min(smallestPositive, v);
        }
    if (m_bLogarithmic) {
        if (!std::isfinite(smallestPositive))
            return {1.0, 10.0};
        const double bottom = std::pow(10.0, std::floor(std::log10(smallestPositive)));
        const double top = std::pow(10.0, std::ceil(std::log10(high)));
        return {bottom, top > bottom ? top : bottom * 10.0};
    }
    if (!std::isfinite(low))
        return {0.0, 1.0};
    low = std::min(low, 0.0);
    // A little room above the highest value, so that a flat series does not hide in the frame.
    return {low, high > low ? high + (high - low) * 0.05 : low + 1.0};
}

double CPlotWidget::Fraction(double value, const Range& range) const {
    if (m_bLogarithmic) {
        if (!(value > 0.0))
            return 0.0;
        const double span = std::log10(range.high) - std::log10(range.low);
        return std::clamp((std::log10(value) - std::log10(range.low)) / span, 0.0, 1.0);
    }
    return std::clamp((value - range.low) / (range.high - range.low), 0.0, 1.0);
}

double CPlotWidget::XOf(double index, const QRectF& area) const {
    const size_t length = Length();
    const double last = length > 1 ? double(length - 1) : 1.0;
    return area.left() + area.width() * index / last;
}

double CPlotWidget::YOf(double value, const Range& range, const QRectF& area) const {
    return area.bottom() - area.height() * Fraction(value, range);
}

void CPlotWidget::DrawAxes(QPainter& painter, const QRectF& area, const Range& range) const {
    const QColor grid = palette().color(QPalette::Mid);
    const QColor text = palette().color(QPalette::Text);
    const QFontMetricsF metrics(font());
    painter.setPen(QPen(grid, 0, Qt::DotLine));
    // Value axis: decades when logarithmic, else a 1-2-5 step.
    std::vector<double> ticks;
    if (m_bLogarithmic) {
        for (double v = range.low; v <= range.high * 1.0001 && int(ticks.size()) < MAX_DECADES;
             v *= 10.0)
            ticks.push_back(v);
    } else {
        const double step = NiceStep(range.high - range.low, MAX_TICKS);
        const double first = std::ceil(range.low / step) * step;
        for (int k = 0; k <= 2 * MAX_TICKS; ++k) {
            const double v = first + k * step;
            if (v > range.high + step * 1e-9)
                break;
            ticks.push_back(v);
        }
    }
    for (const double v : ticks) {
        const double y = YOf(v, range, area);
        painter.setPen(QPen(grid, 0, Qt::DotLine));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(text);
        const QRectF label(0, y - metrics.height() / 2, MARGIN_LEFT - 4, metrics.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, TickText(v));
    }
    // Index axis.
    const size_t length = Length();
    const double last = length > 1 ? double(length - 1) : 1.0;
    const int xTicks = std::max(2, int(area.width() / 70.0));
    const double step = std::max(1.0, NiceStep(last, xTicks));
    for (int k = 0; k <= 4 * xTicks; ++k) {
        const double v = k * step;
        if (v > last + 1e-9)
            break;
        const double x = XOf(v, area);
        painter.setPen(QPen(grid, 0, Qt::DotLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(text);
        const QRectF label(x - 40, area.bottom() + 2, 80, metrics.height());
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, TickText(v));
    }
    painter.setPen(QPen(text, 0));
    painter.drawRect(area);
}

void CPlotWidget::DrawSeries(QPainter& painter, const QRectF& area, const Range& range,
                             int index) const {
    const std::vector<double>& values = m_series[size_t(index)];
    if (values.empty())
        return;
    painter.setPen(QPen(m_colours[size_t(index)], 1.0));
    QPolygonF line;
    const auto columns = size_t(std::max(1.0, area.width()));
    if (values.size() <= 2 * columns) {
        line.reserve(qsizetype(values.size()));
        for (size_t i = 0; i < values.size(); ++i)
            line << QPointF(XOf(double(i), area), YOf(values[i], range, area));
    } else {
        // More values than pixels: the lowest and highest value of each pixel column.
        line.reserve(qsizetype(2 * columns));
        const double perColumn = double(values.size()) / double(columns);
        for (size_t c = 0; c < columns; ++c) {
            const auto begin = size_t(double(c) * perColumn);
            const size_t end = std::min(values.size(), size_t(double(c + 1) * perColumn) + 1);
            const auto [low, high] = std::minmax_element(values.begin() + std::ptrdiff_t(begin),
                                                         values.begin() + std::ptrdiff_t(end));
            const double x = area.left() + double(c);
            line << QPointF(x, YOf(*low, range, area)) << QPointF(x, YOf(*high, range, area));
        }
    }
    painter.drawPolyline(line);
}

void CPlotWidget::SetPlotBackground(const QColor& colour) {
    if (colour == m_plotBackground)
        return;
    m_plotBackground = colour;
    update();
}

void CPlotWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = PlotArea();
    const Range range = ValueRange();
    if (m_plotBackground.isValid())
        painter.fillRect(area, m_plotBackground);
    DrawAxes(painter, area, range);
    painter.setClipRect(area.adjusted(-1, -1, 1, 1));
    for (int i = 0; i < m_count; ++i)
        DrawSeries(painter, area, range, i);
    if (m_marker) {
        const double x = XOf(*m_marker, area);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.0, Qt::DashLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    painter.setClipping(false);
    if (!m_readout.isEmpty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRectF(area.left(), 0, area.width(), MARGIN_TOP),
                         Qt::AlignLeft | Qt::AlignVCenter, m_readout);
    }
}

void CPlotWidget::UpdateReadout(double x) {
    const QRectF area = PlotArea();
    const size_t length = Length();
    QString readout;
    if (length > 0 && x >= area.left() && x <= area.right()) {
        const double last = length > 1 ? double(length - 1) : 0.0;
        const auto index = size_t(std::lround((x - area.left()) / area.width() * last));
        readout = QString::number(index) + ":";
        const char* separator = " ";
        for (int i = 0; i < m_count; ++i) {
            const std::vector<double>& values = m_series[size_t(i)];
            if (index < values.size()) {
                readout += separator + QString::number(values[index], 'g', 8);
                separator = ", ";
            }
        }
    }
    if (readout != m_readout) {
        m_readout = readout;
        update();
    }
}

void CPlotWidget::mouseMoveEvent(QMouseEvent* event) {
    UpdateReadout(event->position().x());
    QWidget::mouseMoveEvent(event);
}

void CPlotWidget::leaveEvent(QEvent* event) {
    if (!m_readout.isEmpty()) {
        m_readout.clear();
        update();
    }
    QWidget::leaveEvent(event);
}

} // namespace lumodialog
