// Exact arithmetic on the operations the convex hull leans on: turning float points into exact
// values, orientation determinants and comparisons.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

#include "geom/BSNumber.h"
#include "geom/BSRational.h"
#include "geom/UIntegerAP32.h"

namespace {

using Rational = geom::BSRational<geom::UIntegerAP32>;

// Footprint-like coordinates: metres within a few metres of the camera axis.
constexpr float kCoordinateRange = 2.5f;
constexpr size_t kNumPoints = 1024;

std::vector<float> Coordinates() {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> coordinate(-kCoordinateRange, kCoordinateRange);
    std::vector<float> values(2 * kNumPoints);
    for (float& value : values) {
        value = coordinate(rng);
    }
    return values;
}

std::vector<Rational> ExactCoordinates() {
    std::vector<Rational> exact;
    for (float value : Coordinates()) {
        exact.emplace_back(value);
    }
    return exact;
}

void FloatPairToRational(benchmark::State& state) {
    std::vector<float> const values = Coordinates();
    size_t i = 0;
    for (auto _ : state) {
        Rational const x(values[i]);
        Rational const y(values[i + 1]);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        i = (i + 2) % values.size();
    }
}
BENCHMARK(FloatPairToRational);

void Determinant(benchmark::State& state) {
    std::vector<Rational> const v = ExactCoordinates();
    size_t i = 0;
    for (auto _ : state) {
        Rational const det = v[i] * v[i + 3] - v[i + 2] * v[i + 1];
        benchmark::DoNotOptimize(det);
        i = (i + 4) % v.size();
    }
}
BENCHMARK(Determinant);

// The hull's orientation test: the determinant of two edge vectors, then its sign.
void OrientationOfThreePoints(benchmark::State& state) {
    std::vector<Rational> const v = ExactCoordinates();
    size_t i = 0;
    for (auto _ : state) {
        Rational const x0 = v[i + 2] - v[i];
        Rational const y0 = v[i + 3] - v[i + 1];
        Rational const x1 = v[i + 4] - v[i];
        Rational const y1 = v[i + 5] - v[i + 1];
        Rational const det = x0 * y1 - x1 * y0;
        benchmark::DoNotOptimize(det.GetSign());
        i = (i + 6) % (v.size() - 6);
    }
}
BENCHMARK(OrientationOfThreePoints);

void CompareCoordinates(benchmark::State& state) {
    std::vector<Rational> const v = ExactCoordinates();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v[i] < v[i + 1]);
        i = (i + 2) % v.size();
    }
}
BENCHMARK(CompareCoordinates);

void CompareDeterminants(benchmark::State& state) {
    std::vector<Rational> const v = ExactCoordinates();
    std::vector<Rational> dets;
    for (size_t i = 0; i + 4 <= v.size(); i += 4) {
        dets.push_back(v[i] * v[i + 3] - v[i + 2] * v[i + 1]);
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dets[i] < dets[i + 1]);
        i = (i + 2) % dets.size();
    }
}
BENCHMARK(CompareDeterminants);

// A rectangle area as the caliper search forms it from four points starting at v[i]: the
// product of two dot products of edge vectors over a squared edge length.
Rational Area(std::vector<Rational> const& v, size_t i) {
    Rational const ex = v[i + 2] - v[i], ey = v[i + 3] - v[i + 1];
    Rational const wx = v[i + 4] - v[i], wy = v[i + 5] - v[i + 1];
    Rational const hx = v[i + 6] - v[i], hy = v[i + 7] - v[i + 1];
    return (ex * wx + ey * wy) * (ex * hy - ey * hx) / (ex * ex + ey * ey);
}

constexpr size_t kAreaStride = 8;

std::vector<Rational> Areas() {
    std::vector<Rational> const v = ExactCoordinates();
    std::vector<Rational> areas;
    for (size_t i = 0; i + kAreaStride <= v.size(); i += kAreaStride) {
        areas.push_back(Area(v, i));
    }
    return areas;
}

void RectangleArea(benchmark::State& state) {
    std::vector<Rational> const v = ExactCoordinates();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Area(v, i));
        i = (i + kAreaStride) % (v.size() - kAreaStride);
    }
}
BENCHMARK(RectangleArea);

void CompareAreas(benchmark::State& state) {
    std::vector<Rational> const areas = Areas();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(areas[i] < areas[i + 1]);
        i = (i + 2) % (areas.size() - 1);
    }
}
BENCHMARK(CompareAreas);

// Quotients like those of the rectangle search, rounded back to float.
void QuotientToFloat(benchmark::State& state) {
    std::vector<Rational> const v = ExactCoordinates();
    std::vector<Rational> quotients;
    for (size_t i = 0; i + 4 <= v.size(); i += 4) {
        quotients.push_back((v[i] * v[i + 3] - v[i + 2] * v[i + 1]) /
                            (v[i] * v[i] + v[i + 1] * v[i + 1]));
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(static_cast<float>(quotients[i]));
        i = (i + 1) % quotients.size();
    }
}
BENCHMARK(QuotientToFloat);

}  // namespace

BENCHMARK_MAIN();
