#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "FuzzCases.h"
#include "MeasureTest.h"
#include "fuzz/LoadFuzzInput.h"

namespace {

const std::string& Scratch() {
    // ctest runs test cases as separate processes, two at a time.
    static const std::string path =
        ::testing::TempDir() + "kelvo-load-fuzz-case-" + std::to_string(getpid()) + ".pcd";
    return path;
}

}  // namespace

// Each file the load fuzz target failed on either measures or ends with a message.
TEST_F(MeasureTest, LoadFuzzCasesEndCleanly) {
    loadfuzz::Configure(config());
    auto const cases = FuzzCases("tests/measure/fuzz-cases");
    ASSERT_FALSE(cases.empty());
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        try {
            loadfuzz::Run(bytes.data(), bytes.size(), Scratch());
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()), "");
        }
    }
}

// The seeds, one per kind of data section, load whole and measure.
TEST_F(MeasureTest, LoadFuzzSeedsLoadAndMeasure) {
    loadfuzz::Configure(config());
    constexpr size_t kSeedPoints = 25;
    for (const auto& [name, bytes] : FuzzCases("fuzz/corpus/load")) {
        SCOPED_TRACE(name);
        EXPECT_EQ(loadfuzz::Run(bytes.data(), bytes.size(), Scratch()), kSeedPoints);
    }
}
