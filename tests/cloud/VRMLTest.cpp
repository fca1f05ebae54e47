#include <gtest/gtest.h>

#include <sstream>

#include "CloudTestAccess.h"
#include "cloud/VRML.h"
#include "cloud/VRMLIndexnameNotDef.h"

namespace {

const char* const kHeader = "#VRML V2.0 utf8\n#\n# created from Kelvo Split\n";

std::string BoxText(const std::string& translation, const std::string& size) {
    return "\nTransform {\n"
           "    translation " +
           translation +
           "\n"
           "    children [\n"
           "        Shape {\n"
           "            geometry Box {\n"
           "                size " +
           size +
           "\n"
           "            }\n"
           "        }\n"
           "    ]\n"
           "}";
}

template <typename T>
std::string Text(const T& value) {
    std::ostringstream os;
    os << value;
    return os.str();
}

}  // namespace

TEST(VRMLObj, BoxTextPutsCentreInTranslationAndSizesInSize) {
    EXPECT_EQ(Text(VRMLObj(0.02f, 0.02f, 0.5f, 1, 2, 3)), BoxText("1 2 3", "0.02 0.02 0.5"));
    // Stream default: six significant digits, shortest form.
    EXPECT_EQ(Text(VRMLObj(1.5f, 1234567.0f, -0.5f, 0.1f, -2.25f, 1e-7f)),
              BoxText("0.1 -2.25 1e-07", "1.5 1.23457e+06 -0.5"));
    EXPECT_EQ(Text(VRMLObj()), BoxText("0 0 0", "0 0 0"));
}

TEST(VRML, SceneTexts) {
    VRML scene;
    EXPECT_EQ(Text(scene), std::string(kHeader) + "\n");
    scene.add(VRMLObj(0.02f, 0.02f, 0.5f, 1, 2, 3));
    EXPECT_EQ(Text(scene), kHeader + BoxText("1 2 3", "0.02 0.02 0.5") + "\n");
    scene.add(VRMLObj(1, 1, 1, -1, 0, 0.25f));
    EXPECT_EQ(Text(scene),
              kHeader + BoxText("1 2 3", "0.02 0.02 0.5") + BoxText("-1 0 0.25", "1 1 1") + "\n");
    scene.clear();
    EXPECT_EQ(scene.size(), 0);
    EXPECT_EQ(Text(scene), std::string(kHeader) + "\n");
}

TEST(VRML, GetOutOfRangeThrowsAndLeavesListAlone) {
    VRML scene;
    EXPECT_THROW(scene.get(0), VRMLIndexnameNotDef);
    scene.add(VRMLObj(1, 2, 3, 4, 5, 6));
    scene.add(VRMLObj(7, 8, 9, 10, 11, 12));
    EXPECT_THROW(scene.get(-1), VRMLIndexnameNotDef);
    EXPECT_THROW(scene.get(2), VRMLIndexnameNotDef);
    EXPECT_EQ(scene.size(), 2);
    EXPECT_EQ(scene.get(1).GetD1(), 7);
    EXPECT_EQ(scene.get(0).GetTransZ(), 6);
    try {
        scene.get(5);
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "VRML Index not defined");
    }
}

TEST(VRML, SaveReplacesFile) {
    TempFolder tmp;
    const auto file = tmp.path() / "scene.wrl";
    VRML scene;
    scene.add(VRMLObj(1, 2, 3, 4, 5, 6));
    scene.add(VRMLObj(1, 2, 3, 4, 5, 6));
    scene.save(file.string());
    EXPECT_EQ(ReadFile(file), Text(scene));
    VRML empty;
    empty.save(file.string());
    EXPECT_EQ(ReadFile(file), std::string(kHeader) + "\n");
}

TEST(VRML, SaveIntoMissingFolderIsAnError) {
    TempFolder tmp;
    EXPECT_THROW(VRML().save((tmp.path() / "no" / "scene.wrl").string()), std::runtime_error);
}
