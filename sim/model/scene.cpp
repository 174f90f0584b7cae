#include "sim/model/scene.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace sim {

Scene Scene::BuiltIn() {
    return Scene({
        {"white", {0.90, 0.90, 0.88}, 3.0},
        {"red", {0.75, 0.10, 0.08}, 3.0},
        {"green", {0.12, 0.65, 0.15}, 3.0},
        {"blue", {0.08, 0.15, 0.70}, 3.0},
        {"yellow", {0.85, 0.80, 0.12}, 3.0},
        {"cyan", {0.10, 0.70, 0.75}, 3.0},
        {"magenta", {0.75, 0.12, 0.68}, 3.0},
        {"dark-grey", {0.12, 0.12, 0.12}, 3.0},
    });
}

Scene::Scene(std::vector<Patch> patches) : patches_(std::move(patches)) {
    if (patches_.empty()) patches_.push_back({"black", {0.0, 0.0, 0.0}, 1.0});
    for (const Patch& p : patches_) period_ += p.seconds;
}

std::optional<Scene> Scene::Parse(std::string_view text, std::string* error) {
    std::vector<Patch> patches;
    std::istringstream in{std::string(text)};
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) -> std::optional<Scene> {
        if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        Patch p;
        if (!(fields >> p.name >> p.reflectance.r >> p.reflectance.g >> p.reflectance.b >>
              p.seconds)) {
            return fail("expected \"name R G B seconds\"");
        }
        std::string rest;
        if (fields >> rest) return fail("unexpected text after the seconds");
        for (double v : {p.reflectance.r, p.reflectance.g, p.reflectance.b}) {
            if (!(v >= 0.0 && v <= 1.0)) return fail("reflectance outside 0..1");
        }
        if (!(p.seconds > 0.0 && p.seconds < 1e6)) return fail("seconds must be positive");
        patches.push_back(std::move(p));
    }
    if (patches.empty()) {
        if (error) *error = "the scene has no patch";
        return std::nullopt;
    }
    return Scene(std::move(patches));
}

std::optional<Scene> Scene::Load(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = "cannot open " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return Parse(text.str(), error);
}

std::size_t Scene::PatchIndexAt(double t) const {
    double local = std::fmod(t, period_);
    if (local < 0) local += period_;
    for (std::size_t i = 0; i < patches_.size(); ++i) {
        if (local < patches_[i].seconds) return i;
        local -= patches_[i].seconds;
    }
    return patches_.size() - 1;
}

Rgb Scene::ReflectanceAt(double t) const {
    double local = std::fmod(t, period_);
    if (local < 0) local += period_;
    std::size_t i = 0;
    for (; i + 1 < patches_.size(); ++i) {
        if (local < patches_[i].seconds) break;
        local -= patches_[i].seconds;
    }
    const Patch& current = patches_[i];
    const Patch& previous = patches_[(i + patches_.size() - 1) % patches_.size()];
    const double blend = std::min(kBlendSeconds, current.seconds / 2);
    if (local >= blend || patches_.size() == 1) return current.reflectance;
    const double w = local / blend;
    auto mix = [w](double a, double b) { return a + (b - a) * w; };
    return {mix(previous.reflectance.r, current.reflectance.r),
            mix(previous.reflectance.g, current.reflectance.g),
            mix(previous.reflectance.b, current.reflectance.b)};
}

}  // namespace sim
