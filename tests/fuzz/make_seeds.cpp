// Writes the seed corpus of the fuzz targets (tests/fuzz/corpus/<target>/): the frames the
// simulated sensor answers the program's requests with, the requests themselves, and the
// files the program writes. Run by scripts/fuzz --seeds; the output is kept in the
// repository, so that every run starts from inputs that reach deep into each reader.
//   make_seeds CORPUS_DIR

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/frame.h"
#include "params_core/panel_settings.h"
#include "params_core/parameter_file.h"
#include "service/table_attributes.h"
#include "sim/model/sensor_model.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace cmd = sensorlink::cmd;

void Put(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Put(const std::filesystem::path& dir, const std::string& name, const std::string& text) {
    Put(dir, name, Bytes(text.begin(), text.end()));
}

struct Request {
    const char* name;
    std::uint8_t command;
    std::uint16_t parameter;
    std::vector<std::uint16_t> words;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds CORPUS_DIR\n";
        return 1;
    }
    const std::filesystem::path root = argv[1];
    sim::SensorModel model;
    model.TeachScene();

    const std::vector<Request> requests = {
        {"firmware", cmd::kFirmware, 0, {}},
        {"measure", cmd::kMeasure, 0, {}},
        {"read_block", cmd::kReadBlock, 0, {}},
        {"read_teach", cmd::kReadBlock, 2, {}},
        {"load_eeprom", cmd::kLoadEeprom, 0, {}},
        {"write_factors", cmd::kWriteCorrection, 0, {1024, 1100, 900}},
        {"read_correction", cmd::kReadCorrection, 0, {}},
        {"self_calibration", cmd::kSelfCalibration, 0, {}},
        {"cycle_time", cmd::kCycleTime, 0, {}},
        {"hardware_info", cmd::kHardwareInfo, sensorlink::kHardwareKey, {}},
        {"unknown", 77, 0, {}},
    };
    Bytes allRequests;
    Bytes allReplies{0};  // even first byte: the stream as it is
    Bytes linkRecords;    // each reply as the answer to a measurement request
    const auto record = [](Bytes& out, std::uint8_t kind, const Bytes& bytes) {
        out.push_back(kind);
        out.push_back(static_cast<std::uint8_t>(bytes.size() & 0xff));
        out.push_back(static_cast<std::uint8_t>(bytes.size() >> 8));
        out.insert(out.end(), bytes.begin(), bytes.end());
    };
    for (const Request& r : requests) {
        const Bytes request = sensorlink::MakeWordFrame(r.command, r.parameter, r.words);
        const auto header = sensorlink::ParseHeader(request.data());
        const Bytes reply = model.Execute(
            header, std::span(request).subspan(sensorlink::kHeaderSize), 1.0);
        Put(root / "frame_receiver_fuzz", r.name, request);
        allRequests.insert(allRequests.end(), request.begin(), request.end());
        Bytes stream{0};
        stream.insert(stream.end(), reply.begin(), reply.end());
        Put(root / "frame_assembler_fuzz", r.name, stream);
        allReplies.insert(allReplies.end(), reply.begin(), reply.end());
        Put(root / "replies_fuzz", r.name,
            Bytes(reply.begin() + sensorlink::kHeaderSize, reply.end()));
        if (linkRecords.size() < 1024) record(linkRecords, 0, reply);
    }
    // The link's two targets read the same records.
    for (const char* link : {"link_fuzz", "link_pty_fuzz"})
        Put(root / link, "replies", linkRecords);
    // A block read, a triggered frame, a frame amid which the command's reply comes, a
    // hang-up after a frame.
    const auto replyTo = [&model](std::uint8_t command, std::uint16_t parameter) {
        const Bytes request = sensorlink::MakeWordFrame(command, parameter, {});
        return model.Execute(sensorlink::ParseHeader(request.data()), {}, 1.0);
    };
    const Bytes measured = replyTo(cmd::kMeasure, 0);
    Bytes kinds;
    record(kinds, 1, replyTo(cmd::kReadBlock, 2));
    record(kinds, 2, measured);
    Bytes amid = measured;
    const Bytes off = sensorlink::MakeWordFrame(cmd::kTriggeredSend, 0, {});
    amid.insert(amid.end(), off.begin(), off.end());
    record(kinds, 3, amid);
    record(kinds, 4, measured);
    for (const char* link : {"link_fuzz", "link_pty_fuzz"}) Put(root / link, "kinds", kinds);
    Put(root / "frame_receiver_fuzz", "all", allRequests);
    Put(root / "frame_assembler_fuzz", "all", allReplies);
    // Odd first byte: frames described by length and flags, one of them damaged.
    Put(root / "frame_assembler_fuzz", "described", Bytes{1, 3, 16, 0, 2, 255, 64, 9, 20});

    const params::ParameterSet set = model.Ram()[0];
    const std::string parameterFile = params::BuildParameterFile(set).ToText();
    Put(root / "parameter_file_fuzz", "taught_scene.ini", parameterFile);
    Put(root / "ini_fuzz", "parameter_file.ini", parameterFile);

    params::PanelSettings settings = params::DefaultPanelSettings("/opt/velorax", '/');
    settings.panelId = "LINE 3 STATION 7";
    settings.ipAddresses = {"127.0.0.1", "sensor7.local"};
    settings.link.comProtocol = 1;
    settings.link.hostAddress = "127.0.0.1";
    service::RowAttributes rows;
    rows.colors = service::defaultRowColors;
    rows.texts[0] = "RED CAP";
    const std::string panelFile =
        params::BuildPanelSettings(settings, params::kWindowNormal, [&](ini::IniObject& f) {
            service::WriteRowAttributes(f, rows);
        }).ToText();
    Put(root / "panel_settings_fuzz", "settings.ini", panelFile);
    Put(root / "ini_fuzz", "panel_settings.ini", panelFile);
    Put(root / "table_attributes_fuzz", "attributes.ini",
        service::BuildTableAttributesFile(rows).ToText());
    return 0;
}
