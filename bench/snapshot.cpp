// Time of one picture (image.snapshot = 1) of a measured cloud of a box on a
// pallet, 175k and 870k points: drawing and PNG encoding alone, and with the
// file written beside it. Needs the test database for the configuration:
// start scripts/db-start.sh and source .db/env.sh.

#include "cloud/Cloud.h"
#include "cloud/snapshot/Snapshot.h"
#include "config/Config.h"
#include "tools/scangen/ScanScene.h"

#include <benchmark/benchmark.h>
#include <boost/filesystem.hpp>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>

namespace {

// The rainbow from the floor to 700 mm above it, as the demo colours.
const char* const kColorMapType = "4";
constexpr float kMinColorMapMm = 100.0f;
constexpr float kMaxColorMapMm = 700.0f;

void BenchConfig() {
    const char* path = std::getenv("KELVO_TEST_CONFIG");
    Config* config = path ? Config::GetInstance(path) : nullptr;
    if (!config) {
        std::cerr << "KELVO_TEST_CONFIG must name a working bootstrap file (scripts/db-start.sh)" << std::endl;
        std::exit(1);
    }
    config->SetColorMapType(kColorMapType);
    config->SetMinColorMap(kMinColorMapMm);
    config->SetMaxColorMap(kMaxColorMapMm);
}

/// The scan of about `points` points, measured and coloured as a run does before saving.
const Cloud& Measured(std::size_t points) {
    static std::map<std::size_t, Cloud> cache;
    auto found = cache.find(points);
    if (found == cache.end()) {
        BenchConfig();
        const ScanScene scene = ScanScene::BoxOnPallet(30.0);
        float a, b, c, d;
        scene.Plane(a, b, c, d);
        Cloud cloud(CloudInfo(1, 1, 0, 0, "bench", "S%d.pcd", "", a, b, c, d));
        for (const auto& p : scene.Sample(points, ScanScene::kDefaultNoise, 0.0, 1)) {
            pcl::PointXYZRGB q;
            q.x = p.x;
            q.y = p.y;
            q.z = p.z;
            cloud.getCloud()->push_back(q);
        }
        cloud.CalcInbound();
        cloud.CalcPackage();
        cloud.ColorMap();
        found = cache.emplace(points, cloud).first;
    }
    return found->second;
}

void RenderPicture(benchmark::State& state) {
    const Cloud& cloud = Measured(static_cast<std::size_t>(state.range(0)));
    const Snapshot snapshot(std::time(nullptr), Snapshot::Ground::Floor);
    state.counters["points"] = static_cast<double>(cloud.getCloud()->size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(snapshot.Render(cloud));
    }
}

void SavePicture(benchmark::State& state) {
    const Cloud& cloud = Measured(static_cast<std::size_t>(state.range(0)));
    const Snapshot snapshot(std::time(nullptr), Snapshot::Ground::Floor);
    const auto folder = boost::filesystem::temp_directory_path() / boost::filesystem::unique_path("kelvo-bench-%%%%");
    boost::filesystem::create_directories(folder);
    const std::string file = (folder / "S1.png").string();
    for (auto _ : state) {
        snapshot.Save(cloud, file);
    }
    state.counters["bytes"] = static_cast<double>(boost::filesystem::file_size(file));
    boost::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(RenderPicture)->Arg(175000)->Arg(870000)->Unit(benchmark::kMillisecond);
BENCHMARK(SavePicture)->Arg(175000)->Arg(870000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
