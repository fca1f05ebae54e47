#include "cloud/pcd/PcdWriter.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

#include "cloud/AtomicFile.h"
#include "cloud/BothCores.h"

namespace {

/// Significant digits of the coordinates: the library's default for ASCII files.
constexpr int kDataDigits = 8;
/// The viewpoint goes through a stream left at its default precision.
constexpr int kHeaderDigits = 6;
/// Below this many points a second thread costs more than it saves.
constexpr std::size_t kParallelPoints = 20000;
/// Rows formatted and written at a time: the text of a large cloud, some
/// 40 bytes a point, never stands whole in memory beside its points.
constexpr std::size_t kPiecePoints = 131072;
/// Longest row: three "-1.2345678e-38" and a ten-digit colour, blanks and line end.
constexpr std::size_t kMaxRowBytes = 3 * 15 + 11 + 1;

const char* const kFailure = "Unable to write point cloud file: ";

/// A float as a stream with the given precision writes it: widened to double, %g.
char* PutFloat(char* out, float v, int digits) {
    if (std::isnan(v)) {
        return std::copy_n("nan", 3, out);
    }
    return std::to_chars(out, out + 32, static_cast<double>(v), std::chars_format::general, digits)
        .ptr;
}

/// Formatted rows in a buffer sized for the longest rows and left
/// uninitialised: every byte that counts is written once, by the formatting.
struct Rows {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
};

Rows FormatRows(const pcl::PointXYZRGB* p, const pcl::PointXYZRGB* end) {
    Rows rows;
    rows.data.reset(new char[static_cast<std::size_t>(end - p) * kMaxRowBytes]);
    char* out = rows.data.get();
    for (; p != end; ++p) {
        out = PutFloat(out, p->x, kDataDigits);
        *out++ = ' ';
        out = PutFloat(out, p->y, kDataDigits);
        *out++ = ' ';
        out = PutFloat(out, p->z, kDataDigits);
        *out++ = ' ';
        // The colour's bits as an unsigned integer: several opaque colours read as float are NaN.
        out = std::to_chars(out, out + 11, p->rgba).ptr;
        *out++ = '\n';
    }
    rows.size = static_cast<std::size_t>(out - rows.data.get());
    return rows;
}

std::string Header(const pcl::PointCloud<pcl::PointXYZRGB>& cloud) {
    char view[7 * 16];
    char* out = view;
    const float values[7] = {cloud.sensor_origin_[0],       cloud.sensor_origin_[1],
                             cloud.sensor_origin_[2],       cloud.sensor_orientation_.w(),
                             cloud.sensor_orientation_.x(), cloud.sensor_orientation_.y(),
                             cloud.sensor_orientation_.z()};
    for (int i = 0; i < 7; ++i) {
        *out++ = ' ';
        out = PutFloat(out, values[i], kHeaderDigits);
    }
    return "# .PCD v0.7 - Point Cloud Data file format\nVERSION 0.7\nFIELDS x y z rgb\n"
           "SIZE 4 4 4 4\nTYPE F F F U\nCOUNT 1 1 1 1\nWIDTH " +
           std::to_string(cloud.width) + "\nHEIGHT " + std::to_string(cloud.height) +
           "\nVIEWPOINT" + std::string(view, out) + "\nPOINTS " + std::to_string(cloud.size()) +
           "\nDATA ascii\n";
}

/// The rows in two halves, the second formatted on its own thread when there are many.
void AllRows(const pcl::PointXYZRGB* begin, const pcl::PointXYZRGB* end, Rows& first,
             Rows& second) {
    const auto count = static_cast<std::size_t>(end - begin);
    if (count < kParallelPoints || std::thread::hardware_concurrency() < 2) {
        first = FormatRows(begin, end);
        return;
    }
    const pcl::PointXYZRGB* middle = begin + count / 2;
    BothCores([&second, middle, end] { second = FormatRows(middle, end); },
              [&first, begin, middle] { first = FormatRows(begin, middle); });
}

/// Hands `put` the text of every row, in order, a piece of at most
/// kPiecePoints rows at a time.
template <typename Put>
void ForEachPiece(const pcl::PointCloud<pcl::PointXYZRGB>& cloud, const Put& put) {
    const pcl::PointXYZRGB* p = cloud.points.data();
    const pcl::PointXYZRGB* const end = p + cloud.size();
    while (p != end) {
        const pcl::PointXYZRGB* const next =
            p + std::min(kPiecePoints, static_cast<std::size_t>(end - p));
        Rows first, second;
        AllRows(p, next, first, second);
        put(first.data.get(), first.size);
        put(second.data.get(), second.size);
        p = next;
    }
}

}  // namespace

std::string PcdWriter::Text(const pcl::PointCloud<pcl::PointXYZRGB>& cloud) {
    std::string text = Header(cloud);
    ForEachPiece(cloud, [&text](const char* data, std::size_t size) { text.append(data, size); });
    return text;
}

void PcdWriter::Write(const std::string& path, const pcl::PointCloud<pcl::PointXYZRGB>& cloud) {
    if (std::size_t{cloud.width} * cloud.height != cloud.size()) {
        throw std::runtime_error(kFailure + path + " (WIDTH x HEIGHT is not the number of points)");
    }
    AtomicFile file(path, kFailure);
    file.Write(Header(cloud));
    ForEachPiece(cloud, [&file](const char* data, std::size_t size) { file.Write(data, size); });
    file.Commit();
}
