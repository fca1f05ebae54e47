#include "measure/HullVolume.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libqhull_r/qhull_ra.h>
}

namespace {

constexpr int kDimension = 3;
// "FA" asks for the total area and volume; nothing else differs from a plain hull.
char kOptions[] = "qhull FA";

/// A stream that swallows everything: the library prints its summary and its
/// complaints about flat clouds to the streams it is given, and standard
/// error belongs to the tool's own messages.
FILE* Sink() {
    cookie_io_functions_t discard{};
    discard.write = [](void*, const char*, size_t size) -> ssize_t {
        return static_cast<ssize_t>(size);
    };
    return fopencookie(nullptr, "w", discard);
}

}  // namespace

double HullVolume::Of(const PointCloudRGB& cloud) {
    const std::size_t n = cloud.points.size();
    // Handed to the library, which frees it. Every value is written below,
    // so the block is not cleared first.
    auto* coords = static_cast<coordT*>(std::malloc(n * kDimension * sizeof(coordT)));
    if (coords == nullptr) {
        return 0.0;
    }
    for (std::size_t i = 0; i < n; ++i) {
        coords[kDimension * i + 0] = static_cast<coordT>(cloud.points[i].x);
        coords[kDimension * i + 1] = static_cast<coordT>(cloud.points[i].y);
        coords[kDimension * i + 2] = static_cast<coordT>(cloud.points[i].z);
    }

    FILE* sink = Sink();
    if (sink == nullptr) {
        std::free(coords);
        return 0.0;
    }
    qhT state;
    qhT* qh = &state;
    QHULL_LIB_CHECK
    qh_zero(qh, sink);
    const int failed = qh_new_qhull(qh, kDimension, static_cast<int>(n), coords, True, kOptions,
                                    sink, sink);
    double volume = 0.0;
    if (failed == 0) {
        qh_prepare_output(qh);
        volume = qh->totvol;
    }
    qh_freeqhull(qh, !qh_ALL);
    int curlong = 0;
    int totlong = 0;
    qh_memfreeshort(qh, &curlong, &totlong);
    std::fclose(sink);
    return volume;
}
