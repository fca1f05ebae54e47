#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <string>

#include "run/RunHarness.h"

namespace {

/// Number of failures the reader check reports for a file of the given text.
int Complaints(const kelvo_test::RunDir& dir, const std::string& name, const std::string& text) {
    const boost::filesystem::path file = dir.Path() / name;
    std::ofstream(file.string(), std::ios::binary) << text;
    testing::TestPartResultArray failures;
    {
        testing::ScopedFakeTestPartResultReporter intercept(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        kelvo_test::ExpectReadable(file);
    }
    return failures.size();
}

const std::string kSceneHead = "#VRML V2.0 utf8\n#\n# created from Kelvo Split\n";
const std::string kBox =
    "\nTransform {\n    translation 1 2 3\n    children [\n        Shape {\n"
    "            geometry Box {\n                size 0.02 0.02 0.5\n            }\n"
    "        }\n    ]\n}";
const std::string kPcdHead =
    "VERSION 0.7\nFIELDS x y z rgb\nSIZE 4 4 4 4\nTYPE F F F U\nCOUNT 1 1 1 1\nWIDTH 2\n"
    "HEIGHT 1\nVIEWPOINT 0 0 0 1 0 0 0\nPOINTS 2\nDATA ascii\n";

}  // namespace

// The check is the oracle of every whole run: it must tell a sound file from
// a broken one of each kind the tool writes.
TEST(ReaderCheck, AcceptsSoundFilesAndRejectsBrokenOnes) {
    kelvo_test::RunDir dir(false);
    struct Case {
        const char* name;
        std::string text;
        bool sound;
    };
    const Case cases[] = {
        {"empty.wrl", kSceneHead + "\n", true},
        {"box.wrl", kSceneHead + kBox + "\n", true},
        {"unclosed.wrl", kSceneHead + kBox.substr(0, kBox.size() - 1) + "\n", false},
        {"nan.wrl", kSceneHead + "Transform { translation 1 2 nan }\n", false},
        {"cloud.pcd", kPcdHead + "0 0 1 255\n0.5 0.25 1.5 16711680\n", true},
        {"short.pcd", kPcdHead + "0 0 1 255\n", false},
        {"xyz.pcd",
         "VERSION 0.7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nCOUNT 1 1 1\nWIDTH 1\nHEIGHT 1\n"
         "VIEWPOINT 0 0 0 1 0 0 0\nPOINTS 1\nDATA ascii\n0 0 1\n",
         false},
        {"data.json", "{\n   \"id\" : 0,\n   \"n\" : 1\n}\n", true},
        {"cut.json", "{\n   \"id\" : 0,\n", false},
        {"twice.json", "{ \"id\" : 0 }\n{ \"id\" : 1 }\n", false},
        {"S1.pcd.tmp", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Complaints(dir, c.name, c.text) == 0, c.sound) << c.name;
    }
}
