// Reading a PCD file whole: the file itself, and which reader its DATA encoding calls for.
#include "cloud/pcd/PcdReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "cloud/pcd/PcdAscii.h"
#include "cloud/pcd/PcdCompressed.h"
#include "cloud/pcd/PcdHeader.h"
#include "cloud/pcd/PcdRecords.h"

namespace {

using namespace pcd;

PcdReader::Points Parse(const char* data, std::size_t size) {
    const Header h = ParseHeader(data, size);
    PcdReader::Points out;
    out.width = h.width;
    out.height = h.height;
    std::copy(h.origin, h.origin + 3, out.origin);
    std::copy(h.orientation, h.orientation + 4, out.orientation);
    const char* body = data + h.dataStart;
    const std::size_t bodySize = size - h.dataStart;
    switch (h.encoding) {
        case Encoding::kAscii:
            ReadAscii(h, body, body + bodySize, out);
            break;
        case Encoding::kBinary:
            ReadBinary(h, body, bodySize, out);
            break;
        case Encoding::kCompressed:
            ReadCompressed(h, body, bodySize, out);
            break;
    }
    return out;
}

/// Closes the descriptor however the read ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

}  // namespace

PcdReader::Points PcdReader::Read(const std::string& path) {
    auto unreadable = [&path](const std::string& why) {
        return std::runtime_error("Unable to read point cloud file: " + path + " (" + why + ")");
    };
    // Non-blocking, so that a named pipe in place of the scan cannot stall the run.
    Descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat st;
    if (file.fd < 0 || fstat(file.fd, &st) != 0) {
        throw unreadable(std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        throw unreadable("a folder, not a file");
    }
    if (!S_ISREG(st.st_mode)) {
        throw unreadable("not a regular file");
    }
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    std::unique_ptr<char[]> data(new char[size + 1]);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t r = read(file.fd, data.get() + got, size - got);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            throw unreadable(std::strerror(errno));
        }
        if (r == 0) {
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    try {
        return Parse(data.get(), got);
    } catch (const pcd::Malformed& m) {
        throw std::runtime_error("Malformed point cloud file: " + path + " (" + m.what + ")");
    }
}
