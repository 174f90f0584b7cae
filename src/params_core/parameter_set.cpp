#include "params_core/parameter_set.h"

namespace params {

// label, report name, default, min, max. GAIN n is AMPn; LED MODE 0 DC, 1 AC, 2 OFF,
// 3 PULSE; DIGITAL OUTMODE 1 DIRECT LO, 3 DIRECT HI.
const std::array<ParameterInfo, kBlockWords> kParameters = {{
    {"POWER", "POWER", 500, 0, 1000},
    {"POWER MODE", "POWER MODE", 0, 0, 1},
    {"AVERAGE", "AVERAGE", 1, 1, 32768},
    {"EVALUATION MODE", "EVALUATION MODE", 1, 0, 6},
    {"HOLD FAIL", "HOLD FAIL", 10, 0, kHoldMax},
    {"INTLIM", "INTLIM", 0, 0, 4095},
    {"MAX VEC NO", "MAX VEC NO", 1, 1, 31},
    {"DIGITAL OUTMODE", "DIGITAL OUTMODE", 0, 0, 3},
    {"TRIGGER", "TRIGGER", 0, 0, 6},
    {"EXTERN TEACH", "EXTEACH", 0, 0, 3},
    {"CALCULATION MODE", "CALCULATION MODE", 0, 0, 3},
    {"DYNWIN LO", "DYNWIN LO", 3200, 0, 4095},
    {"DYNWIN HI", "DYNWIN HI", 3300, 0, 4095},
    {"COLOR GROUP", "COLOR GROUP", 0, 0, 1},
    {"LED MODE", "LED MODE", 0, 0, 3},
    {"GAIN", "GAIN", 5, 1, 8},
    {"INTEGRAL", "INTEGRAL", 1, 0, 250},
    {"ANALOG OUTMODE", "ANALOG OUTMODE", 1, 0, 5},
    {"ANALOG OUT", "ANALOG OUT", 0, 0, 1},
    {"ANALOG ZOOM", "ANALOG ZOOM", 0, 0, 100},
}};

namespace {
// The fields are 20 consecutive 16-bit words in wire order.
static_assert(sizeof(ParameterBlock) == kBlockWords * sizeof(std::uint16_t));
}  // namespace

std::uint16_t& ParameterBlock::operator[](std::size_t word) {
    std::uint16_t* fields[] = {&power,    &powerMode,     &average,         &evaluationMode,
                               &holdFail, &intLim,        &maxVecNo,        &digitalOutMode,
                               &trigger,  &externTeach,   &calculationMode, &dynWinLo,
                               &dynWinHi, &colorGroup,    &ledMode,         &gain,
                               &integral, &analogOutMode, &analogOut,       &analogZoom};
    return *fields[word];
}

std::uint16_t ParameterBlock::operator[](std::size_t word) const {
    return const_cast<ParameterBlock&>(*this)[word];
}

std::array<std::uint16_t, kBlockWords> ParameterSet::BlockWords() const {
    std::array<std::uint16_t, kBlockWords> words{};
    for (std::size_t i = 0; i < kBlockWords; ++i) words[i] = block[i];
    return words;
}

std::array<std::uint16_t, kTeachWords> ParameterSet::TeachWords() const {
    std::array<std::uint16_t, kTeachWords> words{};
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const TeachVector& t = teach[v];
        std::uint16_t* w = &words[v * kVectorWords];
        for (std::size_t c = 0; c < 5; ++c) w[c] = t.cell[c];
        w[5] = t.group;
        w[6] = t.hold;
        w[7] = t.spare;
    }
    return words;
}

void ParameterSet::SetBlockWords(std::span<const std::uint16_t> words) {
    for (std::size_t i = 0; i < kBlockWords && i < words.size(); ++i) block[i] = words[i];
}

void ParameterSet::SetTeachWords(std::span<const std::uint16_t> words) {
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        if ((v + 1) * kVectorWords > words.size()) break;
        const std::uint16_t* w = &words[v * kVectorWords];
        TeachVector& t = teach[v];
        for (std::size_t c = 0; c < 5; ++c) t.cell[c] = w[c];
        t.group = w[5];
        t.hold = w[6];
        t.spare = w[7];
    }
}

void ConvertTeachVectors(ParameterSet& set, std::uint16_t previousMode, std::uint16_t newMode) {
    if (Is3D(previousMode) == Is3D(newMode)) return;
    for (TeachVector& t : set.teach) {
        auto& c = t.cell;
        if (Is3D(newMode)) {
            // [X, Y, CTO, INT, ITO] -> [X, Y, INT, TOL = CTO, 1]
            const std::uint16_t cto = c[2];
            c = {c[0], c[1], c[3], cto, 1};
        } else {
            // [X, Y, INT, TOL, c4] -> [X, Y, CTO = TOL, INT, ITO = TOL]
            const std::uint16_t tol = c[3];
            c = {c[0], c[1], tol, c[2], tol};
        }
    }
}

}  // namespace params
