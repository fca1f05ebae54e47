#include <gtest/gtest.h>

#include "FuzzCases.h"
#include "fuzz/GeomFuzzInput.h"

// Each input the rectangle fuzz target failed on, and its seeds, through the same checks;
// a broken property aborts with its name.
TEST(GeomFuzzCases, HoldTheirProperties) {
    for (const char* folder : {"tests/geom/fuzz-cases", "fuzz/corpus/geom"}) {
        auto const cases = FuzzCases(folder);
        EXPECT_FALSE(cases.empty()) << folder;
        for (const auto& [name, bytes] : cases) {
            SCOPED_TRACE(name);
            geomfuzz::Run(bytes.data(), bytes.size());
        }
    }
}
