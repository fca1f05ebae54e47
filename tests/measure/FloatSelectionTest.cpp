#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "measure/FloatSelection.h"

namespace {

struct Family {
    std::string name;
    std::size_t count;
    std::function<float(std::mt19937&)> draw;
};

// Families at sizes on both sides of the counting pass's threshold.
std::vector<Family> Families() {
    return {
        {"top face heights", 200000,
         [](std::mt19937& r) { return std::normal_distribution<float>(1.2f, 0.002f)(r); }},
        {"deviations from a level", 150000,
         [](std::mt19937& r) {
             return std::fabs(std::normal_distribution<float>(0.0f, 0.003f)(r));
         }},
        {"across zero and many binades", 100000,
         [](std::mt19937& r) {
             const float v = std::uniform_real_distribution<float>(-1.0f, 1.0f)(r);
             return v * v * v * 1e3f;
         }},
        {"few distinct values with both zeros", 60000,
         [](std::mt19937& r) {
             const float choices[] = {-0.0f, 0.0f, 1.0f, -2.5f, 3e-30f};
             return choices[std::uniform_int_distribution<int>(0, 4)(r)];
         }},
        {"all equal", 50000, [](std::mt19937&) { return 0.75f; }},
        {"extremes of the range", 40000,
         [](std::mt19937& r) {
             return std::uniform_int_distribution<int>(0, 1)(r) ? 3.4e38f : -3.4e38f;
         }},
        {"small, sorted by nth_element alone", 1001,
         [](std::mt19937& r) { return std::uniform_real_distribution<float>(0.0f, 1.0f)(r); }},
    };
}

// Every rank of interest, alone and in pairs (in one bucket or two: the two
// ends of a cloud's bulk and any pair), checked against a full sort.
TEST(FloatSelectionTest, AgreesWithSortingAtEveryRankOfInterest) {
    std::mt19937 random(7);
    for (const Family& family : Families()) {
        std::vector<float> values(family.count);
        for (float& v : values) v = family.draw(random);
        std::vector<float> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = values.size();
        EXPECT_EQ(FloatRange(values.data(), n), std::make_pair(sorted.front(), sorted.back()))
            << family.name;
        const auto onlyReordered = [&sorted](std::vector<float> work) {
            std::sort(work.begin(), work.end());
            return work == sorted;
        };
        for (const std::size_t rank : {std::size_t{0}, n / 4, n / 2, n / 2 + 1, n - 1}) {
            std::vector<float> work = values;
            EXPECT_EQ(SelectFloat(work, rank), sorted[rank]) << family.name << ", rank " << rank;
            EXPECT_TRUE(onlyReordered(work)) << family.name;
        }
        const std::pair<std::size_t, std::size_t> pairs[] = {{n / 1000, n - 1 - n / 1000},
                                                             {0, n - 1},
                                                             {n / 2, n / 2},
                                                             {n / 2, n / 2 + 1},
                                                             {n / 3, n / 2}};
        for (const auto& [low, high] : pairs) {
            std::vector<float> work = values;
            EXPECT_EQ(SelectFloats(work, low, high), std::make_pair(sorted[low], sorted[high]))
                << family.name << ", ranks " << low << " and " << high;
            EXPECT_TRUE(onlyReordered(work)) << family.name;
        }
    }
}

}  // namespace
