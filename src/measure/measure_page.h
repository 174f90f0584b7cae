#pragma once
// The live measurement: GO and STOP on the main panel, the data panel with its displays,
// tabs and charts, and the large colour and group windows.
//
// A frame's data work is done per frame (the values, L a b, the colour, the LEDs, the chart
// history); the displays are written at most once per screen refresh and once more when a
// loop ends, so the frame rate is the link's, not the paint rate.

#include <array>
#include <memory>

#include "measure/charts.h"
#include "measure/colour_math.h"
#include "session/page.h"
#include "ui/controls.h"
#include "ui/refresh.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace measure {

// Pages of the data panel's tab control.
enum DataPage : int { kPageRgb = 0, kPageCoord = 1, kPage2D = 2, kPage3D = 3 };

class MeasurePage final : public session::Page {
  public:
    explicit MeasurePage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;

    // GO: the live loop until STOP or a failure.
    void Go();
    // The data work of one frame; the displays follow within a screen refresh.
    void ShowMeasuredValues();
    // Writes every display now (end of a loop, tests).
    void FlushDisplays();
    void UpdateCharts();
    void DrawTolerancePlot();

    // The charts of the data panel, L a b of the last frame, the output LEDs as last shown.
    const Charts& ChartSet() const { return charts; }
    const Lab& LastLab() const { return lab; }
    const OutputLeds& Leds() const { return leds; }

  private:
    static const ui::ControlRow<MeasurePage> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonGo(ui::Event e);
    void CBF_ButtonStop(ui::Event e);
    void CBF_DispCOL(ui::Event e);
    void CBF_DispGroup(ui::Event e);
    void CBF_COLBIGP(ui::Event e);
    void CBF_GRPBIGP(ui::Event e);

    // Controls.
    QPushButton* go = nullptr;
    QPushButton* stop = nullptr;
    QWidget* dataPanel = nullptr;
    QTabWidget* tabData = nullptr;
    QLineEdit *dispRed = nullptr, *dispGreen = nullptr, *dispBlue = nullptr;
    QLineEdit *dispX = nullptr, *dispY = nullptr, *dispInt = nullptr;
    QLabel *labelX = nullptr, *labelY = nullptr, *labelInt = nullptr;
    QLineEdit* dispDeltaC = nullptr;
    QLineEdit* dispCol = nullptr;
    QLineEdit* dispGroup = nullptr;
    QLabel *labelDeltaC = nullptr, *labelCol = nullptr, *labelGroup = nullptr;
    QLineEdit *dispL = nullptr, *dispA = nullptr, *dispB = nullptr;
    QLabel* ledTrig = nullptr;
    QLabel* labelTrig = nullptr;
    QWidget* outLeds = nullptr;
    QLabel* labelOut = nullptr;
    QLabel *ledOut1 = nullptr, *ledOut0 = nullptr;
    QLineEdit *rgbRed = nullptr, *rgbGreen = nullptr, *rgbBlue = nullptr;
    QLineEdit *coordRed = nullptr, *coordGreen = nullptr, *coordBlue = nullptr;
    QLineEdit *d2Red = nullptr, *d2Green = nullptr, *d2Blue = nullptr;
    QLineEdit *minMax0 = nullptr, *minMax1 = nullptr, *minMax2 = nullptr, *minMax3 = nullptr,
              *minMax4 = nullptr, *minMax5 = nullptr;
    QLineEdit *simRef0 = nullptr, *simRef1 = nullptr, *simRef2 = nullptr;
    QLabel *labelSimRef0 = nullptr, *labelSimRef1 = nullptr, *labelSimRef2 = nullptr;
    QLabel *labelGraphXY = nullptr, *labelGraphXInt = nullptr, *labelGraphYInt = nullptr;
    QLabel *labelGraphX = nullptr, *labelGraphY = nullptr, *labelGraphInt = nullptr;
    QWidget* colBigPanel = nullptr;
    QWidget* grpBigPanel = nullptr;
    QLabel* colBig = nullptr;
    QLabel* grpBig = nullptr;
    QLabel* colBigId = nullptr;
    QLabel* grpBigId = nullptr;
    // Graph placeholders.
    QWidget *graphRgb = nullptr, *graphX = nullptr, *graphY = nullptr, *graphInt = nullptr,
            *graph2D = nullptr, *graphIntBar = nullptr, *graphXY = nullptr, *graphXInt = nullptr,
            *graphYInt = nullptr, *graphRgb3D = nullptr;

    Charts charts;
    Lab lab;          // of the last frame
    OutputLeds leds;  // as last shown

    static constexpr int kBigPanelGap = 8;  // pixels between the windows
    void PlaceBigPanels();
    void ApplyModes();
    // The data panel's displays and the large windows' numbers, written together so that
    // everything shown is of one frame. The displays on a page of the tab control in the back
    // (18 of the 30 sit on those pages) are left stale, and written with all the others when
    // the page comes to the front or the loop ends.
    static constexpr std::array<int, 3> kPagesWithDisplays = {kPageRgb, kPageCoord, kPage2D};
    static_assert(kPageRgb == 0 && kPageCoord == 1 && kPage2D == 2,
                  "the arrays below are indexed by page number");
    void WriteDisplays();
    void WritePage(int page);
    ui::Refresh displays_{[this] { WriteDisplays(); }};
    // By page number (the pages with displays come first): the page widgets, looked up once.
    std::array<QWidget*, kPagesWithDisplays.size()> pages_{};
    std::array<bool, kPagesWithDisplays.size()> pageStale_{};
    std::array<std::unique_ptr<ui::WhenShown>, kPagesWithDisplays.size()> pageShown_;
    bool bigPanelsPlaced_ = false;
};

}  // namespace measure
