#pragma once
// The simulated VELORAX3 sensor: RAM and EEPROM with the four parameter blocks, the
// calibration factors and offsets, the optics that turn the scene into raw signals, and
// the commands that do not depend on the connection (1-4, 7, 8, 100-103, 105, 194).
// Connection-bound commands (30, 110, 190) and the byte stream live in Connection.
//
// Time is passed in as model seconds, so a test decides what "now" is; noise comes from
// a seeded engine, so a run with the same seed and the same requests repeats exactly.
//
// Optics, per channel c (R, G, B):
//   light = reflectance * sensitivity[c] * POWER/1000 * gainFactor[GAIN] * ledFactor
//   raw   = clamp(dark[c] + light - offset[c] + noise, 0, 4095)
//   noise = normal, sigma = (4 + light/250) * ledNoise / sqrt(AVERAGE * max(1, INTEGRAL))
//   calibrated = min(4095, raw * factor[c] / 1024)
// LED MODE OFF leaves only the dark signal. POWER MODE DYN picks the power that puts the
// brightest channel in the middle of DYNWIN LO..HI and sends that power in word 5.

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/frame.h"
#include "params_core/parameter_set.h"
#include "sim/model/colour.h"
#include "sim/model/faults.h"
#include "sim/model/scene.h"

namespace sim {

inline constexpr char kFirmwareText[] = "VELORAX3-KVT-ANA FW 1.0 SIM";
inline constexpr std::uint16_t kFactorDefault = 1024;
inline constexpr std::uint16_t kFactorMax = 4096;
inline constexpr std::uint16_t kOffsetMax = 1000;
inline constexpr std::uint16_t kSelfCalSetValue = 2800;
inline constexpr std::uint16_t kSelfCalMaxDelta = 1200;
inline constexpr double kBaseScanFrequency = 4000.0;  // scans per second
inline constexpr double kIn0Duty = 0.2;               // share of a trigger period IN0 is high

struct ModelOptions {
    std::uint64_t seed = 1;
    double triggerRate = 2.0;    // IN0 pulses per second; 0 = IN0 stays low
    double replyLatency = 0.0;   // seconds added to every reply
    std::optional<Scene> scene;  // built-in scene when empty
};

// What the EEPROM keeps across power cycles (and, with --eeprom, across runs).
struct Eeprom {
    std::array<params::ParameterSet, 2> sets{};
    std::array<std::uint16_t, 3> factors{kFactorDefault, kFactorDefault, kFactorDefault};
    std::array<std::uint16_t, 3> offsets{0, 0, 0};
    std::uint16_t baudIndex = 4;

    bool operator==(const Eeprom& other) const;
};

// The parameter set a sensor leaves the factory with: the defaults of every parameter.
params::ParameterSet DefaultParameterSet();

// One scan of the receiver.
struct Scan {
    std::array<std::uint16_t, 3> raw{};
    std::array<std::uint16_t, 3> calibrated{};
    Coordinates coords;
    std::uint16_t power = 0;    // transmitter power used
    std::size_t activeSet = 0;  // parameter set in use (1 only with TRIGGER = PARA, IN0 high)
    bool in0 = false;
    bool triggered = false;
    Evaluation evaluation;
};

class SensorModel {
  public:
    explicit SensorModel(ModelOptions options = {});

    // --- state, for the program and for tests -------------------------------------
    std::array<params::ParameterSet, 2>& Ram() { return ram_; }
    const std::array<params::ParameterSet, 2>& Ram() const { return ram_; }
    const Eeprom& EepromImage() const { return eeprom_; }
    // Teaches every patch of the scene (at most 31) into parameter set 0 in RAM, as an
    // engineer would: its noise-free X, Y, INT with generous tolerances, the colour
    // evaluation on (DIRECT LO, BEST HIT, colour groups), MAX VEC NO = the number of
    // patches. For demos.
    void TeachScene();
    // Replaces the EEPROM and copies it into RAM, as at power-up.
    void PowerUp(const Eeprom& eeprom);
    // Changes on every EEPROM write (commands 3, 100, 101); the program saves on change.
    std::uint64_t EepromGeneration() const { return eepromGeneration_; }
    FaultSet& Faults() { return faults_; }
    const ModelOptions& Options() const { return options_; }
    const Scene& CurrentScene() const { return scene_; }
    std::uint16_t BaudIndex() const { return eeprom_.baudIndex; }
    void SetBaudIndex(std::uint16_t index) { baudIndex_ = index; }
    std::uint16_t CurrentBaudIndex() const { return baudIndex_; }

    // --- physics ----------------------------------------------------------------------
    bool In0(double t) const;
    // Time of the last rising edge of IN0 at or before t (nullopt when there is none).
    std::optional<double> LastIn0Edge(double t) const;
    double TemperatureAt(double t) const;
    double ScanFrequency() const;
    Scan Measure(double t, bool noisy = true);
    // The 23-word measurement frame at time t (also tracks min/max and siM REF).
    std::array<std::uint16_t, sensorlink::kMeasurementWords> MeasurementFrame(double t);

    // --- commands ---------------------------------------------------------------------
    // Reply frame to one request of the sensor-wide commands; an error reply for codes it
    // does not know.
    std::vector<std::uint8_t> Execute(const sensorlink::FrameHeader& header,
                                      std::span<const std::uint8_t> payload, double now);
    std::array<std::uint16_t, sensorlink::kHardwareInfoWords> HardwareInfo() const;
    // Random bytes without the start byte 0x55, for the junk fault.
    std::vector<std::uint8_t> Junk(std::size_t count);

    // Plausibility check of one block (0..3) in place; returns the number of values that
    // were replaced by their defaults.
    static int CheckBlock(params::ParameterSet& set, bool teachTable);

  private:
    std::vector<std::uint8_t> WriteBlock(std::uint16_t address,
                                         std::span<const std::uint8_t> payload);
    std::vector<std::uint8_t> ReadBlock(std::uint16_t address) const;
    std::vector<std::uint8_t> LoadEeprom();
    std::vector<std::uint8_t> WriteCorrection(std::uint16_t which,
                                              std::span<const std::uint8_t> payload);
    std::vector<std::uint8_t> SelfCalibration(double now);
    std::vector<std::uint8_t> MeasureOffsets(double now);
    std::vector<std::uint8_t> CycleTime();
    double Noise(double sigma);
    std::array<double, 3> Light(const params::ParameterBlock& p, const Rgb& refl,
                                double power) const;
    std::array<double, 3> Dark(double t) const;

    ModelOptions options_;
    Scene scene_;
    std::mt19937_64 rng_;
    std::array<params::ParameterSet, 2> ram_{};
    Eeprom eeprom_;
    std::uint64_t eepromGeneration_ = 0;
    std::uint16_t baudIndex_ = 4;
    FaultSet faults_;

    // Running min/max of the calibrated channels since the last rising edge of IN0.
    std::array<std::uint16_t, 3> minimum_{4095, 4095, 4095};
    std::array<std::uint16_t, 3> maximum_{0, 0, 0};
    std::optional<double> minMaxEdge_;
};

std::vector<std::uint8_t> ErrorReply(std::uint16_t code);

}  // namespace sim
