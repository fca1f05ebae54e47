#pragma once

#include <boost/filesystem.hpp>
#include <fstream>
#include <sstream>
#include <string>

#include "cloud/Cloud.h"

/// Places known results into a Cloud, as the measurements would.
struct CloudTestAccess {
    static void SetCorner(Cloud& c, int corner, float x, float y, float z) {
        c.inboundCorners[0][corner] = x;
        c.inboundCorners[1][corner] = y;
        c.inboundCorners[2][corner] = z;
    }
    static void SetSize(Cloud& c, float h, float l, float w) {
        c.inboundSize[0] = h;
        c.inboundSize[1] = l;
        c.inboundSize[2] = w;
    }
    static void SetVolumes(Cloud& c, float inbound, float package, float surface, float vshape) {
        c.volInbound = inbound;
        c.volPackage = package;
        c.volSurface = surface;
        c.volVShape = vshape;
    }
    static void SetColorMapped(Cloud& c, bool mapped) { c.colorMapped = mapped; }
    static VRML& Surface(Cloud& c) { return c.vrmlSurface; }
    static VRML& VolSurface(Cloud& c) { return c.vrmlVolSurface; }
    static VRML& VolVShape(Cloud& c) { return c.vrmlVolVShape; }
};

/// A fresh folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder()
        : path_(boost::filesystem::temp_directory_path() /
                boost::filesystem::unique_path("kelvo-cloud-%%%%-%%%%-%%%%")) {
        boost::filesystem::create_directory(path_);
    }
    ~TempFolder() {
        boost::system::error_code ignored;
        boost::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const boost::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    boost::filesystem::path path_;
};

inline std::string ReadFile(const boost::filesystem::path& p) {
    std::ifstream in(p.string(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const boost::filesystem::path& p, const std::string& text) {
    std::ofstream out(p.string(), std::ios::binary | std::ios::trunc);
    out << text;
}
