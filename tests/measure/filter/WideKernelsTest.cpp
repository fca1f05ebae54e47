// The neighbour search's wide kernels against the plain ones they stand in for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "measure/filter/OutlierGrid.h"
#include "measure/filter/OutlierSearch.h"
#include "measure/filter/WideKernels.h"

namespace {

TEST(WideKernels, SortAsStdSortDoes) {
    if (!outliers::WideKernelsRun()) GTEST_SKIP() << "no 512-bit vectors here";
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> few(0, 3);
    // Distinct values, many ties, zeros and infinities, for every count a sort takes.
    const std::vector<std::function<float()>> draws = {
        [&] { return unit(random); },
        [&] { return static_cast<float>(few(random)); },
        [&] { return few(random) == 0 ? INFINITY : unit(random) * 1e-30f; },
    };
    for (const auto& draw : draws) {
        for (std::size_t count = 0; count <= outliers::kWideSortMost; ++count) {
            std::vector<float> values(count + 1);
            for (float& v : values) v = draw();
            const float beyond = values[count];
            std::vector<float> expected(values.begin(), values.begin() + count);
            std::sort(expected.begin(), expected.end());
            outliers::WideSort(values.data(), count);
            EXPECT_EQ(std::vector<float>(values.begin(), values.begin() + count), expected)
                << count;
            EXPECT_EQ(values[count], beyond) << "wrote beyond the values";
        }
    }
}

TEST(WideKernels, MeanDistancesAsThePlainSearch) {
    if (!outliers::WideKernelsRun()) GTEST_SKIP() << "no 512-bit vectors here";
    // A noisy plate with a dense patch and a few strays: queries whose
    // neighbours fill more and fewer than a wide sort takes, so that every
    // kernel (gather, keep, sort, roots) meets its tails.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::normal_distribution<float> noise(0.0f, 0.001f);
    std::vector<float> px, py, pz;
    for (int i = 0; i < 20000; ++i) {
        const float spread = i % 4 == 0 ? 0.05f : 0.5f;
        px.push_back(spread * unit(random));
        py.push_back(spread * unit(random));
        pz.push_back(noise(random) + (i % 997 == 0 ? 0.2f : 0.0f));
    }
    const outliers::Box box = outliers::CoreBox(px, py, pz);
    const outliers::Grid grid(px, py, pz, box,
                              outliers::CellSide(outliers::Grid(px, py, pz, box, 0.01), 50));
    std::vector<float> plain(px.size()), wide(px.size());
    outliers::MeansOfCells(grid, 50, plain, false);
    outliers::MeansOfCells(grid, 50, wide, true);
    EXPECT_EQ(plain, wide);
}

}  // namespace
