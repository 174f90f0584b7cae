// identify, get and send: the sensor's identification and its parameter sets, with the
// parameter file of the program.

#include "cli/context.h"
#include "device/sensor.h"
#include "device/transfer.h"
#include "link/replies.h"
#include "params_core/parameter_file.h"
#include "params_core/parameter_model.h"

namespace cli {

namespace {

// The first line of a question the program asks before it goes on.
std::string FirstLine(std::string_view text) {
    return OneLine(text.substr(0, text.find('\n')));
}

// A load report ("Following parameter could not be read \nand where set to default
// value:\n\nPOWER\nGAIN\n") as one line: its head, then the names.
std::string ReportLine(const std::string& report) {
    const std::size_t names = report.find("\n\n");
    std::string line = OneLine(report.substr(0, names));
    if (names == std::string::npos) return line;
    std::string_view rest = std::string_view(report).substr(names + 2);
    bool first = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view name = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (name.empty()) continue;
        line += first ? " " : ", ";
        line += name;
        first = false;
    }
    return line;
}

}  // namespace

int Identify(Context& c) {
    if (const int status = c.Connect()) return status;
    const device::Identity id = device::Identify(c.link);
    if (!id.Ok()) return c.ExitOf(id.outcome);
    if (!c.env.out.Write(id.firmware + "\n")) return c.OutputFailed();
    return kExitDone;
}

int Get(Context& c) {
    const std::string& path = c.options.output;
    if (!path.empty()) {
        if (const std::string obstacle = WriteObstacle(path); !obstacle.empty())
            return c.FileFailed(path, obstacle);
    }
    if (const int status = c.Connect()) return status;
    params::ParameterSet set;
    device::TransferCounts counts;
    const sensorlink::Outcome got =
        device::GetFromSensor(c.link, set, c.options.paraSet, c.options.eeprom, &counts);
    if (got != sensorlink::Outcome::Reply && got != sensorlink::Outcome::ErrorReply)
        return c.ExitOf(got);
    // Values the sensor replaced by its defaults when it loaded its EEPROM are what it holds
    // now: written, and said. Any other objection is an error frame: the set read after it
    // is not the one asked for, and an old file stays as it was.
    if (got == sensorlink::Outcome::ErrorReply && !(c.options.eeprom && counts.eeprom > 0))
        return c.ExitOf(got);
    // The set as the program holds it after a GET: the mode rules applied.
    params::ParameterModel model;
    model.Load(set);
    const ini::IniObject file = params::BuildParameterFile(model.Set());
    if (path.empty()) {
        if (!c.env.out.Write(file.ToText())) return c.OutputFailed();
    } else if (const int status = WriteIni(c, file, path)) {
        return status;
    }
    return c.ExitOf(got);
}

int Send(Context& c) {
    const std::string& path = c.options.file;
    if (const std::string obstacle = ReadObstacle(path); !obstacle.empty())
        return c.FileFailed(path, obstacle);
    ini::IniObject file;
    file.ReadFromFile(path);
    // The program asks whether to go on; here --force is the yes.
    if (!c.options.force) {
        if (!params::FileTypeMatches(file))
            return c.FileFailed(
                path, FirstLine(params::kNotAParameterFile) + " (--force sends it all the same)");
        if (!params::VersionMatches(file))
            return c.FileFailed(
                path, FirstLine(params::kVersionMismatch) + " (--force sends it all the same)");
    }
    params::ParameterSet set;
    const params::LoadReport report = params::ReadParameterItems(file, set);
    if (!report.parameters.empty()) c.Say(path + ": " + ReportLine(report.parameters));
    if (!report.teachVectors.empty()) c.Say(path + ": " + ReportLine(report.teachVectors));

    if (const int status = c.Connect()) return status;
    // What the program sends after its LOAD: the file over the set the sensor holds in its
    // RAM (the program read it when it connected; the file has no spare words), then the
    // mode rules.
    const sensorlink::Outcome got = device::GetFromSensor(c.link, set, c.options.paraSet, false);
    if (got != sensorlink::Outcome::Reply) return c.ExitOf(got);
    params::ReadParameterItems(file, set);
    params::ParameterModel model;
    model.Load(set);
    device::TransferCounts counts;
    const sensorlink::Outcome sent =
        device::SendToSensor(c.link, model.Set(), c.options.paraSet, c.options.eeprom, &counts);
    std::string said;
    const auto count = [&said](const char* what, int block, int value) {
        if (value < 0) return;
        said += std::string(what) + " " + std::to_string(block) + ": plausibility count " +
                std::to_string(value) + "\n";
    };
    count("parameter block", c.options.paraSet, counts.block);
    count("teach table", c.options.paraSet + 2, counts.teachTable);
    if (!said.empty() && !c.env.out.Write(said)) return c.OutputFailed();
    return c.ExitOf(sent);
}

}  // namespace cli
