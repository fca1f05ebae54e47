#include "measure/QuietStderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

QuietStderr::QuietStderr() {
    std::fflush(stderr);
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull < 0) {
        return;
    }
    saved = ::dup(STDERR_FILENO);
    if (saved >= 0 && ::dup2(devNull, STDERR_FILENO) < 0) {
        ::close(saved);
        saved = -1;
    }
    ::close(devNull);
}

QuietStderr::~QuietStderr() {
    if (saved < 0) {
        return;
    }
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
}
