// The six VRML writers of Cloud: each list goes to "S<n>_<k>.wrl" in the
// cloud's own folder or in the session's pallet folder.
#include "cloud/Cloud.h"
#include "cloud/CloudFilenameNotDef.h"
#include "cloud/EnsureFolder.h"
#include "cloud/Utilities.h"

namespace fs = boost::filesystem;

namespace {

// The digit names the scene kind, not the order of the members.
const char* const kSurfacePattern = "S%d_0.wrl";
const char* const kVolVShapePattern = "S%d_1.wrl";
const char* const kVolSurfacePattern = "S%d_2.wrl";

}  // namespace

void Cloud::SaveScene(const VRML& scene, const fs::path& folder, const char* pattern,
                      bool requireBasePath) const {
    if (requireBasePath && cloudInfo.GetBasePath().empty()) {
        throw cloudFilenameNotDef;
    }
    EnsureFolder(folder);
    scene.save((folder / Utilities::StringFormat(pattern, cloudInfo.GetN())).string());
}

void Cloud::SaveSurface() {
    SaveScene(vrmlSurface, cloudInfo.GetBasePath(), kSurfacePattern, true);
}

void Cloud::SaveSurfacePallet() {
    SaveScene(vrmlSurface, cloudInfo.GetBasePathPallet(), kSurfacePattern, false);
}

void Cloud::SaveVolVShape() {
    SaveScene(vrmlVolVShape, cloudInfo.GetBasePath(), kVolVShapePattern, true);
}

void Cloud::SaveVolVShapePallet() {
    SaveScene(vrmlVolVShape, cloudInfo.GetBasePathPallet(), kVolVShapePattern, false);
}

void Cloud::SaveVolSurface() {
    SaveScene(vrmlVolSurface, cloudInfo.GetBasePath(), kVolSurfacePattern, true);
}

void Cloud::SaveVolSurfacePallet() {
    SaveScene(vrmlVolSurface, cloudInfo.GetBasePathPallet(), kVolSurfacePattern, false);
}
