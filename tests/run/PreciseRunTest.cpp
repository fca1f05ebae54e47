// Whole runs in both inbound modes on depth-camera scans: the switch at 0
// gives the rows and files of a run without it, at 1 the box fits the goods
// (boxes within a few millimetres, a stack and a cylinder enclosed within the
// division) while the package and octree volumes stay as they were.

#include <algorithm>
#include <cmath>
#include <map>

#include "run/ScanRun.h"
#include "tools/scangen/DepthCamera.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

const std::array<double, 4> kFloor = {0.0, 0.0, 1.0, -ScanScene::kFloorZ};

double Column(const std::map<std::string, std::string>& row, const std::string& name) {
    const auto it = row.find(name);
    return it == row.end() || it->second == "NULL" ? NAN : std::stod(it->second) * 1000.0;
}

/// Every file under a folder, by its path relative to it, with its content.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
        if (fs::is_regular_file(it->path()))
            files[it->path().lexically_relative(folder).string()] = ReadText(it->path());
    }
    return files;
}

struct ModeCase {
    std::string name;
    ScanScene scene;
    bool onPallet;
    bool mixedPixels;
    // True sizes in mm; H as the run measures it (a floor run's bottom is
    // closed 2 mm above the floor, by the -e 2 cut).
    double l, w, h;
    // Largest error in precise mode, mm; boxes are measured raw, without corrections.
    double tolerance;
};

class PreciseRun : public RunFixture {
protected:
    void SetUp() override {
        SeedRunSettings(db, cleanup);
        SeedPallet(db, cleanup, 5200, "EPAL", 144.0);
    }

    void SeedCameraScan(int id, const ScanScene& scene, bool mixedPixels, bool keepFloor = false,
                        double sigma1 = DepthCamera::Settings().sigma1) {
        DepthCamera::Settings camera;
        camera.mixedPixels = mixedPixels;
        camera.removeFloor = !keepFloor;
        camera.sigma1 = sigma1;
        camera.seed = static_cast<unsigned>(id);
        const std::string sid = "pre" + std::to_string(id);
        SeedSession(db, cleanup, sid, kFloor);
        SeedObject(db, cleanup, id, sid, 1, kPalletToRemove);
        const fs::path scan = dir.DataFolder() / sid / "S1.pcd";
        fs::create_directories(scan.parent_path());
        ASSERT_TRUE(ScanScene::WritePcd(scan.string(), DepthCamera(scene, camera).Scan(),
                                        camera.width, camera.height));
    }

    RunResult Run(int id, bool onPallet) {
        return RunTool(dir, {"-i", std::to_string(id), onPallet ? "-d" : "-e",
                             onPallet ? "5200" : "2", "-p", dir.DataFolder().string()});
    }

    void SetMode(const char* value) {
        db.Exec("DELETE FROM decode WHERE deckey = 'inbound.precise'");
        if (value != nullptr) SeedDecode(db, cleanup, "CONFIG", "inbound.precise", value, "I");
    }
};

}  // namespace

TEST_F(PreciseRun, OffIsTodayPreciseFitsTheGoodsAndKeepsTheVolumes) {
    const std::vector<ModeCase> cases = {
        {"box on the pallet, turned, off centre, mixed pixels",
         ScanScene::SingleBox(0.6f, 0.4f, 0.5f, 0.3f, 0.0f, 30.0, true), true, true, 600, 400, 500,
         4.0},
        // Sides along the pixel grid without mixed pixels: each known to half a
        // pitch either way, L and W to a pitch (some 4.8 mm at this range).
        {"box on the floor, on the axes, no mixed pixels",
         ScanScene::SingleBox(1.2f, 0.8f, 0.4f, 0.0f, 0.0f, 0.0, false), false, false, 1200, 800,
         400, 5.0},
        {"a 0.4 x 0.3 x 0.3 box on a 0.6 x 0.5 x 0.3 one", ScanScene::Stacked(20.0), false, true,
         600, 500, 600, 5.0},
        {"an upright cylinder 0.4 m across", ScanScene::Cylinder(0.0), false, true, 400, 400, 500,
         5.0},
    };
    int id = 5201;
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.name);
        SeedCameraScan(id, c.scene, c.mixedPixels);
        const fs::path out = dir.DataFolder() / ("pre" + std::to_string(id)) / "P";

        SetMode(nullptr);
        ASSERT_EQ(Run(id, c.onPallet).status, 0);
        const auto today = ReadObject(db, id);
        const auto todayFiles = Files(out);

        SetMode("0");
        const RunResult off = Run(id, c.onPallet);
        ASSERT_EQ(off.status, 0);
        EXPECT_EQ(ReadObject(db, id), today);
        EXPECT_EQ(Files(out), todayFiles);
        EXPECT_EQ(off.out.find("Precise"), std::string::npos);

        SetMode("1");
        const RunResult precise = Run(id, c.onPallet);
        ASSERT_EQ(precise.status, 0);
        EXPECT_NE(precise.out.find("Inbound:\n\tPrecise: 1\n"), std::string::npos);
        const auto row = ReadObject(db, id);
        EXPECT_NEAR(Column(row, "LPackage"), c.l, c.tolerance);
        EXPECT_NEAR(Column(row, "WPackage"), c.w, c.tolerance);
        // On the floor as on the pallet, H from what the goods stand on: the
        // box on the floor stood on the band the cut takes, 2 mm up, and was
        // stored 2 mm low.
        EXPECT_NEAR(Column(row, "HPackage"), c.h, 1.0);
        // Never inside the goods by more than the division.
        EXPECT_GE(Column(row, "LPackage"), c.l - 5.0);
        EXPECT_GE(Column(row, "WPackage"), c.w - 5.0);
        EXPECT_GE(Column(row, "HPackage"), c.h - 5.0);
        for (const char* same : {"RealVolume", "InboundVolumeSurface", "RealVolumeSurface"}) {
            EXPECT_EQ(row.at(same), today.at(same)) << same;
        }
        EXPECT_NEAR(
            Column(row, "Inbound") / 1000.0,
            Column(row, "LPackage") * Column(row, "WPackage") * Column(row, "HPackage") / 1e9,
            2e-6);
        ++id;
    }
}

// Goods as they come: flat goods measured or refused with the least height,
// goods lower at their outline than the cut measured whole, rounded goods
// enclosed, in both modes; never a fragment or a short box with exit 0.
TEST_F(PreciseRun, GoodsThatAreNoTallBoxAreEnclosedOrRefusedNamingWhy) {
    using Shape = ScanScene::Shape;
    struct GoodsCase {
        const char* name;
        ScanScene scene;
        bool onPallet;
        bool keepFloor;
        double l, w, h;  // the enclosing box, mm; a floor run's H from 2 mm above the floor
        // Precise mode: stored within [-under, +over] mm of it; refused when under < 0.
        double under, over;
        // Today's mode may refuse (a box the filter erodes) but never stores under by more than this.
        double todayUnder;
    };
    const auto goods = [](Shape shape, float l, float w, float h, bool onPallet, float low = 0.0f) {
        return ScanScene::SingleGoods(shape, l, w, h, 0.0f, 0.0f, 30.0, onPallet, false, h / 4, low);
    };
    const std::vector<GoodsCase> cases = {
        // The mailer of the report: a layer within 10 mm above the cut, refused before.
        {"a 350 x 250 x 25 mm mailer on the floor", goods(Shape::kBlock, 0.35f, 0.25f, 0.025f, false), false, false,
         350, 250, 25, 5, 5, 5},
        // A quiet camera: the filter took the outer rows of the face, and
        // today's mode stored the mailer 10 to 18 mm short with exit 0.
        {"the mailer, floor kept, at a quiet camera", goods(Shape::kBlock, 0.35f, 0.25f, 0.025f, false), false,
         true, 350, 250, 25, 5, 5, 5},
        {"a 400 x 300 x 40 mm tray on the floor", goods(Shape::kBlock, 0.4f, 0.3f, 0.04f, false), false, false, 400,
         300, 40, 5, 5, 5},
        // A wedge whose thin end (8 mm) lies below the 12 mm cut, the floor in
        // the scan of a quiet camera: the fragment above the cut, 37 mm short,
        // was stored as the goods.
        // Today's mode erodes its outline by a few pitches as it does a box's,
        // but stores no fragment.
        {"a 300 x 120 x 40 mm wedge, floor kept", goods(Shape::kWedge, 0.3f, 0.12f, 0.04f, false, 0.008f), false, true,
         300, 120, 40, 5, 15, 25},
        // A wedge at a camera whose floor is quieter than the correction
        // clears: its thin half lies below the cut, and the precise mode
        // stored it 7 to 15 mm short with exit 0, as far down as the least
        // height the correction gives. Its foot is followed down to the
        // floor's own noise, as the image shows it.
        {"a 172 x 43 x 30 mm wedge, 5 mm at its thin end, floor kept",
         goods(Shape::kWedge, 0.172f, 0.043f, 0.03f, false, 0.005f), false, true, 172, 43, 30, 5, 15, 5},
        // Its base, under the sheet of mixed pixels at its silhouette, was
        // stored 20 to 40 mm short.
        {"a 600 x 450 x 300 mm dome on the pallet", goods(Shape::kDome, 0.6f, 0.45f, 0.3f, true), true, false, 600,
         450, 300, 5, 15, 10},
        // The filter took its grazing flanks, too sparse for the outline
        // check to see: today's mode stored it 7 to 10 mm narrow with exit 0.
        {"an 800 x 200 x 200 mm cylinder lying on the pallet",
         goods(Shape::kLyingCylinder, 0.8f, 0.2f, 0.2f, true), true, false, 800, 200, 200, 5, 15, 5},
        // The sides fitted along its lid's many points lay 6 mm inside it,
        // and the precise mode stored it 10 mm narrow. Today's mode stores
        // it 10 to 11 mm narrow at this station without a box calibration
        // (4 to 7 mm at the benches' calibrated ones): the filter takes the
        // lid's rim, and the sampled lid is thinnest across the rectangle of
        // least area. Not mended yet.
        {"a 100 mm jar standing on the pallet", goods(Shape::kStandingCylinder, 0.1f, 0.1f, 0.2f, true), true,
         false, 100, 100, 200, 5, 15, 12},
        // Six floor strays beyond the cut were 1.8 % of the few hundred
        // points it keeps, and the scan was refused for the floor's noise.
        {"the jar standing on the floor", goods(Shape::kStandingCylinder, 0.1f, 0.1f, 0.2f, false), false, false,
         100, 100, 200, 5, 15, 12},
    };
    int id = 5310;
    for (const GoodsCase& c : cases) {
        SCOPED_TRACE(c.name);
        SeedCameraScan(id, c.scene, true, c.keepFloor, c.keepFloor ? 0.00025 : DepthCamera::Settings().sigma1);
        SetMode("1");
        const RunResult precise = Run(id, c.onPallet);
        ASSERT_EQ(precise.status, 0) << precise.out;
        const auto row = ReadObject(db, id);
        EXPECT_GE(Column(row, "LPackage"), c.l - c.under);
        EXPECT_GE(Column(row, "WPackage"), c.w - c.under);
        EXPECT_GE(Column(row, "HPackage"), c.h - c.under);
        EXPECT_LE(Column(row, "LPackage"), c.l + c.over);
        EXPECT_LE(Column(row, "WPackage"), c.w + c.over);
        EXPECT_LE(Column(row, "HPackage"), c.h + c.over);

        SetMode("0");
        const RunResult today = Run(id, c.onPallet);
        if (today.status == 0) {
            const auto stored = ReadObject(db, id);
            EXPECT_GE(Column(stored, "LPackage"), c.l - c.todayUnder);
            EXPECT_GE(Column(stored, "WPackage"), c.w - c.todayUnder);
        } else {
            EXPECT_NE(today.out.find("measure in the precise mode (inbound.precise 1)"), std::string::npos)
                << today.out;
        }
        ++id;
    }
    // Goods no taller than half the correction above the cut show only their
    // noisy top's upper half above it: a 10 mm sheet was stored as a fragment
    // (L -60, W -219 mm) with exit 0. Refused in both modes, naming the height.
    // (A scan's noise follows its id; this one leaves no floor strays
    // beyond the cut.)
    id = 5305;
    SeedCameraScan(id, goods(Shape::kBlock, 0.35f, 0.25f, 0.01f, false), true);
    for (const char* mode : {"0", "1"}) {
        SetMode(mode);
        const RunResult thin = Run(id, false);
        EXPECT_EQ(thin.status, 1) << mode;
        EXPECT_NE(thin.out.find("goods lower than 17 mm cannot be told from the floor of session pre" + std::to_string(id)),
                  std::string::npos)
            << thin.out;
    }
}

// A small dome beside the camera's axis, seen through 6 mm of range noise:
// the highest point of the sheet of mixed pixels at its far silhouette stood
// as high as the median of the flank inside it, the flank passed for an
// edge, and its hidden base was left out: the box was stored 18 to 26 mm
// short of it with exit 0. The rectangle of an elliptic footprint may turn a
// few degrees from the dome's axes, so the box is judged by what it encloses.
TEST_F(PreciseRun, ASmallDomeBesideTheAxisIsEnclosedThroughTheRangeNoise) {
    // The correction height that clears the floor's noise at this camera.
    db.Exec("UPDATE decode SET decvalue = '25' WHERE deckey = 'pallet.correction.height'");
    SetMode("1");
    const float a = 0.15f, b = 0.1f;  // the footprint's half axes
    // A scan's noise follows its id: these two gave the scans that showed it.
    const struct {
        int id;
        float cx, cy;
        double angle;
    } places[] = {{3507, 0.5f, 0.0f, 15.0}, {3513, -0.45f, -0.3f, 60.0}};
    for (const auto& at : places) {
        SCOPED_TRACE(at.id);
        SeedCameraScan(at.id,
                       ScanScene::SingleGoods(ScanScene::Shape::kDome, 2 * a, 2 * b, 0.15f, at.cx,
                                              at.cy, at.angle, false, false, 0.15f / 4, 0.0f),
                       true, false, 0.001);
        const RunResult run = Run(at.id, false);
        ASSERT_EQ(run.status, 0) << run.out;
        // The stored box's corners A..D (metres) go round it.
        const auto row = ReadObject(db, at.id);
        std::array<std::array<double, 2>, 4> corner;
        for (int k = 0; k < 4; ++k) {
            const std::string n = std::to_string(k + 1);
            corner[k] = {Column(row, "ibx" + n) / 1000.0, Column(row, "iby" + n) / 1000.0};
        }
        // Each side against the ellipse's farthest reach along its normal.
        const double turn = at.angle * M_PI / 180.0;
        double shortest = 0.0;
        for (int k = 0; k < 4; ++k) {
            const auto& p = corner[k];
            const auto& q = corner[(k + 1) % 4];
            const auto& r = corner[(k + 2) % 4];
            double nx = q[1] - p[1], ny = p[0] - q[0];
            const double length = std::hypot(nx, ny);
            nx /= length;
            ny /= length;
            // Outward: away from the corner after next.
            if (nx * (r[0] - p[0]) + ny * (r[1] - p[1]) > 0) {
                nx = -nx;
                ny = -ny;
            }
            const double along = nx * std::cos(turn) + ny * std::sin(turn);
            const double across = -nx * std::sin(turn) + ny * std::cos(turn);
            const double reach = nx * at.cx + ny * at.cy + std::hypot(a * along, b * across);
            shortest = std::min(shortest, nx * p[0] + ny * p[1] - reach);
        }
        EXPECT_GE(shortest * 1000.0, -5.0);
        EXPECT_LE(Column(row, "LPackage"), 300 + 15.0);
        EXPECT_LE(Column(row, "WPackage"), 200 + 15.0);
    }
}
