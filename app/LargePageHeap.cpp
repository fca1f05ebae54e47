// The process heap backed by the kernel's 2 MiB pages where it can be.
#include "app/LargePageHeap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace app {

namespace {

constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;

}  // namespace

void UseLargePageHeap(std::size_t reserve) {
    // Every block from the heap, which never shrinks: a mapping of its own
    // per large block would be faulted in small pages again each time, and
    // trimming would drop the advice given below with the range.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    // The heap grows once by the reserve; freeing it leaves the range as the
    // heap's free top, untouched and so not yet resident, for the blocks to come.
    void* block = std::malloc(reserve);
    if (block == nullptr) {
        return;
    }
    const auto from = (reinterpret_cast<std::uintptr_t>(block) + kLargePage - 1) & ~(kLargePage - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(block) + reserve) & ~(kLargePage - 1);
    if (to > from) {
        // Advice only: a kernel without large pages keeps small ones.
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
    std::free(block);
}

}  // namespace app
