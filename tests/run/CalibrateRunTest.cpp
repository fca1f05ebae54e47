// Whole runs of kelvo_calibrate against the test database: the reference
// box, the check box and the floor, each on generated scans whose true sizes
// and planes are known.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "run/ScanRun.h"

namespace fs = boost::filesystem;
using namespace kelvo_test;

namespace {

constexpr double kPi = 3.14159265358979323846;
const char* const kCorrectionKeys[] = {"inbound.correction.l", "inbound.correction.w",
                                       "inbound.correction.h", "real.correction.l",
                                       "real.correction.w",    "real.correction.h"};

RunResult Calibrate(const RunDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> command = {KELVO_CALIBRATE_BIN};
    command.insert(command.end(), args.begin(), args.end());
    return RunCommand(dir, command);
}

/// A box to scan: its size (metres), where it stands, and how it is scanned.
struct BoxSpec {
    float l, w, h;
    bool onPallet;
    bool camera = false;  ///< kelvo_scangen's depth camera instead of sampled surfaces
};

/// One box of the given size (metres), turned by angleDeg, on a Euro pallet or on the floor.
ScanScene BoxScene(float l, float w, float h, bool onPallet, double angleDeg) {
    ScanScene scene;
    const auto a = static_cast<float>(angleDeg * ScanScene::kDegree);
    if (onPallet) {
        scene.AddPallet(a);
    }
    scene.AddBox(l, w, h, 0.0f, 0.0f, a, scene.PalletTopZ());
    return scene;
}

/// The first line of out that starts with prefix, without the prefix; empty when none does.
std::string LineAfter(const std::string& out, const std::string& prefix) {
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return line.substr(prefix.size());
        }
    }
    return std::string();
}

/// Every line of out that starts with prefix.
std::vector<std::string> LinesStarting(const std::string& out, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

/// The blank-separated words of a line.
std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

/// One line of output and exit status 1; a line given with a trailing "..." is a prefix.
void ExpectRefusal(const RunResult& run, const std::string& line, const std::string& name) {
    EXPECT_EQ(run.status, 1) << name << "\n" << run.out << run.err;
    const std::string dots = "...";
    if (line.size() > dots.size() && line.compare(line.size() - dots.size(), dots.size(), dots) == 0) {
        EXPECT_EQ(run.out.rfind(line.substr(0, line.size() - dots.size()), 0), 0u) << name << "\n" << run.out;
        EXPECT_EQ(Occurrences(run.out, "\n"), 1) << name << "\n" << run.out;
    } else {
        EXPECT_EQ(run.out, line + "\n") << name;
    }
}

/// The active decode rows of a key, as value texts.
std::vector<std::string> ActiveValues(TestDatabase& db, const std::string& key) {
    std::vector<std::string> values;
    for (const auto& row : db.Rows("SELECT decvalue FROM decode WHERE decactive = 1 AND deckey = " +
                                   TestDatabase::Quote(key) + " ORDER BY id")) {
        values.push_back(row.at("decvalue"));
    }
    return values;
}

/// The decode table as one text, to tell whether a run changed it.
std::string DecodeTable(TestDatabase& db) {
    std::string text;
    for (const auto& row : db.Rows("SELECT * FROM decode ORDER BY id")) {
        for (const auto& [column, value] : row) {
            text += column + "=" + value + " ";
        }
        text += "\n";
    }
    return text;
}

class CalibrateRun : public RunFixture {
protected:
    void SetUp() override {
        SeedRunSettings(db, cleanup);
        SeedPallet(db, cleanup, 8001, "EPAL", ScanScene::kPalletHeight * 1000.0);
        // The rows the runs insert; the seeded ones go by their ids.
        cleanup.Add("DELETE FROM decode WHERE decclass = 'FINE TUNE'");
        cleanup.Add("DELETE FROM decode WHERE deckey = 'pallet.correction.height' AND decvalue <> " +
                    std::string("'") + kPalletCorrectionMm + "'");
    }

    /// A scan of the box turned by angleDeg; separate scans get seeds of their own.
    void WriteBoxScan(const fs::path& file, const BoxSpec& box, double angleDeg, unsigned seed) {
        fs::create_directories(file.parent_path());
        if (!box.camera) {
            EXPECT_TRUE(ScanScene::WritePcd(file.string(), BoxScene(box.l, box.w, box.h, box.onPallet, angleDeg)
                                                               .Sample(kScanPoints, ScanScene::kDefaultNoise,
                                                                       0.0, seed)));
            return;
        }
        std::ostringstream command;
        command << KELVO_SCANGEN_BIN << (box.onPallet ? " box-on-pallet " : " box-on-floor ") << file.string()
                << " --camera --box " << box.l << "x" << box.w << "x" << box.h << " --angle " << angleDeg
                << " --seed " << seed << " >/dev/null";
        EXPECT_EQ(std::system(command.str().c_str()), 0) << command.str();
    }

    /// Rows firstId.. of session sid, one scan each of the box at the given angles.
    std::vector<std::string> SeedRows(int firstId, const std::string& sid, const BoxSpec& box,
                                      const std::vector<double>& angles) {
        SeedSession(db, cleanup, sid, {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
        std::vector<std::string> args;
        for (std::size_t k = 0; k < angles.size(); ++k) {
            const int id = firstId + static_cast<int>(k);
            const int n = static_cast<int>(k) + 1;
            SeedObject(db, cleanup, id, sid, n, kPalletToRemove);
            WriteBoxScan(dir.DataFolder() / sid / ("S" + std::to_string(n) + ".pcd"), box, angles[k], 21 + id);
            args.insert(args.end(), {"-i", std::to_string(id)});
        }
        return args;
    }

    /// Scan files of the box at the given angles, outside the data folder.
    std::vector<std::string> WriteFiles(const std::string& stem, const BoxSpec& box,
                                        const std::vector<double>& angles) {
        std::vector<std::string> files;
        for (std::size_t k = 0; k < angles.size(); ++k) {
            const fs::path file = dir.Path() / "scans" / (stem + std::to_string(k) + ".pcd");
            WriteBoxScan(file, box, angles[k], 11 + k);
            files.push_back(file.string());
        }
        return files;
    }

    std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

// ---------------------------------------------------------------------------
// The reference box: rows or files, on a pallet or on the floor.

TEST_F(CalibrateRun, ReferenceBoxCorrectionsBringTheToolWithinTheParcelDivision) {
    const struct {
        const char* name;
        BoxSpec box;
        bool asFiles;
    } cases[] = {
        {"parcel on the floor, rows", {0.4f, 0.3f, 0.25f, false}, false},
        {"box on a pallet, rows", {0.6f, 0.4f, 0.5f, true}, false},
        {"box on a pallet, files", {0.8f, 0.5f, 0.4f, true}, true},
        {"depth camera, box on a pallet, files", {0.6f, 0.4f, 0.5f, true, true}, true},
        {"depth camera, parcel on the floor, rows", {0.5f, 0.4f, 0.3f, false, true}, false},
    };
    int base = 8100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base += 100;
        const std::string sid = "cal" + std::to_string(base);
        // Corrections in force before must not leak into the raw errors.
        SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "0.05", "D");
        SeedDecode(db, cleanup, "FINE TUNE", "real.correction.l", "-0.3", "D");
        const BoxSpec& box = c.box;
        const std::string size = std::to_string(static_cast<int>(std::lround(box.l * 1000))) + "x" +
                                 std::to_string(static_cast<int>(std::lround(box.w * 1000))) + "x" +
                                 std::to_string(static_cast<int>(std::lround(box.h * 1000)));
        std::vector<std::string> args = {"box", "--size", size, "-p", dir.DataFolder().string(), "--write"};
        if (box.onPallet) {
            args = With(args, {"-d", "8001"});
        }
        if (c.asFiles) {
            SeedSession(db, cleanup, sid, {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
            args = With(args, {"-s", sid});
            args = With(args, WriteFiles("ref" + std::to_string(base), box, {10.0, 35.0, 70.0}));
        } else {
            args = With(args, SeedRows(base, sid, box, {10.0, 35.0, 70.0}));
        }

        const RunResult run = Calibrate(dir, args);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find(box.onPallet ? "3 scans on pallet 8001 (EPAL, 144 mm)" : "3 scans on the floor"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("Written: 6 decode rows, in one transaction."), std::string::npos);

        // Raw errors of a few millimetres: sampled surfaces measure large (the
        // rectangle takes in the noise), the camera small (edges and floor removal).
        double inbound[3];
        ASSERT_EQ(std::sscanf(LineAfter(run.out, "inbound ").c_str(), "%lf %lf %lf", &inbound[0],
                              &inbound[1], &inbound[2]),
                  3)
            << run.out;
        for (const double v : inbound) {
            EXPECT_NE(v, 0.0) << run.out;
            EXPECT_LT(std::fabs(v), 15.0) << run.out;
        }
        // With the corrections applied every scan is within a millimetre or two.
        const std::vector<std::string> residuals = LinesStarting(
            run.out.substr(run.out.find("With the corrections applied")), c.asFiles ? dir.Path().string() : "row ");
        ASSERT_EQ(residuals.size(), 3u) << run.out;
        for (const std::string& line : residuals) {
            // scan, then err L, err W, err H and the two volume errors.
            const std::vector<std::string> words = Words(line);
            ASSERT_GE(words.size(), 6u) << line;
            for (std::size_t k = words.size() - 5; k < words.size() - 2; ++k) {
                EXPECT_LE(std::fabs(std::stod(words[k])), 2.0) << line;
            }
        }

        // One active row per key, as printed; the rows in force before stay, switched off.
        for (const char* key : kCorrectionKeys) {
            const std::vector<std::string> active = ActiveValues(db, key);
            ASSERT_EQ(active.size(), 1u) << key;
            EXPECT_NE(run.out.find("'FINE TUNE', '" + std::string(key) + "', '" + active[0] + "', 'D', 1)"),
                      std::string::npos)
                << key;
        }
        EXPECT_NEAR(std::stod(ActiveValues(db, "inbound.correction.l")[0]), inbound[0] / 1000.0, 1e-9);
        EXPECT_EQ(db.Value("SELECT COUNT(*) FROM decode WHERE decactive = 0 AND deckey = "
                           "'inbound.correction.l' AND decvalue = '0.05'"),
                  std::optional<std::string>("1"));

        // The tool itself, on a new scan of the box, now measures within 5 mm.
        const int fresh = base + 50;
        SeedSession(db, cleanup, sid + "n", {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
        SeedObject(db, cleanup, fresh, sid + "n", 1, kPalletToRemove);
        WriteBoxScan(dir.DataFolder() / (sid + "n") / "S1.pcd", box, 55.0, 99);
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

TEST_F(CalibrateRun, ReferenceBoxWithoutWritePrintsTheRowsAndStoresNothing) {
    const std::vector<std::string> rows = SeedRows(8500, "cal8500", {0.6f, 0.4f, 0.5f, true}, {5.0, 25.0, 45.0});
    const std::string before = DecodeTable(db);
    const RunResult run =
        Calibrate(dir, With({"box", "--size", "400x600x500", "-d", "8001", "-p", dir.DataFolder().string()}, rows));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Reference box 600 x 400 x 500 mm (L x W x H), 3 scans on pallet 8001"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nSQL:\nSTART TRANSACTION;\nUPDATE decode SET decactive = 0 WHERE decclass = "
                           "'FINE TUNE' AND deckey = 'inbound.correction.l' AND decactive = 1;\n"),
              std::string::npos);
    EXPECT_EQ(Occurrences(run.out, "INSERT INTO decode"), 6);
    EXPECT_NE(run.out.find("COMMIT;\n\nNot written (give --write to store it).\n"), std::string::npos);
    EXPECT_EQ(DecodeTable(db), before);
}

TEST_F(CalibrateRun, ReferenceBoxRefusesWithOneLineAndWritesNothing) {
    const std::vector<std::string> rows = SeedRows(8600, "cal8600", {0.6f, 0.4f, 0.5f, true}, {5.0, 25.0, 45.0});
    // A row of another box, and a row whose scan is missing.
    SeedScan(db, cleanup, dir, 8610, "cal8610", 1, BoxScene(0.6f, 0.4f, 0.3f, true, 5.0));
    SeedObject(db, cleanup, 8611, "cal8600", 9);
    const std::string data = dir.DataFolder().string();
    const std::vector<std::string> common = {"box", "-d", "8001", "-p", data, "--write"};
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {"no size", With(common, rows), "ERROR: Give the reference box's size as --size LxWxH in millimetres"},
        {"not a size", With(common, With({"--size", "600x400"}, rows)),
         "ERROR: Invalid size: 600x400 (give LxWxH in millimetres, e.g. 600x400x500)"},
        {"metres for millimetres", With(common, With({"--size", "0.6x0.4x0.5"}, rows)),
         "ERROR: Size not plausible: 0.6 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {"two scans", With(common, {"--size", "600x400x500", "-i", "8600", "-i", "8601"}),
         "ERROR: Need at least 3 scans of the reference box, got 2"},
        {"a wrong row", With(common, {"--size", "600x400x500", "-i", "8600", "-i", "8610", "-i", "8601"}),
         "ERROR: Scans disagree: H ranges over ..."},
        {"another size", With(common, With({"--size", "800x400x500"}, rows)),
         "ERROR: Measured L is -19..."},
        {"no such row", With(common, {"--size", "600x400x500", "-i", "8600", "-i", "8699", "-i", "8601"}),
         "ERROR: Scan row 8699: no such shipment row"},
        {"no scan file", With(common, {"--size", "600x400x500", "-i", "8600", "-i", "8611", "-i", "8601"}),
         "ERROR: Scan row 8611: no scan file " + data + "/cal8600/S9.pcd"},
        {"no such pallet", With({"box", "--size", "600x400x500", "-d", "8099", "-p", data, "--write"}, rows),
         "ERROR: Pallet not found: 8099"},
        {"files without a session", With(common, {"--size", "600x400x500", "a.pcd", "b.pcd", "c.pcd"}),
         "ERROR: Give the session (-s) whose floor plane the scan files share"},
        {"files of an unknown session",
         With(common, {"--size", "600x400x500", "-s", "nosuch", "a.pcd", "b.pcd", "c.pcd"}),
         "ERROR: Session not found: nosuch"},
        {"rows and files", With(common, With({"--size", "600x400x500", "a.pcd"}, rows)),
         "ERROR: Give the scans either as rows (-i) or as files with a session (-s), not both"},
        {"pallet by id and by height", With(common, With({"--size", "600x400x500", "-e", "144"}, rows)),
         "ERROR: Give the pallet either by id (-d) or by height (-e), not both"},
        {"negative pallet height", With({"box", "--size", "600x400x500", "-e", "-1", "-p", data}, rows),
         "ERROR: Invalid pallet height: -1"},
    };
    const std::string before = DecodeTable(db);
    for (const auto& c : cases) {
        const RunResult run = Calibrate(dir, c.args);
        ExpectRefusal(run, c.line, c.name);
        EXPECT_EQ(run.err, "") << c.name;
        EXPECT_EQ(DecodeTable(db), before) << c.name;
    }

    // A pallet cut that does not clear the noise of the pallet's top face
    // leaves a speckle of it around the box: far too wide to be corrected.
    db.Exec("UPDATE decode SET decvalue = '0' WHERE deckey = 'pallet.correction.height'");
    const std::string cutAtTheTop = DecodeTable(db);
    const RunResult run = Calibrate(dir, With(common, With({"--size", "600x400x500"}, rows)));
    ExpectRefusal(run, "ERROR: ...", "pallet correction height 0");
    EXPECT_EQ(DecodeTable(db), cutAtTheTop);
}

// ---------------------------------------------------------------------------
// The check box: errors with the settings in force against +-5 and +-10 mm.

TEST_F(CalibrateRun, CheckBoxAgainstTheDivisions) {
    const std::vector<std::string> rows = SeedRows(8700, "cal8700", {0.5f, 0.35f, 0.3f, true}, {15.0, 40.0});
    const std::string data = dir.DataFolder().string();
    const auto check = [&](const std::vector<std::string>& more) {
        return Calibrate(dir, With(With({"check", "--size", "500x350x300", "-d", "8001", "-p", data}, more), rows));
    };

    // Raw: the noise widens the rectangle by about 7 mm, within a pallet division only.
    RunResult run = check({});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("\nRESULT: outside +-5 mm in L W\n"), std::string::npos) << run.out;
    run = check({"--division", "10"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\nRESULT: within +-10 mm\n"), std::string::npos) << run.out;

    // Settings a reference box gave (rounded): within the parcel division.
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "-0.0072", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.w", "-0.0070", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "-0.0036", "D");
    run = check({});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Settings in force: inbound corrections L -7.2, W -7.0, H -3.6 mm\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nRESULT: within +-5 mm\n"), std::string::npos) << run.out;

    // Corrections far off: outside both.
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "0.02", "D");
    run = check({"--division", "10"});
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("\nRESULT: outside +-10 mm in H\n"), std::string::npos) << run.out;

    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string line;
    } refusals[] = {
        {"division 7", {"check", "--size", "500x350x300", "--division", "7", "-i", "8700"},
         "ERROR: Invalid division: 7 (5 or 10 mm)"},
        {"no scan", {"check", "--size", "500x350x300", "-p", data}, "ERROR: Need at least 1 scan of the check box, got 0"},
        {"no size", {"check", "-i", "8700", "-p", data},
         "ERROR: Give the check box's size as --size LxWxH in millimetres"},
    };
    for (const auto& c : refusals) {
        ExpectRefusal(Calibrate(dir, c.args), c.line, c.name);
    }
}

// ---------------------------------------------------------------------------
// The floor: a raw scan of the empty station.

/// A raw scan of the empty floor, tilted by tiltDeg about the y axis, with
/// Gaussian depth noise and a share of clutter standing 0.3 m to 1 m above it.
fs::path WriteFloor(const RunDir& dir, const std::string& name, double tiltDeg, double noise, double clutter,
                    int count) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> x(-1.5f, 1.5f), y(-1.0f, 1.0f), up(0.3f, 1.0f);
    std::normal_distribution<float> depth(0.0f, static_cast<float>(noise));
    std::bernoulli_distribution above(clutter);
    const float slope = static_cast<float>(std::tan(tiltDeg * kPi / 180.0));
    std::vector<std::array<float, 3>> points;
    for (int i = 0; i < count; ++i) {
        const float px = x(rng), py = y(rng);
        float pz = ScanScene::kFloorZ + slope * px + depth(rng);
        if (above(rng)) {
            pz -= up(rng);
        }
        points.push_back({px, py, pz});
    }
    const fs::path file = dir.Path() / "floor" / (name + ".pcd");
    WriteScan(file, points);
    return file;
}

TEST_F(CalibrateRun, FloorRefusesScansWithoutAUsableFloorAndWritesNothing) {
    const struct {
        const char* name;
        double tiltDeg, clutter;
        int count;
        std::string line;
    } cases[] = {
        {"tilted 8 degrees", 8.0, 0.0, 20000, "ERROR: Floor tilted 8.00 degrees from the scan's z axis (limit 5 degrees)"},
        {"mostly clutter", 0.0, 0.7, 20000, "ERROR: No dominant plane: ..."},
        {"too few points", 0.0, 0.0, 60, "ERROR: Too few points for a floor: 60 finite (need 100)"},
    };
    SeedSession(db, cleanup, "cal8800", {0.0, 0.0, 1.0, -ScanScene::kFloorZ});
    const std::string before = DecodeTable(db);
    for (const auto& c : cases) {
        const fs::path file = WriteFloor(dir, c.name, c.tiltDeg, 0.001, c.clutter, c.count);
        ExpectRefusal(Calibrate(dir, {"floor", file.string(), "-s", "cal8800", "--write"}), c.line, c.name);
        EXPECT_EQ(DecodeTable(db), before) << c.name;
        EXPECT_EQ(db.Value("SELECT coeff_d FROM session WHERE sid = 'cal8800'"), std::optional<std::string>("-2.5"));
    }
}

TEST_F(CalibrateRun, FloorOfTheDepthCamerasEmptyStation) {
    const struct {
        const char* name;
        std::string options;
        int status;
    } cases[] = {
        {"level", "", 0},
        {"tilted and rolled", "--tilt 4 --roll -2", 0},
        {"tilted beyond the limit", "--tilt 6", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir.Path() / "floor" / "empty.pcd";
        fs::create_directories(file.parent_path());
        const fs::path truth = dir.Path().string() + ".truth";
        const std::string command = std::string(KELVO_SCANGEN_BIN) + " empty-floor " + file.string() + " " +
                                    c.options + " > " + truth.string();
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        double t[4];
        ASSERT_EQ(std::sscanf(LineAfter(ReadText(truth), "plane=").c_str(), "%lf %lf %lf %lf", &t[0], &t[1], &t[2],
                              &t[3]),
                  4);
        fs::remove(truth);

        const RunResult run = Calibrate(dir, {"floor", file.string()});
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        if (c.status != 0) {
            ExpectRefusal(run, "ERROR: Floor tilted 6.0...", c.name);
            continue;
        }
        double p[4];
        ASSERT_EQ(std::sscanf(LineAfter(run.out, "plane a b c d: ").c_str(), "%lf %lf %lf %lf", &p[0], &p[1],
                              &p[2], &p[3]),
                  4)
            << run.out;
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(p[i], t[i], 2e-4) << i;
        }
        EXPECT_NEAR(p[3], t[3], 0.002);
        // The camera's range noise grows with the square of the range: millimetres at 2.5 m and more.
        double rms, p999;
        ASSERT_EQ(std::sscanf(LineAfter(run.out, "noise: ").c_str(), "RMS %lf mm, 99.9th percentile %lf mm",
                              &rms, &p999),
                  2);
        EXPECT_GT(rms, 2.0);
        EXPECT_GT(p999, 3.0 * rms);
        int correction = 0;
        ASSERT_EQ(std::sscanf(LineAfter(run.out, "pallet.correction.height: ").c_str(), "%d", &correction), 1);
        EXPECT_EQ(correction, static_cast<int>(std::ceil(p999)) + 1);
    }
}

TEST_F(CalibrateRun, FloorAgainstTheSessionsPlaneAndItsReplacement) {
    // The stored plane is 1 cm off and level; the floor is tilted by one degree.
    SeedSession(db, cleanup, "cal8900", {0.0, 0.0, 2.0, -2.0 * (ScanScene::kFloorZ + 0.01)});
    const fs::path file = WriteFloor(dir, "session", 1.0, 0.001, 0.1, 20000);

    RunResult run = Calibrate(dir, {"floor", file.string(), "-s", "cal8900"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\nstored plane of session cal8900: 0.000000 0.000000 2.000000 -5.020000\n"),
              std::string::npos)
        << run.out;
    double angle, distance;
    ASSERT_EQ(std::sscanf(LineAfter(run.out, "stored against fitted: ").c_str(), "angle %lf degrees, distance %lf mm",
                          &angle, &distance),
              2)
        << run.out;
    EXPECT_NEAR(angle, 1.0, 0.02);
    EXPECT_NEAR(distance, 10.0, 0.3);
    EXPECT_NE(run.out.find("\nSQL:\nSTART TRANSACTION;\nUPDATE session SET coeff_a = "), std::string::npos);
    EXPECT_NE(run.out.find("Not written (give --write to store it)."), std::string::npos);
    EXPECT_EQ(db.Value("SELECT coeff_c FROM session WHERE sid = 'cal8900'"), std::optional<std::string>("2"));

    run = Calibrate(dir, {"floor", file.string(), "-s", "cal8900", "--write"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Written: the plane of session cal8900 and the pallet correction height, in one "
                           "transaction."),
              std::string::npos);
    const auto stored = db.Rows("SELECT * FROM session WHERE sid = 'cal8900'").front();
    EXPECT_NEAR(std::stod(stored.at("coeff_a")), -std::sin(kPi / 180.0), 3e-4);
    EXPECT_NEAR(std::stod(stored.at("coeff_c")), std::cos(kPi / 180.0), 3e-4);
    EXPECT_NEAR(std::stod(stored.at("coeff_d")), -ScanScene::kFloorZ * std::cos(kPi / 180.0), 1e-3);

    // Once replaced, the stored plane is the fitted one.
    run = Calibrate(dir, {"floor", file.string(), "-s", "cal8900"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\nstored against fitted: angle 0.00 degrees, distance 0.0 mm\n"), std::string::npos)
        << run.out;

    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string line;
    } refusals[] = {
        {"unknown session", {"floor", file.string(), "-s", "nosuch", "--write"}, "ERROR: Session not found: nosuch"},
        {"no scan", {"floor", "--write"}, "ERROR: Give one raw scan of the empty station: kelvo_calibrate floor SCAN"},
        {"two scans", {"floor", file.string(), file.string()},
         "ERROR: Give one raw scan of the empty station: kelvo_calibrate floor SCAN"},
        {"missing file", {"floor", "nosuch.pcd"}, "ERROR: Scan nosuch.pcd: no scan file nosuch.pcd"},
    };
    for (const auto& c : refusals) {
        ExpectRefusal(Calibrate(dir, c.args), c.line, c.name);
    }
}

TEST_F(CalibrateRun, CommandLineAndConfiguration) {
    RunResult run = Calibrate(dir, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: kelvo_calibrate box   --size LxWxH", 0), 0u) << run.out;
    run = Calibrate(dir, {});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("usage: kelvo_calibrate", 0), 0u);
    run = Calibrate(dir, {"measure"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("usage: kelvo_calibrate", 0), 0u);
    run = Calibrate(dir, {"box", "--bogus"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ERROR: unrecognised option '--bogus'\n");
    // A decode row that does not convert stops it as it stops the tool.
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "abc", "D");
    run = Calibrate(dir, {"floor", "x.pcd"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: Unable to initialize config object!\n");
}

}  // namespace
