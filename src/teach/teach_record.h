#pragma once
// The arithmetic of the record-based teach, free of Qt: the store of recorded points (a
// fixed array allocated once), the search for the recorded frame under a graph cursor, the
// axes of the three record graphs, and the panel's labels per calculation mode.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace teach {

inline constexpr std::size_t kRecordCapacity = 60000;

// One recorded frame: X, Y, INT (s, i, M in the s i M modes).
struct RecordedPoint {
    double x = 0.0;
    double y = 0.0;
    double intensity = 0.0;
    bool operator==(const RecordedPoint&) const = default;
};

// The three graphs of the panel and the two coordinates each shows.
enum class RecordGraph : int { XY = 0, XInt = 1, YInt = 2 };
inline constexpr std::array<RecordGraph, 3> kRecordGraphs = {RecordGraph::XY, RecordGraph::XInt,
                                                             RecordGraph::YInt};
struct GraphPoint {
    double h = 0.0;  // horizontal axis
    double v = 0.0;  // vertical axis
};
GraphPoint Coordinates(RecordGraph graph, const RecordedPoint& point);

// The recorded points in arrival order. The storage is allocated once at construction;
// recording never allocates. Reset only sets the count back: the entries stay until the
// next recording overwrites them.
class RecordStore {
  public:
    // The capacity is 60 000; tests give a small one to reach the full store quickly.
    explicit RecordStore(std::size_t capacity = kRecordCapacity);

    std::size_t Capacity() const { return capacity_; }
    std::size_t Count() const { return count_; }
    bool Full() const { return count_ >= capacity_; }
    // Entry `index` (0-based), whether or not it counts; nothing past the capacity.
    std::optional<RecordedPoint> At(std::size_t index) const;
    // Stores the point at the counter and counts it; false (nothing stored) when full.
    bool Add(const RecordedPoint& point);
    void Reset() { count_ = 0; }
    // The first counted entry whose two coordinates in `graph` equal (h, v) exactly; entry 0
    // when none does (also when nothing is recorded).
    std::size_t Find(RecordGraph graph, double h, double v) const;

  private:
    std::unique_ptr<RecordedPoint[]> points_;
    std::size_t capacity_;
    std::size_t count_ = 0;
};

// One axis of a record graph.
struct AxisSpan {
    double min = 0.0;
    double max = 0.0;
    bool operator==(const AxisSpan&) const = default;
};
inline constexpr double kMinAxisMargin = 64.0;
// The axis after a point at `value`: unchanged while the value lies inside; otherwise the
// side it left moves beyond it by a quarter of the span (at least kMinAxisMargin), never
// below 0. The first point opens an axis kMinAxisMargin either side of it. A sweep over
// the whole range therefore widens an axis a few times, and only then are all points drawn
// again; every other frame draws its one new point.
AxisSpan GrowAxis(const std::optional<AxisSpan>& axis, double value);

// The panel's texts and display colours for a CALCULATION MODE.
struct RecordPanelLabels {
    std::array<const char*, 3> graphs;  // XY, X-INT, Y-INT graph titles
    std::array<const char*, 3> values;  // the three value displays
    // The first and second value displays: text colour and background, 0xRRGGBB.
    std::array<std::uint32_t, 2> text;
    std::array<std::uint32_t, 2> background;
};
// Nothing for a mode the sensor does not know: the labels stay as they are.
const RecordPanelLabels* RecordPanelLabelsFor(std::uint16_t calculationMode);

}  // namespace teach
