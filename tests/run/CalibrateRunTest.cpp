// Whole runs of kelvo_calibrate against the test database: the reference
// box, the check box and the floor, each on generated scans whose true sizes
// and planes are known.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <utility>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

RunResult Calibrate(const RunDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> command = {KELVO_CALIBRATE_BIN};
    command.insert(command.end(), args.begin(), args.end());
    return RunCommand(dir, command);
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

/// The first line of out that starts with prefix, without the prefix; empty when none does.
std::string LineAfter(const std::string& out, const std::string& prefix) {
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) {
            return line.substr(prefix.size());
        }
    }
    return std::string();
}

/// One line of output and exit status 1; a line given with a trailing "..." is a prefix.
void ExpectRefusal(const RunResult& run, const std::string& line, const std::string& name) {
    EXPECT_EQ(run.status, 1) << name << "\n" << run.out << run.err;
    EXPECT_EQ(run.err, "") << name;
    if (line.size() > 3 && line.compare(line.size() - 3, 3, "...") == 0) {
        EXPECT_EQ(run.out.rfind(line.substr(0, line.size() - 3), 0), 0u) << name << "\n" << run.out;
        EXPECT_EQ(Occurrences(run.out, "\n"), 1) << name << "\n" << run.out;
    } else {
        EXPECT_EQ(run.out, line + "\n") << name;
    }
}

/// The decode and session tables as one text, to tell whether a run changed them.
std::string Tables(TestDatabase& db) {
    std::string text;
    for (const char* query : {"SELECT * FROM decode ORDER BY id", "SELECT * FROM session ORDER BY sid"}) {
        for (const auto& row : db.Rows(query)) {
            for (const auto& [column, value] : row) {
                text += column + "=" + value + " ";
            }
            text += "\n";
        }
    }
    return text;
}

/// A box to scan: its size (metres), where it stands, and how it is scanned.
struct BoxSpec {
    float l, w, h;
    bool onPallet;
    bool camera = false;  ///< kelvo_scangen's depth camera instead of sampled surfaces
};

class CalibrateRun : public RunFixture {
protected:
    void SetUp() override {
        SeedRunSettings(db, cleanup);
        SeedPallet(db, cleanup, 8001, "EPAL", ScanScene::kPalletHeight * 1000.0);
        // The rows the runs insert; the seeded ones go by their ids.
        cleanup.Add("DELETE FROM decode WHERE decclass = 'FINE TUNE'");
        cleanup.Add("DELETE FROM decode WHERE deckey = 'pallet.correction.height' AND decvalue <> '" +
                    std::string(kPalletCorrectionMm) + "'");
        cleanup.Add("DELETE FROM decode WHERE deckey = 'floor.noise.band'");
    }

    /// Rows firstId.. of session sid, one scan each of the box turned by the given angles;
    /// returns the rows as -i options, or the scan files when asFiles.
    std::vector<std::string> SeedRows(int firstId, const std::string& sid, const BoxSpec& box,
                                      const std::vector<double>& angles, bool asFiles = false) {
        SeedSession(db, cleanup, sid, {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
        std::vector<std::string> args;
        for (std::size_t k = 0; k < angles.size(); ++k) {
            const int id = firstId + static_cast<int>(k);
            SeedObject(db, cleanup, id, sid, static_cast<int>(k) + 1, kPalletToRemove);
            const fs::path file = dir.DataFolder() / sid / ("S" + std::to_string(k + 1) + ".pcd");
            fs::create_directories(file.parent_path());
            std::ostringstream command;
            command << KELVO_SCANGEN_BIN << (box.onPallet ? " box-on-pallet " : " box-on-floor ") << file.string()
                    << " --camera --box " << box.l << "x" << box.w << "x" << box.h << " --angle " << angles[k]
                    << " --seed " << 21 + id << " >/dev/null";
            const ScanScene scene = ScanScene::SingleBox(box.l, box.w, box.h, 0.0f, 0.0f, angles[k], box.onPallet);
            EXPECT_TRUE(box.camera ? std::system(command.str().c_str()) == 0
                                   : ScanScene::WritePcd(file.string(), scene.Sample(kScanPoints, ScanScene::kDefaultNoise,
                                                                                      0.0, 21 + id)));
            args = asFiles ? With(args, {file.string()}) : With(args, {"-i", std::to_string(id)});
        }
        return asFiles ? With({"-s", sid}, args) : args;
    }
};

// The reference box, on a pallet or on the floor, as rows or as files: the
// corrections stored, the tool measures a new scan of the box within 5 mm.
TEST_F(CalibrateRun, ReferenceBoxCorrectionsBringTheToolWithinTheParcelDivision) {
    const struct {
        const char* name;
        BoxSpec box;
        bool asFiles;
    } cases[] = {
        {"parcel on the floor, rows", {0.4f, 0.3f, 0.25f, false}, false},
        {"box on a pallet, files", {0.8f, 0.5f, 0.4f, true}, true},
        {"depth camera, box on a pallet, rows", {0.6f, 0.4f, 0.5f, true, true}, false},
        {"depth camera, parcel on the floor, files", {0.5f, 0.4f, 0.3f, false, true}, true},
    };
    int base = 8100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base += 100;
        // Corrections in force before must not leak into the raw errors.
        SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "0.05", "D");
        SeedDecode(db, cleanup, "FINE TUNE", "real.correction.l", "-0.3", "D");
        const BoxSpec& box = c.box;
        std::ostringstream size;
        size << std::lround(box.l * 1000) << "x" << std::lround(box.w * 1000) << "x" << std::lround(box.h * 1000);
        std::vector<std::string> args = {"box", "--size", size.str(), "-p", dir.DataFolder().string(), "--write"};
        args = With(box.onPallet ? With(args, {"-d", "8001"}) : args,
                    SeedRows(base, "cal" + std::to_string(base), box, {10.0, 35.0, 70.0}, c.asFiles));
        const RunResult run = Calibrate(dir, args);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find(box.onPallet ? "3 scans on pallet 8001 (EPAL, 144 mm)" : "3 scans on the floor"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("Written: 6 decode rows, in one transaction."), std::string::npos);
        // One active row per key, as printed; the rows in force before stay, switched off.
        for (const char* key : {"inbound.correction.l", "inbound.correction.w", "inbound.correction.h",
                                "real.correction.l", "real.correction.w", "real.correction.h"}) {
            const auto active = db.Rows("SELECT decvalue FROM decode WHERE decactive = 1 AND deckey = '" +
                                        std::string(key) + "'");
            ASSERT_EQ(active.size(), 1u) << key;
            EXPECT_NE(run.out.find("'FINE TUNE', '" + std::string(key) + "', '" + active[0].at("decvalue") +
                                   "', 'D', 1)"),
                      std::string::npos)
                << key;
        }
        EXPECT_EQ(db.Value("SELECT COUNT(*) FROM decode WHERE decactive = 0 AND deckey = "
                           "'inbound.correction.l' AND decvalue = '0.05'"),
                  std::optional<std::string>("1"));

        const int fresh = base + 50;
        SeedRows(fresh, "cal" + std::to_string(fresh), box, {55.0});
        const RunResult tool = RunTool(
            dir, {"-i", std::to_string(fresh), "-e", box.onPallet ? "144" : "2", "-p", dir.DataFolder().string()});
        ASSERT_EQ(tool.status, 0) << tool.out << tool.err;
        const auto row = ReadObject(db, fresh);
        EXPECT_NEAR(std::stod(row.at("LPackage")), box.l, 0.005);
        EXPECT_NEAR(std::stod(row.at("WPackage")), box.w, 0.005);
        EXPECT_NEAR(std::stod(row.at("HPackage")), box.h, 0.005);
        db.Exec("DELETE FROM decode WHERE decclass = 'FINE TUNE'");
    }
}

/// A raw scan of the empty floor, tilted by tiltDeg about the y axis, with a
/// share of clutter standing 0.3 m to 1 m above it.
std::string WriteFloor(const RunDir& dir, const std::string& name, double tiltDeg, double clutter, int count) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> x(-1.5f, 1.5f), y(-1.0f, 1.0f), up(0.3f, 1.0f);
    std::bernoulli_distribution above(clutter);
    const auto slope = static_cast<float>(std::tan(tiltDeg * ScanScene::kDegree));
    std::vector<std::array<float, 3>> points;
    for (int i = 0; i < count; ++i) {
        const float px = x(rng), py = y(rng);
        points.push_back({px, py, ScanScene::kFloorZ + slope * px - (above(rng) ? up(rng) : 0.0f)});
    }
    const fs::path file = dir.Path() / "floor" / (name + ".pcd");
    WriteScan(file, points);
    return file.string();
}

/// A scan without an image of a floor seen in three patches 2 cm wide, metres
/// apart: a plane, yet no rectangle of floor to measure in.
std::string WritePatchyFloor(const RunDir& dir) {
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> within(0.0f, 0.02f);
    std::vector<std::array<float, 3>> points;
    for (const auto& [x, y] : {std::pair<float, float>{-1.0f, -1.0f}, {1.0f, -1.0f}, {0.0f, 1.0f}}) {
        for (int i = 0; i < 40; ++i) points.push_back({x + within(rng), y + within(rng), ScanScene::kFloorZ});
    }
    const fs::path file = dir.Path() / "floor" / "patches.pcd";
    WriteScan(file, points);
    return file.string();
}

// Every refusal of the three commands: one line, exit status 1, no table changed.
TEST_F(CalibrateRun, RefusalsAreOneLineAndWriteNothing) {
    const std::vector<std::string> rows = SeedRows(8600, "cal8600", {0.6f, 0.4f, 0.5f, true}, {5.0, 25.0, 45.0});
    SeedRows(8610, "cal8610", {0.6f, 0.4f, 0.3f, true}, {5.0});  // another box
    SeedObject(db, cleanup, 8611, "cal8600", 9);                  // a row without its scan
    const std::string data = dir.DataFolder().string();
    const std::string before = Tables(db);

    // Without --write the box run prints the statements and stores nothing.
    const RunResult dry = Calibrate(dir, With({"box", "--size", "400x600x500", "-d", "8001", "-p", data}, rows));
    ASSERT_EQ(dry.status, 0) << dry.out << dry.err;
    EXPECT_NE(dry.out.find("Reference box 600 x 400 x 500 mm (L x W x H), 3 scans on pallet 8001"),
              std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("\nMeasuring mode: extreme points (inbound.precise = 0)\n"), std::string::npos);
    EXPECT_EQ(Occurrences(dry.out, "INSERT INTO decode"), 6);
    EXPECT_NE(dry.out.find("COMMIT;\n\nNot written (give --write to store it).\n"), std::string::npos);
    EXPECT_EQ(Tables(db), before);

    const std::vector<std::string> box = {"box", "-d", "8001", "-p", data, "--write", "--size"};
    const auto scans = [](const std::vector<std::string>& ids) {
        std::vector<std::string> args;
        for (const std::string& id : ids) args = With(args, {"-i", id});
        return args;
    };
    const std::vector<std::string> floor = {"floor", "-s", "cal8600", "--write"};
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {"not a size", With(box, With({"600x400"}, rows)),
         "ERROR: Invalid size: 600x400 (give LxWxH in millimetres, e.g. 600x400x500)"},
        {"metres for millimetres", With(box, With({"0.6x0.4x0.5"}, rows)),
         "ERROR: Size not plausible: 0.6 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {"two scans", With(box, With({"600x400x500"}, scans({"8600", "8601"}))),
         "ERROR: Need at least 3 scans of the reference box, got 2"},
        {"a wrong row", With(box, With({"600x400x500"}, scans({"8600", "8610", "8601"}))),
         "ERROR: Scans disagree: H ranges over ..."},
        {"another size", With(box, With({"800x400x500"}, rows)), "ERROR: Measured L is -19..."},
        {"no such row", With(box, With({"600x400x500"}, scans({"8600", "8699", "8601"}))),
         "ERROR: Scan row 8699: no such shipment row"},
        {"no scan file", With(box, With({"600x400x500"}, scans({"8600", "8611", "8601"}))),
         "ERROR: Scan row 8611: no scan file " + data + "/cal8600/S9.pcd"},
        {"no such pallet", With({"box", "--size", "600x400x500", "-d", "8099", "-p", data}, rows),
         "ERROR: Pallet not found: 8099"},
        {"negative pallet height", With({"box", "--size", "600x400x500", "-e", "-1", "-p", data}, rows),
         "ERROR: Invalid pallet height: -1"},
        {"check, division 7", {"check", "--size", "500x350x300", "--division", "7", "-i", "8600"},
         "ERROR: Invalid division: 7 (5 or 10 mm)"},
        {"check, no scan", {"check", "--size", "500x350x300"}, "ERROR: Need at least 1 scan of the check box, got 0"},
        {"floor tilted 8 degrees", With(floor, {WriteFloor(dir, "tilted", 8.0, 0.0, 20000)}),
         "ERROR: Floor tilted 8.00 degrees from the scan's z axis (limit 0.5 degrees; level the scanner's frame so "
         "that z is the vertical)"},
        {"floor mostly clutter", With(floor, {WriteFloor(dir, "clutter", 0.0, 0.7, 20000)}),
         "ERROR: No dominant plane: ..."},
        {"floor of too few points", With(floor, {WriteFloor(dir, "few", 0.0, 0.0, 60)}),
         "ERROR: Too few points for a floor: 60 finite (need 100)"},
        {"floor of an unknown session", {"floor", "a.pcd", "-s", "nosuch"}, "ERROR: Session not found: nosuch"},
        {"floor without a rectangle", With(floor, {WritePatchyFloor(dir)}),
         "ERROR: No measuring zone: the floor's 120 points cover no rectangle (need 100 on a floor without gaps)"},
    };
    for (const auto& c : cases) {
        ExpectRefusal(Calibrate(dir, c.args), c.line, c.name);
        EXPECT_EQ(Tables(db), before) << c.name;
    }

    // A pallet cut that does not clear the noise of the pallet's top face
    // leaves a speckle of it around the box: far too wide to be corrected.
    db.Exec("UPDATE decode SET decvalue = '0' WHERE deckey = 'pallet.correction.height'");
    const std::string cutAtTheTop = Tables(db);
    ExpectRefusal(Calibrate(dir, With(box, With({"600x400x500"}, rows))), "ERROR: ...", "cut at the top");
    EXPECT_EQ(Tables(db), cutAtTheTop);
    // A decode row that does not convert stops it as it stops the tool.
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "abc", "D");
    const RunResult config = Calibrate(dir, {"floor", "x.pcd"});
    EXPECT_EQ(config.status, 1);
    EXPECT_EQ(config.out, "ERROR: Unable to initialize config object!\n");
    EXPECT_EQ(Calibrate(dir, {"box", "--bogus"}).err, "ERROR: unrecognised option '--bogus'\n");
    EXPECT_EQ(Calibrate(dir, {"measure"}).err.rfind("usage: kelvo_calibrate", 0), 0u);
}

// The check box: errors with the settings in force against +-5 and +-10 mm.
TEST_F(CalibrateRun, CheckBoxAgainstTheDivisions) {
    const std::vector<std::string> rows = SeedRows(8700, "cal8700", {0.5f, 0.35f, 0.3f, true}, {15.0, 40.0});
    const auto check = [&](const std::vector<std::string>& more, int status, const std::string& result) {
        const RunResult run = Calibrate(
            dir, With(With({"check", "--size", "500x350x300", "-d", "8001", "-p", dir.DataFolder().string()}, more),
                      rows));
        EXPECT_EQ(run.status, status) << run.out << run.err;
        EXPECT_NE(run.out.find("\nRESULT: " + result + "\n"), std::string::npos) << run.out;
        return run.out;
    };
    // Raw: the noise widens the rectangle by about 7 mm, within a pallet division only.
    check({}, 1, "outside +-5 mm in L W");
    check({"--division", "10"}, 0, "within +-10 mm");
    // Settings a reference box gave (rounded): within the parcel division.
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "-0.0072", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.w", "-0.0070", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "-0.0036", "D");
    EXPECT_NE(check({}, 0, "within +-5 mm").find("Settings in force: inbound corrections L -7.2, W -7.0, H -3.6 mm\n"),
              std::string::npos);
    // Corrections far off: outside both.
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "0.02", "D");
    check({"--division", "10"}, 1, "outside +-10 mm in H");
    // The mode in force measures and is named.
    SeedDecode(db, cleanup, "CONFIG", "inbound.precise", "1", "I");
    EXPECT_NE(check({"--division", "10"}, 1, "outside +-10 mm in H")
                  .find("\nMeasuring mode: precise (inbound.precise = 1: box fitted to the goods' faces)\n"),
              std::string::npos);
}

// The depth camera's empty station, tilted and rolled, against a session whose
// stored plane is level, 1 cm off and scaled: the fitted plane is the one the
// scan was generated with, the range noise (growing with the square of the
// range) is not cut off at the inlier distance, and --write replaces the plane.
TEST_F(CalibrateRun, FloorOfTheDepthCamerasEmptyStationReplacesTheSessionsPlane) {
    SeedSession(db, cleanup, "cal8900", {0.0, 0.0, 2.0, -2.0 * (ScanScene::kFloorZ + 0.01)});
    const fs::path file = dir.Path() / "floor" / "empty.pcd", truth = dir.Path() / "floor" / "truth";
    fs::create_directories(file.parent_path());
    const std::string command = std::string(KELVO_SCANGEN_BIN) + " empty-floor " + file.string() +
                                " --tilt 0.3 --roll -0.2 > " + truth.string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    double t[4], p[4], rms, p999;
    int correction = 0;
    ASSERT_EQ(std::sscanf(LineAfter(ReadText(truth), "plane=").c_str(), "%lf %lf %lf %lf", &t[0], &t[1], &t[2], &t[3]),
              4);
    const std::string before = Tables(db);

    RunResult run = Calibrate(dir, {"floor", file.string(), "-s", "cal8900"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    ASSERT_EQ(std::sscanf(LineAfter(run.out, "plane a b c d: ").c_str(), "%lf %lf %lf %lf", &p[0], &p[1], &p[2], &p[3]),
              4)
        << run.out;
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(p[i], t[i], i < 3 ? 2e-4 : 0.002) << i;
    }
    ASSERT_EQ(std::sscanf(LineAfter(run.out, "noise: ").c_str(), "RMS %lf mm, 99.9th percentile %lf mm", &rms, &p999),
              2);
    EXPECT_GT(rms, 2.0);
    EXPECT_GT(p999, 3.0 * rms);
    ASSERT_EQ(std::sscanf(LineAfter(run.out, "pallet.correction.height: ").c_str(), "%d", &correction), 1);
    EXPECT_EQ(correction, static_cast<int>(std::ceil(p999)) + 1);
    // Goods on the floor lower than half the correction above the -e 2 cut cannot be told from it.
    EXPECT_EQ(LineAfter(run.out, "least goods height: "),
              std::to_string(2 + correction + (correction + 1) / 2) + " mm (on the floor, -e 2)");
    EXPECT_NE(run.out.find("\nstored plane of session cal8900: 0.000000 0.000000 2.000000 -5.020000\n"),
              std::string::npos);
    double angle = 0.0;
    ASSERT_EQ(std::sscanf(LineAfter(run.out, "stored against fitted: ").c_str(), "angle %lf", &angle), 1);
    EXPECT_NEAR(angle, std::acos(std::fabs(t[2]) / std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2])) /
                           ScanScene::kDegree, 0.02);
    EXPECT_NE(run.out.find("Not written (give --write to store it)."), std::string::npos);
    EXPECT_EQ(Tables(db), before);

    run = Calibrate(dir, {"floor", file.string(), "-s", "cal8900", "--write"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Written: the plane of session cal8900, the pallet correction height and the floor "
                           "noise band, in one transaction."),
              std::string::npos);
    EXPECT_EQ(db.Value("SELECT decvalue FROM decode WHERE decactive = 1 AND deckey = 'pallet.correction.height'"),
              std::optional<std::string>(std::to_string(correction)));
    // The band follows the floor's noise and never falls below the start value.
    EXPECT_EQ(db.Value("SELECT decvalue FROM decode WHERE decactive = 1 AND deckey = 'floor.noise.band'"),
              std::optional<std::string>(std::to_string(std::max(25, correction))));
    // Once replaced, the stored plane is the fitted one.
    run = Calibrate(dir, {"floor", file.string(), "-s", "cal8900"});
    EXPECT_NE(run.out.find("\nstored against fitted: angle 0.00 degrees, distance 0.0 mm\n"), std::string::npos)
        << run.out;
}

}  // namespace

// A pair side by side, as the tool's split sees it: each cluster measured
// against the size it matches, whichever order the sizes are given in.
TEST_F(CalibrateRun, CheckPairSideBySideReportsEachBox) {
    SeedDecode(db, cleanup, "CONFIG", "inbound.precise", "1", "I");
    SeedSession(db, cleanup, "cal8800", {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
    const fs::path pair = dir.DataFolder() / "cal8800" / "pair.pcd";
    const fs::path single = dir.DataFolder() / "cal8800" / "single.pcd";
    fs::create_directories(pair.parent_path());
    for (const std::string& scene : {"pallet-side-by-side " + pair.string() + " --angle 20",
                                     "box-on-pallet " + single.string() + " --angle 20"}) {
        ASSERT_EQ(std::system((std::string(KELVO_SCANGEN_BIN) + " " + scene + " --camera >/dev/null").c_str()), 0);
    }
    const std::vector<std::string> common = {"check", "-d", "8001", "-s", "cal8800", "--division", "10"};
    // The split's start values find nothing, and the refusal says where to look.
    ExpectRefusal(Calibrate(dir, With(common, {"--size", "600x400x500", "--size", "400x300x300", pair.string()})),
                  "ERROR: Scan " + pair.string() + ": split into 0 objects, not the pair's 2 (the split's settings: "
                  "pcl.cluster.tollerance, pcl.min.cluster.size, pcl.max.cluster.size)",
                  "start values");
    SeedDecode(db, cleanup, "CONFIG", "pcl.cluster.tollerance", "0.05", "D");
    SeedDecode(db, cleanup, "CONFIG", "pcl.min.cluster.size", "100", "I");
    SeedDecode(db, cleanup, "CONFIG", "pcl.max.cluster.size", "10000000", "I");
    for (const auto& sizes : {std::vector<std::string>{"--size", "600x400x500", "--size", "400x300x300"},
                              std::vector<std::string>{"--size", "300x400x300", "--size", "600x400x500"}}) {
        const RunResult run = Calibrate(dir, With(With(common, sizes), {pair.string()}));
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out.rfind("Check pair side by side: box 1 ", 0), 0u) << run.out;
        EXPECT_EQ(Occurrences(run.out, ", the inbound box of its cluster (mm; error = measured - true):\n"), 2)
            << run.out;
        EXPECT_NE(run.out.find("\nRESULT: within +-10 mm\n"), std::string::npos) << run.out;
    }
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string line;
    } refusals[] = {
        {"one box for a pair", With(common, {"--size", "600x400x500", "--size", "400x300x300", single.string()}),
         "ERROR: Scan " + single.string() + ": split into 1 objects, not the pair's 2 (the split's settings: "
         "pcl.cluster.tollerance, pcl.min.cluster.size, pcl.max.cluster.size)"},
        {"three sizes", With(common, {"--size", "600x400x500", "--size", "400x300x300", "--size", "400x300x300",
                                      pair.string()}),
         "ERROR: Give one --size, or two for a pair of boxes side by side"},
        {"a reference pair", {"box", "--size", "600x400x500", "--size", "400x300x300", "-s", "cal8800",
                              pair.string(), pair.string(), pair.string()},
         "ERROR: Give one --size: the reference box is one box"},
    };
    for (const auto& c : refusals) {
        ExpectRefusal(Calibrate(dir, c.args), c.line, c.name);
    }
}
