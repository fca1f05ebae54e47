#pragma once

#include <cstdint>

#include "geom/Vector.h"

namespace geom {

/// Exact position queries of points relative to directed lines, over a borrowed vertex array.
template <typename Real>
class PrimalQuery2 {
public:
    /// Where a point lies relative to the directed line through Q0 and Q1, extended to a
    /// classification along the line for collinear points.
    enum class LinePosition : int32_t {
        SameEndpoints = 0,
        AtFirstEndpoint = 1,
        AtSecondEndpoint = 2,
        PositiveSide = 3,
        NegativeSide = 4,
        CollinearBefore = 5,
        CollinearBeyond = 6,
        CollinearWithin = 7
    };

    /// No vertices.
    PrimalQuery2() = default;

    /// A query over `numVertices` vertices that the caller keeps alive.
    PrimalQuery2(int32_t numVertices, Vector<2, Real> const* vertices)
        : numVertices(numVertices), vertices(vertices) {}

    /// Replaces the vertex array; it is not copied.
    void Set(int32_t inNumVertices, Vector<2, Real> const* inVertices) {
        numVertices = inNumVertices;
        vertices = inVertices;
    }

    /// Number of vertices.
    int32_t GetNumVertices() const { return numVertices; }

    /// The vertex array given to Set.
    Vector<2, Real> const* GetVertices() const { return vertices; }

    /// Position of P relative to the directed line Q0 -> Q1: its side (positive is left), or
    /// for a point on the line whether it lies before Q0, beyond Q1 or on the closed segment.
    LinePosition ToLineExtended(Vector<2, Real> const& P, Vector<2, Real> const& Q0,
                                Vector<2, Real> const& Q1) const {
        Real const zero(0);
        Real const x0 = Q1[0] - Q0[0];
        Real const y0 = Q1[1] - Q0[1];
        if (x0 == zero && y0 == zero) {
            return LinePosition::SameEndpoints;
        }

        Real const x1 = P[0] - Q0[0];
        Real const y1 = P[1] - Q0[1];
        if (x1 == zero && y1 == zero) {
            return LinePosition::AtFirstEndpoint;
        }

        Real const x2 = P[0] - Q1[0];
        Real const y2 = P[1] - Q1[1];
        if (x2 == zero && y2 == zero) {
            return LinePosition::AtSecondEndpoint;
        }

        Real const det = x0 * y1 - x1 * y0;
        if (zero < det) {
            return LinePosition::PositiveSide;
        }
        if (det < zero) {
            return LinePosition::NegativeSide;
        }

        Real const dot = x0 * x1 + y0 * y1;
        if (dot < zero) {
            return LinePosition::CollinearBefore;
        }
        Real const sqrLength = x0 * x0 + y0 * y0;
        if (sqrLength < dot) {
            return LinePosition::CollinearBeyond;
        }
        return LinePosition::CollinearWithin;
    }

private:
    int32_t numVertices = 0;
    Vector<2, Real> const* vertices = nullptr;
};

}  // namespace geom
