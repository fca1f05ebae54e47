#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "PngImage.h"
#include "SnapshotLayout.h"
#include "cloud/CloudTestAccess.h"
#include "cloud/Snapshot.h"

using kelvo_test::Colour;
using kelvo_test::Describe;
using kelvo_test::Near;
using kelvo_test::PngImage;
using namespace kelvo_test::snapshot_layout;
namespace fs = boost::filesystem;

namespace {

const Colour kPointColour{0, 175, 255};

struct Pt {
    double x, y;
};

/// One synthetic box: its footprint rectangle, z range and what the picture shows.
struct BoxCase {
    const char* name;
    double cx, cy, length, width, angleDeg;
    double zTop, zBottom;
    bool colourMapped;
    bool halfOnly;       // points only on the half with t < 0 (left in the top view)
    Snapshot::Ground ground;
    double floorBelow;   // floor plane this far below the box's bottom (Ground::Floor)
};

const BoxCase kCases[] = {
    {"axis-parallel", 0.0, 0.0, 0.6, 0.4, 0.0, 1.5, 2.0, true, false, Snapshot::Ground::PalletTop, 0},
    {"turned 30", 0.3, -0.2, 0.8, 0.5, 30.0, 1.2, 2.2, true, false, Snapshot::Ground::PalletTop, 0},
    {"long side pointing left", -0.4, 0.1, 0.9, 0.3, 120.0, 1.8, 2.1, false, false,
     Snapshot::Ground::Floor, 0.0},
    {"long and thin", 0.0, 0.0, 2.0, 0.1, 10.0, 1.9, 2.0, true, false, Snapshot::Ground::Floor, 0.2},
    {"tiny", 0.05, 0.05, 0.02, 0.01, 45.0, 2.49, 2.5, true, false, Snapshot::Ground::PalletTop, 0},
    {"half of the points", 0.1, 0.2, 1.0, 0.6, 160.0, 1.0, 1.6, true, true, Snapshot::Ground::PalletTop,
     0},
};

constexpr int kSteps = 80;  // grid steps along each side of a face

struct Built {
    Cloud cloud;
    std::array<Pt, 4> corners;  // A..D
    Pt along;                   // unit, the longer side, rightward (x >= 0)
    Pt centre;
};

/// A box's visible faces as points, with the measured results placed as CalcInbound would.
Built Build(const BoxCase& c, const std::string& awb = "AWB77", const std::string& sid = "snap") {
    const double a = c.angleDeg * M_PI / 180.0;
    const Pt u0{std::cos(a), std::sin(a)}, u1{-std::sin(a), std::cos(a)};
    const double e0 = c.length / 2, e1 = c.width / 2;
    Built b;
    b.centre = {c.cx, c.cy};
    const double signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; ++i) {
        b.corners[i] = {c.cx + signs[i][0] * e0 * u0.x + signs[i][1] * e1 * u1.x,
                        c.cy + signs[i][0] * e0 * u0.y + signs[i][1] * e1 * u1.y};
    }
    b.along = u0.x < 0 || (u0.x == 0 && u0.y < 0) ? Pt{-u0.x, -u0.y} : u0;

    float plane[4] = {0.0f, 0.0f, 1.0f, static_cast<float>(-(c.zBottom + c.floorBelow))};
    CloudInfo info(0, 2, 0, 77, sid, "S%d.pcd", "/base", plane[0], plane[1], plane[2], plane[3]);
    info.SetAwb(awb);
    b.cloud = Cloud(info);
    PointCloudRGB& points = *b.cloud.getCloud();
    const auto add = [&](double s0, double s1, double z) {
        // s0, s1 in -1..1 along u0 and u1.
        const double x = c.cx + s0 * e0 * u0.x + s1 * e1 * u1.x;
        const double y = c.cy + s0 * e0 * u0.y + s1 * e1 * u1.y;
        const double t = (x - c.cx) * b.along.x + (y - c.cy) * b.along.y;
        if (c.halfOnly && t >= 0.0) {
            return;
        }
        pcl::PointXYZRGB p;
        p.x = static_cast<float>(x);
        p.y = static_cast<float>(y);
        p.z = static_cast<float>(z);
        p.r = kPointColour[0];
        p.g = kPointColour[1];
        p.b = kPointColour[2];
        points.push_back(p);
    };
    for (int i = 0; i <= kSteps; ++i) {
        const double s0 = -1.0 + 2.0 * i / kSteps;
        for (int j = 0; j <= kSteps; ++j) {
            const double s1 = -1.0 + 2.0 * j / kSteps;
            add(s0, s1, c.zTop);
            const double z = c.zTop + (c.zBottom - c.zTop) * j / kSteps;
            add(s0, -1.0, z);
            add(s0, 1.0, z);
            add(-1.0, s0, z);
            add(1.0, s0, z);
        }
    }
    for (int i = 0; i < 4; ++i) {
        CloudTestAccess::SetCorner(b.cloud, i, static_cast<float>(b.corners[i].x),
                                   static_cast<float>(b.corners[i].y), static_cast<float>(c.zTop));
        CloudTestAccess::SetCorner(b.cloud, i + 4, static_cast<float>(b.corners[i].x),
                                   static_cast<float>(b.corners[i].y), static_cast<float>(c.zBottom));
    }
    CloudTestAccess::SetSize(b.cloud, static_cast<float>(c.zBottom - c.zTop),
                             static_cast<float>(c.length), static_cast<float>(c.width));
    CloudTestAccess::SetVolumes(b.cloud, 0.12f, 0.11f, 0.1f, 0.1f);
    CloudTestAccess::SetColorMapped(b.cloud, c.colourMapped);
    return b;
}

PngImage SaveAndRead(const Cloud& cloud, Snapshot::Ground ground, const fs::path& file) {
    Snapshot(1765000000, ground).Save(cloud, file.string());
    EXPECT_TRUE(kelvo_test::PngCheckAccepts(file)) << file;
    return kelvo_test::ReadPng(file);
}

void ExpectColour(const PngImage& image, std::pair<int, int> at, const Colour& want, int tolerance,
                  const std::string& what) {
    const Colour got = image.At(at.first, at.second);
    EXPECT_TRUE(Near(got, want, tolerance))
        << what << " at " << at.first << "," << at.second << ": " << Describe(got) << ", want "
        << Describe(want);
}

}  // namespace

TEST(Snapshot, TopViewDrawsTheRectangleWhereItsCornersProjectAndNothingWhereNoPointLies) {
    TempFolder folder;
    for (const BoxCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const Built b = Build(c);
        const PngImage image = SaveAndRead(b.cloud, c.ground, folder.path() / "S2.png");
        ASSERT_EQ(image.width, 1200);
        ASSERT_EQ(image.height, 800);

        std::array<std::array<double, 2>, 4> corners;
        for (int i = 0; i < 4; ++i) {
            corners[i] = {b.corners[i].x, b.corners[i].y};
        }
        const ViewFit top = TopFit(corners);
        for (int i = 0; i < 4; ++i) {
            ExpectColour(image, top.Pixel(b.corners[i].x, b.corners[i].y), kBox, kStrokeTolerance,
                         std::string("corner ") + static_cast<char>('A' + i));
        }
        for (const auto& empty : kEmptyPixels) {
            ExpectColour(image, empty, kViewBackground, 0, "a panel's right-hand corner");
        }

        // The nearest points to the camera are the top face's: their own
        // colour after a colour map, else the lightest height shade.
        const Colour face = c.colourMapped ? kPointColour : kHighShade;
        const double quarter = c.length / 4;
        const Pt left{b.centre.x - b.along.x * quarter, b.centre.y - b.along.y * quarter};
        const Pt right{b.centre.x + b.along.x * quarter, b.centre.y + b.along.y * quarter};
        ExpectColour(image, top.Pixel(left.x, left.y), face, 0, "top face, left half");
        if (c.halfOnly) {
            ExpectColour(image, top.Pixel(right.x, right.y), kViewBackground, 0,
                         "inside the rectangle where no point lies");
        } else {
            ExpectColour(image, top.Pixel(right.x, right.y), face, 0, "top face, right half");
        }
    }
}

TEST(Snapshot, SideViewShowsTheLongSideWithItsBoxAndTheGround) {
    TempFolder folder;
    for (const BoxCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const Built b = Build(c);
        const PngImage image = SaveAndRead(b.cloud, c.ground, folder.path() / "S2.png");
        ASSERT_EQ(image.width, 1200);

        const double half = c.length / 2;
        const double ground = c.ground == Snapshot::Ground::Floor ? c.zBottom + c.floorBelow : c.zBottom;
        const ViewFit side(kSide, -half, half, std::min(c.zTop, ground), std::max(c.zBottom, ground));
        ExpectColour(image, side.Pixel(-half, c.zTop), kBox, kStrokeTolerance, "upper left of the box");
        ExpectColour(image, side.Pixel(half, c.zTop), kBox, kStrokeTolerance, "upper right of the box");
        ExpectColour(image, side.Pixel(-half, c.zBottom), kBox, kStrokeTolerance, "lower left of the box");
        // The base line crosses the whole panel; its first dash starts at the left edge.
        const auto groundPixel = side.Pixel(0.0, ground);
        ExpectColour(image, {748, groundPixel.second}, kGround, kStrokeTolerance, "base line");

        // The side as seen from below the top view: what is left there is left here.
        const double mid = (c.zTop + c.zBottom) / 2;
        const Colour wall = c.colourMapped ? kPointColour : Colour{-1, -1, -1};
        if (c.colourMapped) {
            ExpectColour(image, side.Pixel(-half / 2, mid), wall, 0, "wall, left half");
        }
        if (c.halfOnly) {
            ExpectColour(image, side.Pixel(half / 2, mid), kViewBackground, 0, "no wall on the right");
        }
    }
}

TEST(Snapshot, PointsOutsideTheFitAndWithoutCoordinatesAreLeftOut) {
    TempFolder folder;
    Built b = Build(kCases[0]);
    pcl::PointXYZRGB lost;
    lost.x = lost.y = lost.z = std::numeric_limits<float>::quiet_NaN();
    b.cloud.getCloud()->push_back(lost);
    pcl::PointXYZRGB far;
    far.x = 1e30f;
    far.y = -1e30f;
    far.z = 1.0f;
    b.cloud.getCloud()->push_back(far);
    const PngImage image = SaveAndRead(b.cloud, Snapshot::Ground::PalletTop, folder.path() / "S1.png");
    EXPECT_EQ(image.width, 1200);
    EXPECT_EQ(image.height, 800);
}

TEST(Snapshot, AFailedWriteNamesTheFileAndLeavesNoPartialFile) {
    TempFolder folder;
    const Built b = Build(kCases[1]);
    const Snapshot snapshot(1765000000, Snapshot::Ground::Floor);

    const fs::path missing = folder.path() / "absent" / "S2.png";
    try {
        snapshot.Save(b.cloud, missing.string());
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to write file: " + missing.string() + " (No such file or directory)");
    }
    EXPECT_FALSE(fs::exists(folder.path() / "absent"));

    // A folder in the way: the picture is written whole, then cannot take its name.
    const fs::path blocked = folder.path() / "S2.png";
    fs::create_directory(blocked);
    EXPECT_THROW(snapshot.Save(b.cloud, blocked.string()), std::runtime_error);
    EXPECT_TRUE(fs::is_directory(blocked));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"S2.png"});
}

TEST(Snapshot, AnyAirWaybillOrSessionTextIsDrawn) {
    // The font library refuses text that is no UTF-8; a row's odd bytes must
    // not cost the measurement its picture.
    const std::string texts[] = {"\xff\xfe", "A\x01" "B\n", "\xc3\x28", "\xed\xa0\x80",
                                 "\xe2\x82", "\xf8\x88\x80\x80\x80", std::string(64, 'W'),
                                 "\xc3\x9c" "ber \xe2\x82\xac 12", ""};
    for (const std::string& text : texts) {
        const Built b = Build(kCases[1], text, "s" + text);
        const std::string png = Snapshot(1765000000, Snapshot::Ground::Floor).Render(b.cloud);
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << text;
    }
}

TEST(Snapshot, RendersTheSameBytesForTheSameCloud) {
    const Built b = Build(kCases[1]);
    const Snapshot snapshot(1765000000, Snapshot::Ground::PalletTop);
    const std::string png = snapshot.Render(b.cloud);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(snapshot.Render(b.cloud), png);
}

TEST(Snapshot, PictureSitsBesideItsCloudFile) {
    EXPECT_EQ(Snapshot::PathBeside("/b/s/P/S3.pcd").string(), "/b/s/P/S3.png");
    EXPECT_EQ(Snapshot::PathBeside("/b/s/42/S12.pcd").string(), "/b/s/42/S12.png");
}
