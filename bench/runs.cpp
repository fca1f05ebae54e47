// Where the time of a depallet-and-split run goes, step by step, on generated
// scans of two boxes on a pallet (200k and 1M points). Needs the test database
// for the configuration: start scripts/db-start.sh and source .db/env.sh.

#include "cloud/Cloud.h"
#include "config/Config.h"
#include "measure/split/CloudCollection.h"
#include "measure/split/FootprintClusters.h"
#include "tools/scangen/ScanScene.h"

#include <benchmark/benchmark.h>
#include <boost/filesystem.hpp>
#include <pcl/common/io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstdlib>
#include <iostream>
#include <map>

namespace {

constexpr float kClusterTolerance = 0.05f;
constexpr int kMinCluster = 100;
constexpr int kMaxCluster = 10000000;
constexpr float kPalletMm = 144.0f;
constexpr float kCorrectionMm = 10.0f;
constexpr float kResolution = 0.02f;

Config* BenchConfig() {
    const char* path = std::getenv("KELVO_TEST_CONFIG");
    Config* config = path ? Config::GetInstance(path) : nullptr;
    if (!config) {
        std::cerr << "KELVO_TEST_CONFIG must name a working bootstrap file (scripts/db-start.sh)" << std::endl;
        std::exit(1);
    }
    config->SetClusterTollerance(kClusterTolerance);
    config->SetMinClusterSize(kMinCluster);
    config->SetMaxClusterSize(kMaxCluster);
    config->SetPalletHeight(kPalletMm);
    config->SetPalletCorrectionHeight(kCorrectionMm);
    config->SetOcTreeRealVolumeResolution(kResolution);
    return config;
}

CloudInfo Identity(const std::string& base) {
    const ScanScene scene = ScanScene::PalletSideBySide(30.0);
    float a, b, c, d;
    scene.Plane(a, b, c, d);
    return CloudInfo(1, 1, 0, 0, "bench", "S%d.pcd", base, a, b, c, d);
}

/// The scan as loaded (cached per size), and the same after the pallet cut.
const PointCloudRGB& Scan(std::size_t points, bool depalletized) {
    static std::map<std::pair<std::size_t, bool>, PointCloudRGBPtr> cache;
    auto& slot = cache[{points, depalletized}];
    if (!slot) {
        BenchConfig();
        slot.reset(new PointCloudRGB);
        if (!depalletized) {
            for (const auto& p : ScanScene::PalletSideBySide(30.0).Sample(points, ScanScene::kDefaultNoise, 0.0, 1)) {
                pcl::PointXYZRGB q;
                q.x = p.x;
                q.y = p.y;
                q.z = p.z;
                slot->push_back(q);
            }
        } else {
            Cloud c(Identity(""));
            c.setCloud(PointCloudRGBPtr(new PointCloudRGB(Scan(points, false))));
            c.CalcDepallet();
            pcl::copyPointCloud(*c.getCloud(), *slot);
        }
    }
    return *slot;
}

Cloud Loaded(std::size_t points, bool depalletized) {
    Cloud c(Identity(""));
    c.setCloud(PointCloudRGBPtr(new PointCloudRGB(Scan(points, depalletized))));
    return c;
}

void Depallet(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Cloud c = Loaded(n, false);
        state.ResumeTiming();
        c.CalcDepallet();
    }
}

void MeasureScan(benchmark::State& state) {
    Cloud c = Loaded(static_cast<std::size_t>(state.range(0)), false);
    for (auto _ : state) {
        c.CalcInbound();
        c.CalcPackage();
        c.CalcReal();
    }
}

/// Every check of the scan before a run measures: a run that cuts, and a
/// depallet run without a cut (its footprint of the floor's points included);
/// with a measuring zone (the scans are unorganized) wide enough to pass
/// them, or without.
void CheckScan(benchmark::State& state) {
    const Cloud c = Loaded(static_cast<std::size_t>(state.range(0)), false);
    const bool cuts = state.range(1) != 0;
    constexpr float kWideZone = 5.0f;
    if (state.range(2) != 0) {
        BenchConfig()->SetFloorZone(-kWideZone, kWideZone, -kWideZone, kWideZone);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.CheckScan(cuts, true));
    }
    BenchConfig()->SetFloorZone(0.0f, 0.0f, 0.0f, 0.0f);
}

/// The split step's collection: copy, flatten, cluster, build the clouds.
void SplitCollection(benchmark::State& state) {
    Cloud c = Loaded(static_cast<std::size_t>(state.range(0)), true);
    for (auto _ : state) {
        CloudCollection collection(c);
        benchmark::DoNotOptimize(collection.size());
    }
}

/// The clustering alone, on the depalletized cloud.
void ClusteringOnly(benchmark::State& state) {
    const PointCloudRGB& cloud = Scan(static_cast<std::size_t>(state.range(0)), true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FootprintClusters::Extract(cloud, kClusterTolerance, kMinCluster, kMaxCluster));
    }
}

/// Inbound box, hull and octree volumes of every cluster.
void MeasureClusters(benchmark::State& state) {
    CloudCollection collection(Loaded(static_cast<std::size_t>(state.range(0)), true));
    for (auto _ : state) {
        for (int i = 0; i < collection.size(); ++i) {
            collection.get(i).CalcInbound();
            collection.get(i).CalcPackage();
            collection.get(i).CalcReal();
        }
    }
}

/// Colour and PCD, scenes and JSON of every cluster.
void SaveClusters(benchmark::State& state) {
    const auto folder = boost::filesystem::temp_directory_path() / boost::filesystem::unique_path("kelvo-bench-%%%%");
    boost::filesystem::create_directories(folder / "bench");
    BenchConfig()->SetBaseDataFolder(folder.string());
    CloudCollection collection(Loaded(static_cast<std::size_t>(state.range(0)), true));
    for (int i = 0; i < collection.size(); ++i) {
        collection.get(i).CalcInbound();
        collection.get(i).CalcPackage();
        collection.get(i).CalcReal();
    }
    for (auto _ : state) {
        collection.save();
        collection.saveVolume();
        collection.saveData();
    }
    boost::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(Depallet)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureScan)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(CheckScan)
    ->Args({200000, 1, 0})
    ->Args({1000000, 1, 0})
    ->Args({1000000, 0, 0})
    ->Args({1000000, 1, 1})
    ->Args({1000000, 0, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SplitCollection)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(ClusteringOnly)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureClusters)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveClusters)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
