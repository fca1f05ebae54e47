#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "tools/scangen/ScanScene.h"

/// Where a ray enters goods that are no plain box (ScanScene::Shape): a dome,
/// a cylinder lying down or standing on its end, a bag, a wedge. Each is a convex solid inside its
/// box L × W × H, written as the points where a few functions are all >= 0,
/// each concave or linear along any ray; the ray's stretch inside each is one
/// interval, and the solid's is their common part, so the entry is exact.
///
/// Coordinates are the box's own: u along its length, v along its width, both
/// from its centre, z the scene's (growing toward the floor); h = zBottom − z
/// is the height over the support.
class GoodsShape {
public:
    /// Range along ray (origin o, unit direction d, box frame) at which it enters the goods,
    /// infinity when it misses.
    static double Enter(const ScanScene::Box& b, const double o[3], const double d[3]) {
        const double halfL = b.length / 2.0, halfW = b.width / 2.0, height = b.height;
        // Linear functions of t along the ray: value at 0 and slope.
        const Linear u{o[0], d[0]}, v{o[1], d[1]}, h{b.zBottom - o[2], -d[2]};
        Span s;
        s.Keep(Quadratic::Of(h));  // h >= 0
        switch (b.shape) {
            case ScanScene::Shape::kDome: {
                // 1 − (u/(L/2))² − (v/(W/2))² − (h/H)² >= 0
                s.Keep(Quadratic{1.0, 0.0, 0.0} - Square(u.Scaled(1 / halfL)) -
                       Square(v.Scaled(1 / halfW)) - Square(h.Scaled(1 / height)));
                break;
            }
            case ScanScene::Shape::kLyingCylinder: {
                // Its axis along u at half the height: 1 − (v/(W/2))² − ((h − H/2)/(H/2))² >= 0,
                // |u| <= L/2.
                KeepSlab(u, halfL, s);
                s.Keep(Quadratic{1.0, 0.0, 0.0} - Square(v.Scaled(1 / halfW)) -
                       Square(Linear{h.at0 - height / 2, h.slope}.Scaled(2 / height)));
                break;
            }
            case ScanScene::Shape::kBag: {
                // Top: H − bulge · ((u/(L/2))² + (v/(W/2))²) − h >= 0; sides: the rounded
                // rectangle.
                s.Keep(Quadratic{height, 0.0, 0.0} -
                       (Square(u.Scaled(1 / halfL)) + Square(v.Scaled(1 / halfW))).Scaled(b.bulge) -
                       Quadratic::Of(h));
                KeepRoundedRectangle(u, v, halfL, halfW, b.corner, s);
                break;
            }
            case ScanScene::Shape::kWedge: {
                // Full height at u = −L/2, low at u = +L/2: low + (H − low)·(1/2 − u/L) − h >= 0.
                KeepSlab(u, halfL, s);
                KeepSlab(v, halfW, s);
                const double fall = (height - b.low) / b.length;
                s.Keep(Quadratic::Of(Linear{b.low + (height - b.low) / 2 - fall * u.at0 - h.at0,
                                            -fall * u.slope - h.slope}));
                break;
            }
            case ScanScene::Shape::kStandingCylinder:
                // 1 − (u/(L/2))² − (v/(W/2))² >= 0, h <= H.
                s.Keep(Quadratic{1.0, 0.0, 0.0} - Square(u.Scaled(1 / halfL)) -
                       Square(v.Scaled(1 / halfW)));
                s.Keep(Quadratic::Of(Linear{height - h.at0, -h.slope}));
                break;
            case ScanScene::Shape::kBlock:
                KeepSlab(u, halfL, s);
                KeepSlab(v, halfW, s);
                s.Keep(Quadratic::Of(Linear{height - h.at0, -h.slope}));
                break;
        }
        return s.enter <= s.leave && s.enter > 0.0 ? s.enter
                                                   : std::numeric_limits<double>::infinity();
    }

private:
    /// at0 + slope · t.
    struct Linear {
        double at0, slope;
        Linear Scaled(double k) const { return {at0 * k, slope * k}; }
    };

    /// c + b·t + a·t².
    struct Quadratic {
        double c, b, a;
        static Quadratic Of(const Linear& l) { return {l.at0, l.slope, 0.0}; }
        Quadratic Scaled(double k) const { return {c * k, b * k, a * k}; }
        Quadratic operator-(const Quadratic& q) const { return {c - q.c, b - q.b, a - q.a}; }
        Quadratic operator+(const Quadratic& q) const { return {c + q.c, b + q.b, a + q.a}; }
    };

    static Quadratic Square(const Linear& l) {
        return {l.at0 * l.at0, 2 * l.at0 * l.slope, l.slope * l.slope};
    }

    /// An interval of ranges, empty once enter > leave.
    struct Span {
        double enter = 0.0;
        double leave = std::numeric_limits<double>::infinity();

        /// Keeps the t where q(t) >= 0; q is concave (a <= 0) or linear, so that is one interval.
        void Keep(const Quadratic& q) {
            if (q.a == 0.0) {
                if (q.b == 0.0) {
                    if (q.c < 0.0) Clear();
                } else if (q.b > 0.0) {
                    enter = std::max(enter, -q.c / q.b);
                } else {
                    leave = std::min(leave, -q.c / q.b);
                }
                return;
            }
            const double disc = q.b * q.b - 4 * q.a * q.c;
            if (disc < 0.0) {
                Clear();
                return;
            }
            // The root formula that never subtracts nearly equal numbers.
            const double k = -0.5 * (q.b + std::copysign(std::sqrt(disc), q.b));
            double t0 = k / q.a, t1 = k != 0.0 ? q.c / k : t0;
            if (t0 > t1) std::swap(t0, t1);
            enter = std::max(enter, t0);
            leave = std::min(leave, t1);
        }
        void Clear() { enter = std::numeric_limits<double>::infinity(), leave = 0.0; }
        bool Empty() const { return enter > leave; }
    };

    /// |l| <= half.
    static void KeepSlab(const Linear& l, double half, Span& s) {
        s.Keep(Quadratic::Of(Linear{half - l.at0, -l.slope}));
        s.Keep(Quadratic::Of(Linear{half + l.at0, l.slope}));
    }

    /// (u, v) within the rectangle of half sides halfL × halfW whose corners are
    /// rounded with radius r: the union of two crossed rectangles and four discs,
    /// convex, so the ray's stretch in it runs from the first entry to the last exit.
    static void KeepRoundedRectangle(const Linear& u, const Linear& v, double halfL, double halfW,
                                     double r, Span& s) {
        Span all;
        all.Clear();
        auto unite = [&all](const Span& piece) {
            if (piece.Empty()) return;
            all.enter = std::min(all.enter, piece.enter);
            all.leave = std::max(all.leave, piece.leave);
        };
        Span across, along;
        KeepSlab(u, halfL, across);
        KeepSlab(v, halfW - r, across);
        KeepSlab(u, halfL - r, along);
        KeepSlab(v, halfW, along);
        unite(across);
        unite(along);
        for (const double cu : {-(halfL - r), halfL - r}) {
            for (const double cv : {-(halfW - r), halfW - r}) {
                Span disc;
                disc.Keep(Quadratic{r * r, 0.0, 0.0} - Square(Linear{u.at0 - cu, u.slope}) -
                          Square(Linear{v.at0 - cv, v.slope}));
                unite(disc);
            }
        }
        s.enter = std::max(s.enter, all.enter);
        s.leave = std::min(s.leave, all.leave);
    }
};
