// Cost of the cloud measurements on synthetic scans of one box.
// Needs the test database's bootstrap file: source .db/env.sh first.
#include <benchmark/benchmark.h>
#include <octomap/OcTree.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <random>

#include "cloud/Cloud.h"
#include "config/Config.h"

namespace {

constexpr float kLength = 0.8f;
constexpr float kWidth = 0.6f;
constexpr float kHeight = 0.5f;
constexpr float kTopDistance = 1.2f;  // camera to the top face
constexpr float kTurn = 0.3f;         // radians about z
constexpr float kNoise = 0.001f;
constexpr float kTopShare = 0.6f;

/// A box seen from above: its top face and its four sides, turned and shifted, with noise.
PointCloudRGBPtr BoxScan(int count) {
    std::mt19937 random(42);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::normal_distribution<float> noise(0.0f, kNoise);
    auto cloud = std::make_shared<PointCloudRGB>();
    cloud->reserve(count);
    const float c = std::cos(kTurn);
    const float s = std::sin(kTurn);
    for (int i = 0; i < count; ++i) {
        float x = kLength * unit(random);
        float y = kWidth * unit(random);
        float z = kTopDistance;
        if (unit(random) > kTopShare) {
            z += kHeight * unit(random);
            switch (i % 4) {
                case 0:
                    x = 0.0f;
                    break;
                case 1:
                    x = kLength;
                    break;
                case 2:
                    y = 0.0f;
                    break;
                default:
                    y = kWidth;
                    break;
            }
        }
        pcl::PointXYZRGB p;
        p.x = c * x - s * y + 0.2f + noise(random);
        p.y = s * x + c * y - 0.1f + noise(random);
        p.z = z + noise(random);
        cloud->push_back(p);
    }
    return cloud;
}

Cloud ScanOf(int count) {
    Cloud cloud(CloudInfo(1, 1, 0, 0, "bench", "S%d.pcd", "/tmp", 0.0f, 0.0f, 1.0f,
                          -(kTopDistance + kHeight)));
    cloud.setCloud(BoxScan(count));
    return cloud;
}

void BM_CalcInbound(benchmark::State& state) {
    Cloud cloud = ScanOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        cloud.CalcInbound();
    }
}

void BM_CalcPackage(benchmark::State& state) {
    Cloud cloud = ScanOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        cloud.CalcPackage();
    }
}

void BM_CalcReal(benchmark::State& state) {
    Cloud cloud = ScanOf(static_cast<int>(state.range(0)));
    cloud.CalcInbound();
    for (auto _ : state) {
        cloud.CalcReal();
    }
}

void BM_ColorMap(benchmark::State& state) {
    Config::GetInstance("")->SetColorMapType("4");
    Cloud cloud = ScanOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        cloud.ColorMap();
    }
}

void BM_InboundPackageReal(benchmark::State& state) {
    Cloud cloud = ScanOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        cloud.CalcInbound();
        cloud.CalcPackage();
        cloud.CalcReal();
    }
}

// Reference: the two octrees filled one update per point, the plain way.
void BM_OctreesPointByPoint(benchmark::State& state) {
    const PointCloudRGBPtr scan = BoxScan(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        octomap::OcTree volume(0.02);
        octomap::OcTree footprint(0.02);
        for (const auto& p : scan->points) {
            volume.updateNode(octomap::point3d(p.x, p.y, p.z), true, false);
            footprint.updateNode(octomap::point3d(p.x, p.y, 0.0f), true, false);
        }
        benchmark::DoNotOptimize(volume.size());
    }
}

constexpr int kSmall = 200000;
constexpr int kLarge = 1000000;

BENCHMARK(BM_CalcInbound)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcPackage)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcReal)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorMap)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OctreesPointByPoint)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InboundPackageReal)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const char* path = std::getenv("KELVO_TEST_CONFIG");
    if (path == nullptr || Config::GetInstance(path) == nullptr) {
        std::cerr << "bench_measure: source the test database's env.sh (KELVO_TEST_CONFIG)"
                  << std::endl;
        return 1;
    }
    Config* config = Config::GetInstance("");
    config->SetOcTreeRealVolumeResolution(0.02f);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
