#pragma once
// What the simulated sensor looks at: a loop of colour patches, each shown for a few
// seconds. Between two patches the reflectance blends over a short ramp, so that a scope
// scan across a patch change shows an edge rather than a step of one sample.
//
// Scene file: one patch per line, "name R G B seconds", reflectances 0..1, seconds > 0;
// blank lines and lines starting with '#' are ignored. Names are single words.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Rgb {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

struct Patch {
    std::string name;
    Rgb reflectance;
    double seconds = 1.0;
};

class Scene {
  public:
    // White, red, green, blue, yellow, cyan, magenta and dark grey, 3 s each.
    static Scene BuiltIn();
    // nullopt with a message naming the line on a malformed text or an empty scene.
    static std::optional<Scene> Parse(std::string_view text, std::string* error = nullptr);
    static std::optional<Scene> Load(const std::string& path, std::string* error = nullptr);

    explicit Scene(std::vector<Patch> patches);

    // Reflectance at model time t (seconds); the patch list repeats.
    Rgb ReflectanceAt(double t) const;
    // Index of the patch shown at time t.
    std::size_t PatchIndexAt(double t) const;
    const std::vector<Patch>& Patches() const { return patches_; }
    double Period() const { return period_; }

    static constexpr double kBlendSeconds = 0.05;

  private:
    std::vector<Patch> patches_;
    double period_ = 0.0;
};

}  // namespace sim
