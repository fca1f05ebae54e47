// The fixed-size binary records of a PCD file, interleaved or field by field.
#pragma once

#include <cstddef>

#include "cloud/pcd/PcdHeader.h"
#include "cloud/pcd/PcdReader.h"

namespace pcd {

/// x, y, z and density of fixed-size records; stride and start place each
/// field's values, so one routine serves both the interleaved and the
/// field-by-field (decompressed) layout.
void ReadRecords(const Header& h, const char* data, bool byField, PcdReader::Points& out);

/// True when nothing but line ends and blanks follow the data: some writers
/// end a binary file with a line break, which carries no points.
bool OnlyLineEnds(const char* s, const char* e);

/// The interleaved records of size bytes at s; throws Malformed when they
/// are not exactly the header's points, line ends aside.
void ReadBinary(const Header& h, const char* s, std::size_t size, PcdReader::Points& out);

}  // namespace pcd
