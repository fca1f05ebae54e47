// Cost of the cloud's file traffic: loading a scan, saving it as ASCII PCD and
// writing a VRML scene of grid boxes. Run by hand.
#include <benchmark/benchmark.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <boost/filesystem.hpp>
#include <cmath>

#include "cloud/Cloud.h"

namespace fs = boost::filesystem;

namespace {

/// A scratch folder for one benchmark, removed afterwards.
struct Scratch {
    Scratch() : path(fs::temp_directory_path() / fs::unique_path("kelvo-bench-%%%%-%%%%")) {
        fs::create_directories(path / "S");
    }
    ~Scratch() { fs::remove_all(path); }
    fs::path path;
};

/// A grid of points over a 1 m square at a wavy height, like the top of a load.
PointCloudRGBPtr Grid(int side) {
    PointCloudRGBPtr pts(new PointCloudRGB);
    for (int i = 0; i < side; ++i) {
        for (int j = 0; j < side; ++j) {
            const float x = static_cast<float>(i) / side;
            const float y = static_cast<float>(j) / side;
            pts->push_back(pcl::PointXYZRGB(x, y, 1.0f + 0.1f * std::sin(8 * x) * std::cos(5 * y)));
        }
    }
    return pts;
}

void BM_Load(benchmark::State& state) {
    Scratch scratch;
    const int side = static_cast<int>(state.range(0));
    pcl::PCDWriter().write((scratch.path / "S" / "S1.pcd").string(), *Grid(side), false);
    Cloud cloud(CloudInfo(1, 1, 0, 0, "S", "", scratch.path.string()));
    std::streambuf* saved = std::cout.rdbuf(nullptr);  // Load prints the path
    for (auto _ : state) {
        cloud.Load();
    }
    std::cout.rdbuf(saved);
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_Load)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
    Scratch scratch;
    const int side = static_cast<int>(state.range(0));
    Cloud cloud(CloudInfo(1, 1, 0, 0, "S", "", scratch.path.string()));
    cloud.setCloud(Grid(side));
    for (auto _ : state) {
        cloud.Save();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_Save)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_SaveScene(benchmark::State& state) {
    Scratch scratch;
    VRML scene;
    const int boxes = static_cast<int>(state.range(0));
    for (int i = 0; i < boxes; ++i) {
        scene.add(VRMLObj(0.02f, 0.02f, 0.3f, 0.01f * (i % 100), 0.01f * (i / 100), 1.2f));
    }
    const std::string file = (scratch.path / "scene.wrl").string();
    for (auto _ : state) {
        scene.save(file);
    }
    state.SetItemsProcessed(state.iterations() * boxes);
}
BENCHMARK(BM_SaveScene)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
