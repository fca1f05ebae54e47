// Config's singleton, its bootstrap file, the settings' start values and their printout.
#include "config/Config.h"

#include <cppconn/connection.h>
#include <cppconn/exception.h>
#include <json/json.h>
#include <mysql_driver.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "config/BootstrapPlaces.h"
#include "config/StringFormat.h"

Config* Config::pinstance_ = nullptr;
std::mutex Config::mutex_;

namespace {

const char* const kDefaultFileModel = "S%d.pcd";
constexpr float kDefaultMinColorMap = 500.0f;
constexpr float kDefaultMaxColorMap = 3500.0f;
// The pallet cut's outlier filter: its start values.
constexpr int kDefaultPalletMeanK = 50;
constexpr float kDefaultPalletStdDevMul = 0.5f;
// The scan checks' floor noise band (millimetres) before a station's floor
// calibration measures its own.
constexpr float kDefaultFloorNoiseBandMm = 25.0f;

/// The JSON reader's report spans several indented lines; a run's failure is one line.
std::string OneLine(const std::string& text) {
    std::string line;
    bool blank = false;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = !line.empty();
        } else {
            if (blank) {
                line += ' ';
            }
            blank = false;
            line += c;
        }
    }
    return line;
}

/// Reads the bootstrap file; a file that cannot be opened or parsed ends the configuration.
Json::Value ReadBootstrap(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("Unable to open configuration file '" + path + "'");
    }
    Json::CharReaderBuilder builder;
    Json::Value root;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &root, &errors)) {
        throw std::runtime_error("Invalid configuration file '" + path + "': " + OneLine(errors));
    }
    return root;
}

}  // namespace

Config::Config(std::string cfgFile)
    : cfgFile(std::move(cfgFile)), driver(sql::mysql::get_driver_instance()) {}

// Only a configuration that failed to start is ever destroyed; its
// connection would otherwise stay open for the rest of the process.
Config::~Config() { delete connection; }

Config* Config::GetInstance(std::string cfgFile) {
    if (pinstance_ != nullptr) {
        return pinstance_;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (pinstance_ != nullptr) {
        return pinstance_;
    }
    if (cfgFile.empty()) {
        cfgFile = bootstrap::FindDefaultFile();
    }
    Config* instance = new Config(cfgFile);
    try {
        if (instance->Init() > 0 || instance->InitFromDB() > 0) {
            delete instance;
            return nullptr;
        }
    } catch (...) {
        delete instance;
        throw;
    }
    pinstance_ = instance;
    return pinstance_;
}

int Config::Init() {
    const Json::Value root = ReadBootstrap(cfgFile);
    try {
        const Json::Value& db = root["config"]["database"];
        server = db["server"].asString();
        port = db["port"].asInt();
        database = db["database"].asString();
        username = db["username"].asString();
        password = db["password"].asString();
    } catch (const Json::Exception& e) {
        throw std::runtime_error("Invalid configuration file '" + cfgFile + "': " + e.what());
    }

    baseDataFolder.clear();
    tmpDataFolder.clear();
    fileModel = kDefaultFileModel;
    clusterTollerance = 0.0f;
    minClusterSize = 0;
    maxClusterSize = 0;
    inboundCorrectionH = 0.0f;
    inboundCorrectionL = 0.0f;
    inboundCorrectionW = 0.0f;
    inboundPrecise = 0;
    minColorMap = kDefaultMinColorMap;
    maxColorMap = kDefaultMaxColorMap;
    colorMapType.clear();
    palletMeanK = kDefaultPalletMeanK;
    palletStdDevMulThresh = kDefaultPalletStdDevMul;
    floorNoiseBand = kDefaultFloorNoiseBandMm;
    SetFloorZone(0.0f, 0.0f, 0.0f, 0.0f);
    imageSnapshot = 0;

    const std::string address = string_format("tcp://%s:%d", server, port);
    // A second Init (reconnecting after a lost connection) replaces the old one.
    delete connection;
    connection = nullptr;
    try {
        connection = driver->connect(address, username, password);
        connection->setSchema(database);
    } catch (const sql::SQLException& e) {
        throw std::runtime_error("Unable to open database '" + database + "' at " + address + ": " +
                                 e.what());
    }
    return 0;
}

std::ostream& operator<<(std::ostream& os, const Config& config) {
    os << "Generic config:\n"
       << "\tConfiguration file: " << config.cfgFile << "\n"
       << "\tDatabase server: " << config.server << "\n"
       << "\tDatabase: " << config.database << "\n\n"
       << "Cloud config:\n"
       << "\tBase data folder (Cloud path): " << config.baseDataFolder << "\n"
       << "\tFile model (Cloud file): " << config.fileModel << "\n"
       << "\tCluster tollerance: " << config.clusterTollerance << "\n"
       << "\tMin cluster size: " << config.minClusterSize << "\n"
       << "\tMax cluster size: " << config.maxClusterSize << "\n"
       << "\tMin color map: " << config.minColorMap << "\n"
       << "\tMax color map: " << config.maxColorMap << "\n"
       << "\tColor map type: " << config.colorMapType << "\n"
       << "\tOcTree Real Volume Resolution: " << config.ocTreeRealVolumeResolution << "\n"
       << "Fine tune:\n"
       << "\tInbound correction H: " << config.inboundCorrectionH << "\n"
       << "\tInbound correction L: " << config.inboundCorrectionL << "\n"
       << "\tInbound correction W: " << config.inboundCorrectionW << "\n"
       << "\tReal correction H: " << config.realCorrectionH << "\n"
       << "\tReal correction L: " << config.realCorrectionL << "\n"
       << "\tReal correction W: " << config.realCorrectionW << "\n"
       << "Pallet:\n"
       << "\tPallet ID: " << config.palletId << "\n"
       << "\tPallet Name: " << config.palletName << "\n"
       << "\tPallet Height: " << config.palletHeight << "\n"
       << "\tPallet Correction Height: " << config.palletCorrectionHeight << "\n"
       << "\tMean K: " << config.palletMeanK << "\n"
       << "\tStdDev Mul Thresh: " << config.palletStdDevMulThresh << "\n";
    // Likewise the scan checks' band and zone show only once a floor
    // calibration set them.
    const bool band = config.floorNoiseBand != kDefaultFloorNoiseBandMm;
    if (band || config.HasFloorZone()) {
        os << "Scan checks:\n";
    }
    if (band) {
        os << "\tFloor Noise Band: " << config.floorNoiseBand << "\n";
    }
    if (config.HasFloorZone()) {
        os << "\tFloor Zone X Min: " << config.floorZoneXMin << "\n"
           << "\tFloor Zone X Max: " << config.floorZoneXMax << "\n"
           << "\tFloor Zone Y Min: " << config.floorZoneYMin << "\n"
           << "\tFloor Zone Y Max: " << config.floorZoneYMax << "\n";
    }
    // Readers of the printout know its lines as they were before pictures
    // existed: the switch shows only when it is on, after all of them.
    if (config.imageSnapshot != 0) {
        os << "Image:\n"
           << "\tSnapshot: " << config.imageSnapshot << "\n";
    }
    if (config.inboundPrecise != 0) {
        os << "Inbound:\n"
           << "\tPrecise: " << config.inboundPrecise << "\n";
    }
    return os;
}
