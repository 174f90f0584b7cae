#pragma once
// The session: what the program knows and does apart from its widgets. It owns the state
// records (AppState, the remembered paths, LinkState, the parameter model), the sensor link, the
// one wait every loop uses, and the pop-up interface, and tells the pages what happened
// through signals. Pages never call each other: they call the session, and the session
// tells whoever listens.
//
// A test builds a fresh session (with the program around it) and throws it away; nothing
// here is static.

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/loop.h"
#include "link/link.h"
#include "link/link_state.h"
#include "link/serial_ports.h"
#include "params_core/parameter_model.h"
#include "session/app_state.h"
#include "session/measured_values.h"
#include "session/mode_view.h"
#include "ui/popups.h"
#include "ui/wait.h"

namespace session {

// The sensor's correction values as the calibration and offset pages show them: the
// calibration factors (1024 = gain 1) and the dark offsets, red, green, blue.
struct Corrections {
    std::array<std::uint16_t, 3> factors{1024, 1024, 1024};
    std::array<std::uint16_t, 3> offsets{};
    bool operator==(const Corrections&) const = default;
};

inline constexpr std::size_t kRows = 31;  // teach-table rows
// 0xRRGGBB per row.
using RowColors = std::array<std::int32_t, kRows>;

// The consumers of one measurement frame run in this order.
enum class FrameStage : int { RawValues = 0, Displays, Charts, Recorder, Teach, kCount };

// How a sensor loop gets its frames.
using Pace = device::Pace;
using ErrorFrames = device::ErrorFrames;

// A sensor loop of a page: the device layer's declaration (device/loop.h, where the one
// failure policy is written) and the flag it runs while. STOP (StopLoops) ends every loop.
struct Loop : device::Loop {
    // nullptr: the shared loopRunning. The scope scan has a flag of its own (BREAK clears
    // it); loopRunning is set for its time all the same, with LoopStarted and LoopEnded.
    const bool* flag = nullptr;
};

// Why a loop ended.
enum class LoopEnd {
    Finished,   // its passes, its count or its frame handler ended it
    Stopped,    // STOP, a tab change, BREAK: its flag was cleared
    Failed,     // a failure (reported) ended it
    LinkEnded,  // the line is gone or the program closes
};

struct SessionOptions {
    // Ports the system reports; empty: the real scan. Tests give a table of their own so
    // that no test opens the machine's serial ports.
    sensorlink::SerialPortTable::Scanner portScanner;
    ui::Clock* clock = nullptr;  // nullptr: the steady clock
};

class Session : public QObject, public sensorlink::FailureObserver {
    Q_OBJECT
  public:
    Session(const QString& filesDir, ui::Popups& popups, const SessionOptions& options = {},
            QObject* parent = nullptr);
    ~Session() override;

    // The folder of the program's data files (where the parameter, record, hardware
    // information and table attributes files go until the user picks another): the program's
    // own folder when it may write there, else the user's documents folder.
    const QString filesDir;
    ui::Popups& popups;

    // --- what the session holds -------------------------------------------------------------
    // The transport in use and the text of the link's last failure.
    const sensorlink::LinkState& LinkStatus() const { return linkState_; }
    // The transport the next connection and every exchange use.
    void SetComProtocol(sensorlink::ComProtocol protocol) { linkState_.comProtocol = protocol; }
    // The remembered paths of the program's files: all of them (the settings file), or one
    // a dialog just chose.
    const FilePaths& Paths() const { return paths_; }
    void SetPaths(const FilePaths& paths) { paths_ = paths; }
    void RememberPath(QString FilePaths::*which, const QString& path) { paths_.*which = path; }
    // The sensor's data (parameter set, teach table, group marks) with the mode rules applied;
    // the controls show it. Every change goes through EditParameters.
    const params::ParameterModel& Model() const { return model_; }
    const params::ParameterSet& Parameters() const { return model_.Set(); }
    // A whole set from the sensor or a file: the model takes it, then the mode rules.
    void SetParameters(const params::ParameterSet& set);
    // `edit` changes the model; then ParametersChanged, TeachTableChanged if a teach cell
    // changed, a ModeNotice per message of the mode rules, and ModesChanged.
    void EditParameters(const std::function<params::ModelChange(params::ParameterModel&)>& edit);
    // The last frame taken (TakeMeasurementReply, UnpackMeasurement); SetMeasured puts a
    // frame that came from elsewhere in its place (a replayed one, a test's).
    const MeasuredValues& Measured() const { return measured_; }
    void SetMeasured(const MeasuredValues& values) { measured_ = values; }

    // --- what the pages tell each other through the session --------------------------------
    // The measured light as 0xRRGGBB, of the last frame.
    std::uint32_t CurrentColor() const { return currentColor_; }
    void SetCurrentColor(std::uint32_t rgb) { currentColor_ = rgb; }
    // One indicator colour per teach-table row (SetRowColors tells who shows them).
    const RowColors& RowColorTable() const { return rowColors_; }
    // The modes as the mode rules last left them (SetModes tells who follows them).
    const ModeView& Modes() const { return modes_; }
    // The teach table's "No.:" row (0 ... 30) as last read from its field: the row TEACH
    // DATA TO writes and whose intensity band the charts draw.
    std::uint16_t TeachRowNo() const { return teachRowNo_; }
    void SetTeachRowNo(std::uint16_t row) { teachRowNo_ = row; }
    // The description of each teach-table row: model data, shown and edited by the table
    // attributes page; a change says RowTextsChanged.
    const params::TeachRowTexts& RowTexts() const { return model_.RowTexts(); }
    void SetRowText(std::size_t row, const std::string& text);
    void SetRowTexts(const params::TeachRowTexts& texts);
    // The table attributes page's automatic colour mode: a teach gives its row the colour
    // the sensor sees.
    bool AutomaticRowColors() const { return automaticRowColors_; }
    void SetAutomaticRowColors(bool automatic) { automaticRowColors_ = automatic; }

    sensorlink::Link& Link() { return *link_; }
    ui::EventWait& Wait() { return wait_; }

    // --- failures -------------------------------------------------------------------
    // The link's failure report: loop and link flags cleared, then LinkFailed with the
    // message. Nothing is retried.
    void ReportLinkFailure(std::string_view text) override;
    // A failure of our own (a reply too short for its layout, a refusal) is reported the
    // same way through Link().Report, the one way for it.
    // A reply that says the sensor replaced implausible values by its defaults: "INFO!\n",
    // the count and `tail` reported. True when it was reported; an error frame, whose word
    // is its code, never is.
    bool ReportPlausibility(const sensorlink::Exchange& reply, std::string_view tail);
    // An exchange refused because another one waits: said, nothing else changes.
    void ReportRefused(std::string_view text) override;
    // A line for the message box that is no failure (a file written, say).
    void Note(const QString& text) { emit Noted(text); }

    // --- the parameter set ------------------------------------------------------------
    // SEND and GET with the target the memory selector names. Reply: every step ran and the
    // sensor took it; ErrorReply: it ran, but the sensor objected (an error frame, values
    // it replaced: reported); anything else: the exchange that ended it.
    sensorlink::Outcome SendParameters();
    sensorlink::Outcome GetParameters();
    // GET from the given target, whatever the selector shows (the connection and the
    // service file read the sensor's RAM).
    sensorlink::Outcome GetParametersFrom(TransferTarget target);
    // SEND and GET with the file target: the file dialog, the questions and the reports.
    void SaveParameterFile();
    void LoadParameterFile();

    // --- loops ----------------------------------------------------------------------------
    // Runs `loop` to its end (see Loop). The caller restores its buttons.
    LoopEnd RunLoop(const Loop& loop);
    // STOP: every loop ends after the pass in progress, the calibration's passes too.
    void StopLoops();
    bool LoopRunning() const { return app_.loopRunning; }
    // SEND or GET pressed while a loop runs: the loop does it between two frames.
    void AskLoopToSend() { app_.sendRequest = true; }
    void AskLoopToGet() { app_.getRequest = true; }

    // --- the program's flags and selections -------------------------------------------------
    const AppState& App() const { return app_; }
    // A new run: every flag and selection (the transfer choice too) as at start-up, the
    // settings file at `path`.
    void Restart(const QString& panelSettingsPath);
    // Where SEND and GET go (the memory selector, the parameter-set selector): the model
    // holds the choice, and its mode rules take the set back to 0 without TRIGGER PARA.
    const params::TransferChoice& Transfer() const { return model_.Transfer(); }
    void SelectTransferTarget(TransferTarget target) { model_.SelectTarget(target); }
    void SelectParameterSet(std::uint16_t index) { model_.SelectSet(index); }

    // --- the live loop ----------------------------------------------------------------------
    // Frames from the sensor until STOP or a failure: a pending SEND, then a pending GET,
    // then one measurement exchange per pass, each frame taken into `measured` and handed
    // to the frame consumers. Returns when the loop ends; the caller restores the buttons.
    LoopEnd RunLiveLoop();
    // A measurement frame taken: its words over the last frame's (a short payload leaves the
    // later words as they were), then handed to the frame consumers.
    void TakeMeasurementReply(const sensorlink::Exchange& reply);
    // The same into `measured` alone, for a loop that shows the frame itself (the record
    // teach, the calibration's passes): no frame consumer runs.
    void UnpackMeasurement(const sensorlink::Exchange& reply);

    // --- correction values ---------------------------------------------------------------
    // What the pages show; a page that edits them sets them here (no signal back to it).
    const Corrections& CorrectionValues() const { return corrections_; }
    void SetCorrections(const Corrections& values) { corrections_ = values; }
    // Command 102: factors and offsets from the sensor into `corrections`, then
    // CorrectionsChanged. A reply with fewer than six words is reported with the data-frame
    // text and changes nothing. False on any failure (reported).
    bool ReadCorrectionValues();

    // --- frames -------------------------------------------------------------------------
    // A consumer of every frame the loops take; consumers run in stage order, those of one
    // stage in the order they were added.
    void AddFrameConsumer(FrameStage stage, std::function<void()> consumer);
    // Before the pages go: no frame may reach a consumer that is gone.
    void ClearFrameConsumers();
    void TakeFrame();

    // --- what the pages publish --------------------------------------------------------
    // Modes from elsewhere than the model (a replay, a test's); EditParameters sets them
    // from the model.
    void SetModes(const ModeView& view);
    // Row colours changed (table attributes, teaching): every table with an indicator
    // column and the tolerance plots follow RowColorsChanged.
    void SetRowColors(const RowColors& colors);

    // --- the sensor at the other end -------------------------------------------------------
    // The sensor answered the connection (its identification, its parameters): the buttons
    // that need a sensor known to work follow SensorConfirmed. A failure report, a change of
    // the link settings or a visit to the connection page takes it back (each call says it
    // again, so the buttons follow even when nothing changed).
    void SetSensorConfirmed(bool confirmed);
    bool SensorConfirmed() const { return sensorConfirmed_; }
    // The identification the sensor sent, byte for byte.
    const QString& Firmware() const { return firmware_; }
    void SetFirmware(const QString& text) { firmware_ = text; }

    // --- the identification text of the sensor at this station ----------------------------
    QString IdentificationText() const { return identification_; }
    void SetIdentificationText(const QString& text);

    // --- closing ------------------------------------------------------------------------
    // Every loop stops and every wait ends at once; later exchanges fail quietly.
    void Close();

  signals:
    void LinkFailed(const QString& message);
    void ExchangeRefused(const QString& text);
    void Noted(const QString& text);
    void ParametersChanged();                       // the model changed: the controls show it again
    void ModeNotice(const params::Notice& notice);  // a message of the mode rules to show
    void ModesChanged();                            // Modes() follows the model
    void TeachTableChanged();
    void CorrectionsChanged();  // read from the sensor: the pages show them
    void RowColorsChanged();
    void RowTextsChanged();
    void FrameTaken();  // after every consumer of the frame ran
    void LoopStarted();
    void LoopEnded();
    void IdentificationChanged(const QString& text);
    void SensorConfirmedChanged(bool confirmed);

  private:
    friend class LoopScope;
    sensorlink::LinkState linkState_;
    FilePaths paths_;
    params::ParameterModel model_;
    MeasuredValues measured_;
    Corrections corrections_;
    ui::EventWait wait_;
    std::unique_ptr<sensorlink::Link> link_;
    AppState app_;
    std::uint64_t stops_ = 0;  // STOPs so far: a report clears the flag, but is no STOP
    std::uint32_t currentColor_ = 0;
    RowColors rowColors_{};
    ModeView modes_;
    std::uint16_t teachRowNo_ = 0;
    bool automaticRowColors_ = false;
    std::array<std::vector<std::function<void()>>, static_cast<std::size_t>(FrameStage::kCount)>
        consumers_;
    QString identification_;
    QString firmware_;
    bool sensorConfirmed_ = false;
};

// A sensor loop for as long as it lives: loopRunning set and LoopStarted on entry,
// loopRunning cleared and LoopEnded on every way out.
class LoopScope {
  public:
    explicit LoopScope(Session& session);
    ~LoopScope();
    LoopScope(const LoopScope&) = delete;
    LoopScope& operator=(const LoopScope&) = delete;
    // The session is gone: the way out touches nothing of it.
    void SessionGone() { gone_ = true; }

  private:
    Session& session_;
    bool gone_ = false;
};

}  // namespace session
