// QhullRun: one run of the hull library on a block of points, and what it found.
#pragma once

#include <cstddef>
#include <vector>

/// The three-dimensional convex hull of points given as x, y, z doubles, built
/// by the hull library with the options of the point-cloud library's convex
/// hull with area and volume, so its volume is theirs to the last bit.
class QhullRun {
public:
    /// A facet's plane: normal · p + offset is the signed distance of p, above 0 outside.
    struct Plane {
        double normal[3];
        double offset;
    };

    /// Builds the hull of `count` points in `coords` (x, y, z each), a block
    /// from malloc that the run takes over and frees. With `planes` the
    /// facets' planes are kept. The library's messages go nowhere.
    QhullRun(double* coords, std::size_t count, bool planes);

    bool Built() const { return built; }
    /// Volume and area of the hull; 0 when none was built.
    double Volume() const { return volume; }
    double Area() const { return area; }
    /// How far the library's facets may stand from the exact hull of the
    /// points: its roundoff of a distance plus the farthest a point was left
    /// above a facet or a vertex below one.
    double Slack() const { return slack; }
    const std::vector<Plane>& Planes() const { return facets; }

private:
    bool built = false;
    double volume = 0.0;
    double area = 0.0;
    double slack = 0.0;
    std::vector<Plane> facets;
};
