#include <cstddef>
#include <cstdint>

#include "fuzz/GeomFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    geomfuzz::Run(data, size);
    return 0;
}
