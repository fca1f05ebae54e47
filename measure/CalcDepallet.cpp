#include <pcl/ModelCoefficients.h>
#include <pcl/common/io.h>
#include <pcl/filters/project_inliers.h>
#include <pcl/filters/statistical_outlier_removal.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstdint>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "config/Config.h"

namespace {

// Below this pallet height (whole millimetres) there is nothing to cut.
constexpr int kMinPalletHeightMm = 2;
// Start of the search for the floor side; every real scan lies above it.
constexpr float kLowestZ = -100.0f;
// The outlier filter is tuned for the pallet cut once and for all; the
// decode-table values of the same name are deliberately not used here.
constexpr int kOutlierMeanK = 50;
constexpr double kOutlierStddevMul = 0.5;

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

    float zMax = kLowestZ;
    for (const auto& p : cloud->points) {
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && p.z > zMax) {
            zMax = p.z;
        }
    }
    const float top = zMax - palletHeight;
    const double limitMm = WholeMillimetres(top - correction);

    // Points without coordinates cannot be placed above or below the cut and
    // are dropped with the pallet.
    PointCloudRGBPtr kept(new PointCloudRGB);
    kept->points.reserve(cloud->points.size());
    for (const auto& p : cloud->points) {
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) &&
            WholeMillimetres(p.z) <= limitMm) {
            kept->points.push_back(p);
        }
    }
    kept->width = static_cast<std::uint32_t>(kept->points.size());
    kept->height = 1;
    kept->is_dense = false;

    pcl::ModelCoefficients::Ptr palletTop(new pcl::ModelCoefficients);
    palletTop->values = {cloudInfo.GetCoeffA(), cloudInfo.GetCoeffB(), cloudInfo.GetCoeffC(), -top};

    // The filter averages over kOutlierMeanK neighbours and reads past its
    // results when the cloud has fewer points than that; such a remnant is
    // kept whole.
    if (kept->points.size() > static_cast<std::size_t>(kOutlierMeanK)) {
        pcl::StatisticalOutlierRemoval<pcl::PointXYZRGB> outliers;
        outliers.setInputCloud(kept);
        outliers.setMeanK(kOutlierMeanK);
        outliers.setStddevMulThresh(kOutlierStddevMul);
        PointCloudRGB inliers;
        outliers.filter(inliers);
        pcl::copyPointCloud(inliers, *kept);
    }

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

    pcl::copyPointCloud(*kept, *cloud);
}
