#include "measure/ScanCloud.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

/// The fault CheckScan finds in the points under a plane, cutting a pallet
/// of palletMm plus a correction of correctionMm.
std::string Fault(const std::vector<pcl::PointXYZRGB>& points, float a, float b, float c, float d,
                  bool cuts = true, float palletMm = 144.0f, float correctionMm = 10.0f) {
    Config* config = TestConfig();
    if (config == nullptr) return "no configuration";
    const float savedCorrection = config->GetPalletCorrectionHeight();
    config->SetPalletHeight(palletMm);
    config->SetPalletCorrectionHeight(correctionMm);
    Cloud cloud(CloudInfo(1, 1, 0, 0, "S7", "S%d.pcd", "/nonexistent", a, b, c, d));
    cloud.setCloud(MakeCloud(points));
    const std::string fault = cloud.CheckScan(cuts);
    config->SetPalletCorrectionHeight(savedCorrection);
    return fault;
}

std::vector<pcl::PointXYZRGB> Scan() {
    const auto scan = ScanCloud(ScanScene::BoxOnPallet(30.0), 20000, 0.01);
    return {scan->points.begin(), scan->points.end()};
}

}  // namespace

TEST(CheckScan, PlanesThatDoNotFitTheScanAreNamed) {
    const auto points = Scan();
    struct Case {
        const char* what;
        float a, b, c, d;
        bool cuts;
        std::string fault;  // a piece of the message; empty: the plane fits
    };
    const std::string misfit = "Floor plane of session S7 does not fit the scan: ";
    const std::vector<Case> cases = {
        {"the floor", 0, 0, 1, -2.5f, true, ""},
        {"the floor, other sign and length", 0, 0, -4, 10, true, ""},
        {"a few millimetres off", 0, 0, 1, -2.495f, true, ""},
        {"no plane known", 0, 0, 0, 0, true, ""},
        {"nothing cut", 0, 0, 1, 2.5f, false, ""},
        {"the sign of d wrong", 0, 0, 1, 2.5f, true,
         misfit + "100.0 % of the points lie farther from it than the camera (is the sign of d wrong?)"},
        {"at the pallet's deck", 0, 0, 1, -2.3f, true, " mm beyond it (at most 5 %)"},
        {"through the camera", 0, 0, 1, 0, true, misfit + "it runs through the camera"},
        {"in millimetres", 0, 0, 1, -2500, true,
         misfit + "the camera would stand 2500.0 m from it (at most 20 m)"},
        {"tilted 0.4 degrees at the deck", 0.0069813f, 0, 0.9999756f, -2.3f, true,
         " mm beyond it (at most 5 %)"},
    };
    for (const Case& c : cases) {
        const std::string fault = Fault(points, c.a, c.b, c.c, c.d, c.cuts);
        if (c.fault.empty()) {
            EXPECT_EQ(fault, "") << c.what;
        } else {
            EXPECT_NE(fault.find(c.fault), std::string::npos) << c.what << ": " << fault;
            EXPECT_EQ(fault.rfind(misfit, 0), 0u) << c.what << ": " << fault;
        }
    }
}

// The boxes stand upright along z: a tilted floor says the scan's z is not
// the vertical, for every measurement, cut or not; the stored sign and
// length of the plane do not matter.
TEST(CheckScan, FloorsTiltedBeyondHalfADegreeAreRefused) {
    const auto points = Scan();
    const std::string tilted = "Scan of session S7 is not level: its floor plane is tilted ";
    const std::string bound =
        " degrees from the z axis (at most 0.5; the boxes are measured upright along z, so z must "
        "be the vertical)";
    struct Case {
        double degrees, scale;
        bool aboutX, cuts;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {0.45, 1, false, true, ""},
        {-0.45, -2, true, false, ""},
        {0.55, 1, false, false, tilted + "0.55" + bound},
        {-0.55, -2, true, true, tilted + "0.55" + bound},
        {30, 0.5, false, true, tilted + "30.00" + bound},
    };
    for (const Case& c : cases) {
        const double t = c.degrees * std::acos(-1.0) / 180.0;
        // Through the floor's point under the camera, (0, 0, 2.5).
        const double n[3] = {c.aboutX ? 0.0 : std::sin(t), c.aboutX ? std::sin(t) : 0.0, std::cos(t)};
        EXPECT_EQ(Fault(points, static_cast<float>(c.scale * n[0]), static_cast<float>(c.scale * n[1]),
                        static_cast<float>(c.scale * n[2]), static_cast<float>(-c.scale * 2.5 * n[2]),
                        c.cuts),
                  c.fault)
            << c.degrees << (c.aboutX ? " about x" : " about y");
    }
}

TEST(CheckScan, NoisyFloorsPassAndScansInAnotherUnitAreRefused) {
    auto points = Scan();
    // Strays a camera leaves near a floor removed with a tolerance: up to 5 %
    // of the scan, up to 25 mm beyond the floor, never trip the check.
    const std::size_t strays = points.size() / 20;
    for (std::size_t i = 0; i < strays; ++i) {
        points.push_back(MakePoint(0.001f * (i % 1000), 0.5f, 2.5f + 0.025f * (i % 100) / 100.0f));
    }
    EXPECT_EQ(Fault(points, 0, 0, 1, -2.5f), "");
    // Goods on the floor, cut 12 mm above it: as many strays stand above the
    // cut as lie beyond it, too many for the outlier filter. A correction
    // that clears the noise takes them all.
    const std::string noise = Fault(points, 0, 0, 1, -2.5f, true, 2.0f, 10.0f);
    EXPECT_EQ(noise.rfind("Floor noise of session S7 reaches above the cut: ", 0), 0u) << noise;
    EXPECT_NE(noise.find(" points lie 12 to 25 mm beyond the floor, so as many floor strays stand above the cut "
                         "among the "),
              std::string::npos)
        << noise;
    EXPECT_NE(noise.find("(at most 1 %); raise pallet.correction.height to clear the floor's noise"),
              std::string::npos)
        << noise;
    EXPECT_EQ(Fault(points, 0, 0, 1, -2.5f, true, 2.0f, 25.0f), "");
    // A few strays beyond the cut, as a quiet camera leaves them, pass.
    auto quiet = Scan();
    for (int i = 0; i < 20; ++i) quiet.push_back(MakePoint(0.01f * i, 0.5f, 2.5f + 0.016f));
    EXPECT_EQ(Fault(quiet, 0, 0, 1, -2.5f, true, 2.0f, 10.0f), "");
    // Twice as many beyond the band are no longer noise.
    for (std::size_t i = 0; i < 2 * strays; ++i) {
        points.push_back(MakePoint(0.001f * (i % 1000), 0.6f, 2.56f));
    }
    EXPECT_NE(Fault(points, 0, 0, 1, -2.5f).find("% of the points lie more than 25 mm beyond it"),
              std::string::npos);

    // The same scan in millimetres, whatever the plane and the operation.
    auto millimetres = Scan();
    for (auto& p : millimetres) p.x *= 1000, p.y *= 1000, p.z *= 1000;
    for (const bool cuts : {true, false}) {
        const std::string fault = Fault(millimetres, 0, 0, 1, -2500, cuts);
        EXPECT_EQ(fault.rfind("Scan of session S7 is not plausible: a point lies ", 0), 0u) << fault;
        EXPECT_NE(fault.find(" m from the camera (at most 20 m; coordinates in millimetres?)"), std::string::npos)
            << fault;
    }
    // One point beyond the bound is enough; the bound itself is plausible.
    auto far = Scan();
    far.push_back(MakePoint(0, 0, 20.0f));
    EXPECT_EQ(Fault(far, 0, 0, 1, -2.5f), "");
    far.push_back(MakePoint(0, 0, 20.5f));
    EXPECT_NE(Fault(far, 0, 0, 0, 0, false).find("a point lies 20.5 m"), std::string::npos);
}
