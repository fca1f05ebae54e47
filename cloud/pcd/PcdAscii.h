// The ASCII rows of a PCD file, read as the library reads them, on two threads when large.
#pragma once

#include "cloud/pcd/PcdHeader.h"
#include "cloud/pcd/PcdReader.h"

namespace pcd {

/// x, y, z and density of the rows from s to e into out; throws Malformed
/// naming the line of the first fault.
void ReadAscii(const Header& h, const char* s, const char* e, PcdReader::Points& out);

}  // namespace pcd
