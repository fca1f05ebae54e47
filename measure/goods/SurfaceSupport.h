#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

/// Whether a point lies on a surface of the goods or is a stray: seen from
/// above, a surface covers an area of the footprint, so a point of it has
/// neighbours all around within a few pixel pitches (half of them on its
/// outline, a quarter at a corner), however steep the surface; a stray has
/// none, and the mixed pixels of a depth edge, one per row of pixels, only
/// the few of their own line. Neighbours count within `radius` across and
/// `depth` along z; the points go into square cells of the radius, so a
/// query looks at 9 cells only.
class SurfaceSupport {
public:
    using Point = std::array<float, 3>;

    /// A surface point has kNeeded neighbours within kPitches pixel pitches:
    /// half a disc of that radius on the outline of a face holds some 14, the
    /// row of mixed pixels along a depth edge some 6.
    static constexpr float kPitches = 3.0f;
    static constexpr int kNeeded = 10;
    /// Along z a neighbour may lie this many search radii away: the next row
    /// of samples of a flank seen at up to some 80 degrees is still one
    /// surface, while a mixed pixel, a ninth of a depth edge or more below the
    /// face, does not borrow the support of the face beside it.
    static constexpr float kDepthRadii = 2.0f;

    /// Indexes the points (kept by reference: they must outlive the object).
    SurfaceSupport(const std::vector<Point>& points, float radius, float depth);

    /// The number of other indexed points within reach of point i, counted up to limit.
    int Neighbours(std::size_t i, int limit) const;
    /// True when point i has at least `needed` neighbours within reach.
    bool Supported(std::size_t i, int needed) const { return Neighbours(i, needed) >= needed; }
    /// The number of indexed points within reach of any point p, counted up to limit.
    int Near(const Point& p, int limit) const;

    /// Neighbours(i, limit) of an index over `points`, found without one in
    /// a pass over them: for a query or two, cheaper than indexing them.
    static int NeighboursAmong(const std::vector<Point>& points, std::size_t i, float radius,
                               float depth, int limit);

private:
    /// Indexed points within reach of p other than point `self`, up to limit.
    int Count(const Point& p, std::size_t self, int limit) const;
    /// Indexed points within reach of p other than point `self` among the
    /// places from..to of `order`.
    int CountIn(std::size_t from, std::size_t to, const Point& p, std::size_t self) const;
    /// `order`: the point indices sorted by their cells' keys.
    void SortByKey(const std::vector<std::uint64_t>& pointKeys);
    static std::uint64_t CellKey(long x, long y);
    static std::array<long, 2> CellOf(const Point& p, float radius);

    const std::vector<Point>& points;
    float radius;
    float depth;
    // Point indices sorted by their cell's key, and the keys in the same order.
    std::vector<std::uint32_t> order;
    std::vector<std::uint64_t> keys;
    // When the points were counted into the cells of their box (SortByKey):
    // that box, its height in cells, and where each of its cells starts in
    // `order` (one more: the end), so that a query finds a column's run
    // without searching the keys.
    std::uint64_t lowX = 0, highX = 0, lowY = 0, highY = 0, spanY = 0;
    std::vector<std::uint32_t> cellStart;
    // The coordinates of the points in that order, one array per axis, so
    // that a cell's points are read side by side.
    std::array<std::vector<float>, 3> coordinate;
};
