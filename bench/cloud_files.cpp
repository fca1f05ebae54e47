// Cost of the cloud's file traffic: loading a box-on-pallet scan (the scene
// and sampling of kelvo_scangen) and saving it as ASCII PCD, with the
// point-cloud library's own reader and writer beside ours; writing a VRML
// scene of grid boxes. Run by hand, e.g.
//   bench_cloud_files --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>
#include <pcl/common/io.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <boost/filesystem.hpp>
#include <iostream>
#include <map>

#include "cloud/Cloud.h"
#include "tools/scangen/ScanScene.h"

namespace fs = boost::filesystem;

namespace {

/// A scratch folder for the whole program, removed at exit.
struct Scratch {
    Scratch() : path(fs::temp_directory_path() / fs::unique_path("kelvo-bench-%%%%-%%%%")) {
        fs::create_directories(path / "S");
    }
    ~Scratch() { fs::remove_all(path); }
    fs::path path;
};

Scratch& Folder() {
    static Scratch scratch;
    return scratch;
}

/// The scan file of about `points` points, written once as kelvo_scangen writes it.
std::string Scan(std::size_t points) {
    static std::map<std::size_t, std::string> scans;
    auto& file = scans[points];
    if (file.empty()) {
        file = (Folder().path / ("scan" + std::to_string(points) + ".pcd")).string();
        ScanScene::WritePcd(file, ScanScene::BoxOnPallet(30.0).Sample(points, 0.001f, 0.0, 1));
    }
    return file;
}

/// The scan loaded and coloured, as a depalletized cloud is saved.
Cloud Coloured(std::size_t points) {
    Cloud cloud(CloudInfo(1, 1, 0, 0, "S", "", Folder().path.string()));
    std::streambuf* saved = std::cout.rdbuf(nullptr);  // Load prints the path
    cloud.Load(Scan(points));
    std::cout.rdbuf(saved);
    std::uint32_t rgb = 12345;
    for (auto& p : cloud.getCloud()->points) {
        p.rgba = 0xff000000u | (rgb = rgb * 1103515245u + 12345u) >> 8;
    }
    return cloud;
}

void BM_LoadLibrary(benchmark::State& state) {
    const std::string file = Scan(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        pcl::PointCloud<pcl::PointXYZ> xyz;
        pcl::PCDReader().read(file, xyz, 0);
        PointCloudRGB rgb;
        pcl::copyPointCloud(xyz, rgb);
        benchmark::DoNotOptimize(rgb.points.data());
    }
}

void BM_Load(benchmark::State& state) {
    const std::string file = Scan(static_cast<std::size_t>(state.range(0)));
    Cloud cloud;
    std::streambuf* saved = std::cout.rdbuf(nullptr);
    for (auto _ : state) {
        cloud.Load(file);
    }
    std::cout.rdbuf(saved);
}

void BM_SaveLibrary(benchmark::State& state) {
    const Cloud cloud = Coloured(static_cast<std::size_t>(state.range(0)));
    const std::string file = (Folder().path / "S" / "library.pcd").string();
    for (auto _ : state) {
        pcl::PCDWriter().write(file, *cloud.getCloud(), false);
    }
}

void BM_Save(benchmark::State& state) {
    Cloud cloud = Coloured(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        cloud.Save();
    }
}

BENCHMARK(BM_LoadLibrary)->Arg(175000)->Arg(870000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Arg(175000)->Arg(870000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveLibrary)->Arg(175000)->Arg(870000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Arg(175000)->Arg(870000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveScene(benchmark::State& state) {
    VRML scene;
    const int boxes = static_cast<int>(state.range(0));
    for (int i = 0; i < boxes; ++i) {
        scene.add(VRMLObj(0.02f, 0.02f, 0.3f, 0.01f * (i % 100), 0.01f * (i / 100), 1.2f));
    }
    const std::string file = (Folder().path / "scene.wrl").string();
    for (auto _ : state) {
        scene.save(file);
    }
    state.SetItemsProcessed(state.iterations() * boxes);
}
BENCHMARK(BM_SaveScene)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
