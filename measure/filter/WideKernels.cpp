// The neighbour search's wide kernels, compiled for 512-bit vectors and run
// only where the processor has them. Built with -ffp-contract=off: every
// lane rounds as the scalar search does.
#include "measure/filter/WideKernels.h"

#include <immintrin.h>

// The compiler's own vector headers leave the unused lanes of min and max
// "undefined" by reading a variable before it is set, which it then warns about.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <cmath>

#define KELVO_WIDE __attribute__((target("avx512f")))

namespace outliers {

namespace {

constexpr int kLanes = 16;
constexpr int kRegisters = static_cast<int>(kWideSortMost) / kLanes;

/// The lanes whose number has `bit` set (bit 1, 2, 4 or 8).
constexpr unsigned LanesWith(int bit) {
    return bit == 1 ? 0xAAAAu : bit == 2 ? 0xCCCCu : bit == 4 ? 0xF0F0u : 0xFF00u;
}

/// The lanes of register `r` that belong to a descending run at stage `size`
/// of the bitonic sort: those whose place r * 16 + lane has `size` set.
constexpr unsigned Descending(int size, int r) {
    return size < kLanes ? LanesWith(size) : ((r * kLanes) & size) != 0 ? 0xFFFFu : 0u;
}

KELVO_WIDE __mmask16 FirstLanes(std::size_t count) {
    return count >= kLanes ? static_cast<__mmask16>(0xFFFF)
                           : static_cast<__mmask16>((1u << count) - 1u);
}

}  // namespace

bool WideKernelsRun() {
    static const bool supported = __builtin_cpu_supports("avx512f");
    return supported;
}

KELVO_WIDE std::size_t WideGather(const float* xs, const float* ys, const float* zs,
                                  std::uint32_t from, std::uint32_t to, float x, float y, float z,
                                  float limit, float* out) {
    const __m512 qx = _mm512_set1_ps(x);
    const __m512 qy = _mm512_set1_ps(y);
    const __m512 qz = _mm512_set1_ps(z);
    const __m512 most = _mm512_set1_ps(limit);
    std::size_t m = 0;
    for (std::uint32_t j = from; j < to; j += kLanes) {
        const __mmask16 live = FirstLanes(to - j);
        const __m512 dx = _mm512_sub_ps(qx, _mm512_maskz_loadu_ps(live, xs + j));
        const __m512 dy = _mm512_sub_ps(qy, _mm512_maskz_loadu_ps(live, ys + j));
        const __m512 dz = _mm512_sub_ps(qz, _mm512_maskz_loadu_ps(live, zs + j));
        const __m512 d = _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(dx, dx), _mm512_mul_ps(dy, dy)),
                                       _mm512_mul_ps(dz, dz));
        const __mmask16 keep = _mm512_mask_cmp_ps_mask(live, d, most, _CMP_LE_OQ);
        // Packed in a register and stored whole: a packing store to memory is slow on some cores.
        _mm512_storeu_ps(out + m, _mm512_maskz_compress_ps(keep, d));
        m += static_cast<std::size_t>(__builtin_popcount(keep));
    }
    return m;
}

KELVO_WIDE void WideSort(float* values, std::size_t count) {
    __m512 r[kRegisters];
    const __m512 padding = _mm512_set1_ps(INFINITY);
    for (int i = 0; i < kRegisters; ++i) {
        const std::size_t base = static_cast<std::size_t>(i) * kLanes;
        const __mmask16 live = count > base ? FirstLanes(count - base) : 0;
        r[i] = _mm512_mask_loadu_ps(padding, live, values + base);
    }
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    // A bitonic sort: runs of `size` sorted alternately up and down, merged
    // by comparing places `step` apart, until one run ascends over all.
    for (int size = 2; size <= static_cast<int>(kWideSortMost); size *= 2) {
        for (int step = size / 2; step >= 1; step /= 2) {
            if (step >= kLanes) {
                const int apart = step / kLanes;
                for (int a = 0; a < kRegisters; ++a) {
                    const int b = a ^ apart;
                    if (b < a) {
                        continue;
                    }
                    const __m512 low = _mm512_min_ps(r[a], r[b]);
                    const __m512 high = _mm512_max_ps(r[a], r[b]);
                    const bool down = Descending(size, a) != 0;
                    r[a] = down ? high : low;
                    r[b] = down ? low : high;
                }
                continue;
            }
            const __m512i partner = _mm512_xor_si512(lane, _mm512_set1_epi32(step));
            for (int a = 0; a < kRegisters; ++a) {
                const __m512 other = _mm512_permutexvar_ps(partner, r[a]);
                const __m512 low = _mm512_min_ps(r[a], other);
                const __m512 high = _mm512_max_ps(r[a], other);
                // The upper place of a pair takes the larger value in an
                // ascending run, the smaller in a descending one.
                const auto takesHigh =
                    static_cast<__mmask16>(LanesWith(step) ^ Descending(size, a));
                r[a] = _mm512_mask_blend_ps(takesHigh, low, high);
            }
        }
    }
    for (int i = 0; i < kRegisters; ++i) {
        const std::size_t base = static_cast<std::size_t>(i) * kLanes;
        if (count > base) {
            _mm512_mask_storeu_ps(values + base, FirstLanes(count - base), r[i]);
        }
    }
}

}  // namespace outliers
