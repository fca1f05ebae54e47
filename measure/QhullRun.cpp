#include "measure/QhullRun.h"

#include <cmath>
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

QhullRun::QhullRun(double* coords, std::size_t count, bool planes) {
    if (coords == nullptr) {
        return;
    }
    FILE* sink = Sink();
    if (sink == nullptr) {
        std::free(coords);
        return;
    }
    qhT state;
    qhT* qh = &state;
    QHULL_LIB_CHECK
    qh_zero(qh, sink);
    const int failed =
        qh_new_qhull(qh, kDimension, static_cast<int>(count), coords, True, kOptions, sink, sink);
    if (failed == 0) {
        qh_prepare_output(qh);
        built = true;
        volume = qh->totvol;
        area = qh->totarea;
        slack = std::fabs(qh->DISTround) + std::fabs(qh->max_outside) + std::fabs(qh->min_vertex);
        if (planes) {
            facetT* facet;
            FORALLfacets {
                facets.push_back(
                    {{facet->normal[0], facet->normal[1], facet->normal[2]}, facet->offset});
            }
        }
    }
    qh_freeqhull(qh, !qh_ALL);
    int curlong = 0;
    int totlong = 0;
    qh_memfreeshort(qh, &curlong, &totlong);
    std::fclose(sink);
}
