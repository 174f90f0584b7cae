// calibration, offsets, hwinfo and scan: the correction values, the hardware information
// file and a scope scan.

#include "cli/context.h"
#include "device/corrections.h"
#include "device/hardware.h"
#include "device/loop.h"
#include "device/scan.h"
#include "device/sensor.h"
#include "device/transfer.h"
#include "link/replies.h"
#include "params_core/hardware_file.h"
#include "params_core/parameter_model.h"
#include "ui/wait.h"

namespace cli {

namespace {

int Corrections(Context& c, device::Correction which) {
    if (const int status = c.Connect()) return status;
    int status = kExitDone;
    if (c.options.values) {
        const sensorlink::Outcome written =
            device::WriteCorrections(c.link, which, *c.options.values);
        if (written != sensorlink::Outcome::Reply && written != sensorlink::Outcome::ErrorReply)
            return c.ExitOf(written);
        // What the sensor made of them is read back below.
        status = c.ExitOf(written);
    }
    const auto values = device::ReadCorrections(c.link);
    if (!values) return c.ExitOf(values.outcome);
    const auto& three = which == device::Correction::Factors ? values->factors : values->offsets;
    const std::string line = std::to_string(three[0]) + " " + std::to_string(three[1]) + " " +
                             std::to_string(three[2]) + "\n";
    if (!c.env.out.Write(line)) return c.OutputFailed();
    return status;
}

}  // namespace

int Calibration(Context& c) {
    return Corrections(c, device::Correction::Factors);
}

int Offsets(Context& c) {
    return Corrections(c, device::Correction::Offsets);
}

int HwInfo(Context& c) {
    const std::string& path = c.options.output;
    if (const std::string obstacle = WriteObstacle(path); !obstacle.empty())
        return c.FileFailed(path, obstacle);
    if (const int status = c.Connect()) return status;
    // As the program has it once connected: the identification, then the parameter set as
    // the sensor runs it (RAM), the correction values and the hardware data.
    const device::Identity id = device::Identify(c.link);
    if (!id.Ok()) return c.ExitOf(id.outcome);
    params::HardwareSnapshot snapshot;
    snapshot.firmware = id.firmware;
    // Any objection of the sensor ends it before the file, as the program's button does.
    const sensorlink::Outcome got =
        device::GetFromSensor(c.link, snapshot.parameters, c.options.paraSet, false);
    if (got != sensorlink::Outcome::Reply) return c.ExitOf(got);
    // The set as the program holds it after its GET: the mode rules applied.
    params::ParameterModel model;
    model.Load(snapshot.parameters);
    snapshot.parameters = model.Set();
    const auto corrections = device::ReadCorrections(c.link);
    if (!corrections) return c.ExitOf(corrections.outcome);
    snapshot.factors = corrections->factors;
    snapshot.offsets = corrections->offsets;
    const auto data = device::ReadHardwareData(c.link);
    if (!data) return c.ExitOf(data.outcome);
    snapshot.data = *data;
    return WriteIni(c, params::BuildHardwareFile(snapshot), path);
}

int Scan(Context& c) {
    const std::string& path = c.options.output;
    if (const std::string obstacle = WriteObstacle(path); !obstacle.empty())
        return c.FileFailed(path, obstacle);
    if (const int status = c.Connect()) return status;
    const device::ScanSettings& settings = c.options.scan;
    c.StopEndsLoop(true);
    const sensorlink::Exchange started = device::StartScan(c.link, settings);
    if (!started.Ok()) return c.ExitOf(started.outcome);
    device::ScanTraces traces{};
    std::size_t blocks = 0;
    // The sensor sends once it has triggered: no time limit but --timeout's, for the whole
    // scan. Ctrl-C or the time-out breaks the scan off.
    Deadline deadline(c, c.options.timeout);
    deadline.Start();
    device::Loop loop;
    loop.pace = device::Pace::SensorSends;
    loop.passes = static_cast<int>(traces.size());
    // An error frame is taken as a block: one without the block's words is refused with the
    // header-frame text, as the scope page does.
    loop.errorFrames = device::ErrorFrames::Take;
    sensorlink::Outcome last = sensorlink::Outcome::Reply;
    loop.frame = [&](const sensorlink::Exchange& block) {
        const auto taken = device::TakeScanBlock(c.link, block, settings);
        if (!taken) return false;
        traces[blocks++] = *taken;
        return true;
    };
    loop.passDone = [&last](const sensorlink::Exchange& e) { last = e.outcome; };
    const device::LoopEnd end = device::RunLoop(
        c.link, c.link.Wait(), loop, [&] { return !c.stop.Requested() && !deadline.Over(); });
    if (blocks < traces.size()) {
        // The sensor is still armed: switched off as BREAK does, while the line is there.
        if (end != device::LoopEnd::LinkEnded) device::BreakScan(c.link);
        if (end == device::LoopEnd::NotRunning) {
            if (!c.stop.Requested()) {
                c.Say("no scan came within " + deadline.Text() + "; nothing was written");
                return kExitLink;
            }
            c.Say("the scan was broken off; nothing was written");
            return kExitInterrupted;
        }
        if (end == device::LoopEnd::Finished)
            return last == sensorlink::Outcome::Reply ? kExitLink : kExitRefused;
        return c.ExitOf(last);
    }
    c.StopEndsLoop(false);
    if (const std::string reason = WriteWhole(path, scope::ScanCsv(traces)); !reason.empty())
        return c.FileFailed(path, reason);
    return kExitDone;
}

}  // namespace cli
