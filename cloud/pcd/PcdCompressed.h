// The LZF-compressed fields of a binary_compressed PCD file.
#pragma once

#include <cstddef>

#include "cloud/pcd/PcdHeader.h"
#include "cloud/pcd/PcdReader.h"

namespace pcd {

/// The compressed block of size bytes at s, unpacked and read field by
/// field; throws Malformed when its sizes do not hold together or it does not unpack.
void ReadCompressed(const Header& h, const char* s, std::size_t size, PcdReader::Points& out);

}  // namespace pcd
