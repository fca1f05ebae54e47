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

TEST(WideKernels, KeepAndRootsAsThePlainLoops) {
    if (!outliers::WideKernelsRun()) GTEST_SKIP() << "no 512-bit vectors here";
    std::mt19937 random(8);
    std::uniform_real_distribution<float> unit(0.0f, 2.0f);
    for (std::size_t count = 0; count <= 40; ++count) {
        std::vector<float> values(count);
        for (float& v : values) v = unit(random);
        std::vector<float> kept;
        for (const float v : values) {
            if (v <= 1.0f) kept.push_back(v);
        }
        std::vector<float> out(count + 16);
        out.resize(outliers::WideKeep(values.data(), count, 1.0f, out.data()));
        EXPECT_EQ(out, kept) << count;

        std::vector<double> roots(count + 1, -1.0);
        outliers::WideRoots(values.data(), count, roots.data());
        for (std::size_t j = 0; j < count; ++j) {
            EXPECT_EQ(roots[j], std::sqrt(static_cast<double>(values[j]))) << count << " " << j;
        }
        EXPECT_EQ(roots[count], -1.0) << "wrote beyond the roots";
    }
}

TEST(WideKernels, GatherAsThePlainFormula) {
    if (!outliers::WideKernelsRun()) GTEST_SKIP() << "no 512-bit vectors here";
    std::mt19937 random(6);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const std::size_t n = 70;
    std::vector<float> xs(n), ys(n), zs(n);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = unit(random);
        ys[i] = unit(random);
        zs[i] = unit(random);
    }
    const float x = 0.1f, y = -0.2f, z = 0.3f;
    for (const float limit : {0.0f, 0.5f, 1.7f, INFINITY}) {
        for (const std::uint32_t from : {0u, 3u, 17u}) {
            for (const std::uint32_t to :
                 {from, from + 1, from + 16, static_cast<std::uint32_t>(n)}) {
                std::vector<float> expected;
                for (std::uint32_t j = from; j < to; ++j) {
                    const float dx = x - xs[j];
                    const float dy = y - ys[j];
                    const float dz = z - zs[j];
                    const float d = dx * dx + dy * dy + dz * dz;
                    if (d <= limit) expected.push_back(d);
                }
                std::vector<float> out(n + 16);
                const std::size_t m = outliers::WideGather(xs.data(), ys.data(), zs.data(), from,
                                                           to, x, y, z, limit, out.data());
                out.resize(m);
                EXPECT_EQ(out, expected) << limit << " " << from << " " << to;
            }
        }
    }
}

TEST(WideKernels, MeanDistancesAsThePlainSearch) {
    if (!outliers::WideKernelsRun()) GTEST_SKIP() << "no 512-bit vectors here";
    // A noisy plate with a dense patch and a few strays: queries whose
    // neighbours fill more and fewer than a wide sort takes.
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
