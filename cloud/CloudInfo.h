#pragma once

#include <boost/filesystem/path.hpp>
#include <iosfwd>
#include <string>
#include <utility>

/// Identity of one point cloud: its shipment row, session, internal index,
/// pallet operation, floor plane and the folder its files live under.
/// Every folder and file name of a cloud is derived here.
class CloudInfo {
public:
    CloudInfo();
    CloudInfo(int id, int n, int palletOp, int parentId);
    CloudInfo(int id, int n, int palletOp, int parentId, std::string sid, std::string fileModel,
              std::string basePath);
    CloudInfo(int id, int n, int palletOp, int parentId, std::string sid, std::string fileModel,
              std::string basePath, float a, float b, float c, float d);

    int GetId() const { return id; }
    int GetParentId() const { return parentId; }
    int GetPalletOp() const { return palletOp; }
    int GetN() const { return n; }
    std::string GetSid() const { return sid; }
    float GetCoeffA() const { return coeffA; }
    float GetCoeffB() const { return coeffB; }
    float GetCoeffC() const { return coeffC; }
    float GetCoeffD() const { return coeffD; }
    /// The shipment's air waybill as its row holds it; empty when not looked up.
    std::string GetAwb() const { return awb; }
    void SetAwb(std::string value) { awb = std::move(value); }

    /// True when a session id names exactly one folder directly under the base
    /// folder: not empty, not "." or "..", without a separator, a NUL or
    /// another control character. Any other id would place the session's files
    /// elsewhere, or make a name no line-based reader of the output can carry.
    static bool IsValidSid(const std::string& sid);

    /// Makes the cloud its own parent: its files move to the folder named after its id.
    void SelfParent() { parentId = id; }
    /// The same cloud as the camera delivered it: no pallet operation, no
    /// parent, so GetPath() is B/S/S<n>.pcd.
    CloudInfo Delivered() const;

    /// Folder of the cloud's own files: B/S, B/S/P, B/S/<parent> or B/S/<parent>/P.
    boost::filesystem::path GetBasePath() const;
    /// Pallet folder of the session, always B/S/P.
    boost::filesystem::path GetBasePathPallet() const;
    /// GetBasePath() joined with "S<n>.pcd".
    boost::filesystem::path GetPath() const;
    /// GetBasePathPallet() joined with "S<n>.pcd".
    boost::filesystem::path GetPathPallet() const;
    /// Bare PCD file name: "S<parent>_<n>.pcd" for a derived cloud, else "S<n>.pcd".
    boost::filesystem::path GetFilename() const;

    friend std::ostream& operator<<(std::ostream& os, const CloudInfo& info);

private:
    int id = 0;
    int parentId = 0;
    int palletOp = 0;
    int n = 0;
    std::string sid;
    std::string fileModel;
    std::string basePath;
    float coeffA = 0.0f;
    float coeffB = 0.0f;
    float coeffC = 0.0f;
    float coeffD = 0.0f;
    // Not part of the printout: readers of it know its lines as they are.
    std::string awb;
};
