// Runs a fuzz target's harness without libFuzzer: every file of the given folders (the seed
// corpus) once as it is, then a fixed set of variations of each (bytes changed, cut short,
// a piece repeated), made by a seeded generator so that every run sees the same inputs.
// Built with the tests by the compiler of the build, it keeps the harnesses compiling and their
// checks holding in every build, and the sanitizer build runs them under ASan and UBSan.
// Finding new inputs is scripts/fuzz's job, with libFuzzer and clang.
//   replay_<target> [--variations N] FOLDER...

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

using Bytes = std::vector<std::uint8_t>;

void Run(const Bytes& input) {
    // A copy of exactly the input's size, so that a read past its end is caught by ASan.
    const auto copy = std::make_unique<std::uint8_t[]>(input.size() + (input.empty() ? 1 : 0));
    if (!input.empty()) std::memcpy(copy.get(), input.data(), input.size());
    LLVMFuzzerTestOneInput(copy.get(), input.size());
}

Bytes Vary(const Bytes& seed, std::mt19937& random) {
    Bytes out = seed;
    const auto below = [&](std::size_t n) { return n == 0 ? 0 : random() % n; };
    switch (random() % 4) {
        case 0:  // a few bytes changed
            for (int i = 0, n = 1 + static_cast<int>(below(4)); i < n && !out.empty(); ++i)
                out[below(out.size())] = static_cast<std::uint8_t>(random());
            break;
        case 1:  // cut short
            out.resize(below(out.size()));
            break;
        case 2: {  // a piece repeated
            const std::size_t from = below(out.size());
            const std::size_t length = below(std::min<std::size_t>(out.size() - from, 64) + 1);
            out.insert(out.begin() + static_cast<std::ptrdiff_t>(below(out.size() + 1)),
                       seed.begin() + static_cast<std::ptrdiff_t>(from),
                       seed.begin() + static_cast<std::ptrdiff_t>(from + length));
            break;
        }
        default:  // a byte dropped
            if (!out.empty())
                out.erase(out.begin() + static_cast<std::ptrdiff_t>(below(out.size())));
            break;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    int variations = 100;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--variations") == 0 && i + 1 < argc) {
            variations = std::atoi(argv[++i]);
            continue;
        }
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(argv[i], error))
            if (entry.is_regular_file()) files.push_back(entry.path());
        if (error) {
            std::fprintf(stderr, "replay: cannot read %s: %s\n", argv[i], error.message().c_str());
            return 2;
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 2;
    }
    std::sort(files.begin(), files.end());
    std::mt19937 random(1);
    long runs = 0;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const Bytes seed{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        Run(seed);
        for (int v = 0; v < variations; ++v) Run(Vary(seed, random));
        runs += 1 + variations;
    }
    std::printf("replay: %zu inputs and their variations, %ld runs, all passed\n", files.size(),
                runs);
    return 0;
}
