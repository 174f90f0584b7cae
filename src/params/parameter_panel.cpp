#include "params/parameter_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "link/commands.h"
#include "link/link_texts.h"
#include "params/parameter_file.h"
#include "params/texts.h"
#include "shell/program.h"
#include "ui/panel_set.h"

namespace params {

namespace {

struct WordControl {
    std::size_t word;
    const char* control;   // object name in the panel set; nullptr: the hold table
    const char* callback;  // callback name, also the key of its help text
    bool modeControl;      // a commit re-runs the mode rules
};

// In word order, as ReadControls and WriteControls walk them.
constexpr WordControl kWordControls[kBlockWords] = {
    {kPower, "SlidePower", "CBF_SlidePower", false},
    {kPowerMode, "EditPmode", "CBF_EditPmode", true},
    {kAverage, "EditAverage", "CBF_EditAverage", false},
    {kEvaluationMode, "EditEvalmode", "CBF_EditEvalmode", true},
    {kHoldFail, nullptr, "CBF_EditGridHold", false},
    {kIntLim, "EditIntlim", "CBF_EditIntlim", false},
    {kMaxVecNo, "EditVMaxVecNo", "CBF_EditVMaxVecNo", true},
    {kDigitalOutMode, "EditDigOutmode", "CBF_EditDigOutmode", true},
    {kTrigger, "EditTrigger", "CBF_EditTrigger", true},
    {kExternTeach, "EditExteach", "CBF_EditExteach", true},
    {kCalculationMode, "EditCalcmode", "CBF_EditCalcmode", false},
    {kDynWinLo, "EditDynWinLo", "CBF_EditDynWinLoHi", false},
    {kDynWinHi, "EditDynWinHi", "CBF_EditDynWinLoHi", false},
    {kColorGroup, "EditColorGroups", "CBF_EditColorGroups", true},
    {kLedMode, "EditLedMode", "CBF_EditLedMode", true},
    {kGain, "EditGain", "CBF_EditGain", false},
    {kIntegral, "EditIntegral", "CBF_EditIntegral", false},
    {kAnalogOutMode, "EditAnaOutmode", "CBF_EditAnaOutmode", true},
    {kAnalogOut, "EditAnaOut", "CBF_EditAnaOut", true},
    {kAnalogZoom, "EditAnaZoom", "CBF_EditAnaZoom", false},
};

constexpr const char* kPlausibilityRam =
    " PARAMETER IN RAM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET TO DEFAULT VALUE!";
constexpr const char* kPlausibilityEeprom =
    " PARAMETER FROM EEPROM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET TO DEFAULT VALUE!";
constexpr const char* kWriteFailed = "The parameter file could not be written:\n";

constexpr const char* kTeachLabels[kTeachColumns + 1] = {"X", "Y", "CTO", "INT", "ITO", ""};

QString Help(const char* callback) {
    const char* text = ParameterHelpText(callback);
    return text ? QString::fromUtf8(text) : QString();
}

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

ParameterPanel::ParameterPanel(shell::Program& program) : p_(program) {}

void ParameterPanel::LookUp(ui::Lookup& look) {
    for (const WordControl& wc : kWordControls) {
        if (wc.control) wordControls[wc.word] = look.Get<QWidget>("MAINP", wc.control);
    }
    power = look.Get<QSlider>("MAINP", "SlidePower");
    powerNumber = look.Get<QSpinBox>("MAINP", "NumPower");
    colorGroup = look.Get<QCheckBox>("MAINP", "EditColorGroups");
    groupTable = look.Get<QTableWidget>("MAINP", "EditGridGroups");
    holdTable = look.Get<QTableWidget>("MAINP", "EditGridHold");
    teachTable = look.Get<QTableWidget>("MAINP", "GridCtt");
    resetHold = look.Get<QSpinBox>("MAINP", "EditResetHold");
    resetGroups = look.Get<QPushButton>("MAINP", "ButtonResetGroupTable");
    resetHolds = look.Get<QPushButton>("MAINP", "ButtonResetHoldTable");
    // Every selector must be of the kind its word needs.
    for (std::size_t w = 0; w < kBlockWords; ++w) {
        QWidget* c = wordControls[w];
        if (!c) continue;
        const bool selector = !ValueItems(w).empty();
        if (selector && w != kColorGroup && !qobject_cast<QComboBox*>(c))
            look.Get<QComboBox>("MAINP", kWordControls[w].control);
    }
}

void ParameterPanel::PrepareTables() {
    auto prepare = [](QTableWidget* table, const QStringList& columns, const QStringList& rows) {
        QSignalBlocker block(table);
        table->setHorizontalHeaderLabels(columns);
        table->setVerticalHeaderLabels(rows);
        table->verticalHeader()->setDefaultSectionSize(20);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        table->horizontalHeader()->setSectionResizeMode(table->columnCount() - 1,
                                                        QHeaderView::Fixed);
        table->horizontalHeader()->resizeSection(table->columnCount() - 1, 18);
        table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    };
    QStringList vectors;
    for (std::size_t v = 0; v < kVectorCount; ++v) vectors << QString::number(v);
    QStringList holdRows = QStringList{"FAIL"} + vectors;
    QStringList teachColumns;
    for (const char* label : kTeachLabels) teachColumns << label;
    prepare(teachTable, teachColumns, vectors);
    prepare(groupTable, {"GROUP", ""}, vectors);
    prepare(holdTable, {"HOLD", ""}, holdRows);

    ui::SetColumnRange(teachTable, 1, kTeachColumns, 0, kCellMax);
    ui::SetColumnRange(groupTable, 1, 1, 0, kGroupMax);
    ui::SetColumnRange(holdTable, 1, 1, 0, kHoldMax);
    // The indicator columns show colour only.
    ui::SetColumnReadOnly(teachTable, kTeachColumns + 1);
    ui::SetColumnReadOnly(groupTable, 2);
    ui::SetColumnReadOnly(holdTable, 2);
}

void ParameterPanel::Bind() {
    ui::Runtime& rt = *p_.runtime;
    PrepareTables();

    // Selectors list the values of their word; spin boxes take their word's range.
    for (std::size_t w = 0; w < kBlockWords; ++w) {
        QWidget* c = wordControls[w];
        if (auto* combo = qobject_cast<QComboBox*>(c)) {
            QList<QPair<QString, int>> items;
            for (const ValueItem& item : ValueItems(w))
                items.append({Text(item.label), item.value});
            ui::SetComboItems(combo, items);
        } else if (auto* spin = qobject_cast<QSpinBox*>(c)) {
            spin->setRange(kParameters[w].minValue, kParameters[w].maxValue);
        }
    }
    power->setRange(kParameters[kPower].minValue, kParameters[kPower].maxValue);
    powerNumber->setRange(kParameters[kPower].minValue, kParameters[kPower].maxValue);
    resetHold->setRange(0, kHoldMax);
    // Slider and number show the same POWER.
    QObject::connect(power, &QSlider::valueChanged, powerNumber,
                     [this](int v) { ui::SetValue(powerNumber, v); });
    QObject::connect(powerNumber, &QSpinBox::valueChanged, power, [this](int v) {
        QSignalBlocker block(power);
        power->setValue(v);
    });

    for (const WordControl& wc : kWordControls) {
        if (!wc.control) continue;
        QWidget* c = wordControls[wc.word];
        ui::Callback cb;
        if (wc.word == kCalculationMode)
            cb = [this](ui::Event e) { CBF_EditCalcmode(e); };
        else if (wc.modeControl)
            cb = [this](ui::Event e) { ModeChanged(e); };
        rt.Bind(c, wc.callback, cb, Help(wc.callback));
    }
    rt.Bind(powerNumber, "CBF_SlidePower", {}, Help("CBF_SlidePower"));
    rt.Bind(
        groupTable, "CBF_EditGridGroups", [this](ui::Event e) { CBF_EditGridGroups(e); },
        Help("CBF_EditGridGroups"));
    rt.Bind(holdTable, "CBF_EditGridHold", {}, Help("CBF_EditGridHold"));
    rt.Bind(resetHold, "CBF_EditResetHold", {}, Help("CBF_EditResetHold"));
    rt.Bind(teachTable, "CBF_GridCtt", {}, Help("CBF_GridCtt"));

    rt.Bind(
        p_.main.send, "CBF_ButtonSend", [this](ui::Event e) { CBF_ButtonSend(e); },
        Help("CBF_ButtonSend"));
    rt.Bind(
        p_.main.get, "CBF_ButtonGet", [this](ui::Event e) { CBF_ButtonGet(e); },
        Help("CBF_ButtonGet"));
    for (QPushButton* b : {p_.main.selectRam, p_.main.selectEeprom, p_.main.selectFile})
        rt.Bind(
            b, "CBF_SelectMem", [this, b](ui::Event e) { CBF_SelectMem(b, e); },
            Help("CBF_SelectMem"));
    for (QPushButton* b : {p_.main.selectParaSet0, p_.main.selectParaSet1})
        rt.Bind(
            b, "CBF_SelectParaSet", [this, b](ui::Event e) { CBF_SelectParaSet(b, e); },
            Help("CBF_SelectParaSet"));
}

// --- controls <-> words -------------------------------------------------------------------

std::uint16_t ParameterPanel::ReadWord(std::size_t word) const {
    if (word == kHoldFail) return static_cast<std::uint16_t>(ui::CellValue(holdTable, 1, 1));
    if (word == kPower) return static_cast<std::uint16_t>(power->value());
    QWidget* c = wordControls[word];
    if (auto* combo = qobject_cast<QComboBox*>(c))
        return static_cast<std::uint16_t>(ui::ComboValue(combo));
    if (auto* spin = qobject_cast<QSpinBox*>(c)) return static_cast<std::uint16_t>(spin->value());
    if (auto* check = qobject_cast<QCheckBox*>(c)) return check->isChecked() ? 1 : 0;
    return 0;
}

void ParameterPanel::WriteWord(std::size_t word, std::uint16_t value) {
    if (word == kHoldFail) {
        ui::SetCell(holdTable, 1, 1, value);
        return;
    }
    if (word == kPower) {
        QSignalBlocker block(power);
        power->setValue(value);
        ui::SetValue(powerNumber, power->value());
        return;
    }
    QWidget* c = wordControls[word];
    if (auto* combo = qobject_cast<QComboBox*>(c)) {
        // A value the list does not know is shown as it is rather than silently replaced.
        if (combo->findData(value) < 0) {
            QSignalBlocker block(combo);
            combo->addItem(QString::number(value), value);
        }
        ui::SetComboValue(combo, value);
    } else if (auto* spin = qobject_cast<QSpinBox*>(c)) {
        ui::SetValue(spin, value);
    } else if (auto* check = qobject_cast<QCheckBox*>(c)) {
        ui::SetValue(check, value != 0);
    }
}

void ParameterPanel::RebuildTriggerList(std::uint16_t externTeach) {
    auto* trigger = qobject_cast<QComboBox*>(wordControls[kTrigger]);
    QList<QPair<QString, int>> items;
    for (const ValueItem& item : ValueItems(kTrigger)) {
        // EXT1 ... PARA exist only while EXTERN TEACH is OFF.
        if (externTeach != 0 && item.value > 1) continue;
        items.append({Text(item.label), item.value});
    }
    ui::SetComboItems(trigger, items);
}

void ParameterPanel::ReadControls() {
    ParameterBlock& block = p_.parameters.block;
    for (std::size_t w = 0; w < kBlockWords; ++w) block[w] = ReadWord(w);
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const int row = static_cast<int>(v) + 1;
        TeachVector& t = p_.parameters.teach[v];
        t.group = static_cast<std::uint16_t>(ui::CellValue(groupTable, row, 1));
        t.hold = static_cast<std::uint16_t>(ui::CellValue(holdTable, row + 1, 1));
        for (int c = 0; c < kTeachColumns; ++c)
            t.cell[static_cast<std::size_t>(c)] =
                static_cast<std::uint16_t>(ui::CellValue(teachTable, row, c + 1));
    }
}

void ParameterPanel::WriteTeachCells() {
    for (std::size_t v = 0; v < kVectorCount; ++v)
        for (int c = 0; c < kTeachColumns; ++c)
            ui::SetCell(teachTable, static_cast<int>(v) + 1, c + 1,
                        p_.parameters.teach[v].cell[static_cast<std::size_t>(c)]);
}

void ParameterPanel::WriteControls() {
    const ParameterBlock& block = p_.parameters.block;
    WriteWord(kExternTeach, block.externTeach);
    RebuildTriggerList(block.externTeach);
    for (std::size_t w = 0; w < kBlockWords; ++w) WriteWord(w, block[w]);
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const int row = static_cast<int>(v) + 1;
        const TeachVector& t = p_.parameters.teach[v];
        ui::SetCell(groupTable, row, 1, t.group);
        ui::SetCell(holdTable, row + 1, 1, t.hold);
    }
    WriteTeachCells();
}

// --- transfers ------------------------------------------------------------------------------

void ParameterPanel::ReportPlausibility(const char* tail) {
    const std::uint16_t count = p_.linkState.replyParameter;
    if (count == 0) return;
    p_.ReportFailure(QStringLiteral("INFO!\n%1%2").arg(count).arg(QString::fromLatin1(tail)));
}

bool ParameterPanel::ReadBlock(std::uint16_t blockAddress, std::size_t words) {
    if (p_.link->Command(sensorlink::cmd::kReadBlock, blockAddress) != 1) return false;
    // An error reply has been reported already; a reply too short for the block would
    // fill the set with whatever the word buffer held before, so it is refused.
    if (p_.linkState.replyCommand == 0) return false;
    if (p_.linkState.replyLength < words * 2) {
        p_.ReportFailure(
            QString::fromUtf8(sensorlink::kDataFrameText.data(), sensorlink::kDataFrameText.size()));
        return false;
    }
    p_.link->UnpackWords();
    return true;
}

void ParameterPanel::Send() {
    p_.app.sendRequest = 0;
    if (p_.app.transferTarget == shell::kTargetFile) {
        SaveParameterFile();
        return;
    }
    ReadControls();
    const std::uint16_t set = p_.app.paraSetIndex;
    const auto blockWords = p_.parameters.BlockWords();
    if (p_.link->Command(sensorlink::cmd::kWriteBlock, set, blockWords) != 1) return;
    ReportPlausibility(kPlausibilityRam);
    const auto teachWords = p_.parameters.TeachWords();
    if (p_.link->Command(sensorlink::cmd::kWriteBlock, static_cast<std::uint16_t>(set + 2), teachWords) !=
        1)
        return;
    ReportPlausibility(kPlausibilityRam);
    if (p_.app.transferTarget == shell::kTargetEeprom) p_.link->Command(sensorlink::cmd::kStoreEeprom, 0);
}

void ParameterPanel::Get() {
    p_.app.getRequest = 0;
    if (p_.app.transferTarget == shell::kTargetFile) {
        LoadParameterFile();
        return;
    }
    if (p_.app.transferTarget == shell::kTargetEeprom) {
        if (p_.link->Command(sensorlink::cmd::kLoadEeprom, 0) != 1) return;
        ReportPlausibility(kPlausibilityEeprom);
    }
    const std::uint16_t set = p_.app.paraSetIndex;
    if (!ReadBlock(set, kBlockWords)) return;
    p_.parameters.SetBlockWords(std::span(p_.linkState.words).first(kBlockWords));
    if (!ReadBlock(static_cast<std::uint16_t>(set + 2), kTeachWords)) return;
    p_.parameters.SetTeachWords(std::span(p_.linkState.words).first(kTeachWords));
    WriteControls();
    p_.UpdateModeControls();
    p_.RedrawCharts();
}

// --- parameter files ----------------------------------------------------------------------

namespace {

ui::FileDialogSpec ParameterDialog(const QString& remembered, bool save) {
    ui::FileDialogSpec spec;
    const QFileInfo info(remembered);
    if (info.isDir()) {
        spec.directory = remembered;  // no file name remembered: none proposed
    } else {
        spec.directory = info.absolutePath();
        spec.defaultName = QString::fromLatin1(kParameterFileDefaultName);
    }
    spec.filter = QString::fromLatin1(kParameterFileFilter);
    spec.title = QString::fromLatin1(kParameterFileDialogTitle);
    spec.save = save;
    return spec;
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

void ParameterPanel::SaveParameterFile() {
    auto chosen = p_.popups.FileSelect(ParameterDialog(p_.paths.parameterFilePath, true));
    if (!chosen) {
        p_.popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    p_.paths.parameterFilePath = *chosen;
    ReadControls();
    if (!BuildParameterFile(p_.parameters).WriteToFile(Native(*chosen))) {
        // Losing a parameter set without a word is worse than an extra pop-up.
        p_.popups.Message(Text(kTitleAttention),
                          Text(kWriteFailed) + QDir::toNativeSeparators(*chosen));
    }
}

void ParameterPanel::LoadParameterFile() {
    auto chosen = p_.popups.FileSelect(ParameterDialog(p_.paths.parameterFilePath, false));
    if (!chosen) {
        p_.popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    p_.paths.parameterFilePath = *chosen;
    ini::IniObject file;
    file.ReadFromFile(Native(*chosen));  // a file that vanished reads as empty
    bool proceed =
        FileTypeMatches(file) || p_.popups.Confirm(Text(kTitleAttention), Text(kNotAParameterFile));
    if (proceed)
        proceed = VersionMatches(file) ||
                  p_.popups.Confirm(Text(kTitleAttention), Text(kVersionMismatch));
    if (!proceed) {
        p_.popups.Message(Text(kTitleAttention), Text(kNoParameterRead));
    } else {
        const LoadReport report = ReadParameterItems(file, p_.parameters);
        if (!report.parameters.empty())
            p_.popups.Message(Text(kTitleReport), QString::fromStdString(report.parameters));
        if (!report.teachVectors.empty())
            p_.popups.Message(Text(kTitleReport), QString::fromStdString(report.teachVectors));
    }
    WriteControls();
    p_.UpdateModeControls();
    p_.RedrawCharts();
}

// --- callbacks ----------------------------------------------------------------------------

void ParameterPanel::CBF_ButtonSend(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (p_.app.loopRunning) {
        p_.app.sendRequest = 1;
        return;
    }
    p_.SetButtonsDimmed(0, 1);
    Send();
    p_.SetButtonsDimmed(0, 0);
}

void ParameterPanel::CBF_ButtonGet(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (p_.app.loopRunning) {
        p_.app.getRequest = 1;
        return;
    }
    p_.SetButtonsDimmed(0, 1);
    Get();
    p_.SetButtonsDimmed(0, 0);
}

void ParameterPanel::CBF_SelectMem(QPushButton* changed, ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    const std::array<QPushButton*, 3> buttons = {p_.main.selectRam, p_.main.selectEeprom,
                                                 p_.main.selectFile};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        ui::SetValue(buttons[i], buttons[i] == changed);
        if (buttons[i] == changed) p_.app.transferTarget = static_cast<std::uint16_t>(i + 1);
    }
}

void ParameterPanel::CBF_SelectParaSet(QPushButton* changed, ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    const std::array<QPushButton*, 2> buttons = {p_.main.selectParaSet0, p_.main.selectParaSet1};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        ui::SetValue(buttons[i], buttons[i] == changed);
        if (buttons[i] == changed) p_.app.paraSetIndex = static_cast<std::uint16_t>(i);
    }
}

void ParameterPanel::ModeChanged(ui::Event e) {
    if (e == ui::Event::Commit) p_.UpdateModeControls();
}

void ParameterPanel::CBF_EditCalcmode(ui::Event e) {
    if (e != ui::Event::Commit) return;
    const std::uint16_t previous = p_.parameters.block.calculationMode;
    ReadControls();
    const std::uint16_t now = p_.parameters.block.calculationMode;
    if (Is3D(previous) != Is3D(now)) {
        ConvertTeachVectors(p_.parameters, previous, now);
        WriteTeachCells();
    }
    p_.UpdateModeControls();
    ReadControls();
    p_.RedrawCharts();
}

void ParameterPanel::CBF_EditGridGroups(ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    p_.UpdateModeControls();
    ui::SetActiveTabPage(p_.main.tabMain, shell::kPageGroupHold);
}

}  // namespace params
