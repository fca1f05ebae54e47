#pragma once

#include <boost/filesystem/path.hpp>
#include <ctime>
#include <string>

class Cloud;

/// The picture kept with a measurement as evidence, for the operator at the
/// station and for a freight dispute: the goods as the camera sees them with
/// the charged rectangle drawn on them, a side view with the height, and a
/// header with the row and the numbers. A PNG of kWidth x kHeight pixels.
///
///   +------------------------------------------------------------+
///   | AWB, row, session, n, time / L x W x H, volumes     header |
///   +-------------------------------+  +-------------------------+
///   | top view: x right, y down     |  | side view of the long   |
///   |   A--------B                  |  | side: t right, z down   |
///   |   |        |  W               |  |   +-------+  H          |
///   |   D--------C                  |  |   |       |             |
///   |       L                       |  | --+-------+-- ground    |
///   | scale bar                     |  | scale bar               |
///   +-------------------------------+  +-------------------------+
///
/// The layout is part of the interface (docs/outputs.md): readers find the
/// corners where the fit rule of each view puts them.
class Snapshot {
public:
    /// What the goods stand on, drawn as the side view's base line.
    enum class Ground {
        Floor,      ///< the session's floor plane
        PalletTop,  ///< the top of the pallet that was cut away (the box's floor side)
    };

    static constexpr int kWidth = 1200;
    static constexpr int kHeight = 800;

    /// runTime is printed in the header; ground names the side view's base line.
    Snapshot(std::time_t runTime, Ground ground);

    /// The picture of a measured cloud, encoded as PNG. Throws
    /// std::runtime_error when it cannot be drawn (no font, no memory).
    std::string Render(const Cloud& cloud) const;

    /// Renders the picture and replaces path with it, complete or not at all;
    /// throws std::runtime_error "Unable to write file: <path> (<cause>)".
    void Save(const Cloud& cloud, const std::string& path) const;

    /// The picture's file beside a cloud file: the same name ending in .png.
    static boost::filesystem::path PathBeside(const boost::filesystem::path& pcd);

private:
    std::time_t runTime;
    Ground ground;
};
