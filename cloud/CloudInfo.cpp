#include "cloud/CloudInfo.h"

#include <algorithm>
#include <boost/filesystem/path.hpp>
#include <ostream>
#include <utility>

#include "cloud/Utilities.h"

namespace {

/// Pallet operation code whose files live in the pallet folder.
constexpr int kPalletOpDepalletized = 3;
/// Name of the pallet folder inside a session folder.
const char* const kPalletFolder = "P";
/// A cloud's file name.
const char* const kPcdPattern = "S%d.pcd";
/// Bytes below this, and kDelete, are control characters.
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;

}  // namespace

CloudInfo::CloudInfo() = default;

CloudInfo::CloudInfo(int id, int n, int palletOp, int parentId)
    : id(id), parentId(parentId), palletOp(palletOp), n(n) {}

CloudInfo::CloudInfo(int id, int n, int palletOp, int parentId, std::string sid,
                     std::string fileModel, std::string basePath)
    : id(id),
      parentId(parentId),
      palletOp(palletOp),
      n(n),
      sid(std::move(sid)),
      fileModel(std::move(fileModel)),
      basePath(std::move(basePath)) {}

CloudInfo::CloudInfo(int id, int n, int palletOp, int parentId, std::string sid,
                     std::string fileModel, std::string basePath, float a, float b, float c,
                     float d)
    : CloudInfo(id, n, palletOp, parentId, std::move(sid), std::move(fileModel),
                std::move(basePath)) {
    coeffA = a;
    coeffB = b;
    coeffC = c;
    coeffD = d;
}

bool CloudInfo::IsValidSid(const std::string& sid) {
    if (sid.empty() || sid == "." || sid == "..") {
        return false;
    }
    return std::none_of(sid.begin(), sid.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || byte < kFirstPrintable || byte == kDelete;
    });
}

CloudInfo CloudInfo::Delivered() const {
    CloudInfo delivered(*this);
    delivered.palletOp = 0;
    delivered.parentId = 0;
    return delivered;
}

boost::filesystem::path CloudInfo::GetBasePath() const {
    boost::filesystem::path path = boost::filesystem::path(basePath) / sid;
    if (parentId > 0) {
        path /= std::to_string(parentId);
    }
    if (palletOp == kPalletOpDepalletized) {
        path /= kPalletFolder;
    }
    return path;
}

boost::filesystem::path CloudInfo::GetBasePathPallet() const {
    return boost::filesystem::path(basePath) / sid / kPalletFolder;
}

boost::filesystem::path CloudInfo::GetPath() const {
    return GetBasePath() / Utilities::StringFormat(kPcdPattern, n);
}

boost::filesystem::path CloudInfo::GetPathPallet() const {
    return GetBasePathPallet() / Utilities::StringFormat(kPcdPattern, n);
}

boost::filesystem::path CloudInfo::GetFilename() const {
    if (parentId != 0) {
        return Utilities::StringFormat("S%d_%d.pcd", parentId, n);
    }
    return Utilities::StringFormat(kPcdPattern, n);
}

std::ostream& operator<<(std::ostream& os, const CloudInfo& info) {
    os << "Cloud info:" << std::endl;
    os << "\tID: " << info.id << std::endl;
    os << "\tPallet op: " << info.palletOp << std::endl;
    os << "\tParent ID: " << info.parentId << std::endl;
    os << "\tSID: " << info.sid << std::endl;
    os << "\tN: " << info.n << std::endl;
    os << "\tFile Model: " << info.fileModel << std::endl;
    os << "\tBase path: " << info.basePath << std::endl;
    os << "\tPath: " << info.GetBasePath() << std::endl;
    os << "\tFilename: " << info.GetPath() << std::endl;
    os << "\tPlane: (" << info.coeffA << "," << info.coeffB << "," << info.coeffC << ","
       << info.coeffD << ")" << std::endl;
    return os;
}
