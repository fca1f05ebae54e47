#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "cloud/Cloud.h"
#include "cloud/CloudInfo.h"
#include "config/Config.h"

/// A PCD file of arbitrary bytes loaded and measured as a depallet run measures it. Shared
/// by the fuzz target and the test that replays the files it once failed on.
namespace loadfuzz {

// A plausible run: 2 cm cells, small corrections of both signs, a rainbow colour map and a
// pallet cut, so that every branch of the measurements can be reached.
constexpr float kResolution = 0.02f;
constexpr float kCorrection = 0.01f;
constexpr float kPalletHeightMm = 150.0f;
constexpr float kPalletCorrectionMm = 10.0f;
constexpr float kMinColorMapMm = 500.0f;
constexpr float kMaxColorMapMm = 3500.0f;
const char* const kRainbow = "4";
// Floor plane 2 m below the camera, as the scans are taken.
constexpr float kFloorDistance = 2.0f;

/// Reports a broken promise; the input stays in the corpus and the replay test reports it.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "load fuzz: %s\n", what);
    std::abort();
}

/// The settings a run reads, as the decode table and the command line would set them.
inline void Configure(Config& config) {
    config.SetInboundCorrextionH(kCorrection);
    config.SetInboundCorrextionL(-kCorrection);
    config.SetInboundCorrextionW(kCorrection);
    config.SetRealCorrextionH(kCorrection);
    config.SetRealCorrextionL(-kCorrection);
    config.SetRealCorrextionW(-kCorrection);
    config.SetOcTreeRealVolumeResolution(kResolution);
    config.SetMinColorMap(kMinColorMapMm);
    config.SetMaxColorMap(kMaxColorMapMm);
    config.SetColorMapType(kRainbow);
    config.SetPalletHeight(kPalletHeightMm);
    config.SetPalletCorrectionHeight(kPalletCorrectionMm);
}

/// The configuration from the bootstrap file that $KELVO_TEST_CONFIG names, set up for a run.
inline Config& ConfigFromEnvironment() {
    const char* path = std::getenv("KELVO_TEST_CONFIG");
    Config* config = path == nullptr ? nullptr : Config::GetInstance(path);
    if (config == nullptr) {
        Fail("no configuration: start a database (scripts/db-start.sh) and set KELVO_TEST_CONFIG");
    }
    Configure(*config);
    return *config;
}

/// Writes the bytes to `scratch`, loads them and, when they load, measures them as a run
/// does; returns the number of points loaded. Returns normally or throws a std::exception
/// that says what went wrong.
inline size_t Run(const uint8_t* data, size_t size, const std::string& scratch) {
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            Fail("cannot write the scratch file");
        }
    }
    Cloud cloud(CloudInfo(1, 1, 0, 1, "1", "", "", 0.0f, 0.0f, 1.0f, -kFloorDistance));
    cloud.Load(scratch);
    size_t const loaded = cloud.getCloud()->size();
    cloud.CalcInbound();
    cloud.CalcPackage();
    cloud.CalcReal();
    cloud.CalcDepallet();
    cloud.CalcInbound();
    cloud.CalcPackage();
    cloud.CalcReal();
    cloud.ColorMap();
    return loaded;
}

/// Run, with every refusal checked for a message.
inline void RunChecked(const uint8_t* data, size_t size, const std::string& scratch) {
    try {
        Run(data, size, scratch);
    } catch (const std::exception& e) {
        if (e.what() == nullptr || e.what()[0] == '\0') {
            Fail("an exception without a message");
        }
    }
}

}  // namespace loadfuzz
