#pragma once
// The sensor's colour arithmetic on the calibrated 12-bit channels, and the evaluation
// against the active rows of the teach table.
//
//   X = 4095 R / (R+G+B)   Y = 4095 G / (R+G+B)   INT = (R+G+B) / 3   (integer division)
//   s = hue 0..10000 (one turn)   i = saturation 0..5000   M = INT * 1200 / 4095
//
// Evaluation (digital outputs on, EVALUATION MODE 0..2), over rows 0..MAX VEC NO-1:
//   2D (CALCULATION MODE 0/1): row = [c0, c1, colour tol, intensity, intensity tol];
//       distance = |(c0,c1) - row|, a hit needs distance <= colour tol and the intensity
//       inside intensity +- intensity tol.
//   3D (CALCULATION MODE 2/3): row = [c0, c1, intensity, tol, -]; distance in all three
//       coordinates, a hit needs distance <= tol.
//   FIRST HIT  first hitting row; no hit: deltaC = distance to the last active row.
//   BEST HIT   hitting row with the smallest distance; no hit: deltaC = -1.
//   MIN DIST   nearest row whatever the colour tolerance (in 2D only rows whose intensity
//              band holds the intensity); none: deltaC = -1.
//   COL2       colorNo = bit 0 row 0 hits, bit 1 row 1 hits; deltaC = distance of the
//              nearest hitting row or -1.
//   THD x/y    colorNo = bit 0 first signal > row 0 cell 0, bit 1 second > row 1 cell 0;
//              deltaC = -1.
//   INTLIM     intensity (INT or M) below INTLIM: colorNo 255, groupNo 255, deltaC -1.
//   groupNo    COLOR GROUP 1: the hit row's group; COLOR GROUP 0: the colorNo itself.
//              255 on failure. DIGITAL OUTMODE 0 (evaluation off): 255, 255, deltaC -1.

#include <array>
#include <cstdint>

#include "params_core/parameter_set.h"

namespace sim {

inline constexpr std::uint16_t kNoColor = 255;

struct Coordinates {
    std::uint16_t x = 0, y = 0, intensity = 0;  // X, Y, INT
    std::uint16_t s = 0, i = 0, m = 0;          // s, i, M
};

Coordinates ComputeCoordinates(const std::array<std::uint16_t, 3>& calibrated);

struct Evaluation {
    std::int16_t deltaC = -1;
    std::uint16_t colorNo = kNoColor;
    std::uint16_t groupNo = kNoColor;
};

// Evaluates the coordinates against `set` (block and teach table of one parameter set).
Evaluation Evaluate(const params::ParameterSet& set, const Coordinates& coords,
                    const std::array<std::uint16_t, 3>& calibrated);

}  // namespace sim
