#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <boost/filesystem/operations.hpp>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "run/RunHarness.h"

TEST(ScanGen, HelpSucceedsAndMissingFoldersAreCreated) {
    const kelvo_test::RunDir dir(false);
    const std::string generator = KELVO_SCANGEN_BIN;
    const boost::filesystem::path help = dir.Path() / "help.txt";
    EXPECT_EQ(std::system((generator + " --help >" + help.string()).c_str()), 0);
    EXPECT_EQ(kelvo_test::ReadText(help).rfind("usage: kelvo_scangen SCENE OUT.pcd", 0), 0u);

    const boost::filesystem::path scan = dir.Path() / "new" / "session" / "S1.pcd";
    EXPECT_EQ(
        std::system((generator + " stacked " + scan.string() + " --points 500 >/dev/null").c_str()),
        0);
    EXPECT_TRUE(boost::filesystem::is_regular_file(scan));
}

// The depth camera, checked from the outside against the pinhole geometry, the floor plane and the noise law it claims.
namespace {

constexpr double kPi = 3.14159265358979323846;
using Point = std::array<double, 3>;

/// One generated scan: exit code, what it printed, the plane printed, its file and points (NaN stays NaN).
struct Scan {
    int status = -1;
    std::string out, text;
    std::array<double, 4> plane{};
    std::vector<Point> points;
};

Scan Generate(const kelvo_test::RunDir& dir, const std::string& scene, const std::string& options,
              const std::string& name = "S1.pcd") {
    Scan s;
    const boost::filesystem::path file = dir.Path() / name, out = dir.Path() / (name + ".txt");
    const int w = std::system((std::string(KELVO_SCANGEN_BIN) + " " + scene + " " + file.string() + " " + options +
                               " >" + out.string() + " 2>&1").c_str());
    s.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
    s.out = kelvo_test::ReadText(out);
    std::istringstream plane(s.out.substr(std::min(s.out.size(), s.out.find("plane=") + 6)));
    for (double& v : s.plane) plane >> v;
    s.text = kelvo_test::ReadText(file);
    std::istringstream in(s.text.substr(std::min(s.text.size(), s.text.find("DATA ascii\n") + 11)));
    for (std::string x, y, z; in >> x >> y >> z;) s.points.push_back({std::stod(x), std::stod(y), std::stod(z)});
    return s;
}

double Dot(const double* a, const Point& p) { return a[0] * p[0] + a[1] * p[1] + a[2] * p[2]; }
double Range(const Point& p) { return std::sqrt(Dot(p.data(), p)); }
double Distance(const std::array<double, 4>& plane, const Point& p) { return Dot(plane.data(), p) + plane[3]; }

/// Unit direction of the central ray of pixel i of a width × height pinhole with these fields of view.
Point PixelRay(std::size_t i, int width, int height, double fovX, double fovY) {
    const double x = (i % width + 0.5 - width / 2.0) * std::tan(fovX / 2 * kPi / 180) / (width / 2.0);
    const double y = (i / width + 0.5 - height / 2.0) * std::tan(fovY / 2 * kPi / 180) / (height / 2.0);
    const double n = std::sqrt(x * x + y * y + 1);
    return {x / n, y / n, 1 / n};
}

}  // namespace

TEST(ScanGenCamera, RawFloorIsOneRowPerPixelNoReturnNanOrZerosNoiseWithTheSquareOfTheRangeSameForTheSameSeed) {
    const kelvo_test::RunDir dir(false);
    // On the raw empty floor every pixel has something to return: only the share asked for is lost.
    const std::string options = "--resolution 320x240 --missing 0.1 --sigma1 0.004";
    const Scan nan = Generate(dir, "empty-floor", options);
    const Scan zero = Generate(dir, "empty-floor", options + " --missing-as-zero", "zero.pcd");
    EXPECT_NE(nan.text.find("WIDTH 320\nHEIGHT 240\nVIEWPOINT 0 0 0 1 0 0 0\nPOINTS 76800\n"), std::string::npos);
    EXPECT_EQ(nan.points.size(), 76800u);
    // Range error over the square of the range, near (under 2.9 m) and far (out to 3.3 m in the corners).
    double sum[2] = {}, sum2[2] = {};
    int count[2] = {}, missing = 0;
    for (std::size_t i = 0; i < nan.points.size(); ++i) {
        const bool none = std::isnan(nan.points[i][0]);
        missing += none ? 1 : 0;
        ASSERT_EQ(zero.points.at(i), (none ? Point{0, 0, 0} : nan.points[i])) << "pixel " << i;
        const double truth = 2.5 / PixelRay(i, 320, 240, 70, 55)[2], e = (Range(nan.points[i]) - truth) / truth / truth;
        if (none) continue;
        sum[truth > 2.9] += e;
        sum2[truth > 2.9] += e * e;
        ++count[truth > 2.9];
    }
    for (int far = 0; far < 2; ++far) {
        const double mean = sum[far] / count[far];
        EXPECT_NEAR(std::sqrt(sum2[far] / count[far] - mean * mean), 0.004, 0.03 * 0.004) << "far " << far;
        EXPECT_NEAR(mean, 0.0, 0.05 * 0.004) << "far " << far;
    }
    EXPECT_NEAR(missing / 76800.0, 0.1, 0.01);
    const std::string counts = "\npoints=76800\nreturns=" + std::to_string(76800 - missing) + "\n";
    for (const Scan* s : {&nan, &zero}) EXPECT_NE(s->out.find(counts), std::string::npos) << s->out;
    // Unorganized: the returns alone, in pixel order, as one row.
    const Scan returns = Generate(dir, "empty-floor", options + " --unorganized", "returns.pcd");
    std::vector<Point> finite;
    std::copy_if(nan.points.begin(), nan.points.end(), std::back_inserter(finite),
                 [](const Point& p) { return !std::isnan(p[0]); });
    EXPECT_EQ(returns.points, finite);
    const std::string n = std::to_string(finite.size());
    EXPECT_NE(returns.text.find("WIDTH " + n + "\nHEIGHT 1\nVIEWPOINT 0 0 0 1 0 0 0\nPOINTS " + n + "\n"),
              std::string::npos);
    EXPECT_EQ(Generate(dir, "empty-floor", options, "again.pcd").text, nan.text);
    EXPECT_NE(Generate(dir, "empty-floor", options + " --seed 2", "other.pcd").text, nan.text);
}

TEST(ScanGenCamera, TiltGivesThePrintedPlaneAndFloorRemovalLeavesNothingWithinItsTolerance) {
    const kelvo_test::RunDir dir(false);
    for (const auto& [tilt, roll, tolerance] : std::vector<std::tuple<double, double, double>>{
             {0, 0, 0.015}, {0, -7, 0.04}, {12, 5, 0.015}}) {  // 0.015 is the default, not passed
        const std::string angles = " --tilt " + std::to_string(tilt) + " --roll " + std::to_string(roll);
        const Scan raw = Generate(dir, "empty-floor", "--resolution 80x60 --sigma1 0 --missing 0" + angles);
        ASSERT_EQ(raw.points.size(), 4800u);
        EXPECT_NEAR(raw.plane[2], std::cos(tilt * kPi / 180) * std::cos(roll * kPi / 180), 1e-5) << angles;
        EXPECT_EQ(raw.out.find("floor_z=") != std::string::npos, tilt == 0 && roll == 0) << angles;
        for (const Point& p : raw.points) ASSERT_NEAR(Distance(raw.plane, p), 0.0, 2e-5) << angles;
        const Scan cut = Generate(dir, "box-on-floor", "--camera --resolution 160x120 --sigma1 0.002" + angles +
                                  (tolerance == 0.015 ? "" : " --floor-tolerance 0.04"), "cut.pcd");
        int near = 0, strays = 0;
        for (const Point& p : cut.points) {
            // NaN counts nowhere; 10 micrometres spare for the six decimals of the file and of the plane.
            const double h = std::fabs(Distance(raw.plane, p));
            near += h < tolerance - 1e-5 ? 1 : 0;
            strays += h > tolerance + 1e-5 && h < tolerance + 0.05 ? 1 : 0;
        }
        EXPECT_EQ(near, 0) << angles;
        EXPECT_GT(strays, 0) << angles << ": what lies just beyond the tolerance survives";
    }
}

TEST(ScanGenCamera, EveryReturnLiesOnItsPixelsRayMixedOnesBetweenTheSurfacesOfTheirEdge) {
    const kelvo_test::RunDir dir(false);
    // A noise-free 0.6 × 0.4 × 0.5 box right under an untilted camera: its top at z = 2, the floor at 2.5, no
    // side seen. Six decimals in the file: a few micrometres off at most.
    const std::string options = "--camera --resolution 160x120 --fov 60x45 --sigma1 0 --missing 0 --keep-floor";
    const Scan clean = Generate(dir, "box-on-floor", options + " --angle 20 --no-mixed");
    const Scan mixed = Generate(dir, "box-on-floor", options + " --angle 20", "mixed.pcd");
    ASSERT_EQ(clean.points.size(), 19200u);
    const double c = std::cos(20 * kPi / 180), s = std::sin(20 * kPi / 180);
    int mixedPixels = 0;
    for (std::size_t i = 0; i < clean.points.size(); ++i) {
        const Point &p = clean.points[i], &q = mixed.points.at(i), d = PixelRay(i, 160, 120, 60, 45);
        ASSERT_LT(std::hypot(q[0] - Range(q) * d[0], q[1] - Range(q) * d[1], q[2] - Range(q) * d[2]), 1e-5) << i;
        const bool inside = std::fabs(p[0] * c + p[1] * s) < 0.3 + 1e-5 && std::fabs(p[1] * c - p[0] * s) < 0.2 + 1e-5;
        ASSERT_NEAR(p[2], inside ? 2.0 : 2.5, 1e-5) << "pixel " << i << ": the top inside the outline, else the floor";
        if (q == p) continue;
        ++mixedPixels;
        ASSERT_TRUE(q[2] > 2.0 && q[2] < 2.5) << "pixel " << i << " mixed beyond its edge's surfaces";
    }
    // About one pixel in each ring of the outline.
    EXPECT_TRUE(mixedPixels > 80 && mixedPixels < 400) << mixedPixels;
}

TEST(ScanGenCamera, PrintsTheBoxKeepsTheOldSceneAndRefusesWhatDoesNotFit) {
    const kelvo_test::RunDir dir(false);
    const Scan box = Generate(dir, "box-on-floor", "--camera --box 1.2x0.8x1 --centre 0.3,-0.1 --resolution 32x24");
    EXPECT_NE(box.out.find("\nbox1=1.2 0.8 1 centre=0.3,-0.1 top_z=1.5\ngoods_height=1\n"), std::string::npos);
    EXPECT_EQ(box.out.find("pallet="), std::string::npos);
    // The one-box scene with the old box is the old scene, point for point.
    EXPECT_EQ(Generate(dir, "box-on-pallet", "--points 800 --box 0.6x0.4x0.5 --centre 0,0", "same.pcd").text,
              Generate(dir, "box-on-pallet", "--points 800", "old.pcd").text);
    // Each refused with one line, exit status 1 and no file.
    for (const std::string c :
         {"box-on-floor --tilt 3", "box-on-floor --no-mixed", "box-on-floor --camera --points 100",
          "empty-floor --points 10", "box-on-floor --box 1x2", "stacked --box 1x1x1", "box-on-floor --camera --fov 70",
          "box-on-floor --camera --resolution 0x5", "box-on-floor --camera --missing 1",
          "box-on-floor --camera --sigma1 -1", "box-on-floor --unorganized",
          // Options that do not fit the goods.
          "dome-on-floor --box 0.3x0.2x0.1", "bag-on-floor --camera --bulge 0.25", "bag-on-floor --camera --bulge -0.1",
          "wedge-on-pallet --camera --low 0", "wedge-on-floor --camera --box 0.3x0.2x0.1 --low 0.11",
          "dome-on-floor --camera --low 0.1", "box-on-floor --bulge 0.01", "cone-on-floor --camera",
          "dome-on-floor --camera --pallet-feet", "dome-on --camera"}) {
        const Scan refused = Generate(dir, c.substr(0, c.find(' ')), c.substr(c.find(' ')), "refused.pcd");
        EXPECT_EQ(refused.status, 1) << c;
        EXPECT_EQ(std::count(refused.out.begin(), refused.out.end(), '\n'), 1) << c;
        EXPECT_FALSE(boost::filesystem::exists(dir.Path() / "refused.pcd")) << c;
    }
}

// Goods that are no box: each rendered by the camera lies on its own surface and fills the
// enclosing box printed.
namespace {

/// The numbers of the printed line starting with key (e.g. "box1="), labels and commas skipped.
std::vector<double> Printed(const std::string& out, const std::string& key, int count) {
    std::vector<double> values;
    const std::size_t at = out.find("\n" + key);
    if (at == std::string::npos) return values;
    std::istringstream in(
        out.substr(at + 1 + key.size(), out.find('\n', at + 1) - at - 1 - key.size()));
    for (std::string word; static_cast<int>(values.size()) < count && in >> word;) {
        std::istringstream parts(word.substr(word.find('=') + 1));
        for (std::string part; std::getline(parts, part, ',');) values.push_back(std::stod(part));
    }
    return values;
}

/// How far point (u, v, h) of the goods' own frame lies off the surface of shape, metres (near 0 on
/// it). Seen from above: a dome is all ellipsoid; the others show their top or a vertical side.
double OffSurface(const std::string& shape, double L, double W, double H, double u, double v,
                  double h) {
    const double a = L / 2, b = W / 2;
    const double side =
        std::min(a - std::fabs(u), b - std::fabs(v));  // into the footprint from its nearest side
    if (shape == "dome")
        return (std::sqrt(u * u / (a * a) + v * v / (b * b) + h * h / (H * H)) - 1) *
               std::min(b, H);
    if (shape == "lying-cylinder") {
        const double across = (std::hypot(v / b, (h - H / 2) / (H / 2)) - 1) * std::min(b, H / 2);
        return a - std::fabs(u) < 1e-5 ? std::max(across, 0.0)
                                       : across;  // an end: anywhere within the section
    }
    if (shape == "wedge") {
        const double top = H - (H / 2) * (u + a) / L;  // --low defaults to half the height
        return std::min(std::fabs(top - h), std::max(side, 0.0));
    }
    if (shape == "bag") {
        const double r = std::min(L, W) / 5, cu = std::max(std::fabs(u) - (a - r), 0.0),
                     cv = std::max(std::fabs(v) - (b - r), 0.0);
        const double wall = r - std::hypot(cu, cv) -
                            std::min(std::max(std::fabs(u) - (a - r), std::fabs(v) - (b - r)), 0.0);
        const double top =
            H - (H / 4) * (u * u / (a * a) + v * v / (b * b));  // --bulge defaults to a quarter
        return std::min(std::fabs(top - h), std::max(wall, 0.0));
    }
    if (shape == "standing-cylinder") {
        const double wall = (1 - std::hypot(u / a, v / b)) * std::min(a, b);
        return std::min(std::fabs(H - h), std::max(wall, 0.0));
    }
    return std::min(std::fabs(H - h), std::max(side, 0.0));  // a box
}

}  // namespace

TEST(ScanGenGoods, EachShapeLiesOnItsSurfaceWithinThePrintedEnclosingBoxAndFillsIt) {
    const kelvo_test::RunDir dir(false);
    // Box given (length along the goods' own u first), turned 20 degrees, off centre so that the
    // camera sees two sides; printed L >= W.
    for (const auto& [shape, box, printedL, printedW] :
         std::vector<std::tuple<std::string, std::string, double, double>>{
             {"box", "0.35x0.25x0.025", 0.35, 0.25},
             {"dome", "0.2x0.3x0.15", 0.3, 0.2},
             {"lying-cylinder", "0.5x0.12x0.12", 0.5, 0.12},
             {"bag", "0.4x0.3x0.1", 0.4, 0.3},
             {"wedge", "0.172x0.043x0.023", 0.172, 0.043},
             {"standing-cylinder", "0.1x0.12x0.2", 0.12, 0.1}}) {
        for (const std::string support : {"floor", "pallet"}) {
            const std::string scene = shape + "-on-" + support, what = scene + " " + box;
            const Scan s = Generate(dir, scene,
                                    "--camera --resolution 320x240 --fov 40x30 --sigma1 0 --missing 0 --no-mixed "
                                    "--keep-floor --angle 20 --centre 0.45,-0.3 --box " +
                                        box);
            ASSERT_EQ(s.status, 0) << what << ": " << s.out;
            const std::vector<double> printed = Printed(s.out, "box1=", 6);
            ASSERT_EQ(printed.size(), 6u) << s.out;
            EXPECT_EQ(printed[0], printedL) << what;
            EXPECT_EQ(printed[1], printedW) << what;
            EXPECT_EQ(s.out.find("shape1=" + shape + "\n") != std::string::npos, shape != "box")
                << s.out;
            const double H = printed[2], support_z = printed[5] + H;
            const double L = std::stod(box.substr(0, box.find('x'))),
                         W = std::stod(box.substr(box.find('x') + 1));
            const double c = std::cos(20 * kPi / 180), sn = std::sin(20 * kPi / 180);
            double lo[3] = {1, 1, 1}, hi[3] = {-1, -1, -1}, worst = 0;
            int goods = 0;
            for (const Point& p : s.points) {
                const double x = p[0] - 0.45, y = p[1] + 0.3, h = support_z - p[2];
                // The support and what lies beyond it (the floor around a pallet) are no goods.
                if (!(h > 2e-5) || p[2] > 2.5 - 1e-5) continue;
                const double q[3] = {x * c + y * sn, -x * sn + y * c, h};
                for (int k = 0; k < 3; ++k)
                    lo[k] = std::min(lo[k], q[k]), hi[k] = std::max(hi[k], q[k]);
                worst = std::max(worst, std::fabs(OffSurface(shape, L, W, H, q[0], q[1], q[2])));
                ++goods;
            }
            ASSERT_GT(goods, 100) << what;
            EXPECT_LT(worst, 2e-5) << what << ": a return off the goods' surface";
            // Within the box, and reaching it on every side and at the top to a pixel (5.5 mm
            // at 2.4 m) and what a dome's flank 15 degrees off the camera's axis hides (some 4 mm).
            const double half[3] = {L / 2, W / 2, H}, reach = 0.011;
            for (int k = 0; k < 3; ++k) {
                EXPECT_LE(hi[k], half[k] + 2e-5) << what << " axis " << k;
                EXPECT_GT(hi[k], half[k] - reach) << what << " axis " << k;
                if (k == 2) continue;  // the goods stand on the support: h starts at 0
                EXPECT_LT(lo[k], -half[k] + reach) << what << " axis " << k;
                EXPECT_GE(lo[k], -half[k] - 2e-5) << what << " axis " << k;
            }
        }
    }
}
