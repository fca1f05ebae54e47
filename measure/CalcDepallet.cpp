#include <pcl/ModelCoefficients.h>
#include <pcl/common/io.h>
#include <pcl/common/point_tests.h>
#include <pcl/filters/project_inliers.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <vector>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "measure/FloorPlane.h"
#include "measure/StatisticalOutliers.h"

namespace {

// Below this pallet height (whole millimetres) there is nothing to cut.
constexpr int kMinPalletHeightMm = 2;
// Start of the search for the floor side; every real scan lies above it.
constexpr float kLowestZ = -100.0f;
// The outlier filter is tuned for the pallet cut once and for all; the
// decode-table values of the same name are deliberately not used here.
constexpr int kOutlierMeanK = 50;
constexpr double kOutlierStddevMul = 0.5;
// A point this far beyond the floor plane (metres) cannot be part of the
// scene: it is a reflection.
constexpr double kReflectionMargin = 0.01;
// When more of the scan than this (per cent) lies beyond the floor, the plane
// is wrong rather than the points.
constexpr std::size_t kMostReflectionsPercent = 1;

/// Which points are reflections beyond the floor; empty when none is, or
/// when the plane cannot be trusted to tell (then every point counts).
std::vector<bool> Reflections(const PointCloudRGB& cloud, const FloorPlane& floor) {
    std::vector<bool> reflection;
    if (!floor.Sided()) {
        return reflection;
    }
    std::size_t finite = 0;
    std::size_t beyond = 0;
    reflection.resize(cloud.points.size(), false);
    for (std::size_t i = 0; i < cloud.points.size(); ++i) {
        const auto& p = cloud.points[i];
        if (pcl::isFinite(p)) {
            ++finite;
            if (floor.Beyond(p.x, p.y, p.z) > kReflectionMargin) {
                reflection[i] = true;
                ++beyond;
            }
        }
    }
    if (beyond * 100 > finite * kMostReflectionsPercent) {
        std::cerr << "WARNING: " << beyond << " of " << finite
                  << " points lie beyond the session's floor plane; the pallet is cut from the "
                     "farthest point"
                  << std::endl;
        reflection.clear();
    } else if (beyond == 0) {
        reflection.clear();
    }
    return reflection;
}

/// A length in metres as whole millimetres, truncated toward zero. Kept in a
/// double so that a NaN or an absurd coordinate compares false instead of
/// overflowing the integer conversion.
double WholeMillimetres(float metres) {
    return std::trunc(static_cast<double>(metres) * kMillimetresPerMetre);
}

}  // namespace

bool Cloud::CutsPallet(float palletHeightMm) {
    // Written so that a NaN height also means "no pallet".
    return std::trunc(palletHeightMm) >= kMinPalletHeightMm;
}

void Cloud::CalcDepallet() {
    Config* config = Config::GetInstance("");
    const float palletHeightMm = config->GetPalletHeight();
    if (!CutsPallet(palletHeightMm)) {
        return;
    }
    const float palletHeight = palletHeightMm / kMillimetresPerMetre;
    const float correction = config->GetPalletCorrectionHeight() / kMillimetresPerMetre;

    // Reflections must not set the floor side; they go with the pallet.
    const FloorPlane floor(cloudInfo.GetCoeffA(), cloudInfo.GetCoeffB(), cloudInfo.GetCoeffC(),
                           cloudInfo.GetCoeffD());
    const std::vector<bool> reflection = Reflections(*cloud, floor);
    const auto inScene = [&](std::size_t i) {
        return pcl::isFinite(cloud->points[i]) && (reflection.empty() || !reflection[i]);
    };

    float zMax = kLowestZ;
    for (std::size_t i = 0; i < cloud->points.size(); ++i) {
        if (inScene(i) && cloud->points[i].z > zMax) {
            zMax = cloud->points[i].z;
        }
    }
    const float top = zMax - palletHeight;
    const double limitMm = WholeMillimetres(top - correction);

    // Points without coordinates cannot be placed above or below the cut and
    // are dropped with the pallet.
    PointCloudRGBPtr kept(new PointCloudRGB);
    kept->points.reserve(cloud->points.size());
    for (std::size_t i = 0; i < cloud->points.size(); ++i) {
        if (inScene(i) && WholeMillimetres(cloud->points[i].z) <= limitMm) {
            kept->points.push_back(cloud->points[i]);
        }
    }
    kept->width = static_cast<std::uint32_t>(kept->points.size());
    kept->height = 1;
    kept->is_dense = false;

    pcl::ModelCoefficients::Ptr palletTop(new pcl::ModelCoefficients);
    // The projection normalises the normal's length but keeps its sign: a
    // normal pointing at the camera would mirror the bottom to z = -top.
    palletTop->values = {floor.A(), floor.B(), floor.C(), -top};

    // A remnant of no more than kOutlierMeanK points is kept whole by the filter.
    const std::vector<int> inliers =
        StatisticalOutliers(kOutlierMeanK, kOutlierStddevMul).Inliers(*kept);
    PointCloudRGB filtered;
    pcl::copyPointCloud(*kept, inliers, filtered);
    kept->swap(filtered);

    // Close the bottom of the goods: every point again, on the pallet's top face.
    if (!kept->points.empty()) {
        pcl::ProjectInliers<pcl::PointXYZRGB> projection;
        projection.setModelType(pcl::SACMODEL_PLANE);
        projection.setInputCloud(kept);
        projection.setModelCoefficients(palletTop);
        PointCloudRGB projected;
        projection.filter(projected);
        *kept += projected;
    }

    cloud->swap(*kept);
}
