#pragma once
// The sensor's parameter set as it travels on the link and lives in files:
//
//   words   0 ..  19   ParameterBlock (20 scalar parameters, order below)
//   words  20 .. 267   TeachTable: 31 TeachVector records of 8 words
//                      cell0..cell4, group, hold, spare
//
// Block addresses on the sensor: 0/1 parameters of set 0/1, 2/3 teach table of set 0/1.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace params {

inline constexpr std::size_t kBlockWords = 20;
inline constexpr std::size_t kVectorCount = 31;
inline constexpr std::size_t kVectorWords = 8;
inline constexpr std::size_t kTeachWords = kVectorCount * kVectorWords;  // 248
inline constexpr std::size_t kSetWords = kBlockWords + kTeachWords;      // 268

// Word index of each parameter in the ParameterBlock.
enum Word : std::size_t {
    kPower = 0,
    kPowerMode,
    kAverage,
    kEvaluationMode,
    kHoldFail,
    kIntLim,
    kMaxVecNo,
    kDigitalOutMode,
    kTrigger,
    kExternTeach,
    kCalculationMode,
    kDynWinLo,
    kDynWinHi,
    kColorGroup,
    kLedMode,
    kGain,
    kIntegral,
    kAnalogOutMode,
    kAnalogOut,
    kAnalogZoom,
};

struct ParameterInfo {
    const char* label;       // name on the panel and tag in the parameter file
    const char* reportName;  // name in the "could not be read" report
    std::uint16_t defaultValue;
    std::uint16_t minValue;  // range the panel offers and the sensor accepts
    std::uint16_t maxValue;
};
extern const std::array<ParameterInfo, kBlockWords> kParameters;

struct ParameterBlock {
    std::uint16_t power = 500;
    std::uint16_t powerMode = 0;
    std::uint16_t average = 1;
    std::uint16_t evaluationMode = 1;
    std::uint16_t holdFail = 10;
    std::uint16_t intLim = 0;
    std::uint16_t maxVecNo = 1;
    std::uint16_t digitalOutMode = 0;
    std::uint16_t trigger = 0;
    std::uint16_t externTeach = 0;
    std::uint16_t calculationMode = 0;
    std::uint16_t dynWinLo = 3200;
    std::uint16_t dynWinHi = 3300;
    std::uint16_t colorGroup = 0;
    std::uint16_t ledMode = 0;
    std::uint16_t gain = 5;
    std::uint16_t integral = 1;
    std::uint16_t analogOutMode = 1;
    std::uint16_t analogOut = 0;
    std::uint16_t analogZoom = 0;

    std::uint16_t& operator[](std::size_t word);
    std::uint16_t operator[](std::size_t word) const;
};

// Ranges of the teach-table words.
inline constexpr std::uint16_t kCellMax = 65535;
inline constexpr std::uint16_t kGroupMax = 30;
inline constexpr std::uint16_t kHoldMax = 1000;

struct TeachVector {
    std::array<std::uint16_t, 5> cell{1, 1, 1, 1, 1};
    std::uint16_t group = 0;
    std::uint16_t hold = 10;
    std::uint16_t spare = 0;  // never shown or edited; sent back as the last GET left it
};

struct ParameterSet {
    ParameterBlock block;
    std::array<TeachVector, kVectorCount> teach{};

    // Wire order, 20 and 248 words.
    std::array<std::uint16_t, kBlockWords> BlockWords() const;
    std::array<std::uint16_t, kTeachWords> TeachWords() const;
    void SetBlockWords(std::span<const std::uint16_t> words);  // first 20 words
    void SetTeachWords(std::span<const std::uint16_t> words);  // first 248 words
};

inline constexpr bool Is3D(std::uint16_t calculationMode) {
    return calculationMode >= 2;
}

// Rearranges the five cells of every vector when CALCULATION MODE crosses between the 2D
// modes (0, 1) and the 3D modes (2, 3); a change within one dimension leaves them alone.
void ConvertTeachVectors(ParameterSet& set, std::uint16_t previousMode, std::uint16_t newMode);

}  // namespace params
