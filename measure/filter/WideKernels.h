// The neighbour search's inner loops on sixteen floats at a time, where the processor has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace outliers {

/// True when this processor runs the wide kernels below (512-bit vectors).
bool WideKernelsRun();

/// Appends to `out` the squared distances from (x, y, z) to the points
/// from..to of xs, ys, zs that do not exceed `limit`, formed as the scalar
/// search forms them, in point order; returns how many. `out` needs room for
/// 16 values beyond those appended.
std::size_t WideGather(const float* xs, const float* ys, const float* zs, std::uint32_t from,
                       std::uint32_t to, float x, float y, float z, float limit, float* out);

/// Copies to `out` the values that do not exceed `limit`, in order; returns
/// how many. `out` needs room for 16 values beyond those copied.
std::size_t WideKeep(const float* values, std::size_t count, float limit, float* out);

/// Sorts `count` values (at most kWideSortMost, no NaN) into ascending order.
constexpr std::size_t kWideSortMost = 64;
void WideSort(float* values, std::size_t count);

/// roots[j] = the square root of values[j] in double precision, for j below `count`.
void WideRoots(const float* values, std::size_t count, double* roots);

}  // namespace outliers
