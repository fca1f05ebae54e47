#include <gtest/gtest.h>

#include <sstream>

#include "CloudTestAccess.h"
#include "cloud/Cloud.h"
#include "cloud/CloudFilenameNotDef.h"

namespace fs = boost::filesystem;

namespace {

std::string SceneText(const VRML& scene) {
    std::ostringstream os;
    os << scene;
    return os.str();
}

/// A cloud whose three lists are told apart by their box counts: 1, 2 and 3.
Cloud CloudWithScenes(const CloudInfo& info) {
    Cloud c(info);
    CloudTestAccess::Surface(c).add(VRMLObj(0.02f, 0.02f, 0.02f, 1, 1, 1));
    for (int i = 0; i < 2; ++i) {
        CloudTestAccess::VolVShape(c).add(VRMLObj(0.02f, 0.02f, 0.5f, i, 2, 3));
    }
    for (int i = 0; i < 3; ++i) {
        CloudTestAccess::VolSurface(c).add(VRMLObj(0.02f, 0.02f, 1, i, 4, 5));
    }
    return c;
}

/// Each list must land in its own file: S<n>_0 surface, _1 V-shape, _2 full columns.
void ExpectScenes(const Cloud& c, const fs::path& folder, int n) {
    const std::string stem = (folder / ("S" + std::to_string(n))).string();
    EXPECT_EQ(ReadFile(stem + "_0.wrl"), SceneText(c.GetVrmlSurface()));
    EXPECT_EQ(ReadFile(stem + "_1.wrl"), SceneText(c.GetVrmlVolVShape()));
    EXPECT_EQ(ReadFile(stem + "_2.wrl"), SceneText(c.GetVrmlVolSurface()));
}

}  // namespace

TEST(CloudScenes, OwnFolderWritersNameFilesByScene) {
    TempFolder tmp;
    fs::create_directory(tmp.path() / "S1");
    Cloud c = CloudWithScenes(CloudInfo(0, 3, 0, 42, "S1", "", tmp.str()));
    c.SaveSurface();
    c.SaveVolVShape();
    c.SaveVolSurface();
    ExpectScenes(c, tmp.path() / "S1" / "42", 3);
    EXPECT_FALSE(fs::exists(tmp.path() / "S1" / "P"));
}

TEST(CloudScenes, PalletWritersUsePalletFolder) {
    TempFolder tmp;
    fs::create_directory(tmp.path() / "S1");
    Cloud c = CloudWithScenes(CloudInfo(42, 7, 1, 0, "S1", "", tmp.str()));
    c.SelfParent();
    c.SaveSurfacePallet();
    c.SaveVolVShapePallet();
    c.SaveVolSurfacePallet();
    ExpectScenes(c, tmp.path() / "S1" / "P", 7);
    EXPECT_FALSE(fs::exists(tmp.path() / "S1" / "42"));
}

TEST(CloudScenes, EmptyBasePathRefusesOwnFolderWriters) {
    Cloud c = CloudWithScenes(CloudInfo());
    EXPECT_THROW(c.SaveSurface(), CloudFilenameNotDef);
    EXPECT_THROW(c.SaveVolVShape(), CloudFilenameNotDef);
    EXPECT_THROW(c.SaveVolSurface(), CloudFilenameNotDef);
    EXPECT_THROW(c.SaveData(), CloudFilenameNotDef);
    EXPECT_FALSE(fs::exists("S0_0.wrl"));
    EXPECT_FALSE(fs::exists("S0.json"));
}

TEST(CloudScenes, MissingParentFolderRaisesPathError) {
    TempFolder tmp;
    Cloud c = CloudWithScenes(CloudInfo(0, 1, 0, 9, "NOSESSION", "", tmp.str()));
    EXPECT_THROW(c.SaveSurface(), fs::filesystem_error);
    EXPECT_THROW(c.SaveSurfacePallet(), fs::filesystem_error);
}
