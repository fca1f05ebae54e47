#include "measure/CloudCollection.h"

#include "config/Config.h"
#include "measure/CloudCollectionIndexnameNotDef.h"

#include <pcl/PointIndices.h>
#include <pcl/common/io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <pcl/search/kdtree.h>
#include <pcl/segmentation/extract_clusters.h>

#include <cmath>
#include <cstdint>
#include <ostream>

namespace {

// Smaller clusters are specks of noise, too few points to measure a box on.
constexpr std::size_t kMinPointsPerCloud = 12;

bool IsFinite(const pcl::PointXYZRGB& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

CloudCollection::CloudCollection(Cloud c) {
    split(c);
}

void CloudCollection::split(Cloud c) {
    clear();
    Config* config = Config::GetInstance("");

    PointCloudRGB full;
    pcl::copyPointCloud(*c.getCloud(), full);
    PointCloudRGBPtr flat(new PointCloudRGB(full));
    // Missing points (NaN) take no part in the clustering: the search tree
    // cannot place them and a query with one is undefined.
    pcl::IndicesPtr finite(new pcl::Indices);
    finite->reserve(flat->points.size());
    for (std::size_t i = 0; i < flat->points.size(); ++i) {
        auto& p = flat->points[i];
        p.z = 0.0f;
        if (IsFinite(p)) {
            finite->push_back(static_cast<pcl::index_t>(i));
        }
    }
    if (finite->empty()) {
        return;
    }

    pcl::search::KdTree<pcl::PointXYZRGB>::Ptr tree(new pcl::search::KdTree<pcl::PointXYZRGB>(true));
    tree->setInputCloud(flat);

    std::vector<pcl::PointIndices> clusters;
    pcl::EuclideanClusterExtraction<pcl::PointXYZRGB> extraction;
    extraction.setClusterTolerance(static_cast<double>(config->GetClusterTollerance()));
    extraction.setMinClusterSize(config->GetMinClusterSize());
    extraction.setMaxClusterSize(config->GetMaxClusterSize());
    extraction.setSearchMethod(tree);
    extraction.setInputCloud(flat);
    if (finite->size() < flat->points.size()) {
        extraction.setIndices(finite);
    }
    extraction.extract(clusters);

    const CloudInfo parent = c.GetCloudInfo();
    int k = 1;
    for (const auto& cluster : clusters) {
        PointCloudRGBPtr points(new PointCloudRGB);
        points->points.reserve(cluster.indices.size());
        for (const auto index : cluster.indices) {
            points->points.push_back(full.points[static_cast<std::size_t>(index)]);
        }
        points->width = static_cast<std::uint32_t>(points->points.size());
        points->height = 1;
        points->is_dense = true;
        if (points->points.size() < kMinPointsPerCloud) {
            continue;
        }
        CloudInfo info(0, k, 0, parent.GetId(), parent.GetSid(), config->GetFileModel(),
                       config->GetBaseDataFolder(), parent.GetCoeffA(), parent.GetCoeffB(),
                       parent.GetCoeffC(), parent.GetCoeffD());
        auto child = std::make_unique<Cloud>(info);
        child->setCloud(points);
        clouds.push_back(std::move(child));
        ++k;
    }
}

void CloudCollection::add(Cloud* c) {
    clouds.emplace_back(c);
}

void CloudCollection::save() {
    for (auto& c : clouds) {
        c->ColorMap();
        c->Save();
    }
}

void CloudCollection::saveVolume() {
    for (auto& c : clouds) {
        c->SaveSurface();
        c->SaveVolSurface();
        c->SaveVolVShape();
    }
}

void CloudCollection::saveData() {
    for (auto& c : clouds) {
        c->SaveData();
    }
}

Cloud& CloudCollection::get(int i) {
    return *clouds[checked(i)];
}

const Cloud& CloudCollection::get(int i) const {
    return *clouds[checked(i)];
}

std::size_t CloudCollection::checked(int i) const {
    if (i < 0 || i >= size()) {
        throw cloudCollectionIndexnameNotDef;
    }
    return static_cast<std::size_t>(i);
}

std::ostream& operator<<(std::ostream& os, const CloudCollection& collection) {
    return os << "Cloud collection:\n"
              << "\tSize: " << collection.size() << std::endl;
}
