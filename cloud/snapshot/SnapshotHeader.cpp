// The picture's header: the AWB, the run's time, the row, and the measured sizes and volumes.
#include "cloud/snapshot/SnapshotHeader.h"

#include <cmath>
#include <string>

#include "cloud/Units.h"
#include "cloud/snapshot/Snapshot.h"
#include "cloud/snapshot/SnapshotLayout.h"

namespace snapshot {

namespace {

// Room for the AWB in the header's first line, left of the time.
constexpr double kAwbWidth = 900.0;

std::string RunTimeText(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

}  // namespace

std::string VolumeText(float cubicMetres) {
    constexpr double kLitresPerCubicMetre = 1000.0;
    // Decided on the rounded litres, so 0.99996 m³ reads "1.000 m³", not "1000.0 L".
    const double litres = static_cast<double>(cubicMetres) * kLitresPerCubicMetre;
    if (std::fabs(std::round(litres * 10.0) / 10.0) < kLitresPerCubicMetre) {
        return Format("%.1f", litres) + " L";
    }
    return Format("%.3f", cubicMetres) + " m\u00b3";
}

void DrawHeader(Painter& painter, const Cloud& cloud, std::time_t runTime) {
    const CloudInfo info = cloud.GetCloudInfo();
    const Panel header{0, 0, Snapshot::kWidth, kHeaderHeight};
    painter.Fill(header, kPage);
    const double left = 16.0;
    const double right = Snapshot::kWidth - 16.0;
    painter.Text("AWB " + Drawable(info.GetAwb()), {left, 32.0}, 24.0, true, kInk, Align::Left, 0.0,
                 kAwbWidth);
    painter.Text(RunTimeText(runTime), {right, 32.0}, 16.0, false, kInk, Align::Right);

    // A cluster has no row of its own: it is part of the row that was split.
    std::string row = "Row " + std::to_string(info.GetId() > 0 ? info.GetId() : info.GetParentId());
    if (info.GetId() <= 0) {
        row += " (split)";
    }
    painter.Text(
        row + "    Session " + Drawable(info.GetSid()) + "    n " + std::to_string(info.GetN()),
        {left, 60.0}, 17.0, false, kInk, Align::Left);

    const auto mm = [](float metres) {
        return Format("%.0f", std::round(metres * kMillimetresPerMetre));
    };
    painter.Text("L \u00d7 W \u00d7 H  " + mm(cloud.GetL()) + " \u00d7 " + mm(cloud.GetW()) +
                     " \u00d7 " + mm(cloud.GetH()) + " mm",
                 {left, 90.0}, 20.0, true, kInk, Align::Left);
    painter.Text("Inbound " + VolumeText(cloud.GetVolInbound()) + "    Package " +
                     VolumeText(cloud.GetVolPackage()),
                 {right, 90.0}, 17.0, false, kInk, Align::Right);
}

}  // namespace snapshot
