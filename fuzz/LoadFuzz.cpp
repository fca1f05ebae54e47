#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/LoadFuzzInput.h"

namespace {

// One file per process, so that parallel jobs do not share it.
std::string& Scratch() {
    static std::string path;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    loadfuzz::ConfigFromEnvironment();
    const char* dir = std::getenv("TMPDIR");
    Scratch() = std::string(dir != nullptr ? dir : "/tmp") + "/kelvo-load-fuzz-" +
                std::to_string(::getpid()) + ".pcd";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    loadfuzz::RunChecked(data, size, Scratch());
    return 0;
}
