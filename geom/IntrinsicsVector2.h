#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "geom/Vector.h"

namespace geom {

/// Floating-point classification of a 2D point set as a point (dimension 0), a segment
/// (dimension 1) or a genuinely planar set (dimension 2), with the extreme points found on
/// the way.
template <typename Real>
class IntrinsicsVector2 {
public:
    /// Classifies `numVectors` points; an empty set, a null array or a negative epsilon keep
    /// the initial values (dimension 0). Without `farthestOffLine` a planar set is known as
    /// such at its first point off the line, and extreme[2] and counterClockwise stay unset.
    IntrinsicsVector2(int32_t numVectors, Vector<2, Real> const* v, Real inEpsilon,
                      bool farthestOffLine = true)
        : epsilon(inEpsilon),
          dimension(0),
          maxRange(Real(0)),
          extreme{0, 0, 0},
          counterClockwise(false) {
        min.MakeZero();
        max.MakeZero();
        origin.MakeZero();
        direction[0].MakeZero();
        direction[1].MakeZero();

        if (numVectors < 1 || v == nullptr || epsilon < Real(0)) {
            return;
        }

        // Extremes of each coordinate, with the index that first reached each of them.
        std::array<int32_t, 2> indexMin{0, 0};
        std::array<int32_t, 2> indexMax{0, 0};
        min = v[0];
        max = v[0];
        for (int32_t i = 1; i < numVectors; ++i) {
            for (int32_t j = 0; j < 2; ++j) {
                if (v[i][j] < min[j]) {
                    min[j] = v[i][j];
                    indexMin[j] = i;
                } else if (v[i][j] > max[j]) {
                    max[j] = v[i][j];
                    indexMax[j] = i;
                }
            }
        }

        maxRange = max[0] - min[0];
        extreme[0] = indexMin[0];
        extreme[1] = indexMax[0];
        Real const rangeY = max[1] - min[1];
        if (rangeY > maxRange) {
            maxRange = rangeY;
            extreme[0] = indexMin[1];
            extreme[1] = indexMax[1];
        }

        origin = v[extreme[0]];

        if (maxRange <= epsilon) {
            dimension = 0;
            extreme[1] = extreme[0];
            extreme[2] = extreme[0];
            return;
        }

        direction[0] = v[extreme[1]] - origin;
        if (!IsFinite(direction[0])) {
            // Ends more than the float range apart: halving both first keeps their
            // difference finite, and only the direction is needed.
            Real const half(0.5);
            direction[0] = half * v[extreme[1]] - half * origin;
        }
        Normalize(direction[0]);
        direction[1] = -Perp(direction[0]);

        Real maxDistance(0);
        int32_t maxSign = 0;
        extreme[2] = extreme[0];
        for (int32_t i = 0; i < numVectors; ++i) {
            Vector<2, Real> const diff = v[i] - origin;
            Real const distance = Dot(direction[1], diff);
            int32_t const sign = (distance > Real(0) ? 1 : (distance < Real(0) ? -1 : 0));
            Real const absDistance = std::fabs(distance);
            if (absDistance > maxDistance) {
                maxDistance = absDistance;
                maxSign = sign;
                extreme[2] = i;
                if (!farthestOffLine && maxDistance > epsilon * maxRange) {
                    break;
                }
            }
        }

        if (maxDistance <= epsilon * maxRange) {
            dimension = 1;
            extreme[2] = extreme[1];
        } else {
            dimension = 2;
            counterClockwise = (maxSign > 0);
        }
    }

    Real epsilon;
    int32_t dimension;
    Vector<2, Real> min, max;
    Real maxRange;
    Vector<2, Real> origin;
    std::array<Vector<2, Real>, 2> direction;
    std::array<int32_t, 3> extreme;
    bool counterClockwise;
};

}  // namespace geom
