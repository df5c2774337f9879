// Edits a 256-point curve (outputs 0 .. 65535 at the inputs i / 255) over a grid. The user moves
// a handful of control points and the curve is a monotone cubic (Fritsch-Carlson) through them:
// it never overshoots, and rising points give a rising curve.
//
// Mouse: drag a point (the end points move only up and down); double click adds a point; right
// click on a point removes it (the ends stay). Keyboard: Page Up / Page Down select the previous
// / next point, the arrow keys move it (Shift: ten times as far), Insert adds a point after it,
// Delete removes it. curveChanged carries the 256 points after every change the user makes.
//
// SetTable shows a table as it is and takes nine evenly spaced points of it as control points;
// the curve is recomputed from the points at the first edit.
#pragma once

#include <QList>
#include <QPoint>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

namespace lumodialog {

class CCurveEditor : public QWidget {
    Q_OBJECT

public:
    static constexpr int POINTS = 256;
    static constexpr int MAX_VALUE = 65535;
    static constexpr int MAX_CONTROL_POINTS = 32;
    static constexpr int DERIVED_POINTS = 9;
    using Table = std::array<uint16_t, POINTS>;

    // A control point: input 0 .. 255, output 0 .. 65535.
    struct ControlPoint {
        int x = 0;
        int y = 0;
    };

    explicit CCurveEditor(QWidget* parent = nullptr);

    void SetTable(const Table& table);
    const Table& GetTable() const { return m_table; }
    const std::vector<ControlPoint>& ControlPoints() const { return m_points; }
    int SelectedPoint() const { return m_selected; }
    void SetCurveColour(const QColor& colour);

    // Where a control point is drawn, in widget coordinates.
    QPoint PositionOf(const ControlPoint& point) const;

    QSize minimumSizeHint() const override { return {256, 200}; }
    QSize sizeHint() const override { return {360, 300}; }

signals:
    void curveChanged(const QList<quint16>& points);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF GridArea() const;
    ControlPoint PointAt(const QPointF& position) const;
    int HitPoint(const QPointF& position) const; // -1: none
    // Moves point `index` as far towards (x, y) as its neighbours allow.
    void MovePoint(int index, int x, int y);
    int AddPoint(int x, int y); // index of the new point, -1 when not added
    void RemovePoint(int index);
    void Recompute();

    Table m_table{};
    std::vector<ControlPoint> m_points;
    int m_selected = -1;
    bool m_bDragging = false;
    QColor m_colour;
};

// The monotone cubic through `points` (sorted by x, x distinct, first x 0, last x 255) at the
// inputs 0 .. 255, rounded and held to 0 .. 65535.
CCurveEditor::Table InterpolateCurve(const std::vector<CCurveEditor::ControlPoint>& points);

} // namespace lumodialog
