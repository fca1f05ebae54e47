// kelvo_scangen: writes a synthetic scan with known answers for trying and
// testing kelvo_tools, and prints what a run on it should find.

#include "tools/Version.h"
#include "tools/scangen/DepthCamera.h"
#include "tools/scangen/ScanScene.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

const char* const kUsage =
    "usage: kelvo_scangen SCENE OUT.pcd [--points N] [--angle DEG] [--noise METRES] [--nan FRACTION] "
    "[--seed N]\n"
    "                     [--box LxWxH] [--centre X,Y] [--bulge METRES] [--low METRES]\n"
    "                     [--camera [CAMERA OPTIONS]]\n"
    "       kelvo_scangen --help | --version\n"
    "Writes an ASCII PCD scan of a known scene (metres, floor at the largest z) and prints what a\n"
    "run on it should find. Missing folders of OUT.pcd are created.\n"
    "  SCENE: box-on-pallet | box-on-floor | side-by-side | pallet-side-by-side | stacked | specks\n"
    "         | cylinder (0.4 m across, 0.5 m high, on the floor)\n"
    "         | empty-floor (the station with nothing on it: a raw depth-camera scan, floor kept)\n"
    "         | GOODS-on-floor | GOODS-on-pallet (camera only): goods that are no box, enclosed by --box:\n"
    "           dome            the upper half of an ellipsoid of semi-axes L/2, W/2 and H\n"
    "           lying-cylinder  a cylinder lying along L, its cross-section an ellipse W wide and H\n"
    "                           high (a round one: W = H)\n"
    "           bag             a box with its vertical edges rounded by a fifth of its smaller side\n"
    "                           and a top that rises by --bulge to H at its centre\n"
    "           wedge           a box whose top slopes along L from H down to --low\n"
    "           standing-cylinder  a cylinder standing on its end, its section an ellipse L long and\n"
    "                           W wide (a round one: L = W)\n"
    "         For these the printed box1 is the smallest upright box holding them (L >= W, H over\n"
    "         the support), which is what a run should measure; shape1 names the goods.\n"
    "  --points N        about N points (default 60000)\n"
    "  --angle DEG       the scene turned about the vertical (default 30)\n"
    "  --noise METRES    depth noise (default 0.001)\n"
    "  --nan FRACTION    points replaced by NaN, as pixels without a return (default 0)\n"
    "  --seed N          random seed (default 1)\n"
    "  --box LxWxH       size of the box of box-on-pallet and box-on-floor, or the box enclosing the\n"
    "                    GOODS, metres (default 0.6x0.4x0.5)\n"
    "  --centre X,Y      where that box stands, metres from below the camera (default 0,0)\n"
    "  --bulge METRES    bag: how far the top's centre rises above its corners' line, below H/2\n"
    "                    (default H/4)\n"
    "  --low METRES      wedge: its height at the low end, above 0 and at most H (default H/2)\n"
    "  --pallet-feet     box-on-pallet, GOODS-on-pallet: the pallet stands on nine blocks under its deck\n"
    "  --camera          scan with a depth camera instead of sampling the surfaces: one point per\n"
    "                    pixel, organized (WIDTH x HEIGHT), NaN where a pixel has no return\n"
    "Camera options (with --camera or empty-floor; --points, --noise and --nan do not apply):\n"
    "  --resolution WxH  pixels (default 640x480)\n"
    "  --fov HxV         field of view, degrees (default 70x55)\n"
    "  --tilt DEG        camera turned about its x axis (default 0)\n"
    "  --roll DEG        then about its y axis (default 0); the printed plane follows both\n"
    "  --sigma1 METRES   range noise at 1 m, growing with the square of the range (default 0.0005)\n"
    "  --no-mixed        no mixed pixels: a pixel on a depth edge returns its central ray's surface\n"
    "                    (by default it returns a depth between the near and the far surface)\n"
    "  --missing FRACTION  pixels without a return (default 0.01)\n"
    "  --missing-as-zero   write pixels without a return as 0 0 0 instead of NaN\n"
    "  --floor-tolerance METRES  the scanner's floor removal drops returns this close to the\n"
    "                    floor plane (default 0.015)\n"
    "  --keep-floor      no floor removal: the raw scan\n"
    "  --unorganized     write only the pixels with a return, as one row (WIDTH the returns, HEIGHT 1),\n"
    "                    as scanners that drop the image do\n"
    "  --height METRES   the camera's height above the floor (default 2.5)\n"
    "  --moved METRES    the camera moved this far toward the floor since the station was calibrated\n"
    "                    (negative: away from it); the scanner's floor removal and the printed plane\n"
    "                    keep the height it was calibrated at\n";

constexpr double kDefaultAngleDeg = 30.0;
constexpr unsigned kDefaultSeed = 1;
// --bulge and --low not given: the goods' own defaults.
constexpr double kNotGiven = -1.0;

/// Parses a whole argument as a number; false on trailing garbage or an empty text.
bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

/// Parses count numbers joined by separator, e.g. "640x480" or "0.3,0".
bool ParseNumbers(const std::string& text, char separator, double* values, int count) {
    std::size_t from = 0;
    for (int k = 0; k < count; ++k) {
        const std::size_t to = k + 1 < count ? text.find(separator, from) : text.size();
        if (to == std::string::npos || !ParseNumber(text.substr(from, to - from).c_str(), values[k])) return false;
        from = to + 1;
    }
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "kelvo_scangen: %s\n", message.c_str());
    return 1;
}

/// Everything the command line sets, with the defaults.
struct Request {
    double points = ScanScene::kDefaultPoints;
    double angle = kDefaultAngleDeg;
    double noise = ScanScene::kDefaultNoise;
    double nanFraction = 0.0;
    double seed = kDefaultSeed;
    double box[3] = {0.6, 0.4, 0.5};
    double centre[2] = {0.0, 0.0};
    double bulge = kNotGiven;
    double low = kNotGiven;
    bool boxGiven = false;
    bool palletFeet = false;
    bool camera = false;
    bool unorganized = false;
    std::vector<std::string> samplingOptions;  // given, for the refusal with --camera
    std::vector<std::string> cameraOptions;    // given, for the refusal without it
    DepthCamera::Settings cam;
};

/// Reads the options after SCENE OUT.pcd; an empty text on success, else the complaint.
std::string ParseOptions(int argc, char** argv, Request& q) {
    double resolution[2] = {static_cast<double>(q.cam.width), static_cast<double>(q.cam.height)};
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        // Switches first; every other option takes one value.
        if (option == "--camera") {
            q.camera = true;
            continue;
        }
        if (option == "--pallet-feet") {
            q.palletFeet = true;
            continue;
        }
        bool* flag = option == "--no-mixed"          ? &q.cam.mixedPixels
                     : option == "--missing-as-zero" ? &q.cam.missingAsZero
                     : option == "--keep-floor"      ? &q.cam.removeFloor
                     : option == "--unorganized"     ? &q.unorganized
                                                     : nullptr;
        if (flag) {
            *flag = option == "--missing-as-zero" || option == "--unorganized";
            q.cameraOptions.push_back(option);
            continue;
        }
        double* number = option == "--points"            ? &q.points
                         : option == "--angle"           ? &q.angle
                         : option == "--noise"           ? &q.noise
                         : option == "--nan"             ? &q.nanFraction
                         : option == "--seed"            ? &q.seed
                         : option == "--tilt"            ? &q.cam.tiltDeg
                         : option == "--roll"            ? &q.cam.rollDeg
                         : option == "--sigma1"          ? &q.cam.sigma1
                         : option == "--missing"         ? &q.cam.missing
                         : option == "--floor-tolerance" ? &q.cam.floorTolerance
                         : option == "--height"          ? &q.cam.mountHeight
                         : option == "--moved"           ? &q.cam.moved
                         : option == "--bulge"           ? &q.bulge
                         : option == "--low"             ? &q.low
                                                         : nullptr;
        double* numbers = option == "--box"          ? q.box
                          : option == "--centre"     ? q.centre
                          : option == "--resolution" ? resolution
                          : option == "--fov"        ? &q.cam.fovXDeg
                                                     : nullptr;
        if (!number && !numbers) return "unknown option " + option;
        if (option == "--points" || option == "--noise" || option == "--nan") q.samplingOptions.push_back(option);
        else if (option != "--angle" && option != "--seed" && option != "--box" && option != "--centre" &&
                 option != "--bulge" && option != "--low")
            q.cameraOptions.push_back(option);
        if (option == "--box") q.boxGiven = true;
        if (i + 1 >= argc) return "option " + option + (number ? " needs a number" : " needs a value");
        const char* value = argv[++i];
        if (number && !ParseNumber(value, *number)) return "option " + option + " needs a number";
        if (option == "--centre" && !ParseNumbers(value, ',', q.centre, 2)) return "--centre needs X,Y in metres";
        if (option == "--box" && !ParseNumbers(value, 'x', q.box, 3)) return "--box needs LxWxH in metres";
        if (option == "--resolution" && !ParseNumbers(value, 'x', resolution, 2))
            return "--resolution needs WIDTHxHEIGHT";
        if (option == "--fov") {
            double fov[2];
            if (!ParseNumbers(value, 'x', fov, 2)) return "--fov needs HxV in degrees";
            q.cam.fovXDeg = fov[0];
            q.cam.fovYDeg = fov[1];
        }
    }
    if (!(resolution[0] >= 1 && resolution[0] <= 10000 && resolution[1] >= 1 && resolution[1] <= 10000 &&
          resolution[0] == static_cast<int>(resolution[0]) && resolution[1] == static_cast<int>(resolution[1])))
        return "--resolution must be whole numbers of pixels from 1 to 10000";
    q.cam.width = static_cast<int>(resolution[0]);
    q.cam.height = static_cast<int>(resolution[1]);
    return "";
}

/// What a scene of one item names: its shape and whether it stands on a pallet.
struct OneItem {
    bool named = false;  // the scene is SHAPE-on-floor or SHAPE-on-pallet
    ScanScene::Shape shape = ScanScene::Shape::kBlock;
    bool onPallet = false;
};

OneItem ParseOneItem(const std::string& sceneName) {
    OneItem item;
    for (const bool pallet : {false, true}) {
        const std::string suffix = pallet ? "-on-pallet" : "-on-floor";
        if (sceneName.size() > suffix.size() &&
            sceneName.compare(sceneName.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            ScanScene::ShapeByName(sceneName.substr(0, sceneName.size() - suffix.size()), item.shape)) {
            item.named = true;
            item.onPallet = pallet;
        }
    }
    return item;
}

/// Checks the ranges and the combinations; an empty text when the request can run.
std::string Validate(const std::string& sceneName, const Request& q) {
    if (!(q.points >= 1 && q.points <= 1e8)) return "--points must be between 1 and 100000000";
    if (!(q.noise >= 0 && q.noise < 0.1)) return "--noise must be between 0 and 0.1 m";
    if (!(q.nanFraction >= 0 && q.nanFraction < 1)) return "--nan must be a fraction below 1";
    if (!(q.seed >= 0 && q.seed <= 4294967295.0)) return "--seed must be a non-negative 32-bit number";
    if (!(q.box[0] > 0 && q.box[1] > 0 && q.box[2] > 0 && q.box[0] <= 3 && q.box[1] <= 3 && q.box[2] <= 2))
        return "--box sizes must be above 0 and at most 3x3x2 m";
    if (!(std::fabs(q.centre[0]) <= 5 && std::fabs(q.centre[1]) <= 5)) return "--centre must be within 5 m";
    const OneItem item = ParseOneItem(sceneName);
    if (q.palletFeet && !item.onPallet) return "--pallet-feet applies to box-on-pallet and GOODS-on-pallet only";
    if ((q.boxGiven || q.centre[0] != 0 || q.centre[1] != 0) && !item.named)
        return "--box and --centre apply to box-on-pallet, box-on-floor and GOODS-on-floor/-pallet only";
    const bool bag = item.named && item.shape == ScanScene::Shape::kBag;
    const bool wedge = item.named && item.shape == ScanScene::Shape::kWedge;
    if (q.bulge != kNotGiven && !bag) return "--bulge applies to bag-on-floor and bag-on-pallet only";
    if (q.low != kNotGiven && !wedge) return "--low applies to wedge-on-floor and wedge-on-pallet only";
    if (q.bulge != kNotGiven && !(q.bulge >= 0 && q.bulge < q.box[2] / 2))
        return "--bulge must be from 0 to below half the bag's height";
    if (q.low != kNotGiven && !(q.low > 0 && q.low <= q.box[2]))
        return "--low must be above 0 and at most the wedge's height";
    if (item.named && item.shape != ScanScene::Shape::kBlock && !q.camera)
        return sceneName + " needs --camera (only boxes are sampled without it)";
    const auto& c = q.cam;
    if (!(c.fovXDeg > 0 && c.fovXDeg < 170 && c.fovYDeg > 0 && c.fovYDeg < 170))
        return "--fov must be between 0 and 170 degrees each way";
    if (!(std::fabs(c.tiltDeg) <= 45 && std::fabs(c.rollDeg) <= 45)) return "--tilt and --roll must be within 45 degrees";
    if (!(c.sigma1 >= 0 && c.sigma1 < 0.05)) return "--sigma1 must be between 0 and 0.05 m";
    if (!(c.missing >= 0 && c.missing < 1)) return "--missing must be a fraction below 1";
    if (!(c.floorTolerance >= 0 && c.floorTolerance < 0.5)) return "--floor-tolerance must be between 0 and 0.5 m";
    if (!(c.mountHeight >= 0.5 && c.mountHeight <= 10)) return "--height must be between 0.5 and 10 m";
    if (!(std::fabs(c.moved) <= 0.2)) return "--moved must be within 0.2 m";
    const bool camera = q.camera || sceneName == "empty-floor";
    if (camera && !q.samplingOptions.empty()) return q.samplingOptions.front() + " does not apply to the camera";
    if (!camera && !q.cameraOptions.empty()) return q.cameraOptions.front() + " needs --camera";
    return "";
}

/// Writes the scan; an empty text on success, else the complaint.
std::string Write(const std::string& out, const std::vector<ScanScene::Point>& cloud, std::size_t width,
                  std::size_t height) {
    const std::filesystem::path folder = std::filesystem::path(out).parent_path();
    std::error_code noFolder;
    if (!folder.empty()) std::filesystem::create_directories(folder, noFolder);
    if (noFolder) return "cannot create the folder of " + out + ": " + noFolder.message();
    if (!ScanScene::WritePcd(out, cloud, width, height)) return "cannot write " + out;
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("kelvo_scangen " KELVO_VERSION);
            return 0;
        }
    }
    if (argc < 3) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const std::string sceneName = argv[1];
    const std::string out = argv[2];
    Request q;
    std::string complaint = ParseOptions(argc, argv, q);
    if (complaint.empty()) complaint = Validate(sceneName, q);
    if (!complaint.empty()) return Fail(complaint);

    ScanScene scene;
    const OneItem item = ParseOneItem(sceneName);
    const auto length = static_cast<float>(q.box[0]), width = static_cast<float>(q.box[1]),
               height = static_cast<float>(q.box[2]);
    if (item.named && item.shape == ScanScene::Shape::kBlock) {
        scene = ScanScene::SingleBox(length, width, height, static_cast<float>(q.centre[0]),
                                     static_cast<float>(q.centre[1]), q.angle, item.onPallet, q.palletFeet);
    } else if (item.named) {
        const float bulge = q.bulge == kNotGiven ? height / 4 : static_cast<float>(q.bulge);
        const float low = q.low == kNotGiven ? height / 2 : static_cast<float>(q.low);
        scene = ScanScene::SingleGoods(item.shape, length, width, height, static_cast<float>(q.centre[0]),
                                       static_cast<float>(q.centre[1]), q.angle, item.onPallet, q.palletFeet, bulge,
                                       low);
    } else if (sceneName == "empty-floor") {
        q.camera = true;
        q.cam.removeFloor = false;
    } else if (!ScanScene::ByName(sceneName, q.angle, scene)) {
        return Fail("unknown scene " + sceneName);
    }

    float a, b, c, d;
    scene.Plane(a, b, c, d);
    std::size_t returns = 0;
    bool flatFloor = true;
    if (q.camera) {
        q.cam.seed = static_cast<unsigned>(q.seed);
        const DepthCamera camera(scene, q.cam);
        const auto image = camera.Scan();
        const auto cloud = q.unorganized ? DepthCamera::Returns(image) : image;
        complaint = q.unorganized ? Write(out, cloud, cloud.size(), 1)
                                  : Write(out, cloud, static_cast<std::size_t>(q.cam.width),
                                          static_cast<std::size_t>(q.cam.height));
        returns = DepthCamera::Returns(image).size();
        camera.Plane(a, b, c, d);
        flatFloor = !camera.Tilted();
        if (complaint.empty()) std::printf("file=%s\npoints=%zu\nreturns=%zu\n", out.c_str(), cloud.size(), returns);
    } else {
        const auto cloud = scene.Sample(static_cast<std::size_t>(q.points), static_cast<float>(q.noise),
                                        q.nanFraction, static_cast<unsigned>(q.seed));
        complaint = Write(out, cloud, cloud.size(), 1);
        if (complaint.empty()) std::printf("file=%s\npoints=%zu\n", out.c_str(), cloud.size());
    }
    if (!complaint.empty()) return Fail(complaint);

    std::printf("plane=%g %g %g %g\n", a, b, c, d);
    // With a turned camera the floor is no plane of constant z; the plane above says where it is.
    // The camera's frame: the scene's, less the camera's place in it.
    const float shift = q.camera ? static_cast<float>(ScanScene::kFloorZ - (q.cam.mountHeight - q.cam.moved)) : 0.0f;
    if (flatFloor) std::printf("floor_z=%g\n", ScanScene::kFloorZ - shift);
    // The pallet's first box is the whole pallet, or its deck when it stands on feet.
    for (const auto& box : scene.Boxes()) {
        if (box.pallet) {
            std::printf("pallet=%g %g %g top_z=%g\n", box.length, box.width, ScanScene::kPalletHeight,
                        box.zTop() - shift);
            break;
        }
    }
    int k = 0;
    for (const auto& box : scene.Goods()) {
        // Goods that are no box: their enclosing box, the longer side first, and what they are.
        const bool block = box.shape == ScanScene::Shape::kBlock;
        std::printf("box%d=%g %g %g centre=%g,%g top_z=%g\n", ++k, block ? box.length : std::max(box.length, box.width),
                    block ? box.width : std::min(box.length, box.width), box.height, box.cx, box.cy,
                    box.zTop() - shift);
        if (!block) std::printf("shape%d=%s\n", k, sceneName.substr(0, sceneName.find("-on-")).c_str());
    }
    std::printf("goods_height=%g\n", scene.GoodsHeight());
    return 0;
}
