// The kept inputs of one fuzz target, replayed in the ordinary test build:
// without clang or libFuzzer, the sanitizers and the target's own checks still
// guard every crash once mended. Built once per fuzz_<name>.cpp, beside it.

#include "TempWorkDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file())
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

// A target aborts on a failed check, so the input's name goes out first.
size_t replay(const fs::path& folder) {
    const std::vector<fs::path> files = filesIn(folder);
    for (const fs::path& file : files) {
        std::fprintf(stderr, "replaying %s\n", file.string().c_str());
        const std::vector<unsigned char> bytes = pz4test::readFileBytes(file);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    return files.size();
}

} // namespace

TEST(FuzzInputs, SeedCorpusPasses) {
    // An empty or missing corpus would pass without testing anything.
    EXPECT_GT(replay(PZ4_FUZZ_CORPUS), 0u) << "no seed inputs in " << PZ4_FUZZ_CORPUS;
}

TEST(FuzzInputs, KeptRegressionsPass) {
    // Most targets have not crashed yet: no folder means no regression inputs.
    replay(PZ4_FUZZ_REGRESSIONS);
}
