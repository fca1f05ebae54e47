// kelvo_scangen: writes a synthetic scan with known answers for trying and
// testing kelvo_tools, and prints what a run on it should find.

#include "tools/ScanScene.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

const char* const kUsage =
    "usage: kelvo_scangen SCENE OUT.pcd [--points N] [--angle DEG] [--noise METRES] [--nan FRACTION] "
    "[--seed N]\n"
    "Writes an ASCII PCD scan of a known scene (metres, floor at the largest z) and prints what a\n"
    "run on it should find. Missing folders of OUT.pcd are created.\n"
    "  SCENE: box-on-pallet | side-by-side | pallet-side-by-side | stacked | specks\n"
    "  --points N        about N points (default 60000)\n"
    "  --angle DEG       the scene turned about the vertical (default 30)\n"
    "  --noise METRES    depth noise (default 0.001)\n"
    "  --nan FRACTION    points replaced by NaN, as pixels without a return (default 0)\n"
    "  --seed N          random seed (default 1)\n";

constexpr double kDefaultAngleDeg = 30.0;
constexpr unsigned kDefaultSeed = 1;

/// Parses a whole argument as a number; false on trailing garbage or an empty text.
bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "kelvo_scangen: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (argc < 3) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const std::string sceneName = argv[1];
    const std::string out = argv[2];
    double points = ScanScene::kDefaultPoints;
    double angle = kDefaultAngleDeg;
    double noise = ScanScene::kDefaultNoise;
    double nanFraction = 0.0;
    double seed = kDefaultSeed;
    for (int i = 3; i < argc; i += 2) {
        const std::string option = argv[i];
        double* target = option == "--points" ? &points
                         : option == "--angle" ? &angle
                         : option == "--noise" ? &noise
                         : option == "--nan"   ? &nanFraction
                         : option == "--seed"  ? &seed
                                               : nullptr;
        if (!target) return Fail("unknown option " + option);
        if (i + 1 >= argc || !ParseNumber(argv[i + 1], *target)) return Fail("option " + option + " needs a number");
    }
    if (!(points >= 1 && points <= 1e8)) return Fail("--points must be between 1 and 100000000");
    if (!(noise >= 0 && noise < 0.1)) return Fail("--noise must be between 0 and 0.1 m");
    if (!(nanFraction >= 0 && nanFraction < 1)) return Fail("--nan must be a fraction below 1");
    if (!(seed >= 0 && seed <= 4294967295.0)) return Fail("--seed must be a non-negative 32-bit number");

    ScanScene scene;
    if (!ScanScene::ByName(sceneName, angle, scene)) return Fail("unknown scene " + sceneName);
    const auto cloud = scene.Sample(static_cast<std::size_t>(points), static_cast<float>(noise), nanFraction,
                                    static_cast<unsigned>(seed));
    const std::filesystem::path folder = std::filesystem::path(out).parent_path();
    std::error_code noFolder;
    if (!folder.empty()) std::filesystem::create_directories(folder, noFolder);
    if (noFolder) return Fail("cannot create the folder of " + out + ": " + noFolder.message());
    if (!ScanScene::WritePcd(out, cloud)) return Fail("cannot write " + out);

    float a, b, c, d;
    scene.Plane(a, b, c, d);
    std::printf("file=%s\npoints=%zu\nplane=%g %g %g %g\nfloor_z=%g\n", out.c_str(), cloud.size(), a, b, c, d,
                ScanScene::kFloorZ);
    for (const auto& box : scene.Boxes()) {
        if (box.pallet) {
            std::printf("pallet=%g %g %g top_z=%g\n", box.length, box.width, box.height, box.zTop());
        }
    }
    int k = 0;
    for (const auto& box : scene.Goods()) {
        std::printf("box%d=%g %g %g centre=%g,%g top_z=%g\n", ++k, box.length, box.width, box.height, box.cx,
                    box.cy, box.zTop());
    }
    std::printf("goods_height=%g\n", scene.GoodsHeight());
    return 0;
}
