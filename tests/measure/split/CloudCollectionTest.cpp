#include "measure/ScanCloud.h"
#include "measure/split/CloudCollection.h"
#include "measure/split/CloudCollectionIndexnameNotDef.h"
#include "measure/split/FootprintClusters.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

constexpr float kTolerance = 0.05f;
constexpr int kUnlimited = 10000000;

class CloudCollectionTest : public testing::Test {
protected:
    void SetUp() override {
        config = TestConfig();
        ASSERT_NE(config, nullptr);
        saved = {config->GetClusterTollerance(), config->GetMinClusterSize(), config->GetMaxClusterSize()};
        savedFolder = config->GetBaseDataFolder();
        savedModel = config->GetFileModel();
        Settings(kTolerance, 1, kUnlimited);
        config->SetBaseDataFolder("/data/scans");
        config->SetFileModel("S%d.pcd");
    }
    void TearDown() override {
        if (!config) return;
        Settings(std::get<0>(saved), std::get<1>(saved), std::get<2>(saved));
        config->SetBaseDataFolder(savedFolder);
        config->SetFileModel(savedModel);
    }
    void Settings(float tolerance, int minSize, int maxSize) {
        config->SetClusterTollerance(tolerance);
        config->SetMinClusterSize(minSize);
        config->SetMaxClusterSize(maxSize);
    }
    static Cloud Parent(const PointCloudRGBPtr& points) {
        Cloud c(CloudInfo(42, 3, 2, 0, "20240101", "ignored", "/elsewhere", 0.0f, 0.01f, 1.0f, -2.5f));
        c.setCloud(points);
        return c;
    }

    Config* config = nullptr;
    std::tuple<float, int, int> saved;
    std::string savedFolder;
    std::string savedModel;
};

/// Indices in parent of the child's points, matched in order; empty when the
/// child is not an ordered selection of the parent's points.
std::vector<int> IndicesInParent(const PointCloudRGB& parent, const PointCloudRGB& child) {
    std::vector<int> indices;
    std::size_t j = 0;
    for (int i = 0; i < static_cast<int>(parent.size()) && j < child.size(); ++i) {
        const auto& p = parent[i];
        const auto& q = child[j];
        if (p.x == q.x && p.y == q.y && p.z == q.z && p.rgba == q.rgba) {
            indices.push_back(i);
            ++j;
        }
    }
    if (j != child.size()) indices.clear();
    return indices;
}

}  // namespace

TEST_F(CloudCollectionTest, TwoBoxesSideBySideGiveTwoCloudsLargerFirst) {
    const auto points = ScanCloud(ScanScene::SideBySide(30.0), 8000);
    Cloud parent = Parent(points);
    CloudCollection collection(parent);
    ASSERT_EQ(collection.size(), 2);
    EXPECT_GT(collection.get(0).getCloud()->size(), collection.get(1).getCloud()->size());
    for (int i = 0; i < 2; ++i) {
        const CloudInfo info = collection.get(i).GetCloudInfo();
        EXPECT_EQ(info.GetId(), 0);
        EXPECT_EQ(info.GetN(), i + 1);
        EXPECT_EQ(info.GetPalletOp(), 0);
        EXPECT_EQ(info.GetParentId(), 42);
        EXPECT_EQ(info.GetSid(), "20240101");
        EXPECT_FLOAT_EQ(info.GetCoeffB(), 0.01f);
        EXPECT_FLOAT_EQ(info.GetCoeffD(), -2.5f);
        // Folders come from the configuration, not from the parent.
        EXPECT_EQ(info.GetPath().string(), "/data/scans/20240101/42/S" + std::to_string(i + 1) + ".pcd");
        const auto& child = *collection.get(i).getCloud();
        EXPECT_EQ(child.width, child.size());
        EXPECT_EQ(child.height, 1u);
        EXPECT_TRUE(child.is_dense);
        EXPECT_EQ(collection.get(i).GetVolInbound(), 0.0f);
    }
    // The parent still has its heights.
    EXPECT_EQ(parent.getCloud()->size(), points->size());
    EXPECT_EQ(parent.getCloud()->points[0].z, points->points[0].z);
    EXPECT_NE(parent.getCloud()->points[0].z, 0.0f);
}

TEST_F(CloudCollectionTest, ChildrenHoldTheirClusterPointsInParentOrder) {
    ScanScene scene = ScanScene::SideBySideWithSpecks(10.0);
    scene.AddBox(0.2f, 0.2f, 0.1f, -0.4f, -0.6f, 0.3f, ScanScene::kFloorZ);
    const auto points = ScanCloud(scene, 6000, 0.02);
    CloudCollection collection(Parent(points));

    // Clusters of at least 12 points, in the clustering's order.
    std::vector<std::vector<int>> kept;
    for (const auto& g : FootprintClusters::Extract(*points, kTolerance, 1, kUnlimited)) {
        if (g.size() >= 12) kept.push_back(g);
    }
    ASSERT_EQ(kept.size(), 3u);
    ASSERT_EQ(collection.size(), 3);
    for (int i = 0; i < collection.size(); ++i) {
        EXPECT_EQ(collection.get(i).GetCloudInfo().GetN(), i + 1);
        const auto indices = IndicesInParent(*points, *collection.get(i).getCloud());
        EXPECT_EQ(indices, kept[static_cast<std::size_t>(i)]) << "cluster " << i + 1;
    }
}

TEST_F(CloudCollectionTest, StackedBoxesAreOneCluster) {
    CloudCollection collection(Parent(ScanCloud(ScanScene::Stacked(0.0), 6000)));
    EXPECT_EQ(collection.size(), 1);
}

TEST_F(CloudCollectionTest, SmallClustersAreDroppedWithoutGapsInTheNumbers) {
    Settings(kTolerance, 5, kUnlimited);
    CloudCollection collection(Parent(ScanCloud(ScanScene::SideBySideWithSpecks(0.0), 6000)));
    ASSERT_EQ(collection.size(), 2);
    EXPECT_EQ(collection.get(0).GetCloudInfo().GetN(), 1);
    EXPECT_EQ(collection.get(1).GetCloudInfo().GetN(), 2);
    for (int i = 0; i < 2; ++i) EXPECT_GE(collection.get(i).getCloud()->size(), 12u);
}

TEST_F(CloudCollectionTest, ClusterAboveTheMaximumIsLeftOut) {
    const auto points = ScanCloud(ScanScene::SideBySide(0.0), 6000);
    CloudCollection both(Parent(points));
    ASSERT_EQ(both.size(), 2);
    const auto smaller = both.get(1).getCloud()->size();
    Settings(kTolerance, 1, static_cast<int>(smaller));
    CloudCollection collection(Parent(points));
    ASSERT_EQ(collection.size(), 1);
    EXPECT_EQ(collection.get(0).getCloud()->size(), smaller);
    EXPECT_EQ(collection.get(0).GetCloudInfo().GetN(), 1);
}

TEST_F(CloudCollectionTest, SplitReplacesAndEmptyParentGivesNothing) {
    CloudCollection collection(Parent(ScanCloud(ScanScene::SideBySide(0.0), 4000)));
    ASSERT_EQ(collection.size(), 2);
    collection.split(Parent(MakeCloud({})));
    EXPECT_EQ(collection.size(), 0);
    collection.split(Parent(ScanCloud(ScanScene::Stacked(0.0), 4000)));
    EXPECT_EQ(collection.size(), 1);
}

TEST_F(CloudCollectionTest, GetOutsideTheCollectionThrows) {
    CloudCollection collection;
    EXPECT_THROW(collection.get(0), CloudCollectionIndexnameNotDef);
    collection.add(new Cloud(CloudInfo(5, 1, 0, 0)));
    collection.add(new Cloud(CloudInfo(6, 2, 0, 0)));
    EXPECT_EQ(collection.get(1).GetCloudInfo().GetId(), 6);
    for (int bad : {-1, 2}) {
        try {
            collection.get(bad);
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const CloudCollectionIndexnameNotDef& e) {
            EXPECT_STREQ(e.what(), "Cloud Collection Index not defined");
        }
    }
    collection.clear();
    EXPECT_EQ(collection.size(), 0);
}

TEST_F(CloudCollectionTest, PrintsItsSize) {
    CloudCollection collection;
    collection.add(new Cloud);
    collection.add(new Cloud);
    std::ostringstream out;
    out << collection;
    EXPECT_EQ(out.str(), "Cloud collection:\n\tSize: 2\n");
}
