#include <gtest/gtest.h>

#include <array>
#include <boost/filesystem/operations.hpp>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
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

// The depth camera, checked from the outside: the scans it writes against the
// pinhole geometry, the floor plane and the noise law it claims.
namespace {

constexpr double kPi = 3.14159265358979323846;

/// One generated scan: what the generator printed and the points of its file.
struct Scan {
    int status = -1;
    std::map<std::string, std::string> printed;  // key=value lines
    std::string header;                          // the PCD header, up to DATA
    std::string text;                            // the whole file
    std::vector<std::array<double, 3>> points;   // in file order; NaN stays NaN
};

Scan Generate(const kelvo_test::RunDir& dir, const std::string& scene, const std::string& options,
              const std::string& name = "S1.pcd") {
    Scan s;
    const boost::filesystem::path file = dir.Path() / name, out = dir.Path() / (name + ".txt");
    const std::string command = std::string(KELVO_SCANGEN_BIN) + " " + scene + " " + file.string() + " " + options +
                                " >" + out.string() + " 2>&1";
    s.status = std::system(command.c_str());
    std::istringstream printed(kelvo_test::ReadText(out));
    for (std::string line; std::getline(printed, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) s.printed[line.substr(0, eq)] = line.substr(eq + 1);
    }
    s.text = kelvo_test::ReadText(file);
    std::istringstream in(s.text);
    bool data = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        if (!data) {
            s.header += line + "\n";
            data = line.rfind("DATA", 0) == 0;
            continue;
        }
        std::array<double, 3> p;
        for (double& v : p) {
            std::string word;
            words >> word;
            v = word == "nan" ? std::nan("") : std::stod(word);
        }
        s.points.push_back(p);
    }
    return s;
}

/// The printed plane a b c d.
std::array<double, 4> Plane(const Scan& s) {
    std::array<double, 4> p{};
    std::istringstream in(s.printed.at("plane"));
    for (double& v : p) in >> v;
    return p;
}

double Distance(const std::array<double, 4>& plane, const std::array<double, 3>& p) {
    return plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3];
}

/// Unit direction of the central ray of pixel i of a width × height pinhole with these fields of view.
std::array<double, 3> PixelRay(int i, int width, int height, double fovX, double fovY) {
    const double u = i % width + 0.5, v = i / width + 0.5;
    const double x = (u - width / 2.0) * std::tan(fovX / 2 * kPi / 180) / (width / 2.0);
    const double y = (v - height / 2.0) * std::tan(fovY / 2 * kPi / 180) / (height / 2.0);
    const double n = std::sqrt(x * x + y * y + 1);
    return {x / n, y / n, 1 / n};
}

double Range(const std::array<double, 3>& p) { return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]); }

}  // namespace

TEST(ScanGenCamera, WritesOneRowPerPixelWithNoReturnAsNanOrZerosSameForTheSameSeed) {
    const kelvo_test::RunDir dir(false);
    const Scan nan = Generate(dir, "box-on-pallet", "--camera --resolution 64x48 --missing 0.05");
    const Scan zero = Generate(dir, "box-on-pallet", "--camera --resolution 64x48 --missing 0.05 --missing-as-zero",
                               "zero.pcd");
    ASSERT_EQ(nan.status, 0);
    ASSERT_EQ(zero.status, 0);
    EXPECT_NE(nan.header.find("WIDTH 64\nHEIGHT 48\n"), std::string::npos);
    EXPECT_NE(nan.header.find("POINTS 3072\n"), std::string::npos);
    ASSERT_EQ(nan.points.size(), 3072u);
    ASSERT_EQ(zero.points.size(), 3072u);
    EXPECT_EQ(nan.printed.at("points"), "3072");
    int missing = 0, returns = 0;
    for (std::size_t i = 0; i < nan.points.size(); ++i) {
        if (std::isnan(nan.points[i][0])) {
            ++missing;
            EXPECT_EQ(zero.points[i], (std::array<double, 3>{0, 0, 0})) << "pixel " << i;
        } else {
            ++returns;
            EXPECT_EQ(zero.points[i], nan.points[i]) << "pixel " << i;
        }
    }
    EXPECT_GT(missing, 0);
    EXPECT_EQ(nan.printed.at("returns"), std::to_string(returns));
    EXPECT_EQ(zero.text.find("nan"), std::string::npos);
    // Same seed, same scan; another seed, another.
    EXPECT_EQ(Generate(dir, "box-on-pallet", "--camera --resolution 64x48 --missing 0.05", "again.pcd").text, nan.text);
    EXPECT_NE(Generate(dir, "box-on-pallet", "--camera --resolution 64x48 --missing 0.05 --seed 2", "other.pcd").text,
              nan.text);

    // On the raw empty floor every pixel has something to return: only the share asked for is lost.
    const Scan floor = Generate(dir, "empty-floor", "--resolution 64x48 --missing 0.1", "floor.pcd");
    int lost = 0;
    for (const auto& p : floor.points) lost += std::isnan(p[0]) ? 1 : 0;
    EXPECT_NEAR(lost / 3072.0, 0.1, 0.03);
}

TEST(ScanGenCamera, EveryReturnLiesOnItsPixelsRay) {
    const kelvo_test::RunDir dir(false);
    const Scan s = Generate(dir, "box-on-pallet", "--camera --resolution 80x60 --fov 60x45 --tilt 8 --roll -3 --keep-floor");
    ASSERT_EQ(s.status, 0);
    ASSERT_EQ(s.points.size(), 80u * 60u);
    int returns = 0;
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        const auto& p = s.points[i];
        if (std::isnan(p[0])) continue;
        ++returns;
        const auto d = PixelRay(static_cast<int>(i), 80, 60, 60, 45);
        const double r = Range(p);
        const double along = p[0] * d[0] + p[1] * d[1] + p[2] * d[2];
        // Six decimals in the file: a few micrometres off the ray at most.
        EXPECT_NEAR(along, r, 1e-5) << "pixel " << i;
        EXPECT_LT(std::sqrt(std::max(0.0, r * r - along * along)), 1e-5) << "pixel " << i;
    }
    EXPECT_GT(returns, 4000);
}

TEST(ScanGenCamera, RangeNoiseGrowsWithTheSquareOfTheRange) {
    const kelvo_test::RunDir dir(false);
    for (const double sigma1 : {0.0, 0.001, 0.004}) {
        const Scan s = Generate(dir, "empty-floor", "--resolution 320x240 --missing 0 --sigma1 " + std::to_string(sigma1));
        ASSERT_EQ(s.status, 0);
        // Range bins across the image: under the camera (2.5 m) out to the corners (about 3.3 m).
        const double edges[] = {2.5, 2.7, 2.9, 3.1, 3.4};
        double sum[4] = {}, sum2[4] = {}, r2[4] = {};
        int count[4] = {};
        for (std::size_t i = 0; i < s.points.size(); ++i) {
            ASSERT_FALSE(std::isnan(s.points[i][0])) << "the raw floor returns everywhere";
            const auto d = PixelRay(static_cast<int>(i), 320, 240, 70, 55);
            const double truth = 2.5 / d[2];
            const double e = Range(s.points[i]) - truth;
            for (int b = 0; b < 4; ++b) {
                if (truth >= edges[b] && truth < edges[b + 1]) {
                    sum[b] += e;
                    sum2[b] += e * e;
                    r2[b] += truth * truth;
                    ++count[b];
                }
            }
        }
        for (int b = 0; b < 4; ++b) {
            ASSERT_GT(count[b], 2000) << "bin " << b;
            const double mean = sum[b] / count[b];
            const double sigma = std::sqrt(sum2[b] / count[b] - mean * mean);
            const double expected = sigma1 * r2[b] / count[b];
            EXPECT_NEAR(sigma, expected, 0.05 * expected + 2e-6) << "sigma1 " << sigma1 << " bin " << b;
            EXPECT_NEAR(mean, 0.0, 0.1 * expected + 2e-6) << "sigma1 " << sigma1 << " bin " << b;
        }
    }
}

TEST(ScanGenCamera, FloorRemovalLeavesNothingWithinItsTolerance) {
    const kelvo_test::RunDir dir(false);
    struct Case {
        std::string options;
        double tolerance;
    };
    for (const Case& c : {Case{"", 0.015}, Case{"--floor-tolerance 0.04 --sigma1 0.002", 0.04},
                          Case{"--tilt 6 --roll 4 --sigma1 0.002", 0.015}}) {
        const Scan s = Generate(dir, "box-on-floor", "--camera --resolution 160x120 " + c.options);
        const Scan raw = Generate(dir, "box-on-floor", "--camera --resolution 160x120 --keep-floor " + c.options,
                                  "raw.pcd");
        ASSERT_EQ(s.status, 0);
        ASSERT_EQ(raw.status, 0);
        const auto plane = Plane(s);
        int near = 0, strays = 0, rawNear = 0;
        for (std::size_t i = 0; i < s.points.size(); ++i) {
            if (!std::isnan(raw.points[i][0]) && std::fabs(Distance(plane, raw.points[i])) <= c.tolerance) ++rawNear;
            if (std::isnan(s.points[i][0])) continue;
            const double h = std::fabs(Distance(plane, s.points[i]));
            if (h <= c.tolerance + 1e-6) ++near;
            if (h < c.tolerance + 0.05) ++strays;
        }
        EXPECT_EQ(near, 0) << c.options;
        EXPECT_GT(strays, 0) << c.options << ": what lies just beyond the tolerance survives";
        EXPECT_GT(rawNear, 10000) << c.options << ": the raw scan keeps the floor";
    }
}

TEST(ScanGenCamera, MixedPixelsLieBetweenTheSurfacesOfTheirEdge) {
    const kelvo_test::RunDir dir(false);
    // A noise-free 0.6 × 0.4 × 0.5 box on the floor under an untilted camera: its top at z = 2, floor at 2.5.
    const std::string options = "--camera --resolution 160x120 --sigma1 0 --missing 0 --keep-floor --angle 20";
    const Scan clean = Generate(dir, "box-on-floor", options + " --no-mixed");
    const Scan mixed = Generate(dir, "box-on-floor", options, "mixed.pcd");
    ASSERT_EQ(clean.status, 0);
    ASSERT_EQ(mixed.status, 0);
    const double c = std::cos(20 * kPi / 180), sn = std::sin(20 * kPi / 180);
    // Whether p lies on the top, a side or the floor (within the file's six decimals).
    auto onSurface = [&](const std::array<double, 3>& p) {
        const double u = std::fabs(p[0] * c + p[1] * sn), v = std::fabs(-p[0] * sn + p[1] * c);
        const bool inside = u <= 0.3 + 1e-5 && v <= 0.2 + 1e-5;
        if (std::fabs(p[2] - 2.5) < 1e-5) return !inside;
        if (std::fabs(p[2] - 2.0) < 1e-5) return inside;
        return p[2] > 2.0 && p[2] < 2.5 && inside && (u > 0.3 - 1e-5 || v > 0.2 - 1e-5);
    };
    // Whether the clean scan has a point at this height within two pixels of pixel i.
    auto nearby = [&](int i, double z) {
        for (int dv = -2; dv <= 2; ++dv) {
            for (int du = -2; du <= 2; ++du) {
                const int u = i % 160 + du, v = i / 160 + dv;
                if (u >= 0 && u < 160 && v >= 0 && v < 120 && std::fabs(clean.points[v * 160 + u][2] - z) < 1e-5)
                    return true;
            }
        }
        return false;
    };
    int off = 0, between = 0, onEdge = 0;
    for (std::size_t i = 0; i < clean.points.size(); ++i) {
        EXPECT_TRUE(onSurface(clean.points[i])) << "pixel " << i;
        const auto& p = mixed.points[i];
        if (onSurface(p)) continue;
        ++off;
        if (p[2] > 2.0 && p[2] < 2.5) ++between;
        if (nearby(static_cast<int>(i), 2.0) && nearby(static_cast<int>(i), 2.5)) ++onEdge;
    }
    // About one pixel in each ring of the outline: between the box's top edge and the floor.
    EXPECT_GT(off, 80);
    EXPECT_LT(off, 400);
    EXPECT_EQ(between, off);
    EXPECT_EQ(onEdge, off);
}

TEST(ScanGenCamera, TiltGivesThePrintedPlane) {
    const kelvo_test::RunDir dir(false);
    struct Case {
        double tilt, roll;
    };
    for (const Case c : {Case{0, 0}, Case{10, 0}, Case{0, -7}, Case{12, 5}}) {
        const Scan s = Generate(dir, "empty-floor",
                                "--resolution 80x60 --sigma1 0 --tilt " + std::to_string(c.tilt) + " --roll " +
                                    std::to_string(c.roll));
        ASSERT_EQ(s.status, 0);
        const auto plane = Plane(s);
        const double t = c.tilt * kPi / 180, r = c.roll * kPi / 180;
        EXPECT_NEAR(plane[2], std::cos(t) * std::cos(r), 1e-5);
        EXPECT_NEAR(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2], 1.0, 1e-5);
        EXPECT_EQ(plane[3], -2.5);
        EXPECT_EQ(s.printed.count("floor_z"), c.tilt == 0 && c.roll == 0 ? 1u : 0u);
        int returns = 0;
        for (const auto& p : s.points) {
            if (std::isnan(p[0])) continue;
            ++returns;
            EXPECT_NEAR(Distance(plane, p), 0.0, 2e-5) << c.tilt << " " << c.roll;
        }
        EXPECT_GT(returns, 4000);
    }
}

TEST(ScanGenCamera, PrintsTheBoxAndRefusesWhatDoesNotFit) {
    const kelvo_test::RunDir dir(false);
    const Scan box = Generate(dir, "box-on-floor", "--camera --box 1.2x0.8x1 --centre 0.3,-0.1 --resolution 32x24");
    ASSERT_EQ(box.status, 0);
    EXPECT_EQ(box.printed.at("box1"), "1.2 0.8 1 centre=0.3,-0.1 top_z=1.5");
    EXPECT_EQ(box.printed.at("goods_height"), "1");
    EXPECT_EQ(box.printed.count("pallet"), 0u);
    // The one-box scene with the old box is the old scene, point for point.
    const Scan old = Generate(dir, "box-on-pallet", "--points 800", "old.pcd");
    const Scan same = Generate(dir, "box-on-pallet", "--points 800 --box 0.6x0.4x0.5 --centre 0,0", "same.pcd");
    EXPECT_EQ(old.text, same.text);
    for (const std::string options : {"--tilt 3", "--no-mixed", "--camera --points 100", "--camera --noise 0.001",
                                      "--box 1x2", "--centre 0.3", "--camera --resolution 0x5",
                                      "--camera --fov 70", "--camera --missing 1", "--camera --sigma1 -1"}) {
        EXPECT_EQ(Generate(dir, "box-on-floor", options, "refused.pcd").status != 0, true) << options;
    }
    EXPECT_NE(Generate(dir, "stacked", "--box 1x1x1", "refused.pcd").status, 0);
    EXPECT_NE(Generate(dir, "empty-floor", "--points 10", "refused.pcd").status, 0);
}
