#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>

namespace geom {

/// Fixed-size vector of N components of type Real; exact when Real is an exact number type.
template <int32_t N, typename Real>
class Vector {
public:
    /// All components zero.
    Vector() { MakeZero(); }

    /// Copies the leading values of the list; components the list does not reach are zero.
    Vector(std::initializer_list<Real> values) {
        int32_t const numValues = static_cast<int32_t>(values.size());
        int32_t i = 0;
        for (auto const& value : values) {
            if (i == N) {
                break;
            }
            tuple[i++] = value;
        }
        for (i = (numValues < N ? numValues : N); i < N; ++i) {
            tuple[i] = Real(0);
        }
    }

    /// Copies the components of an array.
    explicit Vector(std::array<Real, N> const& values) : tuple(values) {}

    /// Number of components.
    static constexpr int32_t GetSize() { return N; }

    /// Component i.
    Real const& operator[](int32_t i) const { return tuple[i]; }
    /// Component i, writable.
    Real& operator[](int32_t i) { return tuple[i]; }

    /// Sets every component to zero.
    void MakeZero() {
        for (auto& component : tuple) {
            component = Real(0);
        }
    }

    /// Sets component d to one and every other to zero.
    void MakeUnit(int32_t d) {
        MakeZero();
        if (0 <= d && d < N) {
            tuple[d] = Real(1);
        }
    }

    /// The zero vector.
    static Vector Zero() { return Vector(); }

    /// The unit vector along axis d.
    static Vector Unit(int32_t d) {
        Vector v;
        v.MakeUnit(d);
        return v;
    }

    /// Both vectors have equal components.
    bool operator==(Vector const& other) const {
        for (int32_t i = 0; i < N; ++i) {
            if (!(tuple[i] == other.tuple[i])) {
                return false;
            }
        }
        return true;
    }

    /// Some component differs.
    bool operator!=(Vector const& other) const { return !(*this == other); }

    /// Lexicographic order: first component first.
    bool operator<(Vector const& other) const {
        for (int32_t i = 0; i < N; ++i) {
            if (tuple[i] < other.tuple[i]) {
                return true;
            }
            if (other.tuple[i] < tuple[i]) {
                return false;
            }
        }
        return false;
    }

private:
    std::array<Real, N> tuple;
};

/// The vector itself.
template <int32_t N, typename Real>
Vector<N, Real> operator+(Vector<N, Real> const& v) {
    return v;
}

/// Componentwise negation.
template <int32_t N, typename Real>
Vector<N, Real> operator-(Vector<N, Real> const& v) {
    Vector<N, Real> result;
    for (int32_t i = 0; i < N; ++i) {
        result[i] = -v[i];
    }
    return result;
}

/// Componentwise sum.
template <int32_t N, typename Real>
Vector<N, Real> operator+(Vector<N, Real> const& a, Vector<N, Real> const& b) {
    Vector<N, Real> result = a;
    return result += b;
}

/// Componentwise difference.
template <int32_t N, typename Real>
Vector<N, Real> operator-(Vector<N, Real> const& a, Vector<N, Real> const& b) {
    Vector<N, Real> result = a;
    return result -= b;
}

/// Every component times a scalar.
template <int32_t N, typename Real>
Vector<N, Real> operator*(Vector<N, Real> const& v, Real const& scalar) {
    Vector<N, Real> result = v;
    return result *= scalar;
}

/// Every component times a scalar.
template <int32_t N, typename Real>
Vector<N, Real> operator*(Real const& scalar, Vector<N, Real> const& v) {
    Vector<N, Real> result = v;
    return result *= scalar;
}

/// Every component divided by a scalar; a zero scalar gives the zero vector.
template <int32_t N, typename Real>
Vector<N, Real> operator/(Vector<N, Real> const& v, Real const& scalar) {
    Vector<N, Real> result = v;
    return result /= scalar;
}

/// Adds b componentwise.
template <int32_t N, typename Real>
Vector<N, Real>& operator+=(Vector<N, Real>& a, Vector<N, Real> const& b) {
    for (int32_t i = 0; i < N; ++i) {
        a[i] += b[i];
    }
    return a;
}

/// Subtracts b componentwise.
template <int32_t N, typename Real>
Vector<N, Real>& operator-=(Vector<N, Real>& a, Vector<N, Real> const& b) {
    for (int32_t i = 0; i < N; ++i) {
        a[i] -= b[i];
    }
    return a;
}

/// Multiplies every component by a scalar.
template <int32_t N, typename Real>
Vector<N, Real>& operator*=(Vector<N, Real>& v, Real const& scalar) {
    for (int32_t i = 0; i < N; ++i) {
        v[i] *= scalar;
    }
    return v;
}

/// Divides every component by a scalar through its reciprocal, formed once; a zero scalar
/// gives the zero vector instead of a division by zero.
template <int32_t N, typename Real>
Vector<N, Real>& operator/=(Vector<N, Real>& v, Real const& scalar) {
    Real const zero(0);
    if (scalar == zero) {
        v.MakeZero();
        return v;
    }
    Real const inverse = Real(1) / scalar;
    for (int32_t i = 0; i < N; ++i) {
        v[i] *= inverse;
    }
    return v;
}

/// Sum of the componentwise products, accumulated from the first component on.
template <int32_t N, typename Real>
Real Dot(Vector<N, Real> const& a, Vector<N, Real> const& b) {
    Real result = a[0] * b[0];
    for (int32_t i = 1; i < N; ++i) {
        result = result + a[i] * b[i];
    }
    return result;
}

/// Euclidean length; for floating-point components only.
template <int32_t N, typename Real>
Real Length(Vector<N, Real> const& v) {
    return std::sqrt(Dot(v, v));
}

/// True when no component is a NaN or an infinity; for floating-point components only.
template <int32_t N, typename Real>
bool IsFinite(Vector<N, Real> const& v) {
    for (int32_t i = 0; i < N; ++i) {
        if (!std::isfinite(v[i])) {
            return false;
        }
    }
    return true;
}

/// Scales v to unit length and returns its former length; a zero vector stays zero. For
/// floating-point components only.
template <int32_t N, typename Real>
Real Normalize(Vector<N, Real>& v) {
    Real const sqrLength = Dot(v, v);
    bool const squaresInRange = sqrLength >= std::numeric_limits<Real>::min() &&
                                sqrLength <= std::numeric_limits<Real>::max();
    if (!squaresInRange && !std::isnan(sqrLength)) {
        // The squares of a vector shorter than about 1e-19 or longer than about 1e19 leave
        // the float range; its length is then taken with the largest component scaled to 1.
        Real largest(0);
        for (int32_t i = 0; i < N; ++i) {
            largest = std::max(largest, std::fabs(v[i]));
        }
        if (largest > Real(0) && std::isfinite(largest)) {
            Vector<N, Real> scaled;
            for (int32_t i = 0; i < N; ++i) {
                scaled[i] = v[i] / largest;
            }
            Real const scaledLength = std::sqrt(Dot(scaled, scaled));
            for (int32_t i = 0; i < N; ++i) {
                v[i] = scaled[i] / scaledLength;
            }
            return largest * scaledLength;
        }
    }
    Real const length = std::sqrt(sqrLength);
    if (length > Real(0)) {
        Real const inverse = Real(1) / length;
        for (int32_t i = 0; i < N; ++i) {
            v[i] = v[i] * inverse;
        }
    } else {
        v.MakeZero();
    }
    return length;
}

/// The vector turned a quarter turn clockwise: (v.y, -v.x).
template <typename Real>
Vector<2, Real> Perp(Vector<2, Real> const& v) {
    return Vector<2, Real>{v[1], -v[0]};
}

/// Dot(a, Perp(b)) = a.x * b.y - a.y * b.x, the signed area of the parallelogram of a and b.
template <typename Real>
Real DotPerp(Vector<2, Real> const& a, Vector<2, Real> const& b) {
    return a[0] * b[1] - a[1] * b[0];
}

}  // namespace geom
