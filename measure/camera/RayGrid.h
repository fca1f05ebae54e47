#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

class FloorPlane;
namespace pcl {
struct PointXYZRGB;
template <typename PointT>
class PointCloud;
}  // namespace pcl

/// The points of a scan that carries no image, found again by the direction
/// of their ray from the camera (the origin): a depth camera returns at most
/// one point along each pixel's ray, so the rays of a scan whose pixels
/// without a return were dropped still stand on the camera's lattice, and
/// the points of the pixels beside a point's own are those whose rays run
/// nearest to its ray. Directions are taken where the rays meet a plane one
/// metre from the camera parallel to the floor, the camera's own image for a
/// camera looking straight down, and are binned in square cells of about
/// one and a half ray spacings, so that every ray within one cell's edge of
/// a point's own lies in the 3 x 3 cells about it.
class RayGrid {
public:
    /// A point's neighbours are the points whose rays lie within this many
    /// times the spacing to its nearest ray: the four beside it on a square
    /// lattice (1), not those across the corners (1.41).
    static constexpr double kReach = 1.3;
    /// Edge of a cell in median spacings of neighbouring rays.
    static constexpr double kCellPerSpacing = 1.5;
    /// On a camera's lattice a point's two nearest rays lie about equally
    /// far, on either side; in a cloud sampled in space (or thinned by a
    /// voxel grid) the second is often more than twice as far as the first.
    /// Rays whose second-nearest lies farther than this many times the
    /// nearest are counted, and more than kMostUnevenPercent of the sampled
    /// points so is no camera's lattice.
    static constexpr double kMostNearestRatio = 2.0;
    static constexpr double kMostUnevenPercent = 5.0;
    /// Points sampled, spread over the scan, for the spacing and the lattice test.
    static constexpr std::size_t kSample = 2048;
    /// Fewer points above the band than this tell nothing.
    static constexpr std::size_t kLeastPoints = 64;
    /// Cells beyond this many mean a spacing no camera has (a few points
    /// scattered over the whole view): the grid is not built.
    static constexpr std::size_t kMostCells = std::size_t{1} << 22;

    /// The points of the scan standing more than band (metres) above the
    /// floor: the floor's own points never stand in front of another's by
    /// more than its band, and the strays a scanner's floor removal leaves
    /// lie scattered, one ray here and there, off any lattice.
    RayGrid(const pcl::PointCloud<pcl::PointXYZRGB>& scan, const FloorPlane& floor, double band);

    /// Whether the rays stand on a camera's lattice: without it no point has neighbours.
    bool OnLattice() const { return lattice; }
    /// Median spacing of neighbouring rays on the plane one metre out
    /// (about the angle between them, in radians); 0 when not on a lattice.
    double Spacing() const { return lattice ? spacing : 0.0; }

    /// Points of the scan above the band, in the scan's order.
    std::size_t Size() const { return index.size(); }
    /// Index in the scan of the k-th of them.
    std::size_t Point(std::size_t k) const { return index[k]; }
    /// Distance along the floor's normal of the k-th point, and the least
    /// among the points whose rays lie in the 3 x 3 cells about its own (its
    /// neighbours among them): a point that lies no farther than the nearest
    /// of them by some depth stands in front of none of them by as much.
    float Along(std::size_t k) const { return along[k]; }
    float NearestAbout(std::size_t k) const { return nearestAbout[cellOf[k]]; }
    /// Calls visit(i, toward) for the index i in the scan of every neighbour
    /// of the k-th point, until visit returns false; toward is the unit
    /// direction, across the floor's normal, from the neighbour's ray to the
    /// point's.
    template <class Visit>
    void Neighbours(std::size_t k, Visit visit) const;

private:
    /// The cell of direction (s, t); false outside the grid.
    std::size_t CellOf(float s, float t) const;
    /// Bins the points in cells of edge c; false when there would be too many.
    bool Bin(double c);
    /// Distances to the nearest and second-nearest rays of the k-th point,
    /// among those within a cell's edge; infinity for one not found.
    void Nearest(std::size_t k, double& first, double& second) const;
    /// Fills nearestAbout.
    void FindNearestAbout();
    /// Calls visit(j, d2) for every other point j in the 3 x 3 cells about
    /// the k-th point's, d2 the square of the distance between their
    /// directions, until visit returns false; false when it did.
    template <class Visit>
    bool Around(std::size_t k, Visit visit) const;
    /// The slots of the three cells about cell (x, y) in row y: [begin, end).
    void Row(std::size_t x, std::size_t y, std::uint32_t& begin, std::uint32_t& end) const;

    double u[3] = {1.0, 0.0, 0.0};  // the plane's axes across the floor's normal
    double v[3] = {0.0, 1.0, 0.0};
    std::vector<std::uint32_t> index;  // in the scan, per point above the band
    std::vector<float> s, t;           // directions, per point
    std::vector<float> along;          // per point
    double s0 = 0.0, t0 = 0.0;         // the grid's corner
    double extent[2] = {0.0, 0.0};     // and its sides
    double cell = 0.0;
    double perCell = 0.0;  // its inverse
    std::size_t nx = 0, ny = 0;
    std::vector<std::uint32_t> start;   // per cell, its first slot; one more at the end
    std::vector<std::uint32_t> slots;   // points by cell
    std::vector<std::uint32_t> cellOf;  // per point
    std::vector<float> nearestAbout;    // per cell, the least along in the 3 x 3 about it
    double spacing = 0.0;
    bool lattice = false;
};

template <class Visit>
bool RayGrid::Around(std::size_t k, Visit visit) const {
    const std::size_t x = cellOf[k] % nx;
    const std::size_t y = cellOf[k] / nx;
    for (std::size_t row = y == 0 ? 0 : y - 1; row <= y + 1 && row < ny; ++row) {
        std::uint32_t begin, end;
        Row(x, row, begin, end);
        for (std::uint32_t slot = begin; slot < end; ++slot) {
            const std::uint32_t j = slots[slot];
            if (j == k) {
                continue;
            }
            const double ds = static_cast<double>(s[j]) - s[k];
            const double dt = static_cast<double>(t[j]) - t[k];
            if (!visit(j, ds * ds + dt * dt)) {
                return false;
            }
        }
    }
    return true;
}

template <class Visit>
void RayGrid::Neighbours(std::size_t k, Visit visit) const {
    if (!lattice) {
        return;
    }
    double first, second;
    Nearest(k, first, second);
    if (!(first <= cell)) {
        return;
    }
    const double reach = first * kReach < cell ? first * kReach : cell;
    Around(k, [&](std::uint32_t j, double d2) {
        if (d2 > reach * reach || d2 == 0.0) {
            return true;
        }
        const double ds = (static_cast<double>(s[k]) - s[j]) / std::sqrt(d2);
        const double dt = (static_cast<double>(t[k]) - t[j]) / std::sqrt(d2);
        const double toward[3] = {ds * u[0] + dt * v[0], ds * u[1] + dt * v[1],
                                  ds * u[2] + dt * v[2]};
        return visit(static_cast<std::size_t>(index[j]), toward);
    });
}
