#include <gtest/gtest.h>
#include <json/json.h>

#include "CloudTestAccess.h"
#include "cloud/Cloud.h"
#include "cloud/CloudFilenameNotDef.h"

namespace fs = boost::filesystem;

namespace {

/// A cloud whose every result is a distinct value exact in binary.
void Measure(Cloud& c) {
    for (int i = 0; i < 8; ++i) {
        CloudTestAccess::SetCorner(c, i, 1.0f + i, -0.5f * i, 0.25f + i);
    }
    CloudTestAccess::SetSize(c, 1.5f, 2.75f, 0.625f);  // H, L, W
    // inbound, package (hull), surface, V-shape
    CloudTestAccess::SetVolumes(c, 2.578125f, 2.5f, 1.25f, 0.75f);
}

Json::Value ParseFile(const fs::path& p) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(ReadFile(p));
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << errors;
    return root;
}

std::string CapturedSql(Cloud& c, std::string* printed) {
    testing::internal::CaptureStdout();
    std::string sql = c.SaveDataSQL();
    *printed = testing::internal::GetCapturedStdout();
    return sql;
}

}  // namespace

TEST(CloudData, JsonOfUnmeasuredCloudIsExact) {
    TempFolder tmp;
    fs::create_directory(tmp.path() / "S1");
    Cloud c(CloudInfo(7, 2, 1, 0, "S1", "", tmp.str()));
    c.SaveData();
    std::string corners;
    for (int i = 1; i <= 8; ++i) {
        corners += "         \"P" + std::to_string(i) +
                   "\" : {\n"
                   "            \"x\" : 0.0,\n"
                   "            \"y\" : 0.0,\n"
                   "            \"z\" : 0.0\n"
                   "         }" +
                   (i < 8 ? ",\n" : "\n");
    }
    const std::string expected =
        "{\n"
        "   \"cloud_info\" : {\n"
        "      \"H\" : 0.0,\n"
        "      \"L\" : 0.0,\n"
        "      \"W\" : 0.0,\n"
        "      \"inbound\" : {\n" +
        corners +
        "      },\n"
        "      \"vol_inbound\" : 0.0,\n"
        "      \"vol_package\" : 0.0,\n"
        "      \"vol_surface\" : 0.0,\n"
        "      \"vol_vshape\" : 0.0\n"
        "   },\n"
        "   \"id\" : 7,\n"
        "   \"n\" : 2,\n"
        "   \"pallet_h\" : 0,\n"
        "   \"pallet_id\" : 0,\n"
        "   \"pallet_op\" : 1,\n"
        "   \"parent_id\" : 0\n"
        "}\n";
    EXPECT_EQ(ReadFile(tmp.path() / "S1" / "S2.json"), expected);
}

TEST(CloudData, JsonOfMeasuredClusterCarriesResults) {
    TempFolder tmp;
    fs::create_directory(tmp.path() / "S1");
    const fs::path file = tmp.path() / "S1" / "42" / "S3.json";
    Cloud c(CloudInfo(0, 3, 0, 42, "S1", "", tmp.str()));
    Measure(c);
    WriteFile(tmp.path() / "S1" / "placeholder", "");
    c.SaveData();
    // Saving again replaces the file rather than appending to it.
    c.SaveData();

    const Json::Value root = ParseFile(file);
    EXPECT_EQ(root["id"].asInt(), 0);
    EXPECT_EQ(root["n"].asInt(), 3);
    EXPECT_EQ(root["parent_id"].asInt(), 42);
    EXPECT_EQ(root["pallet_op"].asInt(), 0);
    EXPECT_EQ(root["pallet_id"].asInt(), 0);
    EXPECT_EQ(root["pallet_h"].asInt(), 0);
    EXPECT_EQ(root.size(), 7u);
    const Json::Value& info = root["cloud_info"];
    EXPECT_EQ(info["H"].asDouble(), 1.5);
    EXPECT_EQ(info["L"].asDouble(), 2.75);
    EXPECT_EQ(info["W"].asDouble(), 0.625);
    EXPECT_EQ(info["vol_inbound"].asDouble(), 2.578125);
    EXPECT_EQ(info["vol_package"].asDouble(), 2.5);
    EXPECT_EQ(info["vol_surface"].asDouble(), 1.25);
    EXPECT_EQ(info["vol_vshape"].asDouble(), 0.75);
    ASSERT_EQ(info["inbound"].size(), 8u);
    for (int i = 0; i < 8; ++i) {
        const Json::Value& p = info["inbound"]["P" + std::to_string(i + 1)];
        EXPECT_EQ(p["x"].asDouble(), 1.0 + i);
        EXPECT_EQ(p["y"].asDouble(), -0.5 * i);
        EXPECT_EQ(p["z"].asDouble(), 0.25 + i);
    }
}

TEST(CloudData, JsonFloatsAreWidenedNotRounded) {
    TempFolder tmp;
    fs::create_directory(tmp.path() / "S1");
    Cloud c(CloudInfo(1, 1, 0, 0, "S1", "", tmp.str()));
    CloudTestAccess::SetVolumes(c, 0.1f, 0, 0, 0);
    c.SaveData();
    const Json::Value root = ParseFile(tmp.path() / "S1" / "S1.json");
    EXPECT_EQ(root["cloud_info"]["vol_inbound"].asDouble(), static_cast<double>(0.1f));
}

TEST(CloudData, SqlTextIsExact) {
    Cloud c(CloudInfo(42, 5, 2, 42, "S1", "", "/base"));
    Measure(c);
    std::string printed;
    const std::string sql = CapturedSql(c, &printed);
    const std::string expected =
        "\n\t\t\tUPDATE awbexport\n"
        "\t\t\tSET\n"
        "\t\t\t  HPackage = 1.500000\n"
        "\t\t\t, WPackage = 0.625000\n"
        "\t\t\t, LPackage = 2.750000\n"
        "\t\t\t, Inbound = 2.578125\n"
        "\t\t\t, RealVolume = 2.500000 \n"
        "\t\t\t, InboundVolumeSurface = 0.750000 \n"
        "\t\t\t, RealVolumeSurface = 1.250000\n"
        "\t\t\t, ibx1 = 1.000000\n\t\t\t, iby1 = -0.000000\n\t\t\t, ibz1 = 0.250000\n"
        "\t\t\t, ibx2 = 2.000000\n\t\t\t, iby2 = -0.500000\n\t\t\t, ibz2 = 1.250000\n"
        "\t\t\t, ibx3 = 3.000000\n\t\t\t, iby3 = -1.000000\n\t\t\t, ibz3 = 2.250000\n"
        "\t\t\t, ibx4 = 4.000000\n\t\t\t, iby4 = -1.500000\n\t\t\t, ibz4 = 3.250000\n"
        "\t\t\t, ibx5 = 5.000000\n\t\t\t, iby5 = -2.000000\n\t\t\t, ibz5 = 4.250000\n"
        "\t\t\t, ibx6 = 6.000000\n\t\t\t, iby6 = -2.500000\n\t\t\t, ibz6 = 5.250000\n"
        "\t\t\t, ibx7 = 7.000000\n\t\t\t, iby7 = -3.000000\n\t\t\t, ibz7 = 6.250000\n"
        "\t\t\t, ibx8 = 8.000000\n\t\t\t, iby8 = -3.500000\n\t\t\t, ibz8 = 7.250000\n"
        "\t\t\t, pallet_op = 3\n"
        "\t\t\tWHERE\n"
        "\t\t\t\tid = 42\n"
        "            ";
    EXPECT_EQ(sql, expected);
    EXPECT_EQ(printed, expected + "\n");
}

TEST(CloudData, SqlMapsPalletOpToDoneOrNone) {
    const struct {
        int palletOp;
        const char* expected;
    } cases[] = {{2, "pallet_op = 3\n"},
                 {1, "pallet_op = 3\n"},
                 {3, "pallet_op = 3\n"},
                 {0, "pallet_op = 0\n"},
                 {-1, "pallet_op = 0\n"}};
    for (const auto& tc : cases) {
        Cloud c(CloudInfo(9, 1, tc.palletOp, 0));
        std::string printed;
        const std::string sql = CapturedSql(c, &printed);
        EXPECT_NE(sql.find(tc.expected), std::string::npos) << tc.palletOp;
        EXPECT_NE(sql.find("HPackage = 0.000000\n"), std::string::npos);
        EXPECT_NE(sql.find("id = 9\n"), std::string::npos);
    }
}
