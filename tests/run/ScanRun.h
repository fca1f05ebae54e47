#pragma once

// Whole depallet and split runs on generated scans: the scan written where
// the object's row points, the settings such runs need, and readers for the
// files a run leaves behind.

#include "run/RunHarness.h"
#include "tools/scangen/ScanScene.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kelvo_test {

/// Points of a generated scan in these tests: dense enough for the outlier
/// filter and the clustering, small enough for quick runs.
constexpr std::size_t kScanPoints = 20000;
/// Pallet correction height of the runs, millimetres: clears the noise of the
/// pallet's top face.
constexpr const char* kPalletCorrectionMm = "10";

/// The decode rows that depallet and split runs rely on.
inline void SeedRunSettings(TestDatabase& db, Cleanup& cleanup) {
    SeedDecode(db, cleanup, "CONFIG", "pallet.correction.height", kPalletCorrectionMm, "D");
    SeedDecode(db, cleanup, "CONFIG", "octree.real.volume.resolution", "0.02", "D");
}

/// Pallet operation code of a row that waits for its pallet to be removed.
constexpr int kPalletToRemove = 2;

/// The object's row and session, and its scan written to data/sid/S<n>.pcd; returns the scan's path.
inline boost::filesystem::path SeedScan(TestDatabase& db, Cleanup& cleanup, const RunDir& dir, int id,
                                        const std::string& sid, int n, const ScanScene& scene,
                                        int palletOp = 0, double nanFraction = 0.0) {
    float a, b, c, d;
    scene.Plane(a, b, c, d);
    SeedSession(db, cleanup, sid, {a, b, c, d});
    SeedObject(db, cleanup, id, sid, n, palletOp);
    const boost::filesystem::path folder = dir.DataFolder() / sid;
    boost::filesystem::create_directories(folder);
    const boost::filesystem::path scan = folder / ("S" + std::to_string(n) + ".pcd");
    EXPECT_TRUE(ScanScene::WritePcd(scan.string(), scene.Sample(kScanPoints, ScanScene::kDefaultNoise, nanFraction, 7)));
    return scan;
}

/// Number of times needle occurs in text.
inline int Occurrences(const std::string& text, const std::string& needle) {
    int count = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

/// x, y, z of every point of an ASCII PCD file written by the tool.
inline std::vector<std::array<float, 3>> ReadPcd(const boost::filesystem::path& file) {
    std::istringstream in(ReadText(file));
    std::string line;
    while (std::getline(in, line) && line.rfind("DATA", 0) != 0) {
    }
    std::vector<std::array<float, 3>> points;
    std::array<float, 3> p;
    while (in >> p[0] >> p[1] >> p[2]) {
        points.push_back(p);
        std::getline(in, line);  // the colour
    }
    return points;
}

inline Json::Value ReadJson(const boost::filesystem::path& file) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(ReadText(file));
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << file << ": " << errors;
    return root;
}

/// The first three lines of every scene the tool writes.
constexpr const char* kSceneHeader = "#VRML V2.0 utf8\n#\n# created from Kelvo Split\n";

}  // namespace kelvo_test
