#include "measure/ScanCloud.h"
#include "measure/split/FootprintClusters.h"

#include <pcl/search/kdtree.h>
#include <pcl/segmentation/extract_clusters.h>

#include <algorithm>

namespace {

using Clusters = std::vector<std::vector<int>>;

/// The library's Euclidean clustering of the flattened cloud, without its
/// missing points: the reference the grid must agree with.
Clusters LibraryClusters(const PointCloudRGB& cloud, float tolerance, std::uint32_t minSize, std::uint32_t maxSize) {
    PointCloudRGBPtr flat(new PointCloudRGB(cloud));
    pcl::IndicesPtr finite(new pcl::Indices);
    for (std::size_t i = 0; i < flat->size(); ++i) {
        auto& p = flat->points[i];
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) finite->push_back(static_cast<int>(i));
        p.z = 0.0f;
    }
    pcl::search::KdTree<pcl::PointXYZRGB>::Ptr tree(new pcl::search::KdTree<pcl::PointXYZRGB>(true));
    std::vector<pcl::PointIndices> found;
    pcl::EuclideanClusterExtraction<pcl::PointXYZRGB> extraction;
    extraction.setClusterTolerance(tolerance);
    extraction.setMinClusterSize(minSize);
    extraction.setMaxClusterSize(maxSize);
    extraction.setSearchMethod(tree);
    extraction.setInputCloud(flat);
    extraction.setIndices(finite);
    extraction.extract(found);
    Clusters clusters;
    for (const auto& f : found) clusters.push_back({f.indices.begin(), f.indices.end()});
    return clusters;
}

/// Largest first, equal sizes by their first point: the library leaves ties in no fixed order.
Clusters Ordered(Clusters c) {
    std::sort(c.begin(), c.end(), [](const auto& a, const auto& b) {
        return a.size() != b.size() ? a.size() > b.size() : a.front() < b.front();
    });
    return c;
}

void ExpectSameAsLibrary(const PointCloudRGB& cloud, float tolerance, std::uint32_t minSize = 1,
                         std::uint32_t maxSize = 100000000) {
    const Clusters grid = FootprintClusters::Extract(cloud, tolerance, minSize, maxSize);
    EXPECT_EQ(grid, Ordered(grid)) << "not ordered largest first";
    EXPECT_EQ(grid, Ordered(LibraryClusters(cloud, tolerance, minSize, maxSize)))
        << "tolerance " << tolerance << ", sizes " << minSize << ".." << maxSize;
}

}  // namespace

TEST(FootprintClusters, AgreeWithTheLibraryOnGeneratedScans) {
    ScanScene specks = ScanScene::SideBySideWithSpecks(20.0);
    specks.AddBox(0.1f, 0.1f, 0.05f, 0.5f, -0.55f, 0.0f, ScanScene::kFloorZ);
    for (const ScanScene& scene : {ScanScene::SideBySide(30.0), ScanScene::Stacked(0.0),
                                   ScanScene::PalletSideBySide(45.0), specks}) {
        const auto cloud = ScanCloud(scene, 4000, 0.03);
        for (float tolerance : {0.002f, 0.01f, 0.05f, 0.12f, 2.0f}) {
            ExpectSameAsLibrary(*cloud, tolerance);
        }
        ExpectSameAsLibrary(*cloud, 0.05f, 5, 1500);
        // The library searches by squared radius: a negative tolerance links like its magnitude.
        ExpectSameAsLibrary(*cloud, -0.05f);
    }
}

TEST(FootprintClusters, LinksAreStrictlyShorterThanTheTolerance) {
    // Steps of 0.25 and 0.5 in floats: exact, so the tolerance itself is a tie.
    const auto cloud = MakeCloud({MakePoint(0, 0, 1), MakePoint(0.25f, 0, 2), MakePoint(0.75f, 0, 3),
                                  MakePoint(0.75f, 0.5f, 1)});
    EXPECT_EQ(FootprintClusters::Extract(*cloud, 0.5f, 1, 10), (Clusters{{0, 1}, {2}, {3}}));
    EXPECT_EQ(FootprintClusters::Extract(*cloud, 0.5001f, 1, 10), (Clusters{{0, 1, 2, 3}}));
    ExpectSameAsLibrary(*cloud, 0.5f);
}

TEST(FootprintClusters, WithoutToleranceEveryPointStandsAlone) {
    const auto cloud = MakeCloud({MakePoint(0, 0, 1), MakePoint(0, 0, 2), MakePoint(1, 1, 1)});
    EXPECT_EQ(FootprintClusters::Extract(*cloud, 0.0f, 1, 10), (Clusters{{0}, {1}, {2}}));
    EXPECT_EQ(FootprintClusters::Extract(*cloud, 0.0f, 2, 10), Clusters{});
    EXPECT_TRUE(FootprintClusters::Extract(*MakeCloud({}), 0.05f, 0, 10).empty());
}
