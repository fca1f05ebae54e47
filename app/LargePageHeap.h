// The process heap backed by the kernel's 2 MiB pages where it can be.
#pragma once

#include <cstddef>

namespace app {

/// Room for the blocks of a run on about three million points; a larger scan
/// continues in small pages.
constexpr std::size_t kLargePageHeapBytes = std::size_t{512} << 20;

/// Moves every later allocation of the process into one heap whose address
/// range the kernel may back with 2 MiB pages: the points of a scan are read
/// once into a few arrays of tens of megabytes, and filling them 4 KiB page
/// by 4 KiB page costs more than parsing the numbers on a virtual machine.
///
/// Large blocks then come from the heap instead of a mapping of their own,
/// and freed memory stays with the process for the next large block. Called
/// once, at the start of main, before any thread starts; results never
/// depend on it. Does nothing when the heap cannot grow by `reserve` bytes.
void UseLargePageHeap(std::size_t reserve);

}  // namespace app
