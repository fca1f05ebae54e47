#include "measure/split/CloudCollection.h"

#include "config/Config.h"
#include "measure/split/CloudCollectionIndexnameNotDef.h"
#include "measure/split/FootprintClusters.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstdint>
#include <ostream>

namespace {

// Smaller clusters are specks of noise, too few points to measure a box on.
constexpr std::size_t kMinPointsPerCloud = 12;

}  // namespace

CloudCollection::CloudCollection(Cloud c) {
    split(c);
}

void CloudCollection::split(Cloud c) {
    clear();
    Config* config = Config::GetInstance("");

    // The parent's points are only read; the clusters get copies.
    const PointCloudRGB& full = *c.getCloud();
    const auto clusters =
        FootprintClusters::Extract(full, config->GetClusterTollerance(),
                                   static_cast<std::uint32_t>(config->GetMinClusterSize()),
                                   static_cast<std::uint32_t>(config->GetMaxClusterSize()));

    const CloudInfo parent = c.GetCloudInfo();
    int k = 1;
    for (const auto& cluster : clusters) {
        if (cluster.size() < kMinPointsPerCloud) {
            continue;
        }
        CloudInfo info(0, k, 0, parent.GetId(), parent.GetSid(), config->GetFileModel(),
                       config->GetBaseDataFolder(), parent.GetCoeffA(), parent.GetCoeffB(),
                       parent.GetCoeffC(), parent.GetCoeffD());
        // A cluster is part of the parent's shipment.
        info.SetAwb(parent.GetAwb());
        auto child = std::make_unique<Cloud>(info);
        child->StandAs(c);
        // The cluster's points go straight into the child's own cloud.
        PointCloudRGB& points = *child->getCloud();
        points.points.reserve(cluster.size());
        for (const int index : cluster) {
            points.points.push_back(full.points[static_cast<std::size_t>(index)]);
        }
        points.width = static_cast<std::uint32_t>(points.points.size());
        points.height = 1;
        points.is_dense = true;
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
