// The top view: the points seen from the camera, the rectangle A..D, its letters and L and W.
#include "cloud/snapshot/SnapshotTopView.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cloud/snapshot/SnapshotScaleBar.h"

namespace snapshot {

namespace {

constexpr double kLetterOffset = 18.0;
constexpr double kSideLabelOffset = 14.0;

}  // namespace

Fit TopFit(const Scene& s) {
    double minX = s.base[0].x, maxX = minX, minY = s.base[0].y, maxY = minY;
    for (const P2& c : s.base) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
    }
    return Fit(kTopPanel, minX, maxX, minY, maxY);
}

void PutTopPoints(Pixels& pixels, const Cloud& cloud, const Scene& s, const Fit& fit,
                  const Shade& shade) {
    const PointCloudRGB& points = *cloud.getCloud();
    const double areaPixels =
        Length(s.base[1] - s.base[0]) * Length(s.base[2] - s.base[1]) * fit.scale * fit.scale;
    PointLayer layer(kTopPanel, BlockSize(areaPixels, points.size()));
    for (const pcl::PointXYZRGB& p : points.points) {
        layer.Put(pixels, fit(P2{p.x, p.y}), p.z, shade(p));
    }
}

void DrawTopOverlay(Painter& painter, const Cloud& cloud, const Scene& s, const Fit& fit) {
    painter.Clip(kTopPanel);
    std::vector<P2> corners;
    for (const P2& c : s.base) {
        corners.push_back(fit(c));
    }
    painter.Polygon(corners, kBox, kBoxLineWidth);
    const P2 middle = fit(s.centre);
    for (int i = 0; i < 4; ++i) {
        const P2 out = Unit(corners[i] - middle, {-1.0, -1.0});
        painter.Text(std::string(1, static_cast<char>('A' + i)), corners[i] + out * kLetterOffset,
                     18.0, true, kBox, Align::Centre);
    }
    // L along the longer side as drawn, W along the other, outside the box.
    const auto sideLabel = [&](int from, const std::string& text) {
        const P2 a = corners[from], b = corners[(from + 1) % 4];
        const P2 mid = (a + b) * 0.5;
        const P2 out = Unit(mid - middle, {0.0, 1.0});
        painter.Text(text, mid + out * kSideLabelOffset, 16.0, true, kBox, Align::Centre,
                     UprightAngle(b - a));
    };
    sideLabel(s.longSideAB ? 0 : 1, "L " + Millimetres(cloud.GetL()));
    sideLabel(s.longSideAB ? 1 : 0, "W " + Millimetres(cloud.GetW()));
    painter.Text("Top view, as the camera sees it", {kTopPanel.x + 12.0, kTopPanel.y + 24.0}, 15.0,
                 false, kViewInk, Align::Left);
    ScaleBar(painter, kTopPanel, fit.scale);
    painter.Unclip();
}

}  // namespace snapshot
