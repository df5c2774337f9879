#include "libs/lumodialog/widgets/CCurveEditor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lumodialog {

namespace {

constexpr double MARGIN = 8.0;
constexpr double HIT_RADIUS = 8.0;
constexpr int GRID_LINES = 8;
constexpr int KEY_STEP_X = 1;
constexpr int KEY_STEP_Y = 256;

// Fritsch-Carlson tangents: the secant average, zero at extrema, limited so that each piece
// stays monotone.
std::vector<double> Tangents(const std::vector<CCurveEditor::ControlPoint>& p) {
    const size_t n = p.size();
    std::vector<double> secant(n - 1);
    for (size_t i = 0; i + 1 < n; ++i)
        secant[i] = double(p[i + 1].y - p[i].y) / double(p[i + 1].x - p[i].x);
    std::vector<double> m(n);
    m[0] = secant[0];
    m[n - 1] = secant[n - 2];
    for (size_t i = 1; i + 1 < n; ++i)
        m[i] = secant[i - 1] * secant[i] <= 0.0 ? 0.0 : (secant[i - 1] + secant[i]) / 2.0;
    for (size_t i = 0; i + 1 < n; ++i) {
        if (secant[i] == 0.0) {
            m[i] = m[i + 1] = 0.0;
            continue;
        }
        const double a = m[i] / secant[i];
        const double b = m[i + 1] / secant[i];
        const double h = a * a + b * b;
        if (h > 9.0) {
            const double t = 3.0 / std::sqrt(h);
            m[i] = t * a * secant[i];
            m[i + 1] = t * b * secant[i];
        }
    }
    return m;
}

} // namespace

CCurveEditor::Table InterpolateCurve(const std::vector<CCurveEditor::ControlPoint>& points) {
    CCurveEditor::Table table{};
    if (points.size() < 2)
        return table;
    const std::vector<double> m = Tangents(points);
    size_t piece = 0;
    for (int x = 0; x < CCurveEditor::POINTS; ++x) {
        while (piece + 2 < points.size() && x > points[piece + 1].x)
            ++piece;
        const CCurveEditor::ControlPoint& p0 = points[piece];
        const CCurveEditor::ControlPoint& p1 = points[piece + 1];
        const double h = double(p1.x - p0.x);
        const double t = std::clamp((x - p0.x) / h, 0.0, 1.0);
        const double t2 = t * t;
        const double t3 = t2 * t;
        const double y = (2 * t3 - 3 * t2 + 1) * p0.y + (t3 - 2 * t2 + t) * h * m[piece] +
                         (-2 * t3 + 3 * t2) * p1.y + (t3 - t2) * h * m[piece + 1];
        table[size_t(x)] =
            uint16_t(std::lround(std::clamp(y, 0.0, double(CCurveEditor::MAX_VALUE))));
    }
    return table;
}

CCurveEditor::CCurveEditor(QWidget* parent) : QWidget(parent), m_colour(Qt::black) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    Table identity{};
    for (int i = 0; i < POINTS; ++i)
        identity[size_t(i)] = uint16_t(std::lround(i * double(MAX_VALUE) / (POINTS - 1)));
    SetTable(identity);
}

void CCurveEditor::SetTable(const Table& table) {
    m_table = table;
    m_points.clear();
    for (int k = 0; k < DERIVED_POINTS; ++k) {
        const int x = int(std::lround(k * double(POINTS - 1) / (DERIVED_POINTS - 1)));
        m_points.push_back({x, table[size_t(x)]});
    }
    m_selected = -1;
    m_bDragging = false;
    update();
}

void CCurveEditor::SetCurveColour(const QColor& colour) {
    m_colour = colour;
    update();
}

QRectF CCurveEditor::GridArea() const {
    return QRectF(MARGIN, MARGIN, std::max(1.0, width() - 2 * MARGIN),
                  std::max(1.0, height() - 2 * MARGIN));
}

QPoint CCurveEditor::PositionOf(const ControlPoint& point) const {
    const QRectF area = GridArea();
    return QPointF(area.left() + area.width() * point.x / (POINTS - 1),
                   area.bottom() - area.height() * point.y / MAX_VALUE)
        .toPoint();
}

CCurveEditor::ControlPoint CCurveEditor::PointAt(const QPointF& position) const {
    const QRectF area = GridArea();
    const double fx = (position.x() - area.left()) / area.width();
    const double fy = (area.bottom() - position.y()) / area.height();
    return {int(std::lround(std::clamp(fx, 0.0, 1.0) * (POINTS - 1))),
            int(std::lround(std::clamp(fy, 0.0, 1.0) * MAX_VALUE))};
}

int CCurveEditor::HitPoint(const QPointF& position) const {
    int best = -1;
    double bestDistance = HIT_RADIUS;
    for (size_t i = 0; i < m_points.size(); ++i) {
        const double distance = QLineF(position, PositionOf(m_points[i])).length();
        if (distance <= bestDistance) {
            best = int(i);
            bestDistance = distance;
        }
    }
    return best;
}

void CCurveEditor::MovePoint(int index, int x, int y) {
    ControlPoint& point = m_points[size_t(index)];
    const bool end = index == 0 || index + 1 == int(m_points.size());
    if (!end)
        point.x =
            std::clamp(x, m_points[size_t(index) - 1].x + 1, m_points[size_t(index) + 1].x - 1);
    point.y = std::clamp(y, 0, MAX_VALUE);
    Recompute();
}

int CCurveEditor::AddPoint(int x, int y) {
    if (int(m_points.size()) >= MAX_CONTROL_POINTS)
        return -1;
    const auto after = std::find_if(m_points.begin(), m_points.end(),
                                    [x](const ControlPoint& p) { return p.x >= x; });
    if (after == m_points.begin() || after == m_points.end() || after->x == x)
        return -1; // on an existing input
    const auto added = m_points.insert(after, {x, std::clamp(y, 0, MAX_VALUE)});
    Recompute();
    return int(added - m_points.begin());
}

void CCurveEditor::RemovePoint(int index) {
    if (index <= 0 || index + 1 >= int(m_points.size()))
        return; // the ends stay
    m_points.erase(m_points.begin() + index);
    m_selected = std::min(index, int(m_points.size()) - 1);
    Recompute();
}

void CCurveEditor::Recompute() {
    m_table = InterpolateCurve(m_points);
    update();
    emit curveChanged(QList<quint16>(m_table.begin(), m_table.end()));
}

void CCurveEditor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = GridArea();
    painter.setPen(QPen(palette().color(QPalette::Mid), 0, Qt::DotLine));
    for (int k = 1; k < GRID_LINES; ++k) {
        const double x = area.left() + area.width() * k / GRID_LINES;
        const double y = area.top() + area.height() * k / GRID_LINES;
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    painter.setPen(QPen(palette().color(QPalette::Text), 0));
    painter.drawRect(area);
    QPolygonF curve;
    for (int i = 0; i < POINTS; ++i)
        curve << QPointF(area.left() + area.width() * i / (POINTS - 1),
                         area.bottom() - area.height() * m_table[size_t(i)] / MAX_VALUE);
    painter.setPen(QPen(m_colour, 1.5));
    painter.drawPolyline(curve);
    for (size_t i = 0; i < m_points.size(); ++i) {
        const bool selected = int(i) == m_selected;
        painter.setPen(QPen(palette().color(QPalette::Text), 1.0));
        painter.setBrush(selected ? palette().color(QPalette::Highlight)
                                  : palette().color(QPalette::Base));
        painter.drawEllipse(QPointF(PositionOf(m_points[i])), 4.0, 4.0);
    }
}

void CCurveEditor::mousePressEvent(QMouseEvent* event) {
    const int hit = HitPoint(event->position());
    if (event->button() == Qt::RightButton) {
        RemovePoint(hit);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_selected = hit;
    m_bDragging = hit >= 0;
    update();
}

void CCurveEditor::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bDragging || m_selected < 0)
        return QWidget::mouseMoveEvent(event);
    const ControlPoint target = PointAt(event->position());
    MovePoint(m_selected, target.x, target.y);
}

void CCurveEditor::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_bDragging = false;
    QWidget::mouseReleaseEvent(event);
}

void CCurveEditor::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || HitPoint(event->position()) >= 0)
        return QWidget::mouseDoubleClickEvent(event);
    const ControlPoint target = PointAt(event->position());
    const int added = AddPoint(target.x, target.y);
    if (added >= 0)
        m_selected = added;
    update();
}

void CCurveEditor::keyPressEvent(QKeyEvent* event) {
    const int count = int(m_points.size());
    const int factor = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (event->key()) {
    case Qt::Key_PageUp:
        m_selected = m_selected <= 0 ? 0 : m_selected - 1;
        update();
        return;
    case Qt::Key_PageDown:
        m_selected = std::min(m_selected + 1, count - 1);
        update();
        return;
    default:
        break;
    }
    if (m_selected < 0 || m_selected >= count)
        return QWidget::keyPressEvent(event);
    const ControlPoint point = m_points[size_t(m_selected)];
    switch (event->key()) {
    case Qt::Key_Left:
        return MovePoint(m_selected, point.x - KEY_STEP_X * factor, point.y);
    case Qt::Key_Right:
        return MovePoint(m_selected, point.x + KEY_STEP_X * factor, point.y);
    case Qt::Key_Up:
        return MovePoint(m_selected, point.x, point.y + KEY_STEP_Y * factor);
    case Qt::Key_Down:
        return MovePoint(m_selected, point.x, point.y - KEY_STEP_Y * factor);
    case Qt::Key_Delete:
        return RemovePoint(m_selected);
    case Qt::Key_Insert: {
        const int next = std::min(m_selected + 1, count - 1);
        const ControlPoint& other = m_points[size_t(next)];
        const int added = AddPoint((point.x + other.x) / 2, (point.y + other.y) / 2);
        if (added >= 0)
            m_selected = added;
        return;
    }
    default:
        return QWidget::keyPressEvent(event);
    }
}

} // namespace lumodialog
