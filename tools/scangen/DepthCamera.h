#pragma once

#include "tools/scangen/GoodsShape.h"
#include "tools/scangen/ScanScene.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <utility>
#include <vector>

/// A depth camera hanging at the origin of a ScanScene, 2.5 m above the floor:
/// a pinhole looking along its +z, optionally tilted, that casts rays at the
/// scene's boxes and the floor and returns one range per pixel, as a real
/// time-of-flight camera does. The range noise grows with the square of the
/// range, pixels that straddle a depth edge return a mix of both surfaces,
/// some pixels return nothing, and the scanner's own floor removal drops what
/// lies within a tolerance of the floor. Output is organized: one point per
/// pixel, row by row, in the camera's frame.
class DepthCamera {
public:
    /// How the camera is built and set up.
    struct Settings {
        int width = 640;
        int height = 480;
        double fovXDeg = 70.0;  // full horizontal field of view
        double fovYDeg = 55.0;
        double tiltDeg = 0.0;   // turn about the camera's x axis
        double rollDeg = 0.0;   // then about its y axis
        double sigma1 = 0.0005; // range noise at 1 m (one standard deviation), metres
        bool mixedPixels = true;
        double missing = 0.01;  // share of pixels without a return
        bool missingAsZero = false;  // no return written as (0, 0, 0) instead of NaN, as some cameras do
        bool removeFloor = true;
        double floorTolerance = 0.015;  // metres from the floor plane that the scanner drops
        double mountHeight = ScanScene::kFloorZ;  // above the floor, as the station was calibrated
        double moved = 0.0;  // toward the floor since then (negative: away); the plane stays
        unsigned seed = 1;
    };

    /// What the light of one pixel met, before noise and losses.
    struct Pixel {
        bool hit = false;       // some sub-ray met a surface
        bool mixed = false;     // the sub-rays met more than one surface, or some met nothing
        double nearRange = 0;   // smallest range of the sub-rays that met a surface
        double farRange = 0;    // largest
        double range = 0;       // noise-free range returned along the pixel's central ray
    };

    // Sub-rays per pixel side: 3 × 3 over the pixel's footprint, the middle one on its central ray.
    static constexpr int kSubRays = 3;
    // The floor at the camera's vertical, in the scene's frame.
    static constexpr double kFloorDistance = ScanScene::kFloorZ;

    DepthCamera(const ScanScene& scene, const Settings& settings) : scene(scene), s(settings) {
        fx = s.width / 2.0 / std::tan(s.fovXDeg * ScanScene::kDegree / 2);
        fy = s.height / 2.0 / std::tan(s.fovYDeg * ScanScene::kDegree / 2);
        const double t = s.tiltDeg * ScanScene::kDegree, r = s.rollDeg * ScanScene::kDegree;
        // Camera to scene: R = Rx(tilt) · Ry(roll).
        const double ct = std::cos(t), st = std::sin(t), cr = std::cos(r), sr = std::sin(r);
        const double rx[3][3] = {{1, 0, 0}, {0, ct, -st}, {0, st, ct}};
        const double ry[3][3] = {{cr, 0, sr}, {0, 1, 0}, {-sr, 0, cr}};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                rot[i][j] = 0;
                for (int k = 0; k < 3; ++k) rot[i][j] += rx[i][k] * ry[k][j];
            }
        }
    }

    /// Floor plane a·x + b·y + c·z + d = 0 in the camera's frame, as the session
    /// row stores it: unit normal toward the floor, so d is minus the camera's
    /// height as calibrated (a camera moved since then sees its floor off it).
    void Plane(float& a, float& b, float& c, float& d) const {
        double n[3];
        FloorNormal(n);
        a = static_cast<float>(n[0]);
        b = static_cast<float>(n[1]);
        c = static_cast<float>(n[2]);
        d = static_cast<float>(-s.mountHeight);
    }

    /// Whether the camera is turned, so that the floor is not z = 2.5 in its frame.
    bool Tilted() const { return s.tiltDeg != 0.0 || s.rollDeg != 0.0; }

    /// Unit direction, in the camera's frame, of the ray through image point
    /// (px, py) (pixel u spans px from u to u + 1).
    void Ray(double px, double py, double d[3]) const {
        const double x = (px - s.width / 2.0) / fx, y = (py - s.height / 2.0) / fy;
        const double n = std::sqrt(x * x + y * y + 1.0);
        d[0] = x / n;
        d[1] = y / n;
        d[2] = 1.0 / n;
    }

    /// What pixel (u, v) sees without noise: the central ray's range, or where
    /// the pixel straddles surfaces (and mixed pixels are on) the mean of its
    /// sub-rays' ranges, each weighted by the light it brings back, which falls
    /// with the square of the range.
    Pixel Look(int u, int v) const {
        Pixel p;
        int centreObject = kNothing;
        int firstObject = kNothing - 1;
        double weighted = 0, weights = 0;
        for (int i = 0; i < kSubRays; ++i) {
            for (int j = 0; j < kSubRays; ++j) {
                double d[3];
                Ray(u + (i + 0.5) / kSubRays, v + (j + 0.5) / kSubRays, d);
                int object = kNothing;
                const double r = Cast(d, object);
                if (i == kSubRays / 2 && j == kSubRays / 2) {
                    centreObject = object;
                    p.range = r;
                }
                if (firstObject == kNothing - 1) firstObject = object;
                if (object != firstObject) p.mixed = true;
                if (object == kNothing) continue;
                if (!p.hit || r < p.nearRange) p.nearRange = r;
                if (!p.hit || r > p.farRange) p.farRange = r;
                p.hit = true;
                const double weight = 1.0 / (r * r);
                weighted += weight * r;
                weights += weight;
            }
        }
        if (!s.mixedPixels) {
            p.mixed = false;
            p.hit = centreObject != kNothing;
            if (p.hit) p.nearRange = p.farRange = p.range;
        } else if (p.mixed && p.hit) {
            p.range = weighted / weights;
        } else {
            p.hit = p.hit && centreObject != kNothing;
        }
        return p;
    }

    /// The organized scan, row by row (v outer, u inner), NaN (or zeros) where a pixel has no return.
    /// Same settings and seed, same scan: every pixel draws its noise and its loss.
    std::vector<ScanScene::Point> Scan() const {
        std::mt19937 rng(s.seed);
        std::normal_distribution<double> unit(0.0, 1.0);
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        float a, b, c, d;
        Plane(a, b, c, d);
        const float none = s.missingAsZero ? 0.0f : std::numeric_limits<float>::quiet_NaN();
        std::vector<ScanScene::Point> points;
        points.reserve(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
        for (int v = 0; v < s.height; ++v) {
            for (int u = 0; u < s.width; ++u) {
                const double noise = unit(rng);
                const bool lost = chance(rng) < s.missing;
                const Pixel p = Look(u, v);
                double ray[3];
                Ray(u + 0.5, v + 0.5, ray);
                const double r = p.range + s.sigma1 * p.range * p.range * noise;
                const double x = r * ray[0], y = r * ray[1], z = r * ray[2];
                const bool floor = s.removeFloor && std::fabs(a * x + b * y + c * z + d) <= s.floorTolerance;
                if (!p.hit || lost || floor || r <= 0) {
                    points.push_back({none, none, none});
                } else {
                    points.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
                }
            }
        }
        return points;
    }

    /// The points of a scan that are returns, in pixel order: the scan as a
    /// scanner delivers it that drops the pixels without one (unorganized).
    static std::vector<ScanScene::Point> Returns(const std::vector<ScanScene::Point>& scan) {
        std::vector<ScanScene::Point> returns;
        for (const auto& p : scan) {
            if (std::isfinite(p.x) && (p.x != 0 || p.y != 0 || p.z != 0)) returns.push_back(p);
        }
        return returns;
    }

private:
    static constexpr int kNothing = -1;

    /// Range along unit camera ray d to the first surface, and which object
    /// holds it (the boxes by index, the floor after them); kNothing and 0 when
    /// the ray meets nothing.
    double Cast(const double d[3], int& object) const {
        double w[3];
        for (int i = 0; i < 3; ++i) w[i] = rot[i][0] * d[0] + rot[i][1] * d[1] + rot[i][2] * d[2];
        double best = std::numeric_limits<double>::infinity();
        object = kNothing;
        const auto& boxes = scene.Boxes();
        // The camera hangs its height, less the move, above the scene's floor.
        const double cameraZ = kFloorDistance - (s.mountHeight - s.moved);
        for (std::size_t k = 0; k < boxes.size(); ++k) {
            const double t = Enter(boxes[k], w, cameraZ);
            if (t < best) {
                best = t;
                object = static_cast<int>(k);
            }
        }
        if (w[2] > 0) {
            const double t = (kFloorDistance - cameraZ) / w[2];
            if (t < best) {
                best = t;
                object = static_cast<int>(boxes.size());
            }
        }
        return object == kNothing ? 0.0 : best;
    }

    /// Range at which ray w (unit, scene frame, from (0, 0, cameraZ)) enters the box (or the goods it
    /// encloses), infinity when it misses.
    static double Enter(const ScanScene::Box& b, const double w[3], double cameraZ) {
        // In the box's own frame the box is [-L/2, L/2] × [-W/2, W/2] × [zTop, zBottom].
        const double c = std::cos(b.angle), sn = std::sin(b.angle);
        const double origin[3] = {-b.cx * c - b.cy * sn, b.cx * sn - b.cy * c, cameraZ};
        const double dir[3] = {w[0] * c + w[1] * sn, -w[0] * sn + w[1] * c, w[2]};
        if (b.shape != ScanScene::Shape::kBlock) return GoodsShape::Enter(b, origin, dir);
        const double lo[3] = {-b.length / 2.0, -b.width / 2.0, b.zTop()};
        const double hi[3] = {b.length / 2.0, b.width / 2.0, b.zBottom};
        double enter = 0.0, leave = std::numeric_limits<double>::infinity();
        for (int i = 0; i < 3; ++i) {
            if (dir[i] == 0.0) {
                if (origin[i] < lo[i] || origin[i] > hi[i]) return std::numeric_limits<double>::infinity();
                continue;
            }
            double t0 = (lo[i] - origin[i]) / dir[i], t1 = (hi[i] - origin[i]) / dir[i];
            if (t0 > t1) std::swap(t0, t1);
            if (t0 > enter) enter = t0;
            if (t1 < leave) leave = t1;
        }
        return enter <= leave && enter > 0.0 ? enter : std::numeric_limits<double>::infinity();
    }

    /// The floor's unit normal in the camera's frame: the scene's vertical carried back, Rᵀ·(0, 0, 1).
    void FloorNormal(double n[3]) const {
        for (int i = 0; i < 3; ++i) n[i] = rot[2][i];
    }

    const ScanScene& scene;
    Settings s;
    double fx = 1, fy = 1;
    double rot[3][3];
};
