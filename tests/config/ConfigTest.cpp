#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "config/Config.h"
#include "run/TestRows.h"

using kelvo_test::Cleanup;
using kelvo_test::TestDatabase;

namespace {

/// The process's configuration, read from the test database's bootstrap file.
Config& TheConfig() {
    Config* config = Config::GetInstance(kelvo_test::RequireEnv("KELVO_TEST_CONFIG"));
    if (config == nullptr) {
        throw std::runtime_error("the test configuration could not be created");
    }
    return *config;
}

/// Restores the decode-driven settings a test may have changed.
void ResetSettings(Config& config) {
    config.SetBaseDataFolder("");
    config.SetTmpDataFolder("");
    config.SetFileModel("S%d.pcd");
    config.SetClusterTollerance(0.0f);
    config.SetMinClusterSize(0);
    config.SetMaxClusterSize(0);
    config.SetMinColorMap(500.0f);
    config.SetMaxColorMap(3500.0f);
    config.SetColorMapType("");
    config.SetOcTreeRealVolumeResolution(0.0f);
    config.SetPalletCorrectionHeight(0.0f);
    config.SetPalletMeanK(50);
    config.SetPalletStdDevMulThresh(0.5f);
    config.SetInboundCorrextionH(0.0f);
    config.SetInboundCorrextionL(0.0f);
    config.SetInboundCorrextionW(0.0f);
    config.SetRealCorrextionH(0.0f);
    config.SetRealCorrextionL(0.0f);
    config.SetRealCorrextionW(0.0f);
    config.SetPalletHeight(0.0f);
    config.SetImageSnapshot(0);
    config.SetFloorZone(0.0f, 0.0f, 0.0f, 0.0f);
}

class ConfigDb : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(config); }
    void TearDown() override { ResetSettings(config); }

    Config& config = TheConfig();
    TestDatabase db;
    Cleanup cleanup{db};
};

}  // namespace

TEST_F(ConfigDb, InstanceIsCreatedOnceAndLaterPathsAreIgnored) {
    EXPECT_EQ(Config::GetInstance("/no/such/file.json"), &config);
    EXPECT_EQ(Config::GetInstance(""), &config);
    EXPECT_EQ(config.GetCfgFile(), kelvo_test::RequireEnv("KELVO_TEST_CONFIG"));
    EXPECT_EQ(config.GetServer(), kelvo_test::RequireEnv("KELVO_TEST_DB_HOST"));
    EXPECT_EQ(std::to_string(config.GetPort()), kelvo_test::RequireEnv("KELVO_TEST_DB_PORT"));
    EXPECT_EQ(config.GetDatabase(), kelvo_test::RequireEnv("KELVO_TEST_DB_NAME"));
    EXPECT_EQ(config.GetUsername(), kelvo_test::RequireEnv("KELVO_TEST_DB_USER"));
    EXPECT_EQ(config.GetPassword(), kelvo_test::RequireEnv("KELVO_TEST_DB_PASSWORD"));
}

TEST_F(ConfigDb, DecodeRowsFillEverySetting) {
    using kelvo_test::SeedDecode;
    SeedDecode(db, cleanup, "CONFIG", "base.data.folder", "/srv/scans", "S");
    SeedDecode(db, cleanup, "CONFIG", "tmp.data.folder", "/tmp/scans", "S");
    SeedDecode(db, cleanup, "CONFIG", "data.file.model", "X%d.pcd", "S");
    SeedDecode(db, cleanup, "CONFIG", "pcl.cluster.tollerance", "0.015", "D");
    SeedDecode(db, cleanup, "CONFIG", "pcl.min.cluster.size", "25 apples", "I");
    SeedDecode(db, cleanup, "CONFIG", "pcl.max.cluster.size", "  900000", "I");
    SeedDecode(db, cleanup, "CONFIG", "pcl.color.map.type", "4", "S");
    SeedDecode(db, cleanup, "CONFIG", "pcl.min.color.map", "450.5mm", "D");
    SeedDecode(db, cleanup, "CONFIG", "pcl.max.color.map", "3000", "D");
    SeedDecode(db, cleanup, "CONFIG", "octree.real.volume.resolution", "0.01", "D");
    SeedDecode(db, cleanup, "CONFIG", "pallet.correction.height", "15", "D");
    SeedDecode(db, cleanup, "CONFIG", "pcl.pallet.mean.k", "50", "I");
    SeedDecode(db, cleanup, "CONFIG", "pcl.pallet.stddev.mul.thresh", "0.5", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "-0.01", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.l", "0.02", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.w", "0.03", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "real.correction.h", "0.04", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "real.correction.l", "0.05", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "real.correction.w", "0.06", "D");
    SeedDecode(db, cleanup, "CONFIG", "image.snapshot", "1", "I");

    ASSERT_EQ(config.InitFromDB(), 0);
    EXPECT_EQ(config.GetBaseDataFolder(), "/srv/scans");
    EXPECT_EQ(config.GetTmpDataFolder(), "/tmp/scans");
    EXPECT_EQ(config.GetFileModel(), "X%d.pcd");
    EXPECT_FLOAT_EQ(config.GetClusterTollerance(), 0.015f);
    EXPECT_EQ(config.GetMinClusterSize(), 25);
    EXPECT_EQ(config.GetMaxClusterSize(), 900000);
    EXPECT_EQ(config.GetColorMapType(), "4");
    EXPECT_FLOAT_EQ(config.GetMinColorMap(), 450.5f);
    EXPECT_FLOAT_EQ(config.GetMaxColorMap(), 3000.0f);
    EXPECT_FLOAT_EQ(config.GetOcTreeRealVolumeResolution(), 0.01f);
    EXPECT_FLOAT_EQ(config.GetPalletCorrectionHeight(), 15.0f);
    EXPECT_EQ(config.GetPalletMeanK(), 50);
    EXPECT_FLOAT_EQ(config.GetPalletStdDevMulThresh(), 0.5f);
    EXPECT_FLOAT_EQ(config.GetInboundCorrextionH(), -0.01f);
    EXPECT_FLOAT_EQ(config.GetInboundCorrextionL(), 0.02f);
    EXPECT_FLOAT_EQ(config.GetInboundCorrextionW(), 0.03f);
    EXPECT_FLOAT_EQ(config.GetRealCorrextionH(), 0.04f);
    EXPECT_FLOAT_EQ(config.GetRealCorrextionL(), 0.05f);
    EXPECT_FLOAT_EQ(config.GetRealCorrextionW(), 0.06f);
    EXPECT_EQ(config.GetImageSnapshot(), 1);
}

TEST_F(ConfigDb, DecodeRowsMustMatchClassKeyAndTypeExactly) {
    using kelvo_test::SeedDecode;
    SeedDecode(db, cleanup, "CONFIG", "pcl.min.cluster.size", "7", "D");
    SeedDecode(db, cleanup, "FINE TUNE", "base.data.folder", "/wrong", "S");
    SeedDecode(db, cleanup, "config", "tmp.data.folder", "/wrong", "S");
    SeedDecode(db, cleanup, "CONFIG", " data.file.model", "W%d.pcd", "S");
    SeedDecode(db, cleanup, "CONFIG", "pcl.max.cluster.size", "9", "I", 0);
    SeedDecode(db, cleanup, "CONFIG", "unknown.key", "abc", "I");
    SeedDecode(db, cleanup, "OTHER", "pcl.pallet.mean.k", "abc", "I");
    // Another program's row in a class of its own.
    SeedDecode(db, cleanup, "LABELS", "printer.name", "zebra", "S");

    // Each row that looks meant for the tool but is read by no setting is named on
    // standard error with the known key it most likely means.
    const std::string unread = "\" is read by no setting; nearest known key: ";
    testing::internal::CaptureStderr();
    EXPECT_EQ(config.InitFromDB(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: decode row \"CONFIG\" \"pcl.min.cluster.size\" \"D\" = \"7" + unread +
                  "\"CONFIG\" \"pcl.min.cluster.size\" \"I\"\n"
                  "WARNING: decode row \"FINE TUNE\" \"base.data.folder\" \"S\" = \"/wrong" +
                  unread +
                  "\"CONFIG\" \"base.data.folder\" \"S\"\n"
                  "WARNING: decode row \"config\" \"tmp.data.folder\" \"S\" = \"/wrong" +
                  unread +
                  "\"CONFIG\" \"tmp.data.folder\" \"S\"\n"
                  "WARNING: decode row \"CONFIG\" \" data.file.model\" \"S\" = \"W%d.pcd" +
                  unread +
                  "\"CONFIG\" \"data.file.model\" \"S\"\n"
                  "WARNING: decode row \"CONFIG\" \"unknown.key\" \"I\" = \"abc" +
                  unread +
                  "\"CONFIG\" \"inbound.precise\" \"I\"\n"
                  "WARNING: decode row \"OTHER\" \"pcl.pallet.mean.k\" \"I\" = \"abc" +
                  unread + "\"CONFIG\" \"pcl.pallet.mean.k\" \"I\"\n");
    EXPECT_EQ(config.GetMinClusterSize(), 0);
    EXPECT_EQ(config.GetBaseDataFolder(), "");
    EXPECT_EQ(config.GetTmpDataFolder(), "");
    EXPECT_EQ(config.GetFileModel(), "S%d.pcd");
    EXPECT_EQ(config.GetMaxClusterSize(), 0);
    EXPECT_EQ(config.GetPalletMeanK(), 50);
}

TEST_F(ConfigDb, UnconvertibleDecodeValuesFailWithTheirMessage) {
    struct Case {
        const char* decClass;
        const char* key;
        const char* value;
        const char* type;
        const char* message;
    };
    const Case cases[] = {
        {"CONFIG", "pcl.min.cluster.size", "apples 25", "I",
         "Invalid argument (pcl.min.cluster.size): stoi\n"},
        {"CONFIG", "pcl.pallet.mean.k", "", "I", "Invalid argument (pcl.pallet.mean.k): stoi\n"},
        {"FINE TUNE", "real.correction.w", "x0.5", "D",
         "Invalid argument (real.correction.w): stof\n"},
        // Beyond the type's range: reported like a text without a number.
        {"CONFIG", "pcl.max.cluster.size", "99999999999", "I",
         "Invalid argument (pcl.max.cluster.size): stoi\n"},
        {"CONFIG", "pcl.min.color.map", "1e60", "D",
         "Invalid argument (pcl.min.color.map): stof\n"},
    };
    for (const Case& c : cases) {
        Cleanup rows(db);
        kelvo_test::SeedDecode(db, rows, c.decClass, c.key, c.value, c.type);
        testing::internal::CaptureStderr();
        EXPECT_EQ(config.InitFromDB(), 1001) << c.key;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
}

TEST_F(ConfigDb, LookupByIndexReadsTheRowAndItsSession) {
    config.SetBaseDataFolder("/base");
    kelvo_test::SeedSession(db, cleanup, "cfg-lookup", {0.25, -0.5, 1.0, -2.125});
    kelvo_test::SeedObject(db, cleanup, 1001, "cfg-lookup", 4, 3);

    const CloudInfo info = config.GetCloudInfo(1001);
    EXPECT_EQ(info.GetId(), 1001);
    EXPECT_EQ(info.GetN(), 4);
    EXPECT_EQ(info.GetPalletOp(), 3);
    EXPECT_EQ(info.GetParentId(), 0);
    EXPECT_EQ(info.GetSid(), "cfg-lookup");
    EXPECT_EQ(info.GetCoeffA(), 0.25f);
    EXPECT_EQ(info.GetCoeffB(), -0.5f);
    EXPECT_EQ(info.GetCoeffC(), 1.0f);
    EXPECT_EQ(info.GetCoeffD(), -2.125f);
    EXPECT_EQ(info.GetPath().string(), "/base/cfg-lookup/P/S4.pcd");
    EXPECT_EQ(info.GetAwb(), "AWB1001");
}

TEST_F(ConfigDb, LookupBySessionTakesTheRowIdAndTheGivenIndex) {
    kelvo_test::SeedSession(db, cleanup, "cfg-session", {0.0, 0.0, 1.0, -0.5});
    kelvo_test::SeedObject(db, cleanup, 1002, "cfg-session", 1);
    kelvo_test::SeedObject(db, cleanup, 1003, "cfg-session", 2, 1);

    const CloudInfo info = config.GetCloudInfo("cfg-session", 2);
    EXPECT_EQ(info.GetId(), 1003);
    EXPECT_EQ(info.GetN(), 2);
    EXPECT_EQ(info.GetPalletOp(), 1);
    EXPECT_EQ(info.GetSid(), "cfg-session");
    EXPECT_EQ(info.GetCoeffD(), -0.5f);
    EXPECT_EQ(info.GetAwb(), "AWB1003");

    const CloudInfo missing = config.GetCloudInfo("cfg-session", 3);
    EXPECT_EQ(missing.GetId(), -1);
    EXPECT_EQ(missing.GetN(), 0);
}

TEST_F(ConfigDb, MissingRowGivesTheNotFoundIdentity) {
    config.SetBaseDataFolder("/base");
    const CloudInfo info = config.GetCloudInfo(1999);
    EXPECT_EQ(info.GetId(), -1);
    EXPECT_EQ(info.GetN(), 0);
    EXPECT_EQ(info.GetPalletOp(), 0);
    EXPECT_EQ(info.GetSid(), "");
    EXPECT_EQ(info.GetBasePath().string(), "");
}

TEST_F(ConfigDb, SessionIdWithQuotesIsMatchedLiterallyAndRunsNoSql) {
    kelvo_test::SeedSession(db, cleanup, "cfg-q'uote\\");
    kelvo_test::SeedObject(db, cleanup, 1004, "cfg-q'uote\\", 1);
    kelvo_test::SeedSession(db, cleanup, "cfg-victim");
    kelvo_test::SeedObject(db, cleanup, 1005, "cfg-victim", 1);

    EXPECT_EQ(config.GetCloudInfo("cfg-q'uote\\", 1).GetId(), 1004);
    testing::internal::CaptureStdout();
    EXPECT_EQ(config.GetCloudInfo("x' OR '1'='1", 1).GetId(), -1);
    EXPECT_EQ(config.GetCloudInfo("x'; DELETE FROM awbexport; -- ", 1).GetId(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(kelvo_test::ReadObject(db, 1005).empty());
}

TEST_F(ConfigDb, PalletById) {
    kelvo_test::SeedPallet(db, cleanup, 1006, "EUR 1200x800", 144.5);
    config.SetPalletId(1006);
    EXPECT_EQ(config.GetPalletId(), 1006);
    EXPECT_EQ(config.GetPalletName(), "EUR 1200x800");
    EXPECT_EQ(config.GetPalletHeight(), 144.5f);

    // No row: the id is kept, name and height stay what they were.
    config.SetPalletId(1007);
    EXPECT_EQ(config.GetPalletId(), 1007);
    EXPECT_EQ(config.GetPalletName(), "EUR 1200x800");
    EXPECT_EQ(config.GetPalletHeight(), 144.5f);

    config.SetPalletHeight(120.0f);
    EXPECT_EQ(config.GetPalletId(), 0);
    EXPECT_EQ(config.GetPalletName(), "CUSTOM");
    EXPECT_EQ(config.GetPalletHeight(), 120.0f);
}

TEST_F(ConfigDb, ExecSqlAppliesAnUpdateSilently) {
    kelvo_test::SeedSession(db, cleanup, "cfg-exec");
    kelvo_test::SeedObject(db, cleanup, 1008, "cfg-exec", 1);

    testing::internal::CaptureStdout();
    EXPECT_EQ(
        config.ExecSQL("UPDATE awbexport SET HPackage = 1.250000, pallet_op = 3 WHERE id = 1008"),
        0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const auto row = kelvo_test::ReadObject(db, 1008);
    EXPECT_EQ(row.at("HPackage"), "1.25");
    EXPECT_EQ(row.at("pallet_op"), "3");

    // A statement with a result set is accepted too; its rows are dropped unread.
    EXPECT_EQ(config.ExecSQL("SELECT * FROM awbexport"), 0);
}

TEST_F(ConfigDb, ExecSqlReportsARejectedStatement) {
    kelvo_test::SeedSession(db, cleanup, "cfg-reject");
    kelvo_test::SeedObject(db, cleanup, 1009, "cfg-reject", 1);

    testing::internal::CaptureStdout();
    EXPECT_EQ(config.ExecSQL("UPDATE awbexport SET NoSuchColumn = 1 WHERE id = 1009"), -1);
    const std::string report = testing::internal::GetCapturedStdout();
    // The server words the message itself; the frame around it is ours.
    const std::string head =
        "# ERR: SQLException in \n(ExecSQL) on line 742\n# ERR: Unknown column 'NoSuchColumn'";
    const std::string tail = " (MySQL error code: 1054, SQLState: 42S22 )\n";
    EXPECT_EQ(report.substr(0, head.size()), head) << report;
    ASSERT_GE(report.size(), tail.size());
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3) << report;

    // Two statements in one text are refused as a whole: the second never runs.
    testing::internal::CaptureStdout();
    EXPECT_EQ(config.ExecSQL("UPDATE awbexport SET pallet_op = 3 WHERE id = 1009; "
                             "DELETE FROM awbexport WHERE id = 1009"),
              -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("(ExecSQL) on line 742"),
              std::string::npos);
    const auto row = kelvo_test::ReadObject(db, 1009);
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row.at("pallet_op"), "0");
}

TEST_F(ConfigDb, LostConnectionIsReportedAndTheRunGoesOn) {
    // Cut the configuration's own connection from the outside, as a server
    // restart would; every operation then reports and returns its neutral result.
    // Only this process works in its database, so the one other connection there is it.
    const auto victims = db.Rows(
        "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND DB = "
        "DATABASE() AND USER = " +
        TestDatabase::Quote(kelvo_test::RequireEnv("KELVO_TEST_DB_USER")));
    ASSERT_EQ(victims.size(), 1u);
    db.Exec("KILL CONNECTION " + victims.front().at("ID"));

    testing::internal::CaptureStdout();
    const CloudInfo byIndex = config.GetCloudInfo(1);
    const CloudInfo bySession = config.GetCloudInfo("s", 1);
    config.SetPalletId(1010);
    const int exec = config.ExecSQL("UPDATE awbexport SET pallet_op = 0 WHERE id = 1010");
    const std::string report = testing::internal::GetCapturedStdout();
    config.Init();  // reopen for the tests that follow in this process

    EXPECT_EQ(byIndex.GetId(), -1);
    EXPECT_EQ(byIndex.GetN(), -1);
    EXPECT_EQ(bySession.GetId(), -1);
    EXPECT_EQ(bySession.GetN(), -1);
    EXPECT_EQ(config.GetPalletId(), 1010);
    EXPECT_EQ(exec, -1);
    size_t at = 0;
    for (const char* frame :
         {"(GetCloudInfo) on line 567\n# ERR: ", "(GetCloudInfo) on line 499\n# ERR: ",
          "(SetPalletId) on line 710\n# ERR: ", "(ExecSQL) on line 742\n# ERR: "}) {
        const std::string expected = std::string("# ERR: SQLException in \n") + frame;
        at = report.find(expected, at);
        ASSERT_NE(at, std::string::npos) << expected << "\nin:\n" << report;
    }
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 12) << report;
}

TEST_F(ConfigDb, EveryNumericDecodeKeyRefusesValuesNoSettingCanUse) {
    struct Key {
        const char* decClass;
        const char* key;
        const char* type;
        std::vector<std::string> absurd;  // convertible, but beyond what the setting can mean
    };
    const std::vector<std::string> corrections = {"1.5", "-1.5", "1e30"};
    const Key keys[] = {
        {"CONFIG", "pcl.min.cluster.size", "I", {}},
        {"CONFIG", "pcl.max.cluster.size", "I", {}},
        {"CONFIG", "pcl.pallet.mean.k", "I", {"0", "-5", "1001"}},
        {"CONFIG", "pcl.cluster.tollerance", "D", {}},
        {"CONFIG", "pcl.min.color.map", "D", {}},
        {"CONFIG", "pcl.max.color.map", "D", {}},
        {"CONFIG", "pcl.pallet.stddev.mul.thresh", "D", {"0", "-0", "-0.5", "-1e-9"}},
        {"CONFIG", "octree.real.volume.resolution", "D", {"1.01", "1e9"}},
        {"CONFIG", "pallet.correction.height", "D", {"1000.5", "-2000"}},
        {"CONFIG", "floor.zone.x.min", "D", {"20.5", "-1e3"}},
        {"CONFIG", "floor.zone.y.max", "D", {"-20.01", "2000"}},
        {"FINE TUNE", "inbound.correction.h", "D", corrections},
        {"FINE TUNE", "inbound.correction.l", "D", corrections},
        {"FINE TUNE", "inbound.correction.w", "D", corrections},
        {"FINE TUNE", "real.correction.h", "D", corrections},
        {"FINE TUNE", "real.correction.l", "D", corrections},
        {"FINE TUNE", "real.correction.w", "D", corrections},
        // A switch: nothing but 0 and 1.
        {"CONFIG", "image.snapshot", "I", {"2", "-1", "10"}},
    };
    // The schema's widest value: far beyond any type's range.
    const std::string veryLong(255, '9');
    for (const Key& key : keys) {
        std::vector<std::string> values = {"apples", "", " ", veryLong};
        if (std::string(key.type) == "D") {
            values.insert(values.end(),
                          {"nan", "-nan", "inf", "-infinity", "1e39", "1e-60", "0x1p200"});
        } else {
            values.insert(values.end(), {"99999999999", "-2147483649"});
        }
        values.insert(values.end(), key.absurd.begin(), key.absurd.end());
        for (const std::string& value : values) {
            Cleanup rows(db);
            kelvo_test::SeedDecode(db, rows, key.decClass, key.key, value, key.type);
            testing::internal::CaptureStderr();
            EXPECT_EQ(config.InitFromDB(), 1001) << key.key << " = '" << value << "'";
            const std::string err = testing::internal::GetCapturedStderr();
            EXPECT_EQ(err.rfind(std::string("Invalid argument (") + key.key + "): ", 0), 0u) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
    }

    // The edges of the bounds still hold, and long texts are stored whole.
    const std::string longPath = "/" + std::string(254, 'p');
    kelvo_test::SeedDecode(db, cleanup, "FINE TUNE", "real.correction.l", "-1", "D");
    kelvo_test::SeedDecode(db, cleanup, "FINE TUNE", "inbound.correction.h", "1", "D");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "pallet.correction.height", "-1000", "D");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "octree.real.volume.resolution", "-1", "D");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "base.data.folder", longPath, "S");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "pcl.pallet.mean.k", "1000", "I");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "pcl.pallet.stddev.mul.thresh", "1e-6", "D");
    EXPECT_EQ(config.InitFromDB(), 0);
    EXPECT_EQ(config.GetPalletMeanK(), 1000);
    EXPECT_EQ(config.GetPalletStdDevMulThresh(), 1e-6f);
    EXPECT_EQ(config.GetRealCorrextionL(), -1.0f);
    EXPECT_EQ(config.GetInboundCorrextionH(), 1.0f);
    EXPECT_EQ(config.GetPalletCorrectionHeight(), -1000.0f);
    EXPECT_EQ(config.GetOcTreeRealVolumeResolution(), -1.0f);
    EXPECT_EQ(config.GetBaseDataFolder(), longPath);
}

TEST_F(ConfigDb, SnapshotSwitchStartsOffAndShowsInThePrintoutOnlyWhenOn) {
    std::ostringstream off;
    off << config;
    EXPECT_EQ(config.GetImageSnapshot(), 0);
    // The printout as its readers know it: the pallet block is the last one.
    const std::string last = "\tStdDev Mul Thresh: 0.5\n";
    ASSERT_GE(off.str().size(), last.size());
    EXPECT_EQ(off.str().substr(off.str().size() - last.size()), last);
    EXPECT_EQ(off.str().find("Image"), std::string::npos);
    EXPECT_EQ(off.str().find("napshot"), std::string::npos);

    {
        Cleanup one(db);
        kelvo_test::SeedDecode(db, one, "CONFIG", "image.snapshot", "1", "I");
        ASSERT_EQ(config.InitFromDB(), 0);
        std::ostringstream on;
        on << config;
        EXPECT_EQ(on.str(), off.str() + "Image:\n\tSnapshot: 1\n");
    }
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "image.snapshot", "0", "I");
    ASSERT_EQ(config.InitFromDB(), 0);
    std::ostringstream again;
    again << config;
    EXPECT_EQ(again.str(), off.str());
}

TEST_F(ConfigDb, FloorZoneIsARectangleOfFourEdgesOrNone) {
    std::ostringstream none;
    none << config;
    EXPECT_FALSE(config.HasFloorZone());
    using Rows = std::vector<std::pair<std::string, std::string>>;
    const Rows zone = {{"floor.zone.x.min", "-1.5"}, {"floor.zone.x.max", "1.5"}, {"floor.zone.y.min", "-1"},
                       {"floor.zone.y.max", "0"}};
    const struct {
        const char* what;
        Rows rows;
        std::string fault;  // the line on standard error; empty: read
    } cases[] = {
        {"four edges, one of them 0", zone, ""},
        {"x only", {{"floor.zone.x.min", "-1.5"}, {"floor.zone.x.max", "1.5"}},
         "Invalid argument (floor.zone.y.min): out of range: 0 is not below floor.zone.y.max 0 (a measuring zone "
         "needs all four floor.zone keys, each min below its max)"},
        {"x turned round", {zone[1], zone[2], zone[3], {"floor.zone.x.min", "1.5"}},
         "Invalid argument (floor.zone.x.min): out of range: 1.5 is not below floor.zone.x.max 1.5 (a measuring "
         "zone needs all four floor.zone keys, each min below its max)"},
    };
    for (const auto& c : cases) {
        Cleanup rows(db);
        for (const auto& [key, value] : c.rows) kelvo_test::SeedDecode(db, rows, "CONFIG", key, value, "D");
        testing::internal::CaptureStderr();
        EXPECT_EQ(config.InitFromDB(), c.fault.empty() ? 0 : 1001) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.fault.empty() ? "" : c.fault + "\n") << c.what;
        config.SetFloorZone(0.0f, 0.0f, 0.0f, 0.0f);
    }

    // Read, it shows in the printout after the pallet's settings; all four 0 is none again.
    for (const auto& [key, value] : zone) kelvo_test::SeedDecode(db, cleanup, "CONFIG", key, value, "D");
    ASSERT_EQ(config.InitFromDB(), 0);
    EXPECT_TRUE(config.HasFloorZone());
    EXPECT_EQ(config.GetFloorZoneXMin(), -1.5f);
    EXPECT_EQ(config.GetFloorZoneYMax(), 0.0f);
    std::ostringstream set;
    set << config;
    EXPECT_EQ(set.str(), none.str() + "Scan checks:\n\tFloor Zone X Min: -1.5\n\tFloor Zone X Max: 1.5\n"
                                      "\tFloor Zone Y Min: -1\n\tFloor Zone Y Max: 0\n");
    db.Exec("UPDATE decode SET decvalue = '0' WHERE deckey LIKE 'floor.zone.%'");
    ASSERT_EQ(config.InitFromDB(), 0);
    EXPECT_FALSE(config.HasFloorZone());
    std::ostringstream unset;
    unset << config;
    EXPECT_EQ(unset.str(), none.str());
}
