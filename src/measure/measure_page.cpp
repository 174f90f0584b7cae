#include "measure/measure_page.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <algorithm>

#include "ui/controls.h"

namespace measure {

namespace {

using M = MeasurePage;
using ui::Field;

constexpr const char* kHelpRgb = "Displays the current color intensity of RED,GREEN and BLUE. ";
constexpr const char* kHelpMinMax =
    "Displays the minimum and maximum values of RED, GREEN and BLUE.";
constexpr const char* kHelpLab = "Displays the calculated Lab values.";
constexpr const char* kHelpSimRef = "Displays the s i M reference values of the analog outputs.";

}  // namespace

const ui::ControlRow<M> M::kControls[] = {
    {"MAINP", "ButtonGo", Field<&M::go>(), "CBF_ButtonGo", &M::CBF_ButtonGo,
     "Starts data transfer from sensor to PC. \n\nShortcut Key: F11. "},
    {"MAINP", "ButtonStop", Field<&M::stop>(), "CBF_ButtonStop", &M::CBF_ButtonStop,
     "Stops data transfer from sensor to PC. \n\nShortcut Key: F12. "},
    {"DATAP", "TabDataP1", Field<&M::tabData>(), "CBF_TabDataP1", nullptr, "Select TAB-window.",
     "Data pages"},
    {"DATAP", "DispRED", Field<&M::dispRed>(), "CBF_DispRED", nullptr, kHelpRgb},
    {"DATAP", "DispGREEN", Field<&M::dispGreen>(), "CBF_DispGREEN", nullptr, kHelpRgb},
    {"DATAP", "DispBLUE", Field<&M::dispBlue>(), "CBF_DispBLUE", nullptr, kHelpRgb},
    {"DATAP", "DispX", Field<&M::dispX>(), "CBF_DispX", nullptr,
     "Displays the red content of the color currently arriving at the receiver."},
    {"DATAP", "DispY", Field<&M::dispY>(), "CBF_DispY", nullptr,
     "Displays the green content of the color currently arriving at the receiver. "},
    {"DATAP", "DispINT", Field<&M::dispInt>(), "CBF_DispINT", nullptr,
     "Displays the intensity of the color currently arriving at the receiver. "},
    {"DATAP", "LabelX", Field<&M::labelX>()},
    {"DATAP", "LabelY", Field<&M::labelY>()},
    {"DATAP", "LabelINT", Field<&M::labelInt>()},
    {"DATAP", "DispDeltaC", Field<&M::dispDeltaC>(), "CBF_DispDeltaC", nullptr,
     "Displays the distance to a COLOR HIT. \nWhen no color is detected, delta C depends on the "
     "EVALUATION MODE as follows: \nFIRST HIT: delta C is the distance to the last enabled row "
     "in the TEACH TABLE. \nBEST HIT and MIN DIST: delta C is -1. \nWhen INT or M is lower than "
     "INTLIM, delta C is set to -1."},
    {"DATAP", "LabelDeltaC", Field<&M::labelDeltaC>()},
    {"DATAP", "DispCOL", Field<&M::dispCol>(), "CBF_DispCOL", &M::CBF_DispCOL,
     "Displays the current detected color number in \naccordance with the row in the TEACH "
     "TABLE. \nDouble click opens a big display. \nClose the big display with a right mouse "
     "click. \n\nFailure condition is 255.",
     "C-No"},
    {"DATAP", "LabelCOL", Field<&M::labelCol>()},
    {"DATAP", "DispGroup", Field<&M::dispGroup>(), "CBF_DispGroup", &M::CBF_DispGroup,
     "Displays the current detected color group. \nDouble click opens a big display. \nClose "
     "the big display with a right mouse click.\n\nFailure condition is 255."},
    {"DATAP", "LabelGroup", Field<&M::labelGroup>()},
    {"DATAP", "DispL", Field<&M::dispL>(), "CBF_DispLab", nullptr, kHelpLab},
    {"DATAP", "DispA", Field<&M::dispA>(), "CBF_DispLab", nullptr, kHelpLab},
    {"DATAP", "DispB", Field<&M::dispB>(), "CBF_DispLab", nullptr, kHelpLab},
    {"DATAP", "LedTrig", Field<&M::ledTrig>(), "CBF_LedTrig", nullptr,
     "Displays whether the sensor is triggered (LED=green) or not(LED=black). \nSensor is "
     "triggered, when IN0 is +24V or when the sensor self triggers (TRIGGER=SELF).",
     "Trigger"},
    {"DATAP", "LabelTrig", Field<&M::labelTrig>()},
    {"DATAP", "OutLeds", Field<&M::outLeds>(), nullptr, nullptr, nullptr, "Outputs"},
    {"DATAP", "LabelOut", Field<&M::labelOut>()},
    {"DATAP", "LedOut1", Field<&M::ledOut1>(), nullptr, nullptr, nullptr, "OUT1"},
    {"DATAP", "LedOut0", Field<&M::ledOut0>(), nullptr, nullptr, nullptr, "OUT0"},
    {"DATAP", "DispRgbRED", Field<&M::rgbRed>(), "CBF_DispRGB", nullptr, kHelpRgb, "Red, RGB page"},
    {"DATAP", "DispRgbGREEN", Field<&M::rgbGreen>(), "CBF_DispRGB", nullptr, kHelpRgb,
     "Green, RGB page"},
    {"DATAP", "DispRgbBLUE", Field<&M::rgbBlue>(), "CBF_DispRGB", nullptr, kHelpRgb,
     "Blue, RGB page"},
    {"DATAP", "DispCoordRED", Field<&M::coordRed>(), "CBF_DispRGB", nullptr, kHelpRgb,
     "Red, X Y INT page"},
    {"DATAP", "DispCoordGREEN", Field<&M::coordGreen>(), "CBF_DispRGB", nullptr, kHelpRgb,
     "Green, X Y INT page"},
    {"DATAP", "DispCoordBLUE", Field<&M::coordBlue>(), "CBF_DispRGB", nullptr, kHelpRgb,
     "Blue, X Y INT page"},
    {"DATAP", "Disp2dRED", Field<&M::d2Red>(), "CBF_DispRGB", nullptr, kHelpRgb, "Red, 2D page"},
    {"DATAP", "Disp2dGREEN", Field<&M::d2Green>(), "CBF_DispRGB", nullptr, kHelpRgb,
     "Green, 2D page"},
    {"DATAP", "Disp2dBLUE", Field<&M::d2Blue>(), "CBF_DispRGB", nullptr, kHelpRgb, "Blue, 2D page"},
    {"DATAP", "DispMinMaxRGB0", Field<&M::minMax0>(), "CBF_DispMinMaxRGB", nullptr, kHelpMinMax,
     "Red minimum"},
    {"DATAP", "DispMinMaxRGB1", Field<&M::minMax1>(), "CBF_DispMinMaxRGB", nullptr, kHelpMinMax,
     "Red maximum"},
    {"DATAP", "DispMinMaxRGB2", Field<&M::minMax2>(), "CBF_DispMinMaxRGB", nullptr, kHelpMinMax,
     "Green minimum"},
    {"DATAP", "DispMinMaxRGB3", Field<&M::minMax3>(), "CBF_DispMinMaxRGB", nullptr, kHelpMinMax,
     "Green maximum"},
    {"DATAP", "DispMinMaxRGB4", Field<&M::minMax4>(), "CBF_DispMinMaxRGB", nullptr, kHelpMinMax,
     "Blue minimum"},
    {"DATAP", "DispMinMaxRGB5", Field<&M::minMax5>(), "CBF_DispMinMaxRGB", nullptr, kHelpMinMax,
     "Blue maximum"},
    {"DATAP", "DispSimRef0", Field<&M::simRef0>(), "CBF_DispSimRef", nullptr, kHelpSimRef,
     "s reference"},
    {"DATAP", "DispSimRef1", Field<&M::simRef1>(), "CBF_DispSimRef", nullptr, kHelpSimRef,
     "i reference"},
    {"DATAP", "DispSimRef2", Field<&M::simRef2>(), "CBF_DispSimRef", nullptr, kHelpSimRef,
     "M reference"},
    {"DATAP", "LabelSimRef0", Field<&M::labelSimRef0>()},
    {"DATAP", "LabelSimRef1", Field<&M::labelSimRef1>()},
    {"DATAP", "LabelSimRef2", Field<&M::labelSimRef2>()},
    {"DATAP", "LabelGraphXY", Field<&M::labelGraphXY>()},
    {"DATAP", "LabelGraphXINT", Field<&M::labelGraphXInt>()},
    {"DATAP", "LabelGraphYINT", Field<&M::labelGraphYInt>()},
    {"DATAP", "LabelGraphX", Field<&M::labelGraphX>()},
    {"DATAP", "LabelGraphY", Field<&M::labelGraphY>()},
    {"DATAP", "LabelGraphINT", Field<&M::labelGraphInt>()},
    {"DATAP", "GraphRGB", Field<&M::graphRgb>(), nullptr, nullptr, nullptr, "RGB chart"},
    {"DATAP", "GraphX", Field<&M::graphX>(), nullptr, nullptr, nullptr, "X chart"},
    {"DATAP", "GraphY", Field<&M::graphY>(), nullptr, nullptr, nullptr, "Y chart"},
    {"DATAP", "GraphINT", Field<&M::graphInt>(), nullptr, nullptr, nullptr, "INT chart"},
    {"DATAP", "Graph2D", Field<&M::graph2D>(), nullptr, nullptr, nullptr, "Colour plane"},
    {"DATAP", "GraphIntBar", Field<&M::graphIntBar>(), nullptr, nullptr, nullptr, "Intensity"},
    {"DATAP", "GraphXY", Field<&M::graphXY>(), nullptr, nullptr, nullptr, "X/Y view"},
    {"DATAP", "GraphXINT", Field<&M::graphXInt>(), nullptr, nullptr, nullptr, "X/INT view"},
    {"DATAP", "GraphYINT", Field<&M::graphYInt>(), nullptr, nullptr, nullptr, "Y/INT view"},
    {"DATAP", "GraphRGB3D", Field<&M::graphRgb3D>(), nullptr, nullptr, nullptr,
     "RGB chart, 3D page"},
    {"COLBIGP", "DispColorBig", Field<&M::colBig>(), nullptr, nullptr, nullptr, "Colour number"},
    {"COLBIGP", "DispColBigId", Field<&M::colBigId>(), nullptr, nullptr, nullptr, "Identification"},
    {"GRPBIGP", "DispGroupBig", Field<&M::grpBig>(), nullptr, nullptr, nullptr, "Group"},
    {"GRPBIGP", "DispGrpBigId", Field<&M::grpBigId>(), nullptr, nullptr, nullptr, "Identification"},
};

namespace {

void Show(QLineEdit* display, int value) {
    ui::SetValue(display, QString::number(value));
}

void Show(QLineEdit* display, double value) {
    ui::SetValue(display, QString::number(value, 'f', 2));
}

void ShowColours(const session::MeasuredValues& m, QLineEdit* red, QLineEdit* green,
                 QLineEdit* blue) {
    Show(red, m.red);
    Show(green, m.green);
    Show(blue, m.blue);
}

void ShowNumber(QLabel* label, int value) {
    label->setText(QString::number(value));
}

// An LED is a label filled with its colour inside a dark frame. It switches by its palette:
// a style sheet per switch cost a style pass each time, at a slow sensor about a third of
// all the frame's display writes.
void DressLed(QLabel* led) {
    led->setStyleSheet({});
    led->setFrameStyle(QFrame::Box | QFrame::Plain);
    led->setLineWidth(1);
    led->setAutoFillBackground(true);
    QPalette look = led->palette();
    look.setColor(QPalette::WindowText, QColor(0x40, 0x40, 0x40));
    look.setColor(QPalette::Window, Qt::black);
    led->setPalette(look);
}

void ShowLed(QLabel* led, bool on, QRgb onColour) {
    const QColor shown = on ? QColor(onColour) : QColor(Qt::black);
    if (led->palette().color(QPalette::Window) == shown) return;
    QPalette look = led->palette();
    look.setColor(QPalette::Window, shown);
    led->setPalette(look);
}

}  // namespace

MeasurePage::MeasurePage(session::PageContext& context) : Page(context) {
    session::Session& s = S();
    QObject::connect(&s, &session::Session::IdentificationChanged, ctx.mainPanel,
                     [this](const QString& text) {
                         colBigId->setText(text);
                         grpBigId->setText(text);
                     });
    QObject::connect(&s, &session::Session::ModesChanged, ctx.mainPanel, [this] {
        ApplyModes();
        DrawTolerancePlot();
    });
    // The teach table or the row colours changed: new circles, the views against them.
    for (auto changed : {&session::Session::ParametersChanged, &session::Session::TeachTableChanged,
                         &session::Session::RowColorsChanged})
        QObject::connect(&s, changed, ctx.mainPanel, [this] {
            DrawTolerancePlot();
            UpdateCharts();
        });
    QObject::connect(&s, &session::Session::LoopEnded, ctx.mainPanel, [this] { FlushDisplays(); });
    // The colour of the light first: other pages' displays of this frame show it too.
    s.AddFrameConsumer(session::FrameStage::RawValues, [this] {
        const session::MeasuredValues& m = S().Measured();
        S().SetCurrentColor(CurrentColor(m.red, m.green, m.blue));
    });
    s.AddFrameConsumer(session::FrameStage::Displays, [this] { ShowMeasuredValues(); });
    s.AddFrameConsumer(session::FrameStage::Charts, [this] { UpdateCharts(); });
}

void MeasurePage::LookUp(ui::Lookup& look) {
    dataPanel = look.PanelOf("DATAP");
    colBigPanel = look.PanelOf("COLBIGP");
    grpBigPanel = look.PanelOf("GRPBIGP");
    ui::AttachControls<M>(look, ctx.runtime, *this, kControls);
    if (!look.Ok()) return;
    ctx.runtime.AddShortcut(ctx.mainPanel, Qt::Key_F11, go);
    ctx.runtime.AddShortcut(ctx.mainPanel, Qt::Key_F12, stop);
    ctx.runtime.BindPanel(colBigPanel, "CBF_COLBIGP", [this](ui::Event e) { CBF_COLBIGP(e); }, true);
    ctx.runtime.BindPanel(grpBigPanel, "CBF_GRPBIGP", [this](ui::Event e) { CBF_GRPBIGP(e); }, true);
    // The two displays that open a window take the focus by Tab, for their keys.
    for (QWidget* display : ui::Widgets(dispCol, dispGroup))
        display->setFocusPolicy(Qt::TabFocus);
    charts.Build({graphRgb, graphX, graphY, graphInt, graph2D, graphIntBar, graphXY, graphXInt,
                  graphYInt, graphRgb3D},
                 ctx.runtime);
}

void MeasurePage::RegisterBusy(ui::Busy& busy) {
    busy.Register(go, ui::BusyRole::Transaction);
}

void MeasurePage::StartUp() {
    ui::SetActiveTabPage(tabData, kPage3D);
    for (QLabel* led : {ledTrig, ledOut0, ledOut1}) DressLed(led);
    DrawTolerancePlot();
    // While a teach panel or the scope covers the data panel, its displays wait; so do those
    // of a page of its tab control while another page is in front.
    displays_.ShownIn(dataPanel);
    for (int page : kPagesWithDisplays) {
        const auto i = static_cast<std::size_t>(page);
        pages_[i] = ui::PageWidget(tabData, page);
        pageShown_[i] = std::make_unique<ui::WhenShown>(pages_[i], [this, i] {
            if (!pageStale_[i]) return;
            displays_.Request();
            displays_.Flush();
        });
    }
}

// --- the live loop ----------------------------------------------------------------------

void MeasurePage::Go() {
    // STOP, SEND, GET and the memory selector stay usable: the loop serves them.
    ui::BusyScope busy(ctx.busy, true);
    ctx.childArea.Show(dataPanel);
    DrawTolerancePlot();
    S().RunLiveLoop();
}

void MeasurePage::CBF_ButtonGo(ui::Event e) {
    if (e != ui::Event::Commit) return;
    // Never a second loop inside the first.
    if (S().LoopRunning()) return;
    Go();
}

void MeasurePage::CBF_ButtonStop(ui::Event e) {
    if (e == ui::Event::Commit) S().StopLoops();
}

// --- one frame -----------------------------------------------------------------------------

void MeasurePage::ShowMeasuredValues() {
    const session::MeasuredValues& m = S().Measured();
    lab = ComputeLab(m.red, m.green, m.blue);
    // The LEDs keep their last state outside the modes whose colour number is a pattern.
    if (ShowsOutputPattern(S().Modes().evaluationMode)) leds = OutputPattern(m.colorNo);
    charts.AppendChartHistory(m);
    displays_.Request();
}

void MeasurePage::FlushDisplays() {
    displays_.Flush();
    // The pages in the back too: a loop's end leaves every display with its last frame.
    for (int page : kPagesWithDisplays)
        if (pageStale_[static_cast<std::size_t>(page)]) WritePage(page);
}

void MeasurePage::WritePage(int page) {
    pageStale_[static_cast<std::size_t>(page)] = false;
    const session::MeasuredValues& m = S().Measured();
    switch (page) {
        case kPageRgb: {
            ShowColours(m, rgbRed, rgbGreen, rgbBlue);
            const std::array<QLineEdit*, 6> minMax = {minMax0, minMax1, minMax2,
                                                      minMax3, minMax4, minMax5};
            for (std::size_t i = 0; i < minMax.size(); ++i) Show(minMax[i], m.rgbMinMax[i]);
            break;
        }
        case kPageCoord:
            ShowColours(m, coordRed, coordGreen, coordBlue);
            Show(simRef0, m.extra[0]);
            Show(simRef1, m.extra[1]);
            Show(simRef2, m.extra[2]);
            break;
        case kPage2D:
            ShowColours(m, d2Red, d2Green, d2Blue);
            break;
        default:
            break;
    }
}

void MeasurePage::WriteDisplays() {
    for (int page : kPagesWithDisplays) {
        const QWidget* shown = pages_[static_cast<std::size_t>(page)];
        if (shown && shown->isVisible())
            WritePage(page);
        else
            pageStale_[static_cast<std::size_t>(page)] = true;
    }
    const session::MeasuredValues& m = S().Measured();
    ShowColours(m, dispRed, dispGreen, dispBlue);
    Show(dispX, m.x);
    Show(dispY, m.y);
    Show(dispInt, m.intensity);
    Show(dispDeltaC, static_cast<int>(m.deltaC));
    Show(dispCol, m.colorNo);
    Show(dispGroup, m.groupNo);
    ShowLed(ledTrig, m.triggered != 0, 0xFF00FF00);
    Show(dispL, lab.l);
    Show(dispA, lab.a);
    Show(dispB, lab.b);
    ShowNumber(colBig, m.colorNo);
    ShowNumber(grpBig, m.groupNo);
    ShowLed(ledOut1, leds.bit1, 0xFFFF0000);
    ShowLed(ledOut0, leds.bit0, 0xFFFF0000);
}

void MeasurePage::UpdateCharts() {
    charts.UpdateCharts(S().Measured(), S().Modes().calculationMode);
}

void MeasurePage::DrawTolerancePlot() {
    charts.DrawTolerancePlot(S().Parameters(), S().Modes().calculationMode, S().RowColorTable(),
                             S().TeachRowNo());
}

// --- what the modes show ------------------------------------------------------------------

void MeasurePage::ApplyModes() {
    const session::ModeView& v = S().Modes();
    const auto show = [](std::initializer_list<QWidget*> widgets, bool visible) {
        for (QWidget* w : widgets) ui::SetVisible(w, visible);
    };
    show({dispCol, labelCol}, v.ShowColorNo());
    show({dispDeltaC, labelDeltaC}, v.ShowDeltaC());
    show({dispGroup, labelGroup}, v.ShowGroup());
    show({outLeds, labelOut}, v.ShowOutLeds());
    show({ledTrig, labelTrig}, v.ShowTrigLed());
    show({simRef0, simRef1, simRef2, labelSimRef0, labelSimRef1, labelSimRef2}, v.ShowSimRef());
    show({dispX, dispY, dispInt, labelX, labelY, labelInt}, v.ShowCoordinates());
    if (v.CloseColBig()) colBigPanel->hide();
    if (v.CloseGrpBig()) grpBigPanel->hide();

    // The 2D and 3D pages; the one shown takes over when the other was in front.
    const int active = ui::ActiveTabPage(tabData);
    ui::SetTabPageVisible(tabData, kPageCoord, v.ShowCoordinates());
    ui::SetTabPageVisible(tabData, kPage2D, v.ShowPage2D());
    ui::SetTabPageVisible(tabData, kPage3D, v.ShowPage3D());
    if (active == kPage2D || active == kPage3D) {
        if (v.ShowPage2D()) ui::SetActiveTabPage(tabData, kPage2D);
        if (v.ShowPage3D()) ui::SetActiveTabPage(tabData, kPage3D);
    }

    // Coordinate names: X Y INT, or s i M.
    const bool siM = v.SiM();
    const auto names = v.CoordinateNames();
    for (QLabel* label : {labelX, labelGraphX}) label->setText(QString::fromLatin1(names[0]));
    for (QLabel* label : {labelY, labelGraphY}) label->setText(QString::fromLatin1(names[1]));
    for (QLabel* label : {labelInt, labelGraphInt}) label->setText(QString::fromLatin1(names[2]));
    dispX->setStyleSheet(siM ? "color: #00FF00; background-color: #FF0000;"
                             : "color: #E0E0E0; background-color: #FF0000;");
    dispY->setStyleSheet(siM ? "color: #80FFFF; background-color: #FFFF00;"
                             : "color: #E0E0E0; background-color: #00FF00;");
    if (v.ColourEvaluation() && v.evaluationMode < 4 && v.ThreeD()) {
        const QStringList views =
            siM ? QStringList{"s/i", "s/M", "i/M"} : QStringList{"X/Y", "X/INT", "Y/INT"};
        labelGraphXY->setText(views[0]);
        labelGraphXInt->setText(views[1]);
        labelGraphYInt->setText(views[2]);
    }
    charts.SetCalculationMode(v.calculationMode);
}

// --- the large windows ----------------------------------------------------------------------

// Without a window manager both windows opened at 0,0, on top of each other and of the main
// window. The first of them to open places both beside the main window, the colour number
// above the group; after that they stay where the user puts them.
void MeasurePage::PlaceBigPanels() {
    if (bigPanelsPlaced_) return;
    bigPanelsPlaced_ = true;
    QWidget* main = ctx.mainPanel;
    // Frames not shown yet are taken to be as thick as the main window's.
    const QSize frame = main->frameGeometry().size() - main->size();
    const QScreen* screen = main->screen();
    const QRect room = screen ? screen->availableGeometry() : main->frameGeometry();
    const std::vector<QPoint> corners = ui::StackBeside(
        main->frameGeometry(), {colBigPanel->size() + frame, grpBigPanel->size() + frame}, room,
        kBigPanelGap);
    colBigPanel->move(corners[0]);
    grpBigPanel->move(corners[1]);
}

void MeasurePage::CBF_DispCOL(ui::Event e) {
    if (e != ui::Event::LeftDoubleClick) return;
    PlaceBigPanels();
    colBigPanel->show();
}

void MeasurePage::CBF_DispGroup(ui::Event e) {
    if (e != ui::Event::LeftDoubleClick) return;
    PlaceBigPanels();
    grpBigPanel->show();
}

void MeasurePage::CBF_COLBIGP(ui::Event e) {
    if (e == ui::Event::RightClick || e == ui::Event::Close) colBigPanel->hide();
}

void MeasurePage::CBF_GRPBIGP(ui::Event e) {
    if (e == ui::Event::RightClick || e == ui::Event::Close) grpBigPanel->hide();
}

}  // namespace measure
