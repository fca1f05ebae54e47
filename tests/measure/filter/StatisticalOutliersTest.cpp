#include "measure/filter/StatisticalOutliers.h"

#include <pcl/common/point_tests.h>
#include <pcl/filters/statistical_outlier_removal.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "measure/ScanCloud.h"

namespace {

constexpr int kMeanK = 50;
constexpr double kStddevMul = 0.5;

using Points = std::vector<pcl::PointXYZRGB>;

Points Uniform(std::size_t n, float size, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(0.0f, size);
    Points p;
    for (std::size_t i = 0; i < n; ++i) p.push_back(MakePoint(u(rng), u(rng), u(rng)));
    return p;
}

/// The faces of a 0.4 x 0.3 x 0.2 box with millimetre noise: the dense surfaces of a scan.
Points BoxFaces(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    std::normal_distribution<float> noise(0.0f, 0.001f);
    const float size[3] = {0.4f, 0.3f, 0.2f};
    Points p;
    for (std::size_t i = 0; i < n; ++i) {
        float v[3] = {u(rng) * size[0], u(rng) * size[1], u(rng) * size[2]};
        const int axis = static_cast<int>(i % 3);
        v[axis] = (u(rng) < 0.5f ? 0.0f : size[axis]) + noise(rng);
        p.push_back(MakePoint(v[0], v[1], v[2]));
    }
    return p;
}

/// Equal distances everywhere: the k-th neighbour is one of many at the same distance.
Points Lattice(int side, float step) {
    Points p;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            for (int k = 0; k < side; ++k) p.push_back(MakePoint(i * step, j * step, k * step));
    return p;
}

Points WithRepeats(Points p, unsigned seed) {
    std::mt19937 rng(seed);
    const std::size_t n = p.size();
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t r = 0; r < i % 4; ++r) p.push_back(p[i]);
    std::shuffle(p.begin(), p.end(), rng);
    return p;
}

Points Flat(std::size_t n, unsigned seed) {
    Points p = Uniform(n, 1.0f, seed);
    for (auto& q : p) q.z = 2.5f;
    return p;
}

Points Straight(std::size_t n) {
    Points p;
    for (std::size_t i = 0; i < n; ++i) p.push_back(MakePoint(0.001f * i, 0.5f * 0.001f * i, 1.0f));
    return p;
}

/// A dense cluster with a few points kilometres away: the grid must coarsen, not explode.
Points Strays(unsigned seed) {
    Points p = BoxFaces(3000, seed);
    p.push_back(MakePoint(1000.0f, 0.0f, 0.0f));
    p.push_back(MakePoint(-500.0f, 2000.0f, 3.0f));
    p.push_back(MakePoint(0.0f, 0.0f, -700.0f));
    return p;
}

/// Many returns at the camera's origin, some with negative zeros.
Points WithOrigin(Points p, std::size_t repeats) {
    for (std::size_t i = 0; i < repeats; ++i) p.push_back(MakePoint(i % 7 ? 0.0f : -0.0f, 0.0f, 0.0f));
    return p;
}

Points WithHoles(Points p, unsigned seed) {
    std::mt19937 rng(seed);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto& q : p)
        if (rng() % 20 == 0) q.x = nan;
    return p;
}

Points Scan(std::size_t n) {
    const auto cloud = ScanCloud(ScanScene::BoxOnPallet(30.0), n);
    return {cloud->points.begin(), cloud->points.end()};
}

/// Mean neighbour distances by sorting every distance: the arithmetic the
/// filter must reproduce, without any search structure.
std::vector<float> BruteMeans(const Points& p) {
    std::vector<float> means(p.size(), 0.0f);
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (!pcl::isFinite(p[i])) continue;
        std::vector<float> d;
        for (const auto& q : p) {
            if (!pcl::isFinite(q)) continue;
            const float dx = p[i].x - q.x, dy = p[i].y - q.y, dz = p[i].z - q.z;
            d.push_back(dx * dx + dy * dy + dz * dz);
        }
        std::sort(d.begin(), d.end());
        double sum = 0.0;
        for (int k = 1; k <= kMeanK; ++k) sum += std::sqrt(static_cast<double>(d[k]));
        means[i] = static_cast<float>(sum / kMeanK);
    }
    return means;
}

std::vector<int> ReferenceInliers(const Points& p) {
    pcl::StatisticalOutlierRemoval<pcl::PointXYZRGB> filter;
    filter.setInputCloud(MakeCloud(p));
    filter.setMeanK(kMeanK);
    filter.setStddevMulThresh(kStddevMul);
    pcl::Indices kept;
    filter.filter(kept);
    return {kept.begin(), kept.end()};
}

struct Case {
    const char* name;
    std::function<Points()> make;
    bool brute;  // small enough for the all-pairs oracle
};

}  // namespace

TEST(StatisticalOutliers, KeepsWhatTheReferenceFilterKeeps) {
    const Case cases[] = {
        {"box faces", [] { return BoxFaces(2500, 1); }, true},
        {"box faces, dense", [] { return BoxFaces(60000, 2); }, false},
        {"sparse cube", [] { return Uniform(800, 10.0f, 3); }, true},
        {"repeated points", [] { return WithRepeats(Uniform(400, 1.0f, 5), 6); }, true},
        {"lattice ties", [] { return Lattice(12, 0.01f); }, true},
        {"flat", [] { return Flat(2000, 7); }, true},
        {"straight", [] { return Straight(500); }, true},
        {"far strays", [] { return Strays(8); }, true},
        {"NaN holes", [] { return WithHoles(BoxFaces(3000, 9), 10); }, true},
        {"exactly mean K + 1", [] { return Uniform(kMeanK + 1, 1.0f, 11); }, true},
        {"one point repeated", [] { return Points(200, MakePoint(0.5f, 0.5f, 0.5f)); }, true},
        {"returns at the origin", [] { return WithOrigin(BoxFaces(2000, 14), 1500); }, true},
        {"scan", [] { return Scan(100000); }, false},
    };
    const StatisticalOutliers filter(kMeanK, kStddevMul);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Points points = c.make();
        const auto cloud = MakeCloud(points);
        if (c.brute) {
            const auto expected = BruteMeans(points);
            const auto means = filter.MeanDistances(*cloud);
            ASSERT_EQ(means.size(), expected.size());
            for (std::size_t i = 0; i < means.size(); ++i) ASSERT_EQ(means[i], expected[i]) << "point " << i;
        }
        EXPECT_EQ(filter.Inliers(*cloud), ReferenceInliers(points));
    }
}

TEST(StatisticalOutliers, FewerPointsThanNeighboursKeepsEverything) {
    const StatisticalOutliers filter(kMeanK, kStddevMul);
    for (std::size_t n : {0u, 1u, 30u, 50u}) {
        const auto cloud = MakeCloud(Uniform(n, 1.0f, 12));
        EXPECT_TRUE(filter.MeanDistances(*cloud).empty());
        EXPECT_EQ(filter.Inliers(*cloud).size(), n);
    }
    // NaN points do not count towards the neighbours.
    auto points = Uniform(60, 1.0f, 13);
    for (std::size_t i = 0; i < 20; ++i) points[i].z = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(filter.Inliers(*MakeCloud(points)).size(), 60u);
}
