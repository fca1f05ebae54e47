#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

/// A synthetic scene of upright boxes (goods and pallets) as the scanner
/// delivers it: metres, z vertical and growing toward the floor, only the
/// surfaces a camera above can see. Knows the true sizes of what it holds,
/// so that runs on its scans can be checked against them.
class ScanScene {
public:
    /// What stands in a box's place: the box itself, or goods enclosed by it
    /// (their smallest upright box is the box's L × W × H, turned with it).
    enum class Shape {
        kBlock,          // the box
        kDome,           // the upper half of an ellipsoid of semi-axes L/2, W/2 and H
        kLyingCylinder,  // a cylinder lying along L, its cross-section an ellipse W wide and H high (round: W = H)
        kBag,            // a box with vertical edges rounded by corner and a top rising by bulge to H at its centre
        kWedge,          // a box whose top slopes along L from H down to low
        kStandingCylinder,  // a cylinder standing on its end, its section an ellipse L long and W wide (round: L = W)
    };

    /// One upright box, turned about the vertical by angle (radians) around its centre.
    struct Box {
        float length = 0.0f;  // along its own x before turning
        float width = 0.0f;
        float height = 0.0f;
        float cx = 0.0f;
        float cy = 0.0f;
        float angle = 0.0f;
        float zBottom = 0.0f;  // the face it stands on; its top is at zBottom - height
        bool pallet = false;
        Shape shape = Shape::kBlock;
        float bulge = 0.0f;   // kBag: how far the top's centre rises above its corners' line (the top is a paraboloid)
        float corner = 0.0f;  // kBag: radius of the rounded vertical edges
        float low = 0.0f;     // kWedge: the height at the low end

        float zTop() const { return zBottom - height; }
        /// Whether (x, y) lies inside the footprint, widened by margin on every side.
        bool covers(float x, float y, float margin) const {
            const float c = std::cos(angle), s = std::sin(angle);
            const float u = (x - cx) * c + (y - cy) * s;
            const float v = -(x - cx) * s + (y - cy) * c;
            return std::fabs(u) <= length / 2 + margin && std::fabs(v) <= width / 2 + margin;
        }
    };

    /// A scan point; NaN coordinates mark a pixel without a return.
    struct Point {
        float x, y, z;
    };

    // The camera hangs 2.5 m above the floor; the floor is z = kFloorZ.
    static constexpr float kFloorZ = 2.5f;
    // A Euro pallet.
    static constexpr float kPalletLength = 1.2f;
    static constexpr float kPalletWidth = 0.8f;
    static constexpr float kPalletHeight = 0.144f;
    // A pallet on feet: its deck (boards and stringers) and its nine blocks.
    static constexpr float kDeckThickness = 0.044f;
    static constexpr float kFootLength = 0.145f;
    static constexpr float kFootWidth = 0.10f;
    // Gap between boxes standing side by side: wider than any sane cluster tolerance.
    static constexpr float kSideGap = 0.10f;
    // Depth noise of the camera (one standard deviation).
    static constexpr float kDefaultNoise = 0.001f;
    static constexpr std::size_t kDefaultPoints = 60000;
    static constexpr double kDegree = 3.14159265358979323846 / 180.0;
    // A bag's vertical edges are rounded by this share of its smaller side.
    static constexpr float kBagCornerShare = 0.2f;

    /// Floor plane a·x + b·y + c·z + d = 0 as the session row stores it.
    void Plane(float& a, float& b, float& c, float& d) const {
        a = 0.0f;
        b = 0.0f;
        c = 1.0f;
        d = -kFloorZ;
    }

    const std::vector<Box>& Boxes() const { return boxes; }

    /// Goods only, in the order they were added (the pallet is left out).
    std::vector<Box> Goods() const {
        std::vector<Box> goods;
        for (const auto& b : boxes) {
            if (!b.pallet) goods.push_back(b);
        }
        return goods;
    }

    /// z of the pallet's top face, or of the floor without a pallet.
    float PalletTopZ() const {
        for (const auto& b : boxes) {
            if (b.pallet) return b.zTop();
        }
        return kFloorZ;
    }

    /// Height of the goods over the pallet (or floor): what a depallet run should measure.
    float GoodsHeight() const {
        float top = PalletTopZ();
        for (const auto& b : boxes) {
            if (!b.pallet && b.zTop() < top) top = b.zTop();
        }
        return PalletTopZ() - top;
    }

    /// Adds a pallet on its feet: a deck over 3 x 3 blocks, floor and blocks seen between them.
    void AddPalletOnFeet(float angle) {
        AddPalletPart(kPalletLength, kPalletWidth, kDeckThickness, 0.0f, 0.0f, angle,
                      kFloorZ - kPalletHeight + kDeckThickness);
        const float c = std::cos(angle), s = std::sin(angle);
        for (int i = -1; i <= 1; ++i) {
            for (int j = -1; j <= 1; ++j) {
                const float u = i * (kPalletLength - kFootLength) / 2, v = j * (kPalletWidth - kFootWidth) / 2;
                AddPalletPart(kFootLength, kFootWidth, kPalletHeight - kDeckThickness, u * c - v * s, u * s + v * c,
                              angle, kFloorZ);
            }
        }
    }

    /// Adds a pallet on the floor.
    void AddPallet(float angle) {
        AddPalletPart(kPalletLength, kPalletWidth, kPalletHeight, 0.0f, 0.0f, angle, kFloorZ);
    }

    /// Adds a box standing on the face at zBottom.
    void AddBox(float length, float width, float height, float cx, float cy, float angle, float zBottom) {
        Box b;
        b.length = length;
        b.width = width;
        b.height = height;
        b.cx = cx;
        b.cy = cy;
        b.angle = angle;
        b.zBottom = zBottom;
        boxes.push_back(b);
    }

    /// Adds a speck of count points (debris) lying on the floor at (x, y).
    void AddSpeck(float x, float y, int count) { specks.push_back({x, y, count}); }

    /// A 0.6 × 0.4 × 0.5 m box on a pallet, both turned by angleDeg about the vertical.
    static ScanScene BoxOnPallet(double angleDeg) { return SingleBox(0.6f, 0.4f, 0.5f, 0.0f, 0.0f, angleDeg, true); }

    /// One box of length × width × height centred at (cx, cy), turned by angleDeg
    /// about the vertical, on the floor or on a pallet at the origin turned with it.
    static ScanScene SingleBox(float length, float width, float height, float cx, float cy, double angleDeg,
                               bool onPallet, bool palletFeet = false) {
        ScanScene s;
        const auto a = static_cast<float>(angleDeg * kDegree);
        if (onPallet && palletFeet) s.AddPalletOnFeet(a);
        else if (onPallet) s.AddPallet(a);
        s.AddBox(length, width, height, cx, cy, a, s.PalletTopZ());
        return s;
    }

    /// The shape of that name ("dome", "lying-cylinder", "bag", "wedge", "standing-cylinder"; "box" the box
    /// itself); false for another name.
    static bool ShapeByName(const std::string& name, Shape& shape) {
        if (name == "box") shape = Shape::kBlock;
        else if (name == "dome") shape = Shape::kDome;
        else if (name == "lying-cylinder") shape = Shape::kLyingCylinder;
        else if (name == "bag") shape = Shape::kBag;
        else if (name == "wedge") shape = Shape::kWedge;
        else if (name == "standing-cylinder") shape = Shape::kStandingCylinder;
        else return false;
        return true;
    }

    /// Goods of that shape enclosed by length × width × height, placed as SingleBox
    /// places its box. bulge (bag) and low (wedge) as in Box; a bag's edges are
    /// rounded by kBagCornerShare of its smaller side.
    static ScanScene SingleGoods(Shape shape, float length, float width, float height, float cx, float cy,
                                 double angleDeg, bool onPallet, bool palletFeet, float bulge, float low) {
        ScanScene s = SingleBox(length, width, height, cx, cy, angleDeg, onPallet, palletFeet);
        Box& goods = s.boxes.back();
        goods.shape = shape;
        goods.bulge = bulge;
        goods.low = low;
        goods.corner = std::min(length, width) * kBagCornerShare;
        return s;
    }

    /// Two boxes on the floor, kSideGap apart along x: 0.6 × 0.4 × 0.5 and 0.4 × 0.3 × 0.3.
    static ScanScene SideBySide(double angleDeg) {
        ScanScene s;
        s.AddPair(static_cast<float>(angleDeg * kDegree), kFloorZ);
        return s;
    }

    /// The two boxes of SideBySide standing on a pallet.
    static ScanScene PalletSideBySide(double angleDeg) {
        ScanScene s;
        const auto a = static_cast<float>(angleDeg * kDegree);
        s.AddPallet(a);
        s.AddPair(a, s.PalletTopZ());
        return s;
    }

    /// A 0.4 × 0.3 × 0.3 box centred on a 0.6 × 0.5 × 0.3 box on the floor.
    static ScanScene Stacked(double angleDeg) {
        ScanScene s;
        const auto a = static_cast<float>(angleDeg * kDegree);
        s.AddBox(0.6f, 0.5f, 0.3f, 0.0f, 0.0f, a, kFloorZ);
        s.AddBox(0.4f, 0.3f, 0.3f, 0.0f, 0.0f, a, kFloorZ - 0.3f);
        return s;
    }

    /// Goods that are no box: an upright cylinder of 0.4 m diameter and 0.5 m
    /// height on the floor, centred below the camera, built of 80 slabs side
    /// by side, each as long as the circle's chord at its middle: the outline
    /// keeps within a slab's width (5 mm) of the circle and touches it at the
    /// four extremes.
    static ScanScene Cylinder(double angleDeg) {
        ScanScene s;
        const auto a = static_cast<float>(angleDeg * kDegree);
        constexpr int kSlabs = 80;
        constexpr float kRadius = 0.2f;
        const float slab = 2 * kRadius / kSlabs;
        const float c = std::cos(a), sn = std::sin(a);
        for (int i = 0; i < kSlabs; ++i) {
            const float x = -kRadius + (static_cast<float>(i) + 0.5f) * slab;
            const float chord = 2 * std::sqrt(kRadius * kRadius - x * x);
            s.AddBox(slab, chord, 0.5f, c * x, sn * x, a, kFloorZ);
        }
        return s;
    }

    /// SideBySide plus specks of 5, 8 and 11 points well away from the boxes.
    static ScanScene SideBySideWithSpecks(double angleDeg) {
        ScanScene s = SideBySide(angleDeg);
        s.AddSpeck(-0.3f, 0.6f, 5);
        s.AddSpeck(0.0f, 0.6f, 8);
        s.AddSpeck(0.3f, 0.6f, 11);
        return s;
    }

    /// The preset scene of that name ("box-on-pallet", "side-by-side",
    /// "pallet-side-by-side", "stacked", "specks", "cylinder"); false for another name.
    static bool ByName(const std::string& name, double angleDeg, ScanScene& scene) {
        if (name == "box-on-pallet") scene = BoxOnPallet(angleDeg);
        else if (name == "side-by-side") scene = SideBySide(angleDeg);
        else if (name == "pallet-side-by-side") scene = PalletSideBySide(angleDeg);
        else if (name == "stacked") scene = Stacked(angleDeg);
        else if (name == "specks") scene = SideBySideWithSpecks(angleDeg);
        else if (name == "cylinder") scene = Cylinder(angleDeg);
        else return false;
        return true;
    }

    /// Samples the visible surfaces with about target points: a jittered grid
    /// on every face, depth noise of noise metres along the face's normal,
    /// and nanFraction of the points replaced by NaN. Same seed, same scan.
    std::vector<Point> Sample(std::size_t target, float noise, double nanFraction, unsigned seed) const {
        // Hidden faces make the first pass fall short; one correction lands within a few percent.
        std::vector<Point> first = SampleOnce(target, noise, nanFraction, seed);
        if (first.empty() || target == 0) return first;
        const double ratio = static_cast<double>(target) / static_cast<double>(first.size());
        return SampleOnce(static_cast<std::size_t>(static_cast<double>(target) * ratio), noise, nanFraction, seed);
    }

    /// Writes points as an ASCII PCD file (x, y, z); false when the file cannot be written.
    static bool WritePcd(const std::string& filename, const std::vector<Point>& points) {
        return WritePcd(filename, points, points.size(), 1);
    }

    /// The same for an organized scan of width × height points, row by row.
    static bool WritePcd(const std::string& filename, const std::vector<Point>& points, std::size_t width,
                         std::size_t height) {
        std::FILE* f = std::fopen(filename.c_str(), "w");
        if (!f) return false;
        std::fprintf(f,
                     "# .PCD v0.7 - Point Cloud Data file format\nVERSION 0.7\nFIELDS x y z\nSIZE 4 4 4\n"
                     "TYPE F F F\nCOUNT 1 1 1\nWIDTH %zu\nHEIGHT %zu\nVIEWPOINT 0 0 0 1 0 0 0\nPOINTS %zu\n"
                     "DATA ascii\n",
                     width, height, points.size());
        for (const auto& p : points) {
            if (std::isfinite(p.x)) {
                std::fprintf(f, "%.6f %.6f %.6f\n", p.x, p.y, p.z);
            } else {
                std::fputs("nan nan nan\n", f);
            }
        }
        const bool ok = std::ferror(f) == 0;
        return std::fclose(f) == 0 && ok;
    }

private:
    std::vector<Point> SampleOnce(std::size_t target, float noise, double nanFraction, unsigned seed) const {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> jitter(-0.5f, 0.5f);
        std::normal_distribution<float> depth(0.0f, noise > 0 ? noise : 0.0f);
        std::bernoulli_distribution missing(nanFraction > 0 ? nanFraction : 0.0);
        auto offset = [&]() { return noise > 0 ? depth(rng) : 0.0f; };

        double area = 0.0;
        for (const auto& b : boxes) {
            area += b.length * b.width + 2.0 * (b.length + b.width) * b.height;
        }
        const float step = static_cast<float>(std::sqrt(area / static_cast<double>(target ? target : 1)));

        std::vector<Point> points;
        points.reserve(target + target / 8);
        auto emit = [&](float x, float y, float z) {
            if (missing(rng)) {
                const float nan = std::numeric_limits<float>::quiet_NaN();
                points.push_back({nan, nan, nan});
            } else {
                points.push_back({x, y, z});
            }
        };

        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const Box& b = boxes[i];
            const float c = std::cos(b.angle), s = std::sin(b.angle);
            auto world = [&](float u, float v, float& x, float& y) {
                x = b.cx + u * c - v * s;
                y = b.cy + u * s + v * c;
            };
            // Top face.
            const int nu = Cells(b.length, step), nv = Cells(b.width, step);
            for (int iu = 0; iu < nu; ++iu) {
                for (int iv = 0; iv < nv; ++iv) {
                    const float u = ((iu + 0.5f + jitter(rng)) / nu - 0.5f) * b.length;
                    const float v = ((iv + 0.5f + jitter(rng)) / nv - 0.5f) * b.width;
                    float x, y;
                    world(u, v, x, y);
                    const float z = b.zTop() + offset();
                    if (!Hidden(i, x, y, b.zTop())) emit(x, y, z);
                }
            }
            // The four sides; the noise moves a point off its side, outward or inward.
            const int nh = Cells(b.height, step);
            for (int side = 0; side < 4; ++side) {
                const bool alongU = side < 2;
                const float sign = (side % 2 == 0) ? 1.0f : -1.0f;
                const float extent = alongU ? b.length : b.width;
                const int ne = Cells(extent, step);
                for (int ie = 0; ie < ne; ++ie) {
                    for (int ih = 0; ih < nh; ++ih) {
                        const float e = ((ie + 0.5f + jitter(rng)) / ne - 0.5f) * extent;
                        const float z = b.zTop() + (ih + 0.5f + jitter(rng)) / nh * b.height;
                        const float n = offset();
                        const float u = alongU ? e : sign * (b.length / 2 + n);
                        const float v = alongU ? sign * (b.width / 2 + n) : e;
                        float x, y;
                        world(u, v, x, y);
                        if (!Hidden(i, x, y, z)) emit(x, y, z);
                    }
                }
            }
        }
        for (const auto& speck : specks) {
            for (int k = 0; k < speck.count; ++k) {
                emit(speck.x + 0.001f * k, speck.y, kFloorZ - kSpeckHeight);
            }
        }
        return points;
    }

    struct Speck {
        float x, y;
        int count;
    };
    // Debris lies this far above the floor.
    static constexpr float kSpeckHeight = 0.005f;
    // A face point this close to the foot of a box above it is already under it.
    static constexpr float kContact = 1e-4f;

    static int Cells(float extent, float step) {
        const int n = static_cast<int>(std::lround(extent / step));
        return n > 0 ? n : 1;
    }

    /// Whether another box stands over (x, y) above height z, hiding the point from the camera.
    bool Hidden(std::size_t self, float x, float y, float z) const {
        for (std::size_t j = 0; j < boxes.size(); ++j) {
            if (j != self && boxes[j].zBottom <= z + kContact && boxes[j].covers(x, y, 0.0f)) return true;
        }
        return false;
    }

    /// A box of the pallet: the whole pallet, or its deck or a block.
    void AddPalletPart(float length, float width, float height, float cx, float cy, float angle, float zBottom) {
        AddBox(length, width, height, cx, cy, angle, zBottom);
        boxes.back().pallet = true;
    }

    void AddPair(float angle, float zBottom) {
        // Centres along the turned x axis so that the gap between the two stays kSideGap.
        const float c = std::cos(angle), s = std::sin(angle);
        const float span = 0.6f + kSideGap + 0.4f;
        const float firstCentre = -span / 2 + 0.6f / 2;
        const float secondCentre = span / 2 - 0.4f / 2;
        AddBox(0.6f, 0.4f, 0.5f, firstCentre * c, firstCentre * s, angle, zBottom);
        AddBox(0.4f, 0.3f, 0.3f, secondCentre * c, secondCentre * s, angle, zBottom);
    }

    std::vector<Box> boxes;
    std::vector<Speck> specks;
};
