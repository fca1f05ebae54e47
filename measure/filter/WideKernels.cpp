// The neighbour search's wide kernels, compiled for 512-bit vectors and run
// only where the processor has them. Built with -ffp-contract=off: every
// lane rounds as the scalar search does.
#include "measure/filter/WideKernels.h"

#include <immintrin.h>

// The compiler's own vector headers leave the unused lanes of min and max
// "undefined" by reading a variable before it is set, which it then warns about.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <algorithm>
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

/// The values of the lanes `step` apart swapped (step 1, 2, 4 or 8).
template <int Step>
KELVO_WIDE inline __m512 Partner(__m512 v) {
    if constexpr (Step == 1) {
        return _mm512_permute_ps(v, 0xB1);
    } else if constexpr (Step == 2) {
        return _mm512_permute_ps(v, 0x4E);
    } else if constexpr (Step == 4) {
        return _mm512_shuffle_f32x4(v, v, 0xB1);
    } else {
        return _mm512_shuffle_f32x4(v, v, 0x4E);
    }
}

/// One compare-exchange of places `Step` apart within register `R` at stage
/// `Size`: the upper place of a pair takes the larger value in an ascending
/// run, the smaller in a descending one.
template <int Size, int Step, int R>
KELVO_WIDE inline void WithinRegister(__m512& v) {
    const __m512 other = Partner<Step>(v);
    const __m512 low = _mm512_min_ps(v, other);
    const __m512 high = _mm512_max_ps(v, other);
    constexpr auto takesHigh = static_cast<__mmask16>(LanesWith(Step) ^ Descending(Size, R));
    v = _mm512_mask_blend_ps(takesHigh, low, high);
}

/// One compare-exchange of the same lanes of registers `A` and `B`.
template <int Size, int A>
KELVO_WIDE inline void AcrossRegisters(__m512& a, __m512& b) {
    const __m512 low = _mm512_min_ps(a, b);
    const __m512 high = _mm512_max_ps(a, b);
    constexpr bool down = Descending(Size, A) != 0;
    a = down ? high : low;
    b = down ? low : high;
}

/// The steps of stage `Size` of a bitonic sort over four registers, from `Step` down to 1.
template <int Size, int Step>
KELVO_WIDE inline void Merge(__m512& r0, __m512& r1, __m512& r2, __m512& r3) {
    if constexpr (Step == 2 * kLanes) {
        AcrossRegisters<Size, 0>(r0, r2);
        AcrossRegisters<Size, 1>(r1, r3);
    } else if constexpr (Step == kLanes) {
        AcrossRegisters<Size, 0>(r0, r1);
        AcrossRegisters<Size, 2>(r2, r3);
    } else {
        WithinRegister<Size, Step, 0>(r0);
        WithinRegister<Size, Step, 1>(r1);
        WithinRegister<Size, Step, 2>(r2);
        WithinRegister<Size, Step, 3>(r3);
    }
    if constexpr (Step > 1) {
        Merge<Size, Step / 2>(r0, r1, r2, r3);
    }
}

/// A bitonic sort of 64 values in four registers: runs of each size sorted
/// alternately up and down, merged until one run ascends over all.
template <int Size = 2>
KELVO_WIDE inline void Sort(__m512& r0, __m512& r1, __m512& r2, __m512& r3) {
    Merge<Size, Size / 2>(r0, r1, r2, r3);
    if constexpr (Size < static_cast<int>(kWideSortMost)) {
        Sort<2 * Size>(r0, r1, r2, r3);
    }
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

KELVO_WIDE std::size_t WideKeep(const float* values, std::size_t count, float limit, float* out) {
    const __m512 most = _mm512_set1_ps(limit);
    std::size_t m = 0;
    for (std::size_t j = 0; j < count; j += kLanes) {
        const __mmask16 live = FirstLanes(count - j);
        const __m512 v = _mm512_maskz_loadu_ps(live, values + j);
        const __mmask16 keep = _mm512_mask_cmp_ps_mask(live, v, most, _CMP_LE_OQ);
        _mm512_storeu_ps(out + m, _mm512_maskz_compress_ps(keep, v));
        m += static_cast<std::size_t>(__builtin_popcount(keep));
    }
    return m;
}

KELVO_WIDE void WideRoots(const float* values, std::size_t count, double* roots) {
    constexpr std::size_t kDoubles = kLanes / 2;
    for (std::size_t j = 0; j < count; j += kDoubles) {
        const __mmask16 live = FirstLanes(std::min(count - j, kDoubles));
        const __m512 narrow = _mm512_maskz_loadu_ps(live, values + j);
        const __m512d wide = _mm512_cvtps_pd(_mm512_castps512_ps256(narrow));
        _mm512_mask_storeu_pd(roots + j, static_cast<__mmask8>(live), _mm512_sqrt_pd(wide));
    }
}

KELVO_WIDE void WideSort(float* values, std::size_t count) {
    const __m512 padding = _mm512_set1_ps(INFINITY);
    __m512 r[kRegisters];
    for (int i = 0; i < kRegisters; ++i) {
        const std::size_t base = static_cast<std::size_t>(i) * kLanes;
        const __mmask16 live = count > base ? FirstLanes(count - base) : 0;
        r[i] = _mm512_mask_loadu_ps(padding, live, values + base);
    }
    Sort(r[0], r[1], r[2], r[3]);
    for (int i = 0; i < kRegisters; ++i) {
        const std::size_t base = static_cast<std::size_t>(i) * kLanes;
        if (count > base) {
            _mm512_mask_storeu_ps(values + base, FirstLanes(count - base), r[i]);
        }
    }
}

}  // namespace outliers
