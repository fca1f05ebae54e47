#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "PngImage.h"
#include "cloud/CloudTestAccess.h"
#include "cloud/snapshot/Snapshot.h"
#include "cloud/snapshot/SnapshotHeader.h"

using namespace kelvo_test;

namespace {

const Colour kPointColour{0, 175, 255}, kHighShade{215, 235, 255};

/// One synthetic box: its footprint rectangle, z range and what the picture shows.
struct BoxCase {
    const char* name;
    double cx, cy, length, width, angleDeg, zTop, zBottom;
    bool colourMapped;
    bool halfOnly;  // points only where t < 0: the left half in both views
    Snapshot::Ground ground;
    double floorBelow;  // the session's floor plane this far below the box's bottom
};

const BoxCase kCases[] = {
    {"axis-parallel", 0.0, 0.0, 0.6, 0.4, 0.0, 1.5, 2.0, true, false, Snapshot::Ground::PalletTop,
     0},
    {"turned 30", 0.3, -0.2, 0.8, 0.5, 30.0, 1.2, 2.2, true, false, Snapshot::Ground::PalletTop, 0},
    {"long side left", -0.4, 0.1, 0.9, 0.3, 120.0, 1.8, 2.1, false, false, Snapshot::Ground::Floor,
     0},
    {"long and thin", 0.0, 0.0, 2.0, 0.1, 10.0, 1.9, 2.0, true, false, Snapshot::Ground::Floor,
     0.2},
    {"tiny", 0.05, 0.05, 0.02, 0.01, 45.0, 2.49, 2.5, true, false, Snapshot::Ground::PalletTop, 0},
    {"half the points", 0.1, 0.2, 1.0, 0.6, 160.0, 1.0, 1.6, true, true,
     Snapshot::Ground::PalletTop, 0},
};

struct Built {
    Cloud cloud;
    Corners corners;
    Xy left, right;  // on the top face, a quarter of its length from the centre
};

/// The box's top face and a long wall as points, one point without coordinates
/// and one far outside the fit, and the results placed as the measurement does.
Built Build(const BoxCase& c, const std::string& text = "AWB77") {
    const double u[2] = {std::cos(c.angleDeg * M_PI / 180), std::sin(c.angleDeg * M_PI / 180)};
    // The side view looks at the longer side with t rightward.
    const double right = u[0] < 0 || (u[0] == 0 && u[1] < 0) ? -1 : 1;
    const auto xy = [&](double s0, double s1) {  // s0, s1 in -1..1 along the length and width
        return Xy{c.cx + (s0 * c.length * u[0] - s1 * c.width * u[1]) / 2,
                  c.cy + (s0 * c.length * u[1] + s1 * c.width * u[0]) / 2};
    };
    CloudInfo info(0, 2, 0, 77, "s" + text, "S%d.pcd", "/base", 0, 0, 1,
                   -(c.zBottom + c.floorBelow));
    info.SetAwb(text);
    Built b{Cloud(info),
            {xy(-1, -1), xy(1, -1), xy(1, 1), xy(-1, 1)},
            xy(-right / 2, 0),
            xy(right / 2, 0)};
    const auto put = [&](double s0, double s1, double z) {
        const Xy at = xy(s0, s1);
        const pcl::PointXYZRGB p(at[0], at[1], z, kPointColour[0], kPointColour[1],
                                 kPointColour[2]);
        if (!c.halfOnly || s0 * right < 0) b.cloud.getCloud()->push_back(p);
    };
    for (int i = 0; i <= 80; ++i) {
        for (int j = 0; j <= 80; ++j) {
            put(i / 40.0 - 1, j / 40.0 - 1, c.zTop);
            put(i / 40.0 - 1, -1, c.zTop + (c.zBottom - c.zTop) * j / 80);
        }
    }
    put(1e30, -1e30, 1.0);
    put(NAN, NAN, NAN);
    for (int i = 0; i < 8; ++i) {
        CloudTestAccess::SetCorner(b.cloud, i, b.corners[i % 4][0], b.corners[i % 4][1],
                                   i < 4 ? c.zTop : c.zBottom);
    }
    CloudTestAccess::SetSize(b.cloud, c.zBottom - c.zTop, c.length, c.width);
    CloudTestAccess::SetVolumes(b.cloud, 0.12f, 0.11f, 0.1f, 0.1f);
    CloudTestAccess::SetColorMapped(b.cloud, c.colourMapped);
    return b;
}

}  // namespace

TEST(Snapshot, BothViewsDrawTheBoxWhereItProjectsAndPointsOnlyWhereTheyLie) {
    TempFolder folder;
    for (const BoxCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const Built b = Build(c);
        Snapshot(1765000000, c.ground).Save(b.cloud, (folder.path() / "S2.png").string());
        const PngImage image = ReadPng(folder.path() / "S2.png");
        ExpectSnapshot(image, b.corners);

        // Nearest the camera is the top face: its own colour after a colour
        // map, else the lightest height shade.
        const Colour face = c.colourMapped ? kPointColour : kHighShade;
        EXPECT_EQ(image.At(TopFit(b.corners).At(b.left)), face);
        EXPECT_EQ(image.At(TopFit(b.corners).At(b.right)), c.halfOnly ? kViewBackground : face);

        // The side view: t along the longer side, z down to the ground, which
        // widens the fit when the floor lies below the box.
        const double half = c.length / 2;
        const double ground = c.zBottom + (c.ground == Snapshot::Ground::Floor ? c.floorBelow : 0);
        const ViewFit side{kSide, -half, half, c.zTop, ground};
        for (const Xy& at : {Xy{-half, c.zTop}, Xy{half, c.zTop}, Xy{-half, c.zBottom}}) {
            EXPECT_PRED3(Near, image.At(side.At(at)), kBox, kStrokeTolerance)
                << at[0] << "," << at[1];
        }
        // What is left in the top view is left here too.
        const Colour wall = image.At(side.At({half / 2, (c.zTop + c.zBottom) / 2}));
        EXPECT_EQ(wall == kViewBackground, c.halfOnly) << "wall on the right";
    }
}

TEST(Snapshot, AnyAirWaybillOrSessionTextIsDrawn) {
    // The font library refuses text that is no UTF-8; a row's odd bytes must
    // not cost the measurement its picture.
    for (const std::string& text : std::initializer_list<std::string>{
             "\xff\xfe", "A\001B\n", "\xc3\x28", "\xed\xa0\x80", "\xe2\x82", "\xf8\x88\x80\x80\x80",
             std::string(64, 'W'), "\303\234ber \342\202\254 12", ""}) {
        const std::string png =
            Snapshot(1765000000, Snapshot::Ground::Floor).Render(Build(kCases[1], text).cloud);
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << text;
    }
}

TEST(SnapshotHeader, VolumesBelowACubicMetreInLitres) {
    const std::pair<float, std::string> cases[] = {
        {0.0f, "0.0 L"},
        {0.0036f, "3.6 L"},
        {0.24f, "240.0 L"},
        {0.99994f, "999.9 L"},
        {0.99996f, "1.000 m\u00b3"},
        {1.0f, "1.000 m\u00b3"},
        {2.4567f, "2.457 m\u00b3"},
    };
    for (const auto& [cubicMetres, text] : cases) {
        EXPECT_EQ(snapshot::VolumeText(cubicMetres), text) << cubicMetres;
    }
}
