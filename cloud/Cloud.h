#pragma once

#include <Eigen/Geometry>
#include <array>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cloud/CloudInfo.h"
#include "cloud/PointClouds.h"
#include "cloud/VRML.h"
#include "measure/AlignedFrame.h"

class FloorPlane;

/// One scanned object's point cloud with its identity and every measurement
/// result. Copies share the point cloud; all other members are copied.
class Cloud {
public:
    Cloud();
    explicit Cloud(CloudInfo info);
    Cloud(const Cloud& other) = default;
    Cloud& operator=(const Cloud& other) = default;
    ~Cloud();

    /// Loads the cloud's own PCD file (x, y, z only); throws CloudFilenameNotDef when missing.
    void Load();
    /// Loads the named PCD file (x, y, z only); throws CloudFilenameNotDef when missing.
    void Load(std::string filename);
    /// Writes the cloud as ASCII PCD into its own folder.
    void Save();
    /// Writes the cloud as ASCII PCD to the named file; its folder must exist.
    void Save(std::string filename);
    /// Writes the cloud as ASCII PCD into the session's pallet folder.
    void SavePallet();

    /// Surface cubes as "S<n>_0.wrl" in the cloud's folder.
    void SaveSurface();
    /// Surface cubes as "S<n>_0.wrl" in the pallet folder.
    void SaveSurfacePallet();
    /// Full-height columns as "S<n>_2.wrl" in the cloud's folder.
    void SaveVolSurface();
    /// Full-height columns as "S<n>_2.wrl" in the pallet folder.
    void SaveVolSurfacePallet();
    /// Top-down columns as "S<n>_1.wrl" in the cloud's folder.
    void SaveVolVShape();
    /// Top-down columns as "S<n>_1.wrl" in the pallet folder.
    void SaveVolVShapePallet();

    /// Writes the JSON data file "S<n>.json" into the cloud's folder.
    void SaveData();
    /// Builds (and prints) the UPDATE of the cloud's shipment row.
    std::string SaveDataSQL();

    /// Cuts the pallet layer away and closes the bottom of the goods.
    void CalcDepallet();
    /// Why the goods as CalcDepallet left them cannot be measured: one line
    /// naming the session; empty when they can.
    std::string CheckDepallet() const;
    /// Why the box measured after CalcDepallet is short of the goods: the
    /// outlier filter took surfaces of them beyond it. One line naming the
    /// session; empty when nothing of them stands beyond it, and always in
    /// the precise mode, which fits its box to the goods as cut.
    std::string CheckEroded() const;
    /// True when CalcDepallet cuts a pallet of this height (millimetres) at all.
    static bool CutsPallet(float palletHeightMm);
    /// True when a cut for a pallet of this height (millimetres) stands within
    /// the floor's noise band: the goods stand on the floor (-e 2), not on a pallet.
    static bool GoodsOnFloor(float palletHeightMm, float floorNoiseBandMm) {
        return palletHeightMm <= floorNoiseBandMm;
    }
    /// Why the scan cannot be measured, or its floor plane cannot be cut from
    /// when cutsPallet: one line naming the session; empty when it can.
    /// storesWhole: the run stores the whole cloud's measurement (a depallet
    /// run), so without a cut the floor must be out of the scan and the goods
    /// seen down to it.
    std::string CheckScan(bool cutsPallet, bool storesWhole = false) const;
    /// Upright box on the minimum-area rectangle of the footprint; sets the
    /// aligned frame and the transform back to the scan frame.
    void CalcInbound();
    /// Volume of the 3D convex hull.
    void CalcPackage();
    /// Surface and V-shape volumes over the occupied columns of an octree grid.
    void CalcReal();
    /// Paints every point by its distance from the floor plane, or with a custom colour.
    void ColorMap();
    /// True once ColorMap has painted the points (a type naming no map paints none).
    bool IsColorMapped() const { return colorMapped; }

    /// The working cloud itself, shared with the caller.
    PointCloudRGBPtr getCloud() const { return cloud; }
    /// Copies src's header and points into the working cloud, which keeps its identity.
    void setCloud(const PointCloudRGBPtr& src);
    /// Copies x, y, z of src into the working cloud, which keeps its identity.
    void setCloud(const PointCloudXYZPtr& src);

    /// A copy of the cloud's identity.
    CloudInfo GetCloudInfo() const { return cloudInfo; }
    /// No insert statement exists for a cloud; always empty.
    std::string GetQueryInsert() const { return std::string(); }
    /// Makes the cloud its own parent, moving its own files to the folder named after its id.
    void SelfParent() { cloudInfo.SelfParent(); }

    // Read access to the results, for callers and tests.
    float GetInboundCorner(int axis, int corner) const { return inboundCorners[axis][corner]; }
    float GetH() const { return inboundSize[0]; }
    float GetL() const { return inboundSize[1]; }
    float GetW() const { return inboundSize[2]; }
    float GetVolInbound() const { return volInbound; }
    float GetVolPackage() const { return volPackage; }
    float GetVolSurface() const { return volSurface; }
    float GetVolVShape() const { return volVShape; }
    /// The cloud's points with coordinates moved into the aligned frame that
    /// CalcInbound found, built anew by each call (the volumes move each
    /// point as they read it instead).
    PointCloudRGBPtr getAlignedCloud() const;
    const Eigen::Affine3f& GetInboundTransform() const { return inboundTransform; }
    float GetInboundAngle() const { return inboundAngle; }
    float GetInboundCenterX() const { return inboundCenterX; }
    float GetInboundCenterY() const { return inboundCenterY; }
    const VRML& GetVrmlSurface() const { return vrmlSurface; }
    const VRML& GetVrmlVolSurface() const { return vrmlVolSurface; }
    const VRML& GetVrmlVolVShape() const { return vrmlVolVShape; }
    /// A part split off `parent` stands where the parent stood.
    void StandAs(const Cloud& parent) { bottomAboveFloor = parent.bottomAboveFloor; }

    /// Identity, point count, inbound corners, sizes and volumes, one per line.
    friend std::ostream& operator<<(std::ostream& os, const Cloud& c);
    /// Lets tests place known results without running the measurements.
    friend struct CloudTestAccess;

private:
    /// What the last cut left beside the cloud no longer belongs to it: a
    /// new cloud is loaded or set.
    void ForgetCut();

    /// CheckScan's part for a run that cuts nothing: the scene against the
    /// floor plane, whose noise reaches band (metres) either side.
    std::string CheckUncut(const FloorPlane& floor, double band, bool storesWhole) const;
    /// CheckEroded's part in the precise mode: the goods' foot below the cut
    /// against the box's base (corners round it) at the points' pitch.
    std::string CheckFootInBox(const std::array<std::array<float, 2>, 4>& base, float pitch) const;
    /// Writes one scene into folder (created one level deep when missing) under pattern.
    void SaveScene(const VRML& scene, const boost::filesystem::path& folder, const char* pattern,
                   bool requireBasePath) const;

    // Indexed [axis][corner]: rows of the 8 x, then y, then z values (corner 0 is A).
    float inboundCorners[3][8] = {};
    float inboundSize[3] = {};  // H, L, W
    float volInbound = 0.0f;
    float volPackage = 0.0f;
    float volSurface = 0.0f;
    float volVShape = 0.0f;
    int palletId = 0;
    int palletH = 0;
    CloudInfo cloudInfo;
    PointCloudRGBPtr cloud;
    // Set by CalcInbound: where CalcReal reads the points of `cloud`.
    AlignedFrame alignedFrame;
    // The goods as the pallet cut left them, before the outlier filter: the
    // precise inbound box fits its faces on their uneroded outline. Set by
    // CalcDepallet in precise mode only; empty whenever `cloud` is replaced.
    PointCloudRGBPtr goodsAsCut;
    // Where goodsAsCut is set, the first this many points of `cloud` are what
    // the outlier filter kept of it; the rest close the bottom.
    std::size_t goodsFiltered = 0;
    // Where the goods stand on the floor, the pixels below the cut that
    // continue their surface in the camera's image (see ImageFoot): the
    // precise box reaches a gently sloping base through them, and today's
    // box is refused when they run on beyond it (CheckEroded).
    PointCloudRGBPtr goodsFoot;
    // Where the cut took only the floor's band (the lowest height that cuts,
    // goods on the floor), how far above the floor it closed the goods'
    // bottom, along z (metres): the precise box stands on the floor itself,
    // so that its H is the goods' height above it. 0 otherwise.
    float bottomAboveFloor = 0.0f;
    // Flying pixels the outlier filter of the last cut kept far off the
    // goods' edges (see KeptFlyingPixels), and the farthest off (metres).
    std::size_t keptFlying = 0;
    double keptFlyingWidest = 0.0;
    // The points the outlier filter of the last cut took, in today's mode:
    // CheckEroded judges the box against them.
    std::vector<std::array<float, 3>> filterTaken;
    Eigen::Affine3f inboundTransform = Eigen::Affine3f::Identity();
    float inboundAngle = 0.0f;
    float inboundCenterX = 0.0f;
    float inboundCenterY = 0.0f;
    VRML vrmlSurface;
    VRML vrmlVolSurface;
    VRML vrmlVolVShape;
    bool colorMapped = false;
};
