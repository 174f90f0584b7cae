#include "sim/model/sensor_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {
namespace {

// Receiver sensitivity per channel (counts at full power, GAIN AMP5, reflectance 1):
// blue is the weakest, which is what the calibration factors are there to even out.
constexpr std::array<double, 3> kSensitivity{5600.0, 5100.0, 4500.0};
// AMP1 .. AMP8, half a stop apart.
constexpr std::array<double, 8> kGainFactor{0.25, 0.354, 0.5, 0.707, 1.0, 1.414, 2.0, 2.828};
// LED MODE 0 DC, 1 AC, 2 OFF, 3 PULSE: share of light, and noise (AC rejects stray light).
constexpr std::array<double, 4> kLedLight{1.0, 0.8, 0.0, 0.9};
constexpr std::array<double, 4> kLedNoise{1.0, 0.7, 1.0, 0.85};
constexpr std::array<double, 3> kDarkBase{42.0, 37.0, 51.0};
constexpr double kDarkPerDegree = 0.8;
constexpr std::uint16_t kPowerModeDyn = 1;
constexpr std::uint16_t kLedOff = 2;
constexpr std::uint16_t kTriggerSelf = 1;
constexpr std::uint16_t kTriggerPara = 6;
constexpr double kSelfTriggerLevel = 400.0;

std::uint16_t Clip12(double v) {
    if (!(v > 0.0)) return 0;
    return static_cast<std::uint16_t>(std::min(4095.0, std::round(v)));
}

std::vector<std::uint8_t> Reply(std::uint8_t command, std::uint16_t parameter = 0,
                                std::span<const std::uint16_t> words = {}) {
    return sensorlink::MakeWordFrame(command, parameter, words);
}

}  // namespace

std::vector<std::uint8_t> ErrorReply(std::uint16_t code) {
    return sensorlink::MakeFrame(0, code);
}

bool Eeprom::operator==(const Eeprom& other) const {
    for (std::size_t s = 0; s < 2; ++s) {
        if (sets[s].BlockWords() != other.sets[s].BlockWords()) return false;
        if (sets[s].TeachWords() != other.sets[s].TeachWords()) return false;
    }
    return factors == other.factors && offsets == other.offsets && baudIndex == other.baudIndex;
}

params::ParameterSet DefaultParameterSet() {
    params::ParameterSet set;
    for (std::size_t w = 0; w < params::kBlockWords; ++w) {
        set.block[w] = params::kParameters[w].defaultValue;
    }
    return set;
}

SensorModel::SensorModel(ModelOptions options)
    : options_(std::move(options)),
      scene_(options_.scene ? *options_.scene : Scene::BuiltIn()),
      rng_(options_.seed) {
    Eeprom factory;
    factory.sets = {DefaultParameterSet(), DefaultParameterSet()};
    PowerUp(factory);
}

void SensorModel::TeachScene() {
    params::ParameterSet& set = ram_[0];
    set.block.calculationMode = 0;  // X Y INT, 2D
    set.block.digitalOutMode = 1;   // DIRECT LO
    set.block.colorGroup = 1;       // up to 31 rows, two groups
    set.block.evaluationMode = 1;   // BEST HIT
    set.block.trigger = 0;          // CONT
    const auto& patches = scene_.Patches();
    const std::size_t count = std::min(patches.size(), params::kVectorCount);
    double start = 0.0;
    for (std::size_t k = 0; k < count; ++k) {
        const Scan scan = Measure(start + patches[k].seconds / 2, false);
        params::TeachVector& v = set.teach[k];
        v.cell = {scan.coords.x, scan.coords.y, 120, scan.coords.intensity, 400};
        v.group = static_cast<std::uint16_t>(k % 2);
        start += patches[k].seconds;
    }
    set.block.maxVecNo = static_cast<std::uint16_t>(std::max<std::size_t>(count, 1));
}

void SensorModel::PowerUp(const Eeprom& eeprom) {
    eeprom_ = eeprom;
    ram_ = eeprom_.sets;
    baudIndex_ = eeprom_.baudIndex;
}

// --- physics ------------------------------------------------------------------------

bool SensorModel::In0(double t) const {
    const double rate = options_.triggerRate;
    if (!(rate > 0.0) || t < 0) return false;
    // A time computed as edge index / rate may land a hair before the edge.
    const double x = t * rate;
    return x - std::floor(x + 1e-9) < kIn0Duty;
}

std::optional<double> SensorModel::LastIn0Edge(double t) const {
    const double rate = options_.triggerRate;
    if (!(rate > 0.0) || t < 0) return std::nullopt;
    return std::floor(t * rate + 1e-9) / rate;
}

double SensorModel::TemperatureAt(double t) const {
    // Warms up from 28 degrees towards 38 over the first half hour, then wanders a little.
    return 38.0 - 10.0 * std::exp(-t / 600.0) + 0.6 * std::sin(2.0 * std::numbers::pi * t / 900.0);
}

double SensorModel::ScanFrequency() const {
    // The AC mode demodulates over two scans.
    const std::uint16_t led = ram_[0].block.ledMode;
    return led == 1 ? kBaseScanFrequency / 2 : kBaseScanFrequency;
}

std::vector<std::uint8_t> SensorModel::Junk(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    std::uniform_int_distribution<int> dist(0, 254);
    for (std::uint8_t& b : bytes) {
        const int v = dist(rng_);
        b = static_cast<std::uint8_t>(v >= sensorlink::kStartByte ? v + 1 : v);
    }
    return bytes;
}

double SensorModel::Noise(double sigma) {
    std::normal_distribution<double> dist(0.0, sigma);
    return dist(rng_);
}

std::array<double, 3> SensorModel::Light(const params::ParameterBlock& p, const Rgb& refl,
                                         double power) const {
    const double gain = kGainFactor[std::clamp<std::size_t>(p.gain, 1, 8) - 1];
    const double led = kLedLight[std::min<std::size_t>(p.ledMode, 3)];
    const std::array<double, 3> r{refl.r, refl.g, refl.b};
    std::array<double, 3> light{};
    for (std::size_t c = 0; c < 3; ++c)
        light[c] = r[c] * kSensitivity[c] * power / 1000.0 * gain * led;
    return light;
}

std::array<double, 3> SensorModel::Dark(double t) const {
    const double drift = (TemperatureAt(t) - 25.0) * kDarkPerDegree;
    return {kDarkBase[0] + drift, kDarkBase[1] + drift, kDarkBase[2] + drift};
}

Scan SensorModel::Measure(double t, bool noisy) {
    Scan scan;
    scan.in0 = In0(t);
    scan.activeSet = (ram_[0].block.trigger == kTriggerPara && scan.in0) ? 1 : 0;
    const params::ParameterSet& set = ram_[scan.activeSet];
    const params::ParameterBlock& p = set.block;
    const Rgb refl = scene_.ReflectanceAt(t);
    const std::array<double, 3> dark = Dark(t);

    double power = std::min<double>(p.power, 1000.0);
    if (p.ledMode == kLedOff) {
        power = 0.0;
    } else if (p.powerMode == kPowerModeDyn) {
        const std::array<double, 3> perFull = Light(p, refl, 1000.0);
        std::size_t brightest = 0;
        for (std::size_t c = 1; c < 3; ++c) {
            if (perFull[c] > perFull[brightest]) brightest = c;
        }
        const double target = (static_cast<double>(p.dynWinLo) + p.dynWinHi) / 2.0;
        const double need = target - dark[brightest] + eeprom_.offsets[brightest];
        power = perFull[brightest] > 0 ? std::clamp(1000.0 * need / perFull[brightest], 0.0, 1000.0)
                                       : 1000.0;
        power = std::round(power);
    }
    scan.power = static_cast<std::uint16_t>(power);

    const std::array<double, 3> light = Light(p, refl, power);
    const double smoothing =
        std::sqrt(std::max<double>(1, p.average) * std::max<double>(1, p.integral));
    const double ledNoise = kLedNoise[std::min<std::size_t>(p.ledMode, 3)];
    for (std::size_t c = 0; c < 3; ++c) {
        double v = dark[c] + light[c] - eeprom_.offsets[c];
        if (noisy) v += Noise((4.0 + light[c] / 250.0) * ledNoise / smoothing);
        scan.raw[c] = Clip12(v);
        scan.calibrated[c] = static_cast<std::uint16_t>(std::min<std::uint32_t>(
            4095u, static_cast<std::uint32_t>(scan.raw[c]) * eeprom_.factors[c] / 1024u));
    }
    scan.coords = ComputeCoordinates(scan.calibrated);
    scan.evaluation = Evaluate(set, scan.coords, scan.calibrated);
    const double selfLevel = p.intLim > 0 ? p.intLim : kSelfTriggerLevel;
    scan.triggered = scan.in0 || (p.trigger == kTriggerSelf && scan.coords.intensity >= selfLevel);
    return scan;
}

std::array<std::uint16_t, sensorlink::kMeasurementWords> SensorModel::MeasurementFrame(double t) {
    const Scan scan = Measure(t, true);
    const params::ParameterBlock& p = ram_[scan.activeSet].block;
    const bool siM = p.calculationMode % 2 == 1;

    const std::optional<double> edge = LastIn0Edge(t);
    if (edge != minMaxEdge_) {
        minimum_ = {4095, 4095, 4095};
        maximum_ = {0, 0, 0};
        minMaxEdge_ = edge;
    }
    for (std::size_t c = 0; c < 3; ++c) {
        minimum_[c] = std::min(minimum_[c], scan.calibrated[c]);
        maximum_[c] = std::max(maximum_[c], scan.calibrated[c]);
    }
    Coordinates reference;
    if (edge) reference = Measure(*edge, false).coords;

    std::array<std::uint16_t, sensorlink::kMeasurementWords> w{};
    w[0] = scan.calibrated[0];
    w[1] = scan.calibrated[1];
    w[2] = scan.calibrated[2];
    w[3] = siM ? scan.coords.s : scan.coords.x;
    w[4] = siM ? scan.coords.i : scan.coords.y;
    w[5] = siM ? scan.coords.m : scan.coords.intensity;
    if (p.powerMode == kPowerModeDyn) w[5] = scan.power;
    w[6] = static_cast<std::uint16_t>(scan.evaluation.deltaC);
    w[7] = scan.evaluation.colorNo;
    w[8] = scan.evaluation.groupNo;
    w[9] = scan.triggered ? 1 : 0;
    w[10] = static_cast<std::uint16_t>(std::lround(TemperatureAt(t)));
    w[11] = scan.raw[0];
    w[12] = scan.raw[1];
    w[13] = scan.raw[2];
    // 14..19: minimum and maximum of RED, then of GREEN, then of BLUE.
    for (std::size_t c = 0; c < 3; ++c) {
        w[14 + 2 * c] = minimum_[c];
        w[15 + 2 * c] = maximum_[c];
    }
    w[20] = reference.s;
    w[21] = reference.i;
    w[22] = reference.m;
    return w;
}

// --- commands -----------------------------------------------------------------------

int SensorModel::CheckBlock(params::ParameterSet& set, bool teachTable) {
    int count = 0;
    if (teachTable) {
        const params::TeachVector defaults;
        for (params::TeachVector& v : set.teach) {
            if (v.group > params::kGroupMax) {
                v.group = defaults.group;
                ++count;
            }
            if (v.hold > params::kHoldMax) {
                v.hold = defaults.hold;
                ++count;
            }
        }
        return count;
    }
    params::ParameterBlock& b = set.block;
    for (std::size_t w = 0; w < params::kBlockWords; ++w) {
        const params::ParameterInfo& info = params::kParameters[w];
        if (b[w] < info.minValue || b[w] > info.maxValue) {
            b[w] = info.defaultValue;
            ++count;
        }
    }
    if (b.dynWinLo > b.dynWinHi) {
        b.dynWinLo = params::kParameters[params::kDynWinLo].defaultValue;
        b.dynWinHi = params::kParameters[params::kDynWinHi].defaultValue;
        count += 2;
    }
    return count;
}

std::vector<std::uint8_t> SensorModel::WriteBlock(std::uint16_t address,
                                                  std::span<const std::uint8_t> payload) {
    if (address > 3) return ErrorReply(sensorlink::kErrorUnknownCommand);
    const std::size_t words = sensorlink::BlockWords(address);
    if (payload.size() != words * 2) return ErrorReply(sensorlink::kErrorCommunication);
    std::vector<std::uint16_t> data(words);
    sensorlink::UnpackWordsInto(payload.data(), payload.size(), data.data(), words);
    params::ParameterSet candidate = ram_[address % 2];
    const bool teach = address >= 2;
    if (teach) {
        candidate.SetTeachWords(data);
    } else {
        candidate.SetBlockWords(data);
    }
    const int count = CheckBlock(candidate, teach);
    ram_[address % 2] = candidate;
    return Reply(sensorlink::cmd::kWriteBlock, static_cast<std::uint16_t>(count));
}

std::vector<std::uint8_t> SensorModel::ReadBlock(std::uint16_t address) const {
    if (address > 3) return ErrorReply(sensorlink::kErrorUnknownCommand);
    const params::ParameterSet& set = ram_[address % 2];
    if (address < 2) {
        const auto words = set.BlockWords();
        return Reply(sensorlink::cmd::kReadBlock, 0, words);
    }
    const auto words = set.TeachWords();
    return Reply(sensorlink::cmd::kReadBlock, 0, words);
}

std::vector<std::uint8_t> SensorModel::LoadEeprom() {
    int count = 0;
    ram_ = eeprom_.sets;
    for (params::ParameterSet& set : ram_) {
        count += CheckBlock(set, false);
        count += CheckBlock(set, true);
    }
    return Reply(sensorlink::cmd::kLoadEeprom, static_cast<std::uint16_t>(count));
}

std::vector<std::uint8_t> SensorModel::WriteCorrection(std::uint16_t which,
                                                       std::span<const std::uint8_t> payload) {
    if (which > 1) return ErrorReply(sensorlink::kErrorUnknownCommand);
    if (payload.size() != sensorlink::kCorrectionWords * 2) {
        return ErrorReply(sensorlink::kErrorCommunication);
    }
    std::array<std::uint16_t, 3> values{};
    sensorlink::UnpackWordsInto(payload.data(), payload.size(), values.data(), 3);
    int count = 0;
    const std::uint16_t limit = which == 0 ? kFactorMax : kOffsetMax;
    const std::uint16_t fallback = which == 0 ? kFactorDefault : 0;
    for (std::uint16_t& v : values) {
        if (v > limit) {
            v = fallback;
            ++count;
        }
    }
    (which == 0 ? eeprom_.factors : eeprom_.offsets) = values;
    ++eepromGeneration_;
    return Reply(sensorlink::cmd::kWriteCorrection, static_cast<std::uint16_t>(count));
}

std::vector<std::uint8_t> SensorModel::SelfCalibration(double now) {
    // Averages a short burst of scans of what is in front of the sensor (a white target,
    // the user is told) and derives the factors that bring each channel to the set value.
    // Reply parameter 1 and the unchanged factors when the spread or a factor is too large.
    constexpr int kScans = 16;
    std::array<double, 3> sum{};
    const double dt = 1.0 / ScanFrequency();
    for (int k = 0; k < kScans; ++k) {
        const Scan s = Measure(now + k * dt, true);
        for (std::size_t c = 0; c < 3; ++c) sum[c] += s.raw[c];
    }
    std::array<std::uint32_t, 3> mean{};
    for (std::size_t c = 0; c < 3; ++c) {
        mean[c] = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(sum[c] / kScans));
    }
    const std::uint32_t spread =
        *std::max_element(mean.begin(), mean.end()) - *std::min_element(mean.begin(), mean.end());
    std::array<std::uint16_t, 3> factors = eeprom_.factors;
    std::uint16_t status = 0;
    std::array<std::uint32_t, 3> computed{};
    for (std::size_t c = 0; c < 3; ++c) computed[c] = kSelfCalSetValue * 1024u / mean[c];
    const bool inRange = std::all_of(computed.begin(), computed.end(),
                                     [](std::uint32_t f) { return f <= kFactorMax; });
    if (spread <= kSelfCalMaxDelta && inRange) {
        for (std::size_t c = 0; c < 3; ++c) factors[c] = static_cast<std::uint16_t>(computed[c]);
    } else {
        status = 1;
    }
    const std::array<std::uint16_t, sensorlink::kSelfCalibrationWords> words{
        factors[0], factors[1], factors[2], kSelfCalSetValue, kSelfCalMaxDelta};
    return Reply(sensorlink::cmd::kSelfCalibration, status, words);
}

std::vector<std::uint8_t> SensorModel::MeasureOffsets(double now) {
    // The receiver is covered: what remains is the dark signal, which becomes the offset.
    const std::array<double, 3> dark = Dark(now);
    for (std::size_t c = 0; c < 3; ++c) {
        eeprom_.offsets[c] = static_cast<std::uint16_t>(std::lround(dark[c] + Noise(0.5)));
    }
    ++eepromGeneration_;
    return Reply(sensorlink::cmd::kMeasureOffsets);
}

std::vector<std::uint8_t> SensorModel::CycleTime() {
    // A: scans counted over the 8-second window, B: the window in 10 ms units.
    constexpr std::int32_t kWindow = 800;
    const auto scans =
        static_cast<std::int32_t>(std::lround(ScanFrequency() * kWindow / 100.0 + Noise(3.0)));
    std::array<std::uint8_t, sensorlink::kCycleTimeBytes> bytes{};
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(scans) >> (8 * i));
        bytes[static_cast<std::size_t>(4 + i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(kWindow) >> (8 * i));
    }
    return sensorlink::MakeFrame(sensorlink::cmd::kCycleTime, 0, bytes);
}

std::array<std::uint16_t, sensorlink::kHardwareInfoWords> SensorModel::HardwareInfo() const {
    std::array<std::uint16_t, sensorlink::kHardwareInfoWords> w{};
    const std::uint32_t serial = 100000u + static_cast<std::uint32_t>(options_.seed % 900000u);
    w[0] = 0x5633;  // "V3"
    w[1] = 0x0102;  // board revision 1.2
    w[2] = static_cast<std::uint16_t>(serial & 0xFFFF);
    w[3] = static_cast<std::uint16_t>(serial >> 16);
    w[4] = 2024;    // production year
    w[5] = 17;      // production week
    w[6] = 0x0001;  // white LED transmitter
    w[7] = 0x0003;  // three-channel receiver
    for (std::size_t c = 0; c < 3; ++c) {
        w[8 + c] = static_cast<std::uint16_t>(kSensitivity[c]);
        w[11 + c] = static_cast<std::uint16_t>(kDarkBase[c]);
    }
    w[14] = 12;  // ADC bits
    w[15] = static_cast<std::uint16_t>(kBaseScanFrequency);
    // 16..255: the receiver's linearity table, 240 points over the 12-bit range.
    for (std::size_t k = 0; k < 240; ++k) {
        const double x = static_cast<double>(k) / 239.0;
        w[16 + k] = static_cast<std::uint16_t>(std::lround(4095.0 * std::pow(x, 0.985)));
    }
    return w;
}

std::vector<std::uint8_t> SensorModel::Execute(const sensorlink::FrameHeader& header,
                                               std::span<const std::uint8_t> payload, double now) {
    namespace cmd = sensorlink::cmd;
    switch (header.command) {
        case cmd::kWriteBlock:
            return WriteBlock(header.parameter, payload);
        case cmd::kReadBlock:
            return ReadBlock(header.parameter);
        case cmd::kStoreEeprom:
            eeprom_.sets = ram_;
            eeprom_.baudIndex = baudIndex_;
            ++eepromGeneration_;
            return Reply(cmd::kStoreEeprom);
        case cmd::kLoadEeprom:
            return LoadEeprom();
        case cmd::kFirmware: {
            std::vector<std::uint8_t> text(std::begin(kFirmwareText), std::end(kFirmwareText));
            return sensorlink::MakeFrame(cmd::kFirmware, 0, text);
        }
        case cmd::kMeasure: {
            const auto words = MeasurementFrame(now);
            return Reply(cmd::kMeasure, 0, words);
        }
        case cmd::kMeasureOffsets:
            if (header.parameter != 1) return ErrorReply(sensorlink::kErrorUnknownCommand);
            return MeasureOffsets(now);
        case cmd::kWriteCorrection:
            return WriteCorrection(header.parameter, payload);
        case cmd::kReadCorrection: {
            const std::array<std::uint16_t, sensorlink::kCorrectionReplyWords> words{
                eeprom_.factors[0], eeprom_.factors[1], eeprom_.factors[2],
                eeprom_.offsets[0], eeprom_.offsets[1], eeprom_.offsets[2]};
            return Reply(cmd::kReadCorrection, 0, words);
        }
        case cmd::kSelfCalibration:
            return SelfCalibration(now);
        case cmd::kCycleTime:
            return CycleTime();
        case cmd::kHardwareInfo: {
            if (header.parameter != sensorlink::kHardwareKey) {
                return ErrorReply(sensorlink::kErrorUnknownCommand);
            }
            const auto words = HardwareInfo();
            return Reply(cmd::kHardwareInfo, 0, words);
        }
        default:
            return ErrorReply(sensorlink::kErrorUnknownCommand);
    }
}

}  // namespace sim
