#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "CloudTestAccess.h"
#include "cloud/Cloud.h"
#include "cloud/CloudFilenameNotDef.h"

namespace fs = boost::filesystem;

namespace {

const char* const kSid = "SESS01";
const int kN = 4;

/// Three coloured points, written by the library itself as ASCII PCD.
PointCloudRGBPtr ColouredPoints() {
    PointCloudRGBPtr pts(new PointCloudRGB);
    pcl::PointXYZRGB p(std::uint8_t{10}, std::uint8_t{20}, std::uint8_t{30});
    p.x = 0.5f, p.y = -1.25f, p.z = 2.0f;
    pts->push_back(p);
    p.x = 1.0f, p.y = 0.0f, p.z = 1.75f;
    pts->push_back(p);
    p.x = -0.125f, p.y = 3.5f, p.z = 0.0f;
    pts->push_back(p);
    return pts;
}

class CloudFiles : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(tmp.path() / kSid);
        scan = tmp.path() / kSid / "S4.pcd";
        pcl::PCDWriter().write(scan.string(), *ColouredPoints(), false);
        scanText = ReadFile(scan);
    }
    CloudInfo Info(int id, int palletOp, int parentId) const {
        return CloudInfo(id, kN, palletOp, parentId, kSid, "model", tmp.str());
    }

    TempFolder tmp;
    fs::path scan;
    std::string scanText;
};

}  // namespace

TEST_F(CloudFiles, LoadKeepsXyzDropsColoursAndLeavesFileAlone) {
    Cloud c(Info(42, 0, 0));
    testing::internal::CaptureStdout();
    c.Load();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "file: \"" + scan.string() + "\"\n");

    const PointCloudRGBPtr expected = ColouredPoints();
    const pcl::PointXYZRGB defaultPoint;
    ASSERT_EQ(c.getCloud()->size(), expected->size());
    for (std::size_t i = 0; i < expected->size(); ++i) {
        const auto& got = c.getCloud()->points[i];
        EXPECT_EQ(got.x, expected->points[i].x);
        EXPECT_EQ(got.y, expected->points[i].y);
        EXPECT_EQ(got.z, expected->points[i].z);
        EXPECT_EQ(got.rgba, defaultPoint.rgba);
    }
    EXPECT_EQ(ReadFile(scan), scanText);
}

TEST_F(CloudFiles, LoadByNamePrintsNameUnquoted) {
    Cloud c;
    testing::internal::CaptureStdout();
    c.Load(scan.string());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "file: " + scan.string() + "\n");
    EXPECT_EQ(c.getCloud()->size(), 3u);
}

TEST_F(CloudFiles, LoadMissingFilePrintsPathThenThrows) {
    Cloud c(CloudInfo(1, 9, 0, 0, kSid, "", tmp.str()));
    testing::internal::CaptureStdout();
    try {
        c.Load();
        FAIL() << "no exception";
    } catch (const CloudFilenameNotDef& e) {
        EXPECT_STREQ(e.what(), "Filename not defined");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "file: \"" + (tmp.path() / kSid / "S9.pcd").string() + "\"\n");
    testing::internal::CaptureStdout();
    EXPECT_THROW(c.Load((tmp.path() / "nothing.pcd").string()), CloudFilenameNotDef);
    testing::internal::GetCapturedStdout();
}

TEST_F(CloudFiles, MalformedFileIsAnErrorAndKeepsPoints) {
    const std::string head =
        "VERSION 0.7\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\nWIDTH 3\nHEIGHT 1\nPOINTS 3\n";
    // Every kind of fault has its row in the reader's own tests; here only
    // that a refused file leaves the points held so far.
    const std::string broken[] = {
        "",
        "FIELDS x y z\n" + head + "DATA ascii\n1 2 3\n4 5\n",  // too few values
    };
    Cloud c(Info(42, 0, 0));
    testing::internal::CaptureStdout();
    c.Load();
    for (const std::string& text : broken) {
        WriteFile(scan, text);
        EXPECT_THROW(c.Load(), std::runtime_error) << text;
        EXPECT_EQ(c.getCloud()->size(), 3u);
        EXPECT_EQ(ReadFile(scan), text);
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(CloudFiles, EmptyButWellFormedFileLoadsNoPoints) {
    WriteFile(scan,
              "VERSION 0.7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\nWIDTH 0\n"
              "HEIGHT 1\nPOINTS 0\nDATA ascii\n");
    Cloud c(Info(42, 0, 0));
    testing::internal::CaptureStdout();
    c.Load();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(c.getCloud()->empty());
}

TEST_F(CloudFiles, CopySharesPointClouds) {
    Cloud original(Info(42, 0, 0));
    Cloud copy(original);
    EXPECT_EQ(copy.getCloud(), original.getCloud());
    const PointCloudRGBPtr seenEarlier = original.getCloud();
    testing::internal::CaptureStdout();
    copy.Load();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(original.getCloud()->size(), 3u);
    EXPECT_EQ(seenEarlier, original.getCloud());
    // Results are copied, not shared.
    CloudTestAccess::SetVolumes(copy, 1, 2, 3, 4);
    EXPECT_EQ(original.GetVolInbound(), 0.0f);
    // Separate clouds do not share.
    EXPECT_NE(Cloud().getCloud(), Cloud().getCloud());
}

TEST_F(CloudFiles, SetCloudCopiesIntoTheHeldCloud) {
    Cloud c;
    const PointCloudRGBPtr held = c.getCloud();
    PointCloudRGBPtr src = ColouredPoints();
    c.setCloud(src);
    EXPECT_EQ(c.getCloud(), held);
    EXPECT_NE(c.getCloud(), src);
    src->points[0].x = 99.0f;
    EXPECT_EQ(c.getCloud()->points[0].x, 0.5f);
    EXPECT_EQ(c.getCloud()->points[2].r, 10);

    PointCloudXYZPtr plain(new PointCloudXYZ);
    plain->push_back(pcl::PointXYZ(7, 8, 9));
    Cloud fresh;
    fresh.setCloud(plain);
    ASSERT_EQ(fresh.getCloud()->size(), 1u);
    EXPECT_EQ(fresh.getCloud()->points[0].z, 9.0f);
    EXPECT_EQ(fresh.getCloud()->points[0].rgba, pcl::PointXYZRGB().rgba);
}

TEST_F(CloudFiles, SaveWritesAsciiWithColourIntoCreatedFolder) {
    Cloud c(Info(42, 0, 42));  // its own parent: B/S/42
    c.setCloud(ColouredPoints());
    c.Save();
    const fs::path out = tmp.path() / kSid / "42" / "S4.pcd";
    ASSERT_TRUE(fs::exists(out));
    const std::string text = ReadFile(out);
    EXPECT_NE(text.find("FIELDS x y z rgb"), std::string::npos);
    EXPECT_NE(text.find("DATA ascii"), std::string::npos);

    PointCloudRGB back;
    ASSERT_EQ(pcl::PCDReader().read(out.string(), back), 0);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back.points[1].z, 1.75f);
    EXPECT_EQ(back.points[1].r, 10);
    EXPECT_EQ(back.points[1].g, 20);
    EXPECT_EQ(back.points[1].b, 30);

    // Saving again overwrites.
    c.getCloud()->clear();
    c.getCloud()->push_back(pcl::PointXYZRGB(1.0f, 1.0f, 1.0f));
    c.Save();
    ASSERT_EQ(pcl::PCDReader().read(out.string(), back), 0);
    EXPECT_EQ(back.size(), 1u);
}

TEST_F(CloudFiles, SaveCreatesOneLevelOnly) {
    Cloud c(CloudInfo(5, 1, 0, 5, "NOSESSION", "", tmp.str()));
    c.setCloud(ColouredPoints());
    EXPECT_THROW(c.Save(), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(tmp.path() / "NOSESSION"));
}

TEST_F(CloudFiles, SaveWithoutFolderOrNameRefuses) {
    Cloud c;
    c.setCloud(ColouredPoints());
    EXPECT_THROW(c.Save(), CloudFilenameNotDef);
    EXPECT_THROW(c.Save(std::string()), CloudFilenameNotDef);
    EXPECT_FALSE(fs::exists("S0.pcd"));
    const fs::path named = tmp.path() / "named.pcd";
    c.Save(named.string());
    EXPECT_TRUE(fs::exists(named));
}

TEST_F(CloudFiles, SavePalletWritesPalletFolderAndKeepsScan) {
    Cloud c(Info(42, 2, 0));
    testing::internal::CaptureStdout();
    c.Load();
    testing::internal::GetCapturedStdout();
    c.getCloud()->points.pop_back();
    c.getCloud()->width = 2;
    c.SelfParent();
    c.SavePallet();
    const fs::path out = tmp.path() / kSid / "P" / "S4.pcd";
    PointCloudRGB back;
    ASSERT_EQ(pcl::PCDReader().read(out.string(), back), 0);
    EXPECT_EQ(back.size(), 2u);
    EXPECT_EQ(ReadFile(scan), scanText);
    EXPECT_FALSE(fs::exists(tmp.path() / kSid / "42"));
}

TEST_F(CloudFiles, AccessorsAndFreshState) {
    Cloud c(CloudInfo(42, kN, 1, 0, kSid, "m", tmp.str(), 0, 0, 1, -0.5f));
    EXPECT_EQ(c.GetCloudInfo().GetId(), 42);
    EXPECT_EQ(c.GetCloudInfo().GetCoeffD(), -0.5f);
    EXPECT_EQ(c.GetQueryInsert(), "");
    EXPECT_TRUE(c.GetInboundTransform().matrix().isIdentity());
    EXPECT_EQ(c.GetInboundAngle(), 0.0f);
    EXPECT_EQ(c.GetInboundCenterX(), 0.0f);
    EXPECT_EQ(c.GetInboundCenterY(), 0.0f);
    EXPECT_TRUE(c.getAlignedCloud()->empty());
    c.SelfParent();
    EXPECT_EQ(c.GetCloudInfo().GetParentId(), 42);
}
