#include "config/Config.h"

#include <cppconn/connection.h>
#include <cppconn/exception.h>
#include <cppconn/prepared_statement.h>
#include <cppconn/resultset.h>
#include <cppconn/statement.h>
#include <json/json.h>
#include <mysql_driver.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "config/Printable.h"
#include "config/StringFormat.h"

Config* Config::pinstance_ = nullptr;
std::mutex Config::mutex_;

namespace {

const char* const kDefaultCfgFile = "./kelvo_tools.json";
const char* const kDefaultFileModel = "S%d.pcd";
const char* const kCustomPalletName = "CUSTOM";
constexpr float kDefaultMinColorMap = 500.0f;
constexpr float kDefaultMaxColorMap = 3500.0f;

// InitFromDB results.
constexpr int kInitOk = 0;
constexpr int kInitDatabaseError = 1;
constexpr int kInitBadValue = 1001;

constexpr int kExecFailed = -1;

// Bounds of the decimal settings that reach a stored result. A scene spans a
// few metres: a correction beyond a metre, a pallet correction beyond a
// metre (in millimetres) or a grid cell beyond a metre measures nothing real.
constexpr float kLargestCorrection = 1.0f;
constexpr float kLargestPalletCorrectionMm = 1000.0f;
constexpr float kLargestResolution = 1.0f;
// The pallet cut's outlier filter: its start values, and the largest
// neighbour count a station may set (each point's search grows with it).
constexpr int kDefaultPalletMeanK = 50;
// The scan checks' floor noise band (millimetres) before a station's floor
// calibration measures its own; a band wider than this is no floor.
constexpr float kDefaultFloorNoiseBandMm = 25.0f;
constexpr float kLargestFloorNoiseBandMm = 500.0f;
constexpr float kDefaultPalletStdDevMul = 0.5f;
constexpr float kLargestPalletMeanK = 1000.0f;

// Line numbers named in the database error reports; log readers key on them.
constexpr int kLineInitFromDB = 401;
constexpr int kLineLookupBySession = 499;
constexpr int kLineLookupByIndex = 567;
constexpr int kLineSetPalletId = 710;
constexpr int kLineExecSQL = 742;

/// Prints the three-line report of a database error caught by an operation.
void ReportSQLException(const sql::SQLException& e, const char* operation, int line) {
    std::cout << "# ERR: SQLException in " << std::endl;
    std::cout << "(" << operation << ") on line " << line << std::endl;
    std::cout << "# ERR: " << e.what() << " (MySQL error code: " << e.getErrorCode()
              << ", SQLState: " << e.getSQLState() << " )" << std::endl;
}

/// Identity of an object without a row.
CloudInfo NoRowIdentity() { return CloudInfo(-1, 0, 0, 0); }
/// Identity of an object whose lookup failed in the database.
CloudInfo DatabaseErrorIdentity() { return CloudInfo(-1, -1, 0, 0); }

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

const std::string kSessionLookup =
    "SELECT a.ID, a.sid, a.AWB, a.NrPackages, a.pallet_op, "
    "       s.coeff_a, s.coeff_b, s.coeff_c, s.coeff_d "
    "  FROM awbexport AS a "
    " INNER JOIN session AS s ON a.sid = s.sid "
    " WHERE a.sid = ? AND a.NrPackages = %d";

const std::string kIndexLookup =
    "SELECT a.ID, a.sid, a.AWB, a.NrPackages, a.pallet_op, "
    "       s.coeff_a AS coeff_a, s.coeff_b AS coeff_b, "
    "       s.coeff_c AS coeff_c, s.coeff_d AS coeff_d "
    "  FROM awbexport AS a "
    " INNER JOIN session AS s ON a.sid = s.sid "
    " WHERE a.ID = %d";

/// The identity of the row a lookup found, with its plane and air waybill.
CloudInfo IdentityOfRow(const Config& config, sql::ResultSet& row, int id, const std::string& sid,
                        int n) {
    CloudInfo info = config.GetCloudInfo(id, sid, n, row.getInt("pallet_op"),
                                         static_cast<float>(row.getDouble("coeff_a")),
                                         static_cast<float>(row.getDouble("coeff_b")),
                                         static_cast<float>(row.getDouble("coeff_c")),
                                         static_cast<float>(row.getDouble("coeff_d")));
    info.SetAwb(row.getString("AWB"));
    return info;
}

const std::string kPalletLookup = "SELECT id, product_name, h FROM pallets WHERE id = %d";

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
        if (!boost::filesystem::exists(kDefaultCfgFile)) {
            throw std::runtime_error(std::string("File not found '") + kDefaultCfgFile + "'");
        }
        cfgFile = kDefaultCfgFile;
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

/// One key of the decode table and the setting it fills.
struct Config::DecodeSetting {
    // A Switch is an integer row that may only hold 0 (off) or 1 (on).
    enum class Type { Text, Decimal, Integer, Switch };
    const char* decClass;
    const char* key;
    Type type;
    std::string Config::*text;
    float Config::*decimal;
    int Config::*integer;
    // Largest magnitude a decimal may have; beyond it the value can
    // only be a typo or a wrong unit, and every stored result would be off.
    float limit = std::numeric_limits<float>::max();
    // A value that must be above zero: no filter can use a neighbour count
    // below 1 or a multiplier that is not positive.
    bool positive = false;
};

namespace {

/// The type letter of each DecodeSetting::Type, in its order.
const char* const kTypeLetters[] = {"S", "D", "I", "I"};

const char* TypeLetter(Config::DecodeSetting::Type type) {
    return kTypeLetters[static_cast<int>(type)];
}

}  // namespace

const std::vector<Config::DecodeSetting>& Config::DecodeSettings() {
    static const char* const kConfig = "CONFIG";
    static const char* const kFineTune = "FINE TUNE";
    using Type = DecodeSetting::Type;
    static const std::vector<DecodeSetting> settings = {
        {kConfig, "base.data.folder", Type::Text, &Config::baseDataFolder, nullptr, nullptr},
        {kConfig, "tmp.data.folder", Type::Text, &Config::tmpDataFolder, nullptr, nullptr},
        {kConfig, "data.file.model", Type::Text, &Config::fileModel, nullptr, nullptr},
        {kConfig, "pcl.cluster.tollerance", Type::Decimal, nullptr, &Config::clusterTollerance,
         nullptr},
        {kConfig, "pcl.min.cluster.size", Type::Integer, nullptr, nullptr, &Config::minClusterSize},
        {kConfig, "pcl.max.cluster.size", Type::Integer, nullptr, nullptr, &Config::maxClusterSize},
        {kConfig, "pcl.color.map.type", Type::Text, &Config::colorMapType, nullptr, nullptr},
        {kConfig, "pcl.min.color.map", Type::Decimal, nullptr, &Config::minColorMap, nullptr},
        {kConfig, "pcl.max.color.map", Type::Decimal, nullptr, &Config::maxColorMap, nullptr},
        {kConfig, "octree.real.volume.resolution", Type::Decimal, nullptr,
         &Config::ocTreeRealVolumeResolution, nullptr, kLargestResolution},
        {kConfig, "pallet.correction.height", Type::Decimal, nullptr,
         &Config::palletCorrectionHeight, nullptr, kLargestPalletCorrectionMm},
        {kConfig, "pcl.pallet.mean.k", Type::Integer, nullptr, nullptr, &Config::palletMeanK,
         kLargestPalletMeanK, true},
        {kConfig, "pcl.pallet.stddev.mul.thresh", Type::Decimal, nullptr,
         &Config::palletStdDevMulThresh, nullptr, std::numeric_limits<float>::max(), true},
        {kConfig, "floor.noise.band", Type::Decimal, nullptr, &Config::floorNoiseBand, nullptr,
         kLargestFloorNoiseBandMm, true},
        {kFineTune, "inbound.correction.h", Type::Decimal, nullptr, &Config::inboundCorrectionH,
         nullptr, kLargestCorrection},
        {kFineTune, "inbound.correction.l", Type::Decimal, nullptr, &Config::inboundCorrectionL,
         nullptr, kLargestCorrection},
        {kFineTune, "inbound.correction.w", Type::Decimal, nullptr, &Config::inboundCorrectionW,
         nullptr, kLargestCorrection},
        {kFineTune, "real.correction.h", Type::Decimal, nullptr, &Config::realCorrectionH, nullptr,
         kLargestCorrection},
        {kFineTune, "real.correction.l", Type::Decimal, nullptr, &Config::realCorrectionL, nullptr,
         kLargestCorrection},
        {kFineTune, "real.correction.w", Type::Decimal, nullptr, &Config::realCorrectionW, nullptr,
         kLargestCorrection},
        {kConfig, "image.snapshot", Type::Switch, nullptr, nullptr, &Config::imageSnapshot},
        {kConfig, "inbound.precise", Type::Switch, nullptr, nullptr, &Config::inboundPrecise},
    };
    return settings;
}

std::vector<std::array<std::string, 3>> Config::DecodeKeys() {
    std::vector<std::array<std::string, 3>> keys;
    for (const DecodeSetting& setting : DecodeSettings()) {
        keys.push_back({setting.decClass, setting.key, TypeLetter(setting.type)});
    }
    return keys;
}

namespace {

const char* const kPalletCorrectionKey = "pallet.correction.height";

/// A decode row as read, for the messages that name it.
struct DecodeRow {
    std::string decClass;
    std::string key;
    std::string value;
    std::string type;
};

std::string Quoted(const std::string& text) { return "\"" + Printable(text) + "\""; }

/// Class, key, type letter and value of a row, each quoted as stored.
std::string Named(const DecodeRow& row) {
    return Quoted(row.decClass) + " " + Quoted(row.key) + " " + Quoted(row.type) + " = " +
           Quoted(row.value);
}

/// A text without its surrounding blanks, in lower case: how a key or class
/// reads to the person who typed it.
std::string Folded(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    std::string folded = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    for (char& c : folded) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded;
}

/// Fewest insertions, deletions and substitutions that turn one text into the other.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

/// Whether a row that no setting reads was meant for this tool: its class is
/// one of ours but for case or blanks, or its key is one of ours. Rows of
/// other classes with keys of their own belong to other programs that share
/// the table, and stay unmentioned.
bool MeantForThisTool(const DecodeRow& row, const std::vector<std::array<std::string, 3>>& known) {
    for (const auto& [decClass, key, type] : known) {
        if (Folded(row.decClass) == Folded(decClass) || Folded(row.key) == key) {
            return true;
        }
    }
    return false;
}

/// A row no setting reads leaves its setting at the start value without a
/// trace; the warning names the row and the known key it most likely means,
/// with that key's class and type letter (a wrong letter or class then shows
/// as the same key).
void WarnUnreadRow(const DecodeRow& row) {
    const std::vector<std::array<std::string, 3>> known = Config::DecodeKeys();
    if (!MeantForThisTool(row, known)) {
        return;
    }
    const std::array<std::string, 3>* nearest = &known.front();
    std::size_t best = std::string::npos;
    for (const auto& candidate : known) {
        const std::size_t distance = EditDistance(Folded(row.key), candidate[1]);
        if (distance < best) {
            best = distance;
            nearest = &candidate;
        }
    }
    std::cerr << "WARNING: decode row " << Named(row)
              << " is read by no setting; nearest known key: " << Quoted((*nearest)[0]) << " "
              << Quoted((*nearest)[1]) << " " << Quoted((*nearest)[2]) << std::endl;
}

/// A correction under a millimetre is most likely metres typed for the
/// millimetres the setting takes: the pallet's deck would stay in the cloud.
void WarnSubMillimetreCorrection(const DecodeRow& row, float correctionMm) {
    constexpr float kSmallestLikelyCorrectionMm = 1.0f;
    if (correctionMm != 0.0f && std::fabs(correctionMm) < kSmallestLikelyCorrectionMm) {
        std::cerr << "WARNING: decode row " << Named(row)
                  << " is under 1 mm: the setting is in millimetres (10 for 1 cm)" << std::endl;
    }
}

/// Unit of a bounded decimal setting, named when a value beyond the bound is refused.
const char* UnitOf(const std::string& key) {
    if (key == kPalletCorrectionKey) {
        return "millimetres";
    }
    if (key == "octree.real.volume.resolution" || key.rfind("inbound.correction.", 0) == 0 ||
        key.rfind("real.correction.", 0) == 0) {
        return "metres";
    }
    return nullptr;
}

/// Why a decimal beyond its setting's bound is refused: a millimetre value
/// typed for metres (20 for 0.02) is told by the unit and the bound.
std::string BeyondBound(const Config::DecodeSetting& setting, float value) {
    const char* unit = UnitOf(setting.key);
    if (!std::isfinite(value) || unit == nullptr) {
        return "out of range";
    }
    std::ostringstream text;
    text << "out of range: " << value << " is beyond " << setting.limit
         << " in magnitude (the unit is " << unit << ")";
    return text.str();
}

}  // namespace

int Config::InitFromDB() {
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        std::unique_ptr<sql::ResultSet> rows(
            statement->executeQuery(" SELECT * FROM decode WHERE decactive = 1 "));
        while (rows->next()) {
            const std::string decClass = rows->getString("decclass");
            const std::string key = rows->getString("deckey");
            const std::string value = rows->getString("decvalue");
            const std::string type = rows->getString("dectype");
            bool read = false;
            for (const DecodeSetting& setting : DecodeSettings()) {
                if (decClass != setting.decClass || key != setting.key ||
                    type != TypeLetter(setting.type)) {
                    continue;
                }
                read = true;
                try {
                    switch (setting.type) {
                        case DecodeSetting::Type::Text:
                            this->*setting.text = value;
                            break;
                        case DecodeSetting::Type::Decimal: {
                            const float decimal = std::stof(value);
                            // "nan" and "inf" convert, but no setting can use them.
                            if (!(std::fabs(decimal) <= setting.limit)) {
                                throw std::out_of_range(BeyondBound(setting, decimal));
                            }
                            if (setting.positive && !(decimal > 0.0f)) {
                                throw std::out_of_range("out of range: not above 0");
                            }
                            this->*setting.decimal = decimal;
                            break;
                        }
                        case DecodeSetting::Type::Integer: {
                            const int integer = std::stoi(value, nullptr, 10);
                            if (static_cast<float>(std::abs(static_cast<long long>(integer))) >
                                    setting.limit ||
                                (setting.positive && integer < 1)) {
                                throw std::out_of_range("out of range");
                            }
                            this->*setting.integer = integer;
                            break;
                        }
                        case DecodeSetting::Type::Switch: {
                            // Any other number is a typo: a wrong guess would
                            // silently add or drop outputs.
                            const int state = std::stoi(value, nullptr, 10);
                            if (state != 0 && state != 1) {
                                throw std::out_of_range("out of range");
                            }
                            this->*setting.integer = state;
                            break;
                        }
                    }
                } catch (const std::logic_error& e) {
                    // A text without a number, a number beyond the type's
                    // range and one beyond the setting's limit all land here.
                    std::cerr << "Invalid argument (" << setting.key << "): " << e.what()
                              << std::endl;
                    return kInitBadValue;
                }
            }
            const DecodeRow row{decClass, key, value, type};
            if (!read) {
                WarnUnreadRow(row);
            } else if (key == kPalletCorrectionKey) {
                WarnSubMillimetreCorrection(row, palletCorrectionHeight);
            }
        }
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "InitFromDB", kLineInitFromDB);
        return kInitDatabaseError;
    }
    return kInitOk;
}

CloudInfo Config::GetCloudInfo(int index) const {
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        std::unique_ptr<sql::ResultSet> row(
            statement->executeQuery(string_format(kIndexLookup, index)));
        if (!row->next()) {
            return NoRowIdentity();
        }
        const std::string sid = row->getString("sid");
        const int n = row->getInt("NrPackages");
        return IdentityOfRow(*this, *row, index, sid, n);
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "GetCloudInfo", kLineLookupByIndex);
        return DatabaseErrorIdentity();
    }
}

CloudInfo Config::GetCloudInfo(std::string sid, int n) const {
    try {
        // The session id comes from the command line: it is bound, never
        // pasted into the statement, so no text of it can run as SQL.
        std::unique_ptr<sql::PreparedStatement> statement(
            connection->prepareStatement(string_format(kSessionLookup, n)));
        statement->setString(1, sid);
        std::unique_ptr<sql::ResultSet> row(statement->executeQuery());
        if (!row->next()) {
            return NoRowIdentity();
        }
        const int id = row->getInt("ID");
        return IdentityOfRow(*this, *row, id, sid, n);
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "GetCloudInfo", kLineLookupBySession);
        return DatabaseErrorIdentity();
    }
}

CloudInfo Config::GetCloudInfo(int id, std::string sid, int n, int palletOp, float a, float b,
                               float c, float d) const {
    return CloudInfo(id, n, palletOp, 0, std::move(sid), fileModel, baseDataFolder, a, b, c, d);
}

void Config::SetPalletId(int id) {
    palletId = id;
    palletKnown = false;
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        std::unique_ptr<sql::ResultSet> row(
            statement->executeQuery(string_format(kPalletLookup, id)));
        if (row->next()) {
            palletName = row->getString("product_name");
            palletHeight = static_cast<float>(row->getDouble("h"));
            palletKnown = true;
        }
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "SetPalletId", kLineSetPalletId);
    }
}

void Config::SetPalletHeight(float height) {
    palletHeight = height;
    palletKnown = true;
    palletId = 0;
    palletName = kCustomPalletName;
}

int Config::ExecSQL(std::string sql) const {
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        // execute() takes statements with or without a result set; the
        // query call would report a successful UPDATE as a failure.
        if (statement->execute(sql)) {
            std::unique_ptr<sql::ResultSet> unread(statement->getResultSet());
        }
        return 0;
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "ExecSQL", kLineExecSQL);
        return kExecFailed;
    }
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
    // Likewise the scan checks' band shows only once a floor calibration set it.
    if (config.floorNoiseBand != kDefaultFloorNoiseBandMm) {
        os << "Scan checks:\n"
           << "\tFloor Noise Band: " << config.floorNoiseBand << "\n";
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
