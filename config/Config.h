#pragma once

#include <array>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "cloud/CloudInfo.h"

namespace sql {
class Driver;
class Connection;
}  // namespace sql

/// Process-wide configuration: the database connection opened from the
/// bootstrap file, the settings (start values, then the decode table, then
/// the command line) and the queries that find the object and the pallet.
class Config {
public:
    /// Returns the instance, creating it from the bootstrap file on the first
    /// call (an empty path selects "./kelvo_tools.json", else the installed
    /// "/etc/kelvo-tools/kelvo_tools.json"); null when the
    /// configuration could not be read.
    static Config* GetInstance(std::string cfgFile);

    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    /// Reads the bootstrap file, sets the start values, opens the connection.
    int Init();
    /// Reads the active rows of the decode table; 0, 1001 (bad value) or 1 (database error).
    int InitFromDB();

    std::string GetCfgFile() const { return cfgFile; }
    std::string GetServer() const { return server; }
    int GetPort() const { return port; }
    std::string GetDatabase() const { return database; }
    std::string GetUsername() const { return username; }
    std::string GetPassword() const { return password; }

    std::string GetBaseDataFolder() const { return baseDataFolder; }
    void SetBaseDataFolder(std::string value) { baseDataFolder = value; }
    std::string GetTmpDataFolder() const { return tmpDataFolder; }
    void SetTmpDataFolder(std::string value) { tmpDataFolder = value; }
    std::string GetFileModel() const { return fileModel; }
    void SetFileModel(std::string value) { fileModel = value; }

    float GetClusterTollerance() const { return clusterTollerance; }
    void SetClusterTollerance(float value) { clusterTollerance = value; }
    int GetMinClusterSize() const { return minClusterSize; }
    void SetMinClusterSize(int value) { minClusterSize = value; }
    int GetMaxClusterSize() const { return maxClusterSize; }
    void SetMaxClusterSize(int value) { maxClusterSize = value; }

    float GetInboundCorrextionH() const { return inboundCorrectionH; }
    float GetInboundCorrextionL() const { return inboundCorrectionL; }
    float GetInboundCorrextionW() const { return inboundCorrectionW; }
    float GetRealCorrextionH() const { return realCorrectionH; }
    float GetRealCorrextionL() const { return realCorrectionL; }
    float GetRealCorrextionW() const { return realCorrectionW; }
    float GetOcTreeRealVolumeResolution() const { return ocTreeRealVolumeResolution; }

    // Settings that only the decode table fills in a run; the setters let
    // callers and tests steer them directly.
    void SetInboundCorrextionH(float value) { inboundCorrectionH = value; }
    void SetInboundCorrextionL(float value) { inboundCorrectionL = value; }
    void SetInboundCorrextionW(float value) { inboundCorrectionW = value; }
    void SetRealCorrextionH(float value) { realCorrectionH = value; }
    void SetRealCorrextionL(float value) { realCorrectionL = value; }
    void SetRealCorrextionW(float value) { realCorrectionW = value; }
    void SetOcTreeRealVolumeResolution(float value) { ocTreeRealVolumeResolution = value; }
    void SetPalletCorrectionHeight(float value) { palletCorrectionHeight = value; }
    void SetPalletMeanK(int value) { palletMeanK = value; }
    void SetPalletStdDevMulThresh(float value) { palletStdDevMulThresh = value; }
    void SetFloorNoiseBand(float value) { floorNoiseBand = value; }
    void SetFloorZone(float xMin, float xMax, float yMin, float yMax);

    int GetPalletId() const { return palletId; }
    std::string GetPalletName() const { return palletName; }
    float GetPalletHeight() const { return palletHeight; }
    float GetPalletCorrectionHeight() const { return palletCorrectionHeight; }
    int GetPalletMeanK() const { return palletMeanK; }
    float GetPalletStdDevMulThresh() const { return palletStdDevMulThresh; }
    /// How far the floor's noise reaches either side of the session's plane
    /// (mm): the scan checks take what lies within it for the floor.
    float GetFloorNoiseBand() const { return floorNoiseBand; }
    /// The station's measuring zone on the floor, a rectangle in the scan's x
    /// and y (metres) within which the camera sees the floor; all four 0: none.
    float GetFloorZoneXMin() const { return floorZoneXMin; }
    float GetFloorZoneXMax() const { return floorZoneXMax; }
    float GetFloorZoneYMin() const { return floorZoneYMin; }
    float GetFloorZoneYMax() const { return floorZoneYMax; }
    /// True when any of the four is set: then they must form a rectangle.
    bool HasFloorZone() const;

    float GetMinColorMap() const { return minColorMap; }
    void SetMinColorMap(float value) { minColorMap = value; }
    float GetMaxColorMap() const { return maxColorMap; }
    void SetMaxColorMap(float value) { maxColorMap = value; }
    std::string GetColorMapType() const { return colorMapType; }
    void SetColorMapType(std::string value) { colorMapType = value; }

    /// 1: the inbound box fitted to the goods' faces (precise mode); 0: to their outermost points.
    int GetInboundPrecise() const { return inboundPrecise; }
    void SetInboundPrecise(int value) { inboundPrecise = value; }

    /// 1: a picture (PNG) beside every cloud file a run writes; 0: none.
    int GetImageSnapshot() const { return imageSnapshot; }
    void SetImageSnapshot(int value) { imageSnapshot = value; }

    /// Stores the pallet id and reads the pallet's name and height (mm) from the database.
    void SetPalletId(int id);
    /// False after SetPalletId found no pallet row (or the database failed), so the
    /// pallet height is not the pallet's own; true after a found row or SetPalletHeight.
    bool IsPalletKnown() const { return palletKnown; }
    /// A custom pallet: the given height (mm), id 0, name "CUSTOM".
    void SetPalletHeight(float height);

    /// Identity of the shipment row with this id (id -1 when there is none).
    CloudInfo GetCloudInfo(int index) const;
    /// Identity of the object of a session by its internal index.
    CloudInfo GetCloudInfo(std::string sid, int n) const;
    /// Identity built from row values and the configured file model and base folder.
    CloudInfo GetCloudInfo(int id, std::string sid, int n, int palletOp, float a, float b, float c,
                           float d) const;

    /// Executes a statement that returns no result set; 0, or -1 after a reported error.
    int ExecSQL(std::string sql) const;

    /// Class, key and type letter of every decode row the configuration reads,
    /// in the order a row is tested against them.
    static std::vector<std::array<std::string, 3>> DecodeKeys();

    friend std::ostream& operator<<(std::ostream& os, const Config& config);

    /// A decode key and the member it fills; complete only where the table is.
    struct DecodeSetting;

private:
    explicit Config(std::string cfgFile);
    ~Config();

    /// The decode table's keys and the members they fill.
    static const std::vector<DecodeSetting>& DecodeSettings();

    static Config* pinstance_;
    static std::mutex mutex_;

    std::string cfgFile;
    sql::Driver* driver = nullptr;
    sql::Connection* connection = nullptr;
    std::string server;
    int port = 0;
    std::string database;
    std::string username;
    std::string password;
    std::string baseDataFolder;
    std::string tmpDataFolder;
    std::string fileModel;
    float clusterTollerance = 0.0f;
    int minClusterSize = 0;
    int maxClusterSize = 0;
    float inboundCorrectionH = 0.0f;
    float inboundCorrectionL = 0.0f;
    float inboundCorrectionW = 0.0f;
    int inboundPrecise = 0;
    float realCorrectionH = 0.0f;
    float realCorrectionL = 0.0f;
    float realCorrectionW = 0.0f;
    float ocTreeRealVolumeResolution = 0.0f;
    int palletId = 0;
    std::string palletName;
    float palletHeight = 0.0f;
    bool palletKnown = false;
    float palletCorrectionHeight = 0.0f;
    int palletMeanK = 0;
    float palletStdDevMulThresh = 0.0f;
    float floorNoiseBand = 0.0f;
    float floorZoneXMin = 0.0f;
    float floorZoneXMax = 0.0f;
    float floorZoneYMin = 0.0f;
    float floorZoneYMax = 0.0f;
    float minColorMap = 0.0f;
    float maxColorMap = 0.0f;
    std::string colorMapType;
    int imageSnapshot = 0;
};
