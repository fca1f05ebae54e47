#include "ScanCloud.h"

#include <string>
#include <vector>

namespace {

/// The fault CheckScan finds in a generated box on a pallet under a plane.
std::string Fault(const std::vector<pcl::PointXYZRGB>& points, float a, float b, float c, float d,
                  bool cuts = true) {
    Cloud cloud(CloudInfo(1, 1, 0, 0, "S7", "S%d.pcd", "/nonexistent", a, b, c, d));
    cloud.setCloud(MakeCloud(points));
    return cloud.CheckScan(cuts);
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
        {"a few millimetres off", 0, 0, 1, -2.49f, true, ""},
        {"no plane known", 0, 0, 0, 0, true, ""},
        {"nothing cut", 0, 0, 1, 2.5f, false, ""},
        {"the sign of d wrong", 0, 0, 1, 2.5f, true,
         misfit + "100.0 % of the points lie farther from it than the camera (is the sign of d wrong?)"},
        {"at the pallet's deck", 0, 0, 1, -2.3f, true, " mm beyond it (at most 5 %)"},
        {"through the camera", 0, 0, 1, 0, true, misfit + "it runs through the camera"},
        {"in millimetres", 0, 0, 1, -2500, true,
         misfit + "the camera would stand 2500.0 m from it (at most 20 m)"},
        {"tilted under the scene", 0.5f, 0, 0.8660254f, -2.0f, true, " mm beyond it (at most 5 %)"},
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

TEST(CheckScan, NoisyFloorsPassAndScansInAnotherUnitAreRefused) {
    auto points = Scan();
    // Strays a camera leaves near a floor removed with a tolerance: up to 5 %
    // of the scan, up to 25 mm beyond the floor, never trip the check.
    const std::size_t strays = points.size() / 20;
    for (std::size_t i = 0; i < strays; ++i) {
        points.push_back(MakePoint(0.001f * (i % 1000), 0.5f, 2.5f + 0.025f * (i % 100) / 100.0f));
    }
    EXPECT_EQ(Fault(points, 0, 0, 1, -2.5f), "");
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
