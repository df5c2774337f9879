// The curve editor under simulated mouse and keyboard input, and the curve through its points.
#include "libs/lumodialog/widgets/CCurveEditor.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using lumodialog::CCurveEditor;
using lumodialog::InterpolateCurve;

namespace {

bool Rising(const CCurveEditor::Table& table) {
    return std::is_sorted(table.begin(), table.end());
}

class CurveEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_editor.resize(400, 300);
        m_editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_editor));
    }
    QPoint At(int index) const {
        return m_editor.PositionOf(m_editor.ControlPoints()[size_t(index)]);
    }

    CCurveEditor m_editor;
};

} // namespace

TEST_F(CurveEditorTest, DraggingAPointRaisesTheCurveAroundItAndSignalsEachMove) {
    const CCurveEditor::Table before = m_editor.GetTable();
    ASSERT_EQ(m_editor.ControlPoints().size(), 9u);
    ASSERT_EQ(m_editor.ControlPoints()[4].x, 128);
    QSignalSpy spy(&m_editor, &CCurveEditor::curveChanged);

    const QPoint start = At(4);
    QTest::mousePress(&m_editor, Qt::LeftButton, {}, start);
    // Up by less than the gap to the next point: the points, and so the curve, still rise.
    QTest::mouseMove(&m_editor, start + QPoint(0, -5));
    QTest::mouseMove(&m_editor, start + QPoint(0, -10));
    QTest::mouseRelease(&m_editor, Qt::LeftButton, {}, start + QPoint(0, -10));

    ASSERT_EQ(spy.count(), 2);
    const CCurveEditor::Table& after = m_editor.GetTable();
    const auto last = spy.last().at(0).value<QList<quint16>>();
    ASSERT_EQ(last.size(), CCurveEditor::POINTS);
    EXPECT_TRUE(std::equal(last.begin(), last.end(), after.begin()));
    EXPECT_GT(m_editor.ControlPoints()[4].y, before[128] + 2000);
    for (size_t x = 97; x <= 158; ++x)
        EXPECT_GT(after[x], before[x]) << "input " << x;
    EXPECT_TRUE(Rising(after));
    EXPECT_EQ(after[0], 0);
    EXPECT_EQ(after[255], 65535);

    // A move after the release drags nothing.
    QTest::mouseMove(&m_editor, start + QPoint(0, 30));
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(CurveEditorTest, APointCannotBeDraggedPastItsNeighbours) {
    QTest::mousePress(&m_editor, Qt::LeftButton, {}, At(4));
    QTest::mouseMove(&m_editor, At(6) + QPoint(5, 0));
    QTest::mouseRelease(&m_editor, Qt::LeftButton, {}, At(6));
    EXPECT_EQ(m_editor.ControlPoints()[4].x, m_editor.ControlPoints()[5].x - 1);

    // The end points move only up and down.
    QTest::mousePress(&m_editor, Qt::LeftButton, {}, At(0));
    QTest::mouseMove(&m_editor, At(0) + QPoint(60, -30));
    QTest::mouseRelease(&m_editor, Qt::LeftButton, {}, At(0));
    EXPECT_EQ(m_editor.ControlPoints()[0].x, 0);
    EXPECT_GT(m_editor.ControlPoints()[0].y, 0);
}

TEST_F(CurveEditorTest, DoubleClickAddsAPointAndRightClickRemovesItButNotTheEnds) {
    QSignalSpy spy(&m_editor, &CCurveEditor::curveChanged);
    const QPoint between = (At(1) + At(2)) / 2 + QPoint(0, -25);
    QTest::mouseDClick(&m_editor, Qt::LeftButton, {}, between);
    ASSERT_EQ(m_editor.ControlPoints().size(), 10u);
    EXPECT_EQ(m_editor.SelectedPoint(), 2);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_GT(m_editor.GetTable()[size_t(m_editor.ControlPoints()[2].x)],
              m_editor.ControlPoints()[2].x * 257);

    QTest::mouseClick(&m_editor, Qt::RightButton, {}, At(2));
    EXPECT_EQ(m_editor.ControlPoints().size(), 9u);
    QTest::mouseClick(&m_editor, Qt::RightButton, {}, At(0));
    QTest::mouseClick(&m_editor, Qt::RightButton, {}, At(8));
    EXPECT_EQ(m_editor.ControlPoints().size(), 9u);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(CurveEditorTest, KeysSelectAndMoveAPoint) {
    QSignalSpy spy(&m_editor, &CCurveEditor::curveChanged);
    QTest::keyClick(&m_editor, Qt::Key_PageDown);
    QTest::keyClick(&m_editor, Qt::Key_PageDown);
    ASSERT_EQ(m_editor.SelectedPoint(), 1);
    const CCurveEditor::ControlPoint point = m_editor.ControlPoints()[1];
    QTest::keyClick(&m_editor, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(&m_editor, Qt::Key_Right);
    EXPECT_EQ(m_editor.ControlPoints()[1].y, point.y + 2560);
    EXPECT_EQ(m_editor.ControlPoints()[1].x, point.x + 1);
    QTest::keyClick(&m_editor, Qt::Key_Delete);
    EXPECT_EQ(m_editor.ControlPoints().size(), 8u);
    EXPECT_EQ(spy.count(), 3);
}

TEST(CurveEditor, ASetTableShowsAsItIsWithNinePointsTakenFromIt) {
    CCurveEditor editor;
    CCurveEditor::Table table{};
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = uint16_t(65535 - i * 200 - (i % 2)); // not a curve the points reproduce
    editor.SetTable(table);
    EXPECT_EQ(editor.GetTable(), table);
    const int inputs[] = {0, 32, 64, 96, 128, 159, 191, 223, 255};
    ASSERT_EQ(editor.ControlPoints().size(), std::size(inputs));
    for (size_t k = 0; k < std::size(inputs); ++k) {
        EXPECT_EQ(editor.ControlPoints()[k].x, inputs[k]);
        EXPECT_EQ(editor.ControlPoints()[k].y, table[size_t(inputs[k])]);
    }
}

TEST(CurveEditor, TheCurvePassesThroughItsPointsWithoutOvershoot) {
    // A step then a plateau: a plain cubic spline swings above the plateau and back.
    const CCurveEditor::Table table =
        InterpolateCurve({{0, 0}, {20, 30000}, {40, 30000}, {255, 32000}});
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[20], 30000);
    EXPECT_EQ(table[255], 32000);
    for (size_t x = 20; x <= 40; ++x)
        EXPECT_EQ(table[x], 30000) << "input " << x;
    EXPECT_TRUE(Rising(table));

    const CCurveEditor::Table falling = InterpolateCurve({{0, 65535}, {128, 60000}, {255, 0}});
    EXPECT_TRUE(std::is_sorted(falling.rbegin(), falling.rend()));
    EXPECT_EQ(falling[128], 60000);
}
