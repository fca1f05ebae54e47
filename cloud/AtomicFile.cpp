#include "cloud/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

AtomicFile::AtomicFile(std::string path_, std::string failure_)
    : path(std::move(path_)), failure(std::move(failure_)) {
    // Same folder, so that the rename never crosses file systems; hidden and
    // named after the process, so that readers of the folder and other runs
    // never take it for an output.
    const std::size_t slash = path.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    temp = path.substr(0, nameAt) + "." + path.substr(nameAt) + "." + std::to_string(getpid()) +
           ".tmp";
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(errno);
    }
}

AtomicFile::~AtomicFile() {
    if (fd >= 0) {
        close(fd);
    }
    if (!settled) {
        unlink(temp.c_str());
    }
}

void AtomicFile::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::Commit() {
    if (fsync(fd) != 0) {
        Fail(errno);
    }
    const int closing = close(fd);
    fd = -1;
    if (closing != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        Fail(errno);
    }
    settled = true;
}

void AtomicFile::Fail(int error) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
    unlink(temp.c_str());
    settled = true;
    throw std::runtime_error(failure + path + " (" + std::strerror(error) + ")");
}
