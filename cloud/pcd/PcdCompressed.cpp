// The LZF-compressed fields of a binary_compressed PCD file.
#include "cloud/pcd/PcdCompressed.h"

#include <lzf.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "cloud/pcd/PcdRecords.h"

namespace pcd {

namespace {

constexpr std::uint32_t kMaxUnpackRatio = 88;

}  // namespace

void ReadCompressed(const Header& h, const char* s, std::size_t size, PcdReader::Points& out) {
    if (size < 8) {
        Fail("compressed data cut short");
    }
    std::uint32_t packed = 0;
    std::uint32_t unpacked = 0;
    std::memcpy(&packed, s, 4);
    std::memcpy(&unpacked, s + 4, 4);
    if (unpacked != h.pointStep * h.points) {
        Fail("compressed data holds " + Str(unpacked) + " bytes, " + Str(h.pointStep * h.points) +
             " expected");
    }
    if (packed > size - 8 || !OnlyLineEnds(s + 8 + packed, s + size)) {
        Fail("compressed size " + Str(packed) + " but " + Str(size - 8) + " bytes follow");
    }
    // The longest back reference, three bytes, repeats 264: nothing unpacks to more than 88
    // times its size, and the buffer is not allocated for a promise the data cannot keep.
    if (unpacked / kMaxUnpackRatio > packed) {
        Fail("compressed data of " + Str(packed) + " bytes cannot unpack to " + Str(unpacked));
    }
    std::unique_ptr<char[]> buf(new char[unpacked + 1]);
    if (lzf_decompress(s + 8, packed, buf.get(), unpacked) != unpacked) {
        Fail("compressed data does not unpack");
    }
    // The field-by-field layout puts field k after all values of fields before it.
    Header byField = h;
    std::size_t start = 0;
    for (Field& f : byField.fields) {
        f.offset = start;
        start += std::size_t{f.size} * f.count;
    }
    ReadRecords(byField, buf.get(), true, out);
}

}  // namespace pcd
