// SnapshotPainter: draws a measured cloud's picture, in the module the tool loads for it.
#pragma once

#include <ctime>
#include <string>

#include "cloud/snapshot/Snapshot.h"

class Cloud;

/// Draws the picture a Snapshot keeps, with cairo, and encodes it as PNG.
/// It lives in a module of its own (libkelvo_snapshot.so) that the tool
/// loads only when it draws a picture: cairo and the libraries it needs are
/// then paid for by the runs that keep pictures, not by every start.
class SnapshotPainter {
public:
    /// The PNG file's bytes of the cloud's picture; throws std::runtime_error
    /// when it cannot be drawn (no font, no memory).
    static std::string Paint(const Cloud& cloud, std::time_t runTime, Snapshot::Ground ground);
};

/// The module's entry point, looked up by name when it is loaded: the
/// picture into png, or false with the reason in fault. Throws nothing.
extern "C" bool kelvo_snapshot_paint(const Cloud* cloud, std::time_t runTime, int ground,
                                     std::string* png, std::string* fault) noexcept;
