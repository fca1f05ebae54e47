// The decode table's settings: keys, members, bounds, and the warnings on its rows.
#include "config/Config.h"

#include <cppconn/connection.h>
#include <cppconn/exception.h>
#include <cppconn/resultset.h>
#include <cppconn/statement.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "config/Printable.h"
#include "config/SqlErrorReport.h"

namespace {

// InitFromDB results.
constexpr int kInitOk = 0;
constexpr int kInitDatabaseError = 1;
constexpr int kInitBadValue = 1001;

// Bounds of the decimal settings that reach a stored result. A scene spans a
// few metres: a correction beyond a metre, a pallet correction beyond a
// metre (in millimetres) or a grid cell beyond a metre measures nothing real.
constexpr float kLargestCorrection = 1.0f;
constexpr float kLargestPalletCorrectionMm = 1000.0f;
constexpr float kLargestResolution = 1.0f;
// The largest neighbour count a station may give the pallet cut's outlier
// filter (each point's search grows with it).
constexpr float kLargestPalletMeanK = 1000.0f;
// A floor noise band (millimetres) wider than this is no floor.
constexpr float kLargestFloorNoiseBandMm = 500.0f;
// A measuring zone's edge (metres) farther out than a depth camera returns
// anything (the scan checks' bound) is no edge of a station's floor.
constexpr float kLargestFloorZoneM = 20.0f;

// The line number named in the database error report; log readers key on it.
constexpr int kLineInitFromDB = 401;

}  // namespace

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
        {kConfig, "floor.zone.x.min", Type::Decimal, nullptr, &Config::floorZoneXMin, nullptr,
         kLargestFloorZoneM},
        {kConfig, "floor.zone.x.max", Type::Decimal, nullptr, &Config::floorZoneXMax, nullptr,
         kLargestFloorZoneM},
        {kConfig, "floor.zone.y.min", Type::Decimal, nullptr, &Config::floorZoneYMin, nullptr,
         kLargestFloorZoneM},
        {kConfig, "floor.zone.y.max", Type::Decimal, nullptr, &Config::floorZoneYMax, nullptr,
         kLargestFloorZoneM},
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
        key.rfind("real.correction.", 0) == 0 || key.rfind("floor.zone.", 0) == 0) {
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

/// Why the zone's rows, read together, make no rectangle; empty when they
/// do. Rows for one axis only leave the other's two at 0, which is refused
/// too: a zone open along one axis would check nothing there.
std::string FloorZoneFault(const float (&edges)[4]) {
    static const char* const kKeys[4] = {"floor.zone.x.min", "floor.zone.x.max", "floor.zone.y.min",
                                         "floor.zone.y.max"};
    for (int axis = 0; axis < 2; ++axis) {
        const float low = edges[2 * axis];
        const float high = edges[2 * axis + 1];
        if (!(low < high)) {
            std::ostringstream text;
            text << "Invalid argument (" << kKeys[2 * axis] << "): out of range: " << low
                 << " is not below " << kKeys[2 * axis + 1] << " " << high
                 << " (a measuring zone needs all four floor.zone keys, each min below its max)";
            return text.str();
        }
    }
    return std::string();
}

}  // namespace

void Config::SetFloorZone(float xMin, float xMax, float yMin, float yMax) {
    floorZoneXMin = xMin;
    floorZoneXMax = xMax;
    floorZoneYMin = yMin;
    floorZoneYMax = yMax;
}

bool Config::HasFloorZone() const {
    return floorZoneXMin != 0.0f || floorZoneXMax != 0.0f || floorZoneYMin != 0.0f ||
           floorZoneYMax != 0.0f;
}

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
    if (HasFloorZone()) {
        const float edges[4] = {floorZoneXMin, floorZoneXMax, floorZoneYMin, floorZoneYMax};
        if (const std::string fault = FloorZoneFault(edges); !fault.empty()) {
            std::cerr << fault << std::endl;
            return kInitBadValue;
        }
    }
    return kInitOk;
}
