#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "geom/Vector.h"

namespace geomtest {

using Point = geom::Vector<2, float>;

/// A named family of random planar point sets that stress hull and rectangle code.
struct PointSetFamily {
    std::string name;
    std::vector<Point> (*make)(std::mt19937& rng, int32_t n);
};

inline float Uniform(std::mt19937& rng, float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
}

inline std::vector<Point> MakeUniform(std::mt19937& rng, int32_t n) {
    std::vector<Point> p(n);
    for (auto& q : p) {
        q = Point{Uniform(rng, -1.0f, 1.0f), Uniform(rng, -1.0f, 1.0f)};
    }
    return p;
}

// A few tight clusters: many nearly coincident points and near-degenerate turns.
inline std::vector<Point> MakeClustered(std::mt19937& rng, int32_t n) {
    std::vector<Point> centers(1 + rng() % 4);
    for (auto& c : centers) {
        c = Point{Uniform(rng, -10.0f, 10.0f), Uniform(rng, -10.0f, 10.0f)};
    }
    std::normal_distribution<float> noise(0.0f, 1e-4f);
    std::vector<Point> p(n);
    for (auto& q : p) {
        Point const& c = centers[rng() % centers.size()];
        q = Point{c[0] + noise(rng), c[1] + noise(rng)};
    }
    return p;
}

// Small integer grid: exact collinear runs on hull edges and many duplicates.
inline std::vector<Point> MakeGrid(std::mt19937& rng, int32_t n) {
    int32_t const size = 2 + static_cast<int32_t>(rng() % 6);
    std::vector<Point> p(n);
    for (auto& q : p) {
        q = Point{static_cast<float>(rng() % size), static_cast<float>(rng() % size)};
    }
    return p;
}

// Vertices of a regular polygon (rounded to float) with its centre and repeats.
inline std::vector<Point> MakeRegularPolygon(std::mt19937& rng, int32_t n) {
    int32_t const sides = 3 + static_cast<int32_t>(rng() % 30);
    float const radius = Uniform(rng, 0.1f, 100.0f);
    float const phase = (rng() % 2) ? 0.0f : Uniform(rng, 0.0f, 1.0f);
    std::vector<Point> p;
    for (int32_t i = 0; i < n; ++i) {
        double const t = phase + 2.0 * M_PI * (i % sides) / sides;
        p.push_back(Point{static_cast<float>(radius * std::cos(t)),
                          static_cast<float>(radius * std::sin(t))});
    }
    p.push_back(Point{0.0f, 0.0f});
    return p;
}

// Lattice polygon with 90-degree symmetry: many exactly equal rectangles.
inline std::vector<Point> MakeSymmetricLattice(std::mt19937& rng, int32_t n) {
    int32_t const a = 1 + static_cast<int32_t>(rng() % 5);
    int32_t const b = a + 1 + static_cast<int32_t>(rng() % 5);
    std::vector<Point> corners;
    int32_t const sx[4] = {1, -1, -1, 1};
    int32_t const sy[4] = {1, 1, -1, -1};
    for (int32_t q = 0; q < 4; ++q) {
        corners.push_back(Point{float(sx[q] * a), float(sy[q] * b)});
        corners.push_back(Point{float(sx[q] * b), float(sy[q] * a)});
    }
    std::vector<Point> p;
    for (int32_t i = 0; i < n; ++i) {
        p.push_back(corners[rng() % corners.size()]);
    }
    for (int32_t i = 0; i < n / 2; ++i) {
        p.push_back(Point{float(int32_t(rng() % (2 * a + 1)) - a),
                          float(int32_t(rng() % (2 * a + 1)) - a)});
    }
    return p;
}

// A rotated rectangle with interior points and points on its edges (the edge points are
// rounded, so some fall just outside).
inline std::vector<Point> MakeRotatedRectangle(std::mt19937& rng, int32_t n) {
    double const angle = Uniform(rng, 0.0f, 3.2f);
    double const w = Uniform(rng, 0.1f, 3.0f), h = Uniform(rng, 0.1f, 3.0f);
    double const cx = Uniform(rng, -5.0f, 5.0f), cy = Uniform(rng, -5.0f, 5.0f);
    double const c = std::cos(angle), s = std::sin(angle);
    auto place = [&](double u, double v) {
        return Point{static_cast<float>(cx + c * u - s * v),
                     static_cast<float>(cy + s * u + c * v)};
    };
    std::vector<Point> p;
    for (double u : {-w, w}) {
        for (double v : {-h, h}) {
            p.push_back(place(u, v));
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        double u = Uniform(rng, float(-w), float(w)), v = Uniform(rng, float(-h), float(h));
        switch (rng() % 3) {
            case 0:
                u = (rng() % 2) ? w : -w;
                break;
            case 1:
                v = (rng() % 2) ? h : -h;
                break;
            default:
                break;
        }
        p.push_back(place(u, v));
    }
    return p;
}

// Duplicates of a handful of points, with negative zeros among them.
inline std::vector<Point> MakeDuplicates(std::mt19937& rng, int32_t n) {
    std::vector<Point> base = {Point{0.0f, 0.0f}, Point{-0.0f, 1.0f}, Point{1.0f, -0.0f},
                               Point{Uniform(rng, -1, 1), Uniform(rng, -1, 1)},
                               Point{Uniform(rng, -1, 1), Uniform(rng, -1, 1)}};
    std::vector<Point> p;
    for (int32_t i = 0; i < n; ++i) {
        Point q = base[rng() % base.size()];
        if (q[0] == 0.0f && (rng() % 2)) {
            q[0] = -0.0f;
        }
        p.push_back(q);
    }
    return p;
}

// Points exactly on one line through integer steps, whose float distances need not be 0.
inline std::vector<Point> MakeExactlyCollinear(std::mt19937& rng, int32_t n) {
    float const dx = float(1 + rng() % 7), dy = float(int32_t(rng() % 15) - 7);
    float const ox = float(int32_t(rng() % 21) - 10), oy = float(int32_t(rng() % 21) - 10);
    std::vector<Point> p;
    for (int32_t i = 0; i < n; ++i) {
        float const t = float(int32_t(rng() % 41) - 20);
        p.push_back(Point{ox + t * dx, oy + t * dy});
    }
    return p;
}

// Points within a few float ulps of one line, plus an occasional point off it.
inline std::vector<Point> MakeNearlyCollinear(std::mt19937& rng, int32_t n) {
    double const slope = Uniform(rng, -3.0f, 3.0f);
    std::vector<Point> p;
    for (int32_t i = 0; i < n; ++i) {
        double const x = Uniform(rng, -1.0f, 1.0f);
        float y = static_cast<float>(slope * x);
        int32_t const ulps = int32_t(rng() % 5) - 2;
        for (int32_t k = 0; k < std::abs(ulps); ++k) {
            y = std::nextafter(y, ulps > 0 ? 10.0f : -10.0f);
        }
        p.push_back(Point{static_cast<float>(x), y});
    }
    return p;
}

// Uniform points scaled to tiny (subnormal included) or huge magnitudes, or mixing both.
inline std::vector<Point> MakeExtremeMagnitudes(std::mt19937& rng, int32_t n) {
    float const scales[] = {1e-40f, 1e-30f, 1e-5f, 1e20f, 1e35f};
    int32_t const mode = static_cast<int32_t>(rng() % 6);
    std::vector<Point> p = MakeUniform(rng, n);
    for (auto& q : p) {
        float const scale = mode < 5 ? scales[mode] : scales[rng() % 5];
        q = Point{q[0] * scale, q[1] * scale};
    }
    return p;
}

// Points on one line through the origin at scales from 2^-60 to 2^60, all other points on
// one side of it: hull edges whose collinear points span far more bits than a double holds.
inline std::vector<Point> MakeCollinearAcrossMagnitudes(std::mt19937& rng, int32_t n) {
    float const a = float(1 + rng() % 5), b = float(int32_t(rng() % 11) - 5);
    std::vector<Point> p;
    for (int32_t i = 0; i < n; ++i) {
        float const scale = std::ldexp(1.0f, int32_t(rng() % 121) - 60) * ((rng() % 2) ? 1 : -1);
        if (rng() % 2) {
            p.push_back(Point{a * scale, b * scale});
        } else {
            // Left of the direction (a, b): a positive multiple of (-b, a) plus any shift along it.
            float const t = Uniform(rng, 0.0f, 1.0f) * std::fabs(scale);
            float const u = Uniform(rng, -1.0f, 1.0f) * std::fabs(scale);
            p.push_back(Point{-b * t + a * u, a * t + b * u});
        }
    }
    return p;
}

// A box scan's footprint in miniature: a rotated top face plus side faces squeezed onto two
// of its edges, with measurement noise.
inline std::vector<Point> MakeScanFootprint(std::mt19937& rng, int32_t n) {
    double const angle = Uniform(rng, 0.0f, 1.6f);
    double const w = Uniform(rng, 0.2f, 0.6f), h = Uniform(rng, 0.2f, 0.6f);
    double const c = std::cos(angle), s = std::sin(angle);
    std::normal_distribution<double> noise(0.0, 0.001);
    std::vector<Point> p(n);
    for (auto& q : p) {
        double u = Uniform(rng, float(-w), float(w)), v = Uniform(rng, float(-h), float(h));
        uint32_t const face = rng() % 5;
        if (face == 0) {
            u = w;
        } else if (face == 1) {
            v = -h;
        }
        u += noise(rng);
        v += noise(rng);
        q = Point{static_cast<float>(1.0 + c * u - s * v),
                  static_cast<float>(-0.5 + s * u + c * v)};
    }
    return p;
}

inline std::vector<PointSetFamily> const& Families() {
    static std::vector<PointSetFamily> const families = {
        {"uniform", MakeUniform},
        {"clustered", MakeClustered},
        {"grid", MakeGrid},
        {"regular polygon", MakeRegularPolygon},
        {"symmetric lattice", MakeSymmetricLattice},
        {"rotated rectangle", MakeRotatedRectangle},
        {"duplicates", MakeDuplicates},
        {"exactly collinear", MakeExactlyCollinear},
        {"nearly collinear", MakeNearlyCollinear},
        {"extreme magnitudes", MakeExtremeMagnitudes},
        {"collinear across magnitudes", MakeCollinearAcrossMagnitudes},
        {"scan footprint", MakeScanFootprint},
    };
    return families;
}

}  // namespace geomtest
