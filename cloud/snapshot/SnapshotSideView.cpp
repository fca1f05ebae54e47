// The side view: the points seen along the longer side, the box's outline, its ground and H.
#include "cloud/snapshot/SnapshotSideView.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "cloud/snapshot/SnapshotScaleBar.h"

namespace snapshot {

namespace {

// A floor farther than this from the box (metres) is a wrong plane, not drawn.
constexpr double kFarthestFloor = 10.0;

/// z of the floor plane under a point of the footprint; NaN without a usable plane.
double FloorZ(const CloudInfo& info, P2 at) {
    const double c = info.GetCoeffC();
    if (!(std::fabs(c) > 1e-6)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return -(info.GetCoeffA() * at.x + info.GetCoeffB() * at.y + info.GetCoeffD()) / c;
}

}  // namespace

Fit SideView::Place(const Cloud& cloud, const Scene& s, Snapshot::Ground ground) {
    if (ground == Snapshot::Ground::Floor) {
        const double left = FloorZ(cloud.GetCloudInfo(), s.centre - s.along * half);
        const double right = FloorZ(cloud.GetCloudInfo(), s.centre + s.along * half);
        if (std::fabs(left - s.zBottom) <= kFarthestFloor &&
            std::fabs(right - s.zBottom) <= kFarthestFloor) {
            groundLeft = left;
            groundRight = right;
        }
    }
    const double lowest = std::max({s.zBottom, groundLeft, groundRight});
    const double highest = std::min({s.zTop, groundLeft, groundRight});
    return Fit(kSidePanel, -half, half, highest, lowest);
}

void PutSidePoints(Pixels& pixels, const Cloud& cloud, const Scene& s, const SideView& view,
                   const Shade& shade) {
    const PointCloudRGB& points = *cloud.getCloud();
    const double areaPixels = s.length * (s.zBottom - s.zTop) * view.fit.scale * view.fit.scale;
    PointLayer layer(kSidePanel, BlockSize(areaPixels, points.size()));
    for (const pcl::PointXYZRGB& p : points.points) {
        const P2 d = P2{p.x, p.y} - s.centre;
        // The viewer stands beyond the top view's lower edge: larger across is nearer.
        layer.Put(pixels, view.fit(P2{Dot(d, s.along), p.z}), static_cast<float>(-Dot(d, s.across)),
                  shade(p));
    }
}

void DrawSideOverlay(Painter& painter, const Cloud& cloud, const Scene& s, const SideView& view,
                     Snapshot::Ground ground) {
    const Fit& fit = view.fit;
    painter.Clip(kSidePanel);
    const P2 groundFrom = view.GroundAt(kSidePanel.x);
    const P2 groundTo = view.GroundAt(kSidePanel.x + kSidePanel.w);
    painter.Line(groundFrom, groundTo, kGround, 2.0, true);
    painter.Text(ground == Snapshot::Ground::PalletTop ? "pallet top" : "floor",
                 {kSidePanel.x + 12.0, groundFrom.y + 20.0}, 14.0, false, kGround, Align::Left);

    const P2 topRight = fit({view.half, s.zTop});
    const P2 bottomRight = fit({view.half, s.zBottom});
    painter.Polygon(
        {fit({-view.half, s.zTop}), topRight, bottomRight, fit({-view.half, s.zBottom})}, kBox,
        kBoxLineWidth);

    // H beside the box's right edge, with arrow heads at both ends.
    const P2 arrowTop = topRight + P2{18.0, 0.0};
    const P2 arrowBottom = bottomRight + P2{18.0, 0.0};
    painter.Line(arrowTop, arrowBottom, kBox, 2.0);
    for (const double dir : {1.0, -1.0}) {
        const P2 tip = dir > 0.0 ? arrowTop : arrowBottom;
        painter.Line(tip, tip + P2{-5.0, 8.0 * dir}, kBox, 2.0);
        painter.Line(tip, tip + P2{5.0, 8.0 * dir}, kBox, 2.0);
    }
    painter.Text("H " + Millimetres(cloud.GetH()), (arrowTop + arrowBottom) * 0.5 + P2{16.0, 0.0},
                 16.0, true, kBox, Align::Centre, -M_PI / 2.0);
    painter.Text("Side view of the long side", {kSidePanel.x + 12.0, kSidePanel.y + 24.0}, 15.0,
                 false, kViewInk, Align::Left);
    ScaleBar(painter, kSidePanel, fit.scale);
    painter.Unclip();
}

}  // namespace snapshot
