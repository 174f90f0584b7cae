// Teaching against the simulated sensor from start to end: frames captured or recorded,
// taught into a row, sent to the sensor and read back, and the new tolerance circle in the
// colour plane around the point the sensor sees.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

#include "measure/measure_page.h"
#include "params/parameter_panel.h"
#include "sim/server/sim_server.h"
#include "teach_fixture.h"
#include "ui/graph.h"

namespace {

struct Sensor : teach_testing::OnSensor<teach_testing::TeachProgram> {
    Sensor() { ApplyModes(1, 0); }  // X Y INT 2D
    params::ParameterPanel& params() { return program.Page<params::ParameterPanel>(); }

    // SEND to the sensor's RAM, then the row cleared on screen and read back with GET.
    std::array<std::uint16_t, teach::kValueColumns> SendAndGetBack(int vector) {
        Control<QPushButton>("MAINP", "ButtonSend")->click();
        for (int c = 1; c <= teach::kValueColumns; ++c)
            ui::SetCell(Control<QTableWidget>("MAINP", "GridCtt"), vector + 1, c, 1);
        Control<QPushButton>("MAINP", "ButtonGet")->click();
        return S().Parameters().teach[static_cast<std::size_t>(vector)].cell;
    }
};

}  // namespace

TEST(TeachSensor, TenCapturesTaughtIntoRowThreeReachTheSensorAndCircleTheMeasuredPoint) {
    Sensor t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    teach::MeanPanel& mean = t.page().Mean();
    ui::SetComboValue(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith"),
                      teach::kToleranceFixedPlusScatter);
    ui::SetValue(t.Control<QSpinBox>("TEACHP1", "EditTP1ValueCto"), 40);
    ui::SetComboValue(t.Control<QComboBox>("TEACHP1", "EditTP1TeachItoWith"),
                      teach::kToleranceFixedPlusScatter);
    ui::SetValue(t.Control<QSpinBox>("TEACHP1", "EditTP1ValueIto"), 40);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditNo"), 3);

    int frames = 0;
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        ++frames;
        if (frames >= 2 && frames <= 11)
            t.Control<QPushButton>("TEACHP1", "ButtonTP1Capture")->click();
        if (frames == 11) t.Control<QPushButton>("TEACHP1", "ButtonTP1Teach")->click();
        if (frames == 12) t.Control<QPushButton>("TEACHP1", "ButtonCloseTeachPanel")->click();
        if (frames > 100) t.S().StopLoops();
    });
    t.Control<QPushButton>("MAINP", "ButtonTeachMean")->click();  // runs the live loop until CLOSE
    ASSERT_EQ(frames, 12);
    ASSERT_EQ(mean.Captures().Count(), 10);
    const teach::Means m = mean.LastMeans();
    const std::uint16_t x = m.values[teach::kCapX - 1];
    const std::uint16_t y = m.values[teach::kCapY - 1];
    const std::uint16_t intensity = m.values[teach::kCapInt - 1];
    const auto cto = static_cast<std::uint16_t>(40 + m.maxDistance);
    const auto ito = static_cast<std::uint16_t>(40 + m.maxIntensityDistance);

    const auto row = t.SendAndGetBack(3);
    EXPECT_EQ(row, (std::array<std::uint16_t, 5>{x, y, cto, intensity, ito}));
    EXPECT_EQ(t.server.Model().Ram()[0].teach[3].cell, row);

    // The colour plane draws the circle of vector 3, and the last frame lies inside it.
    auto* plane = t.program.Control<QWidget>("DATAP", "Graph2D")->findChild<ui::Graph*>();
    ASSERT_NE(plane, nullptr);
    bool found = false;
    for (int i = 0; i < plane->itemCount(); ++i) {
        auto* circle = qobject_cast<QCPItemEllipse*>(plane->item(i));
        if (!circle) continue;
        const QRectF box = QRectF(circle->topLeft->coords(), circle->bottomRight->coords()).normalized();
        if (box.center() != QPointF(x, y) || box.width() != 2.0 * cto) continue;
        found = true;
        const QPointF cursor = plane->CursorPosition(1);
        EXPECT_LE(std::hypot(cursor.x() - x, cursor.y() - y), cto)
            << cursor.x() << "," << cursor.y() << " against " << x << "," << y;
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(t.program.popups.History().empty());
}

TEST(TeachSensor, ARecordedPointUnderTheCursorIsTaughtSentAndReadBack) {
    Sensor t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    teach::RecordPanel& record = t.page().Recording();
    record.SetCapacity(200);
    t.Control<QPushButton>("MAINP", "ButtonTeachRecVal")->click();
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();  // until the store is full
    ASSERT_EQ(record.Store().Count(), 200u);

    // The cursor of the X/Y graph on frame 100 (or the first with its X and Y): all three
    // graphs mark that frame.
    const teach::RecordedPoint p =
        *record.Store().At(record.Store().Find(teach::RecordGraph::XY, record.Store().At(99)->x,
                                               record.Store().At(99)->y));
    record.GraphOf(teach::RecordGraph::XY)->SetCursor(1, p.x, p.y);
    emit record.GraphOf(teach::RecordGraph::XY)->CursorCommitted(1);
    EXPECT_EQ(record.GraphOf(teach::RecordGraph::YInt)->CursorPosition(1), QPointF(p.y, p.intensity));

    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditNo"), 5);
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Teach")->click();
    const auto row = t.SendAndGetBack(5);
    EXPECT_EQ(row[0], p.x);
    EXPECT_EQ(row[1], p.y);
    EXPECT_EQ(row[3], p.intensity);
    EXPECT_EQ(t.server.Model().Ram()[0].teach[5].cell, row);
    EXPECT_TRUE(t.program.popups.History().empty());
}
