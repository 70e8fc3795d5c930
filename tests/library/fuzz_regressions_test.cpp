// Inputs the fuzz targets once failed on, kept under tests/regressions/<target>/ and replayed
// through the same harness the fuzzers run: every check of the target must now hold.
#include "harness/picture_harness.h"
#include "support/processes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct KeptInput {
    std::string target;
    fs::path file;

    friend void PrintTo(const KeptInput& input, std::ostream* out) { *out << input.file; }
};

const fs::path kRegressions = ORVEL_REGRESSIONS_DIR;

std::vector<KeptInput> KeptInputs() {
    std::vector<KeptInput> inputs;
    for (const fs::directory_entry& folder : fs::directory_iterator(kRegressions)) {
        if (!folder.is_directory()) {
            continue;
        }
        for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
            inputs.push_back({folder.path().filename().string(), file.path()});
        }
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const KeptInput& a, const KeptInput& b) { return a.file < b.file; });
    return inputs;
}

std::string TestName(const ::testing::TestParamInfo<KeptInput>& info) {
    std::string name = info.param.target + "_" + info.param.file.stem().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

class FuzzRegressionTest : public ::testing::TestWithParam<KeptInput> {};

TEST_P(FuzzRegressionTest, KeptInputPassesEveryCheckOfItsTarget) {
    const orvel::fuzz::Target* target = orvel::fuzz::FindTarget(GetParam().target);
    ASSERT_NE(target, nullptr) << "tests/regressions/" << GetParam().target
                               << " names no fuzz target";
    const std::vector<std::uint8_t> bytes = orvel::test::ReadFileBytes(GetParam().file);
    ASSERT_LE(bytes.size(), target->maxInputBytes) << "the fuzzer never makes such an input";
    const orvel::fuzz::Findings findings = target->run(bytes);
    for (const std::string& finding : findings) {
        ADD_FAILURE() << finding;
    }
}

INSTANTIATE_TEST_SUITE_P(Kept, FuzzRegressionTest, ::testing::ValuesIn(KeptInputs()), TestName);

} // namespace
