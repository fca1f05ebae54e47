#pragma once

#include <array>
#include <cmath>
#include <vector>

#include "tools/scangen/DepthCamera.h"

namespace camera_goods {

/// What a cut `cut` metres over their support keeps of single goods scanned
/// by the camera model (range noise sigma1 at 1 m), with the pixel pitch on
/// their top: the goods of the bench's families, centred at (cx, cy) and
/// turned `angleDeg` about the camera's vertical, seen by `camera` (the
/// bench's first station unless given).
struct Scan {
    std::vector<std::array<float, 3>> points;
    float pitch = 0.0f;
};

/// The bench's second station: a wider camera 1.8 m over the floor.
inline DepthCamera::Settings WideStation() {
    DepthCamera::Settings wide;
    wide.width = 848;
    wide.fovXDeg = 86.0;
    wide.fovYDeg = 57.0;
    wide.mountHeight = 1.8;
    return wide;
}

inline Scan Cut(ScanScene::Shape shape, float length, float width, float height, float cx, float cy,
                double angleDeg, bool onPallet, double sigma1, float cut,
                DepthCamera::Settings camera = {}) {
    camera.sigma1 = sigma1;
    const ScanScene scene = ScanScene::SingleGoods(shape, length, width, height, cx, cy, angleDeg, onPallet,
                                                   false, height / 4, height / 2);
    // The camera's frame: the scene's, less the camera's place in it.
    const auto shift = static_cast<float>(ScanScene::kFloorZ - camera.mountHeight);
    const float bottom = scene.Boxes().back().zBottom - shift;
    Scan scan;
    for (const auto& p : DepthCamera(scene, camera).Scan()) {
        if (std::isfinite(p.z) && p.z < bottom - cut) scan.points.push_back({p.x, p.y, p.z});
    }
    const double pitchPerMetre = 2 * std::tan(camera.fovXDeg * ScanScene::kDegree / 2) / camera.width;
    scan.pitch = static_cast<float>((bottom - height) * pitchPerMetre);
    return scan;
}

}  // namespace camera_goods
