// The picture of a measured cloud. The points go straight into cairo's image
// buffer (one pixel block each, nearest point wins); the rectangle, the
// labels and the text are drawn with cairo on top, and the PNG is encoded in
// memory. Built as the module the tool loads only when it draws a picture;
// each part of the picture is drawn by the Snapshot* file named after it.
#include "cloud/snapshot/SnapshotPainter.h"

#include <cairo.h>

#include <memory>
#include <stdexcept>

#include "cloud/Cloud.h"
#include "cloud/snapshot/PngEncoder.h"
#include "cloud/snapshot/SnapshotHeader.h"
#include "cloud/snapshot/SnapshotLayout.h"
#include "cloud/snapshot/SnapshotPoints.h"
#include "cloud/snapshot/SnapshotScene.h"
#include "cloud/snapshot/SnapshotSideView.h"
#include "cloud/snapshot/SnapshotText.h"
#include "cloud/snapshot/SnapshotTopView.h"

namespace {

void Check(cairo_status_t status) {
    if (status != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error(cairo_status_to_string(status));
    }
}

}  // namespace

std::string SnapshotPainter::Paint(const Cloud& cloud, std::time_t runTime,
                                   Snapshot::Ground ground) {
    using namespace snapshot;
    const Fonts& fonts = TheFonts();
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, Snapshot::kWidth, Snapshot::kHeight),
        cairo_surface_destroy);
    Check(cairo_surface_status(surface.get()));
    const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()),
                                                                cairo_destroy);
    Check(cairo_status(cr.get()));
    Painter painter(cr.get(), fonts);

    painter.Fill({0, 0, Snapshot::kWidth, Snapshot::kHeight}, kPage);
    painter.Fill(kTopPanel, kViewBackground);
    painter.Fill(kSidePanel, kViewBackground);

    const Scene scene(cloud);
    const Shade shade(cloud.IsColorMapped(), scene.zTop, scene.zBottom);
    const Fit top = TopFit(scene);
    const SideView side(cloud, scene, ground);
    // The points go into the buffer between cairo's fills and its strokes.
    cairo_surface_flush(surface.get());
    Pixels pixels(cairo_image_surface_get_data(surface.get()),
                  cairo_image_surface_get_stride(surface.get()));
    PutTopPoints(pixels, cloud, scene, top, shade);
    PutSidePoints(pixels, cloud, scene, side, shade);
    cairo_surface_mark_dirty(surface.get());

    DrawTopOverlay(painter, cloud, scene, top);
    DrawSideOverlay(painter, cloud, scene, side, ground);
    DrawHeader(painter, cloud, runTime);
    Check(cairo_status(cr.get()));

    // cairo's own PNG writer has no settings, and its default compression
    // took four fifths of a picture's time.
    cairo_surface_flush(surface.get());
    return PngEncoder::Encode(cairo_image_surface_get_data(surface.get()), Snapshot::kWidth,
                              Snapshot::kHeight, cairo_image_surface_get_stride(surface.get()));
}

extern "C" __attribute__((visibility("default"))) bool kelvo_snapshot_paint(
    const Cloud* cloud, std::time_t runTime, int ground, std::string* png,
    std::string* fault) noexcept {
    try {
        *png = SnapshotPainter::Paint(*cloud, runTime, static_cast<Snapshot::Ground>(ground));
        return true;
    } catch (const std::exception& e) {
        *fault = e.what();
    } catch (...) {
        *fault = "unexpected failure";
    }
    return false;
}
