// Result writers of Cloud: the JSON data file and the UPDATE text of the
// shipment row.
#include <json/json.h>

#include <iostream>
#include <stdexcept>

#include "cloud/AtomicFile.h"
#include "cloud/Cloud.h"
#include "cloud/CloudFilenameNotDef.h"
#include "cloud/CloudResultIndex.h"
#include "cloud/EnsureFolder.h"
#include "cloud/Utilities.h"
#include "config/StringFormat.h"

namespace fs = boost::filesystem;
using namespace cloud_index;

namespace {

const char* const kJsonPattern = "S%d.json";
const char* const kCornerKeyPattern = "P%d";

// The pallet_op column only tells whether the pallet was handled at all.
const int kPalletOpDone = 3;
const int kPalletOpNone = 0;

// Readers of awbexport depend on this text as it is, blanks included.
const char* const kUpdatePattern =
    "\n\t\t\tUPDATE awbexport"
    "\n\t\t\tSET"
    "\n\t\t\t  HPackage = %f"
    "\n\t\t\t, WPackage = %f"
    "\n\t\t\t, LPackage = %f"
    "\n\t\t\t, Inbound = %f"
    "\n\t\t\t, RealVolume = %f "
    "\n\t\t\t, InboundVolumeSurface = %f "
    "\n\t\t\t, RealVolumeSurface = %f"
    "\n\t\t\t, ibx1 = %f\n\t\t\t, iby1 = %f\n\t\t\t, ibz1 = %f"
    "\n\t\t\t, ibx2 = %f\n\t\t\t, iby2 = %f\n\t\t\t, ibz2 = %f"
    "\n\t\t\t, ibx3 = %f\n\t\t\t, iby3 = %f\n\t\t\t, ibz3 = %f"
    "\n\t\t\t, ibx4 = %f\n\t\t\t, iby4 = %f\n\t\t\t, ibz4 = %f"
    "\n\t\t\t, ibx5 = %f\n\t\t\t, iby5 = %f\n\t\t\t, ibz5 = %f"
    "\n\t\t\t, ibx6 = %f\n\t\t\t, iby6 = %f\n\t\t\t, ibz6 = %f"
    "\n\t\t\t, ibx7 = %f\n\t\t\t, iby7 = %f\n\t\t\t, ibz7 = %f"
    "\n\t\t\t, ibx8 = %f\n\t\t\t, iby8 = %f\n\t\t\t, ibz8 = %f"
    "\n\t\t\t, pallet_op = %d"
    "\n\t\t\tWHERE"
    "\n\t\t\t\tid = %d"
    "\n            ";

}  // namespace

void Cloud::SaveData() {
    const fs::path folder = cloudInfo.GetBasePath();
    if (folder.empty()) {
        throw cloudFilenameNotDef;
    }
    EnsureFolder(folder);

    Json::Value inbound(Json::objectValue);
    for (int i = 0; i < kCornerCount; ++i) {
        Json::Value corner(Json::objectValue);
        corner["x"] = Json::Value(static_cast<double>(inboundCorners[kX][i]));
        corner["y"] = Json::Value(static_cast<double>(inboundCorners[kY][i]));
        corner["z"] = Json::Value(static_cast<double>(inboundCorners[kZ][i]));
        inbound[Utilities::StringFormat(kCornerKeyPattern, i + 1)] = corner;
    }

    Json::Value info(Json::objectValue);
    info["vol_inbound"] = Json::Value(static_cast<double>(volInbound));
    info["vol_package"] = Json::Value(static_cast<double>(volPackage));
    info["vol_surface"] = Json::Value(static_cast<double>(volSurface));
    info["vol_vshape"] = Json::Value(static_cast<double>(volVShape));
    info["H"] = Json::Value(static_cast<double>(inboundSize[kH]));
    info["L"] = Json::Value(static_cast<double>(inboundSize[kL]));
    info["W"] = Json::Value(static_cast<double>(inboundSize[kW]));
    info["inbound"] = inbound;

    Json::Value root(Json::objectValue);
    root["id"] = Json::Value(cloudInfo.GetId());
    root["n"] = Json::Value(cloudInfo.GetN());
    root["parent_id"] = Json::Value(cloudInfo.GetParentId());
    root["pallet_id"] = Json::Value(palletId);
    root["pallet_h"] = Json::Value(palletH);
    root["pallet_op"] = Json::Value(cloudInfo.GetPalletOp());
    root["cloud_info"] = info;

    // Other tools parse this layout; the styled writer is what produces it.
    Json::StyledWriter writer;
    const std::string text = writer.write(root);

    const std::string filename =
        (folder / Utilities::StringFormat(kJsonPattern, cloudInfo.GetN())).string();
    AtomicFile file(filename, "Unable to write file: ");
    file.Write(text);
    file.Commit();
}

std::string Cloud::SaveDataSQL() {
    const int palletOp = cloudInfo.GetPalletOp() > 0 ? kPalletOpDone : kPalletOpNone;
    auto c = [this](int axis, int corner) {
        return static_cast<double>(inboundCorners[axis][corner]);
    };
    const std::string sql = string_format(
        kUpdatePattern, static_cast<double>(inboundSize[kH]), static_cast<double>(inboundSize[kW]),
        static_cast<double>(inboundSize[kL]), static_cast<double>(volInbound),
        static_cast<double>(volPackage), static_cast<double>(volVShape),
        static_cast<double>(volSurface),  //
        c(kX, 0), c(kY, 0), c(kZ, 0), c(kX, 1), c(kY, 1), c(kZ, 1), c(kX, 2), c(kY, 2), c(kZ, 2),
        c(kX, 3), c(kY, 3), c(kZ, 3), c(kX, 4), c(kY, 4), c(kZ, 4), c(kX, 5), c(kY, 5), c(kZ, 5),
        c(kX, 6), c(kY, 6), c(kZ, 6), c(kX, 7), c(kY, 7), c(kZ, 7), palletOp, cloudInfo.GetId());
    std::cout << sql << std::endl;
    return sql;
}
