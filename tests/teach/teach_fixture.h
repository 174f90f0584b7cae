#pragma once
// The whole program for a teach test: started, its pop-ups cleared, a known teach table
// (every cell 1), and the table and parameter set read row by row.

#include <QMenu>
#include <QStyle>
#include <QTableWidget>
#include <vector>

#include "program_fixture.h"
#include "sim/server/sim_server.h"
#include "teach/teach_page.h"

namespace teach_testing {

// The width a cell of `table` needs to show `text` without eliding it: the item view keeps
// the style's focus margin and a pixel on either side of the text.
inline int UncutWidth(const QTableWidget* table, const QString& text) {
    const int margin =
        table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    return table->fontMetrics().horizontalAdvance(text) + 2 * margin;
}

using Row = std::vector<int>;

struct TeachProgram {
    explicit TeachProgram(const QString& settings = testing_support::NoSensorSettingsText())
        : program(settings) {
        program->StartUp();
        program.popups.Clear();
        {
            params::ParameterSet edited = S().Parameters();
            for (auto& v : edited.teach) v.cell.fill(1);
            S().SetParameters(edited);
        }
    }
    session::Session& S() { return program.Session(); }
    teach::TeachPage& page() { return program.Page<teach::TeachPage>(); }
    template <class T = QWidget>
    T* Control(const char* panel, const char* name) {
        return program.Control<T>(panel, name);
    }
    QTableWidget* Table() { return Control<QTableWidget>("MAINP", "GridCtt"); }
    // The teach table's context menu, separators included.
    QList<QAction*> MenuItems() { return Table()->findChild<QMenu*>()->actions(); }

    // The modes into their controls, as the user would have set them.
    void SetModes(std::uint16_t evaluation, std::uint16_t calculation, std::uint16_t power = 0) {
        {
            // With the colour evaluation off the rules hold the calculation at X Y INT 2D;
            // on, they keep what is set here.
            params::ParameterSet edited = S().Parameters();
            edited.block.digitalOutMode = calculation == 0 ? 0 : 1;
            edited.block.evaluationMode = evaluation;
            edited.block.calculationMode = calculation;
            edited.block.powerMode = power;
            S().SetParameters(edited);
        }
        const session::ModeView& view = S().Modes();
        ASSERT_EQ(view.evaluationMode, evaluation);
        ASSERT_EQ(view.calculationMode, calculation);
        ASSERT_EQ(view.powerMode, power);
    }
    // The same with colour evaluation on (so colours are taught) and the mode rules run.
    void ApplyModes(std::uint16_t evaluation, std::uint16_t calculation) {
        {
            params::ParameterSet edited = S().Parameters();
            edited.block.digitalOutMode = 1;
            edited.block.evaluationMode = evaluation;
            edited.block.calculationMode = calculation;
            S().SetParameters(edited);
        }
    }
    // Row `row` (1-based) of the teach table, and of the parameter set.
    Row Cells(int row) {
        Row r;
        for (int c = 1; c <= teach::kValueColumns; ++c) r.push_back(ui::CellValue(Table(), row, c));
        return r;
    }
    Row Words(int row) {
        Row r;
        for (std::uint16_t v : S().Parameters().teach[static_cast<std::size_t>(row - 1)].cell)
            r.push_back(v);
        return r;
    }

    testing_support::TestProgram program;
};

// The simulated sensor, listening before the program starts and connects to it.
struct SimulatedSensor {
    SimulatedSensor() { server.StartTcp(0); }
    sim::SimServer server;
};

// A fixture connected to its own simulated sensor over TCP on 127.0.0.1.
template <class Fixture>
struct OnSensor : SimulatedSensor, Fixture {
    OnSensor() : Fixture(testing_support::TcpSettingsText("127.0.0.1", server.TcpPort())) {}
};

}  // namespace teach_testing
