// Exact hull and least-area rectangle of box-scan footprints (the x and y of every point).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "geom/BSRational.h"
#include "geom/ConvexHull2.h"
#include "geom/MinimumAreaBox2.h"
#include "geom/UIntegerAP32.h"

namespace {

using Point = geom::Vector<2, float>;
using Rational = geom::BSRational<geom::UIntegerAP32>;

constexpr double kBoxLength = 0.6;    // metres
constexpr double kBoxWidth = 0.4;     // metres
constexpr double kBoxTurn = 0.3;      // radians about the vertical
constexpr double kTopShare = 0.7;     // the rest lies on the two visible side faces
constexpr double kTopNoise = 0.0005;  // metres
constexpr double kSideNoise = 0.001;  // metres
constexpr double kCentreX = 0.35, kCentreY = -0.2;

// A scan of a turned box seen from above: its top face sampled on a jittered camera grid and
// two side faces, which stand upright and so fall onto two edges of the footprint.
std::vector<Point> MakeFootprint(int32_t numPoints, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> topNoise(0.0, kTopNoise), sideNoise(0.0, kSideNoise);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    double const c = std::cos(kBoxTurn), s = std::sin(kBoxTurn);
    int32_t const numTop = static_cast<int32_t>(numPoints * kTopShare);
    int32_t const columns = static_cast<int32_t>(std::sqrt(numTop * kBoxLength / kBoxWidth));
    int32_t const rows = numTop / columns + 1;
    std::vector<Point> points;
    points.reserve(numPoints);
    auto place = [&](double u, double v) {
        points.push_back(Point{static_cast<float>(kCentreX + c * u - s * v),
                               static_cast<float>(kCentreY + s * u + c * v)});
    };
    for (int32_t i = 0; i < numTop; ++i) {
        double const u = -kBoxLength / 2 + kBoxLength * ((i % columns) + 0.5) / columns;
        double const v = -kBoxWidth / 2 + kBoxWidth * ((i / columns) + 0.5) / rows;
        place(u + topNoise(rng), v + topNoise(rng));
    }
    while (static_cast<int32_t>(points.size()) < numPoints) {
        if (rng() % 2) {
            place(kBoxLength / 2 + sideNoise(rng), unit(rng) * kBoxWidth / 2);
        } else {
            place(unit(rng) * kBoxLength / 2, -kBoxWidth / 2 + sideNoise(rng));
        }
    }
    return points;
}

void BM_MinimumAreaBox(benchmark::State& state) {
    std::vector<Point> const points = MakeFootprint(static_cast<int32_t>(state.range(0)), 1);
    for (auto _ : state) {
        geom::MinimumAreaBox2<float, Rational> finder;
        geom::OrientedBox<2, float> box =
            finder(static_cast<int32_t>(points.size()), points.data(), true);
        benchmark::DoNotOptimize(box);
    }
}

// After depalletizing every point may come twice: the cloud is doubled by a projection that
// can keep x and y.
void BM_MinimumAreaBoxDoubled(benchmark::State& state) {
    std::vector<Point> points = MakeFootprint(static_cast<int32_t>(state.range(0)) / 2, 1);
    points.insert(points.end(), points.begin(), points.end());
    for (auto _ : state) {
        geom::MinimumAreaBox2<float, Rational> finder;
        geom::OrientedBox<2, float> box =
            finder(static_cast<int32_t>(points.size()), points.data(), true);
        benchmark::DoNotOptimize(box);
    }
}

void BM_ConvexHull(benchmark::State& state) {
    std::vector<Point> const points = MakeFootprint(static_cast<int32_t>(state.range(0)), 1);
    for (auto _ : state) {
        geom::ConvexHull2<float, Rational> hull;
        hull(static_cast<int32_t>(points.size()), points.data(), 0.0f);
        benchmark::DoNotOptimize(hull.GetHull().data());
    }
}

void BM_ConvexHullReference(benchmark::State& state) {
    std::vector<Point> const points = MakeFootprint(static_cast<int32_t>(state.range(0)), 1);
    for (auto _ : state) {
        geom::ConvexHull2<float, Rational> hull;
        hull.ComputeReference(static_cast<int32_t>(points.size()), points.data(), 0.0f);
        benchmark::DoNotOptimize(hull.GetHull().data());
    }
}

constexpr int64_t kFootprint200k = 200000;
constexpr int64_t kFootprint1M = 1000000;

BENCHMARK(BM_MinimumAreaBox)->Arg(kFootprint200k)->Arg(kFootprint1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinimumAreaBoxDoubled)->Arg(kFootprint1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvexHull)->Arg(kFootprint200k)->Arg(kFootprint1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvexHullReference)
    ->Arg(kFootprint200k)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
