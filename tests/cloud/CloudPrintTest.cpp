#include <gtest/gtest.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <sstream>

#include "CloudTestAccess.h"
#include "cloud/Cloud.h"

namespace {

const char* const kFreshInfo =
    "Cloud info:\n"
    "\tID: 0\n"
    "\tPallet op: 0\n"
    "\tParent ID: 0\n"
    "\tSID: \n"
    "\tN: 0\n"
    "\tFile Model: \n"
    "\tBase path: \n"
    "\tPath: \"\"\n"
    "\tFilename: \"S0.pcd\"\n"
    "\tPlane: (0,0,0,0)\n"
    "\n";

}  // namespace

TEST(CloudPrint, FreshCloudPrintsZeros) {
    std::ostringstream os;
    os << Cloud();
    EXPECT_EQ(os.str(), std::string(kFreshInfo) +
                            "Cloud:\n"
                            "\tN. Point: 0\n"
                            "\tA = (0,0,0)\n"
                            "\tB = (0,0,0)\n"
                            "\tC = (0,0,0)\n"
                            "\tD = (0,0,0)\n"
                            "\tE = (0,0,0)\n"
                            "\tF = (0,0,0)\n"
                            "\tG = (0,0,0)\n"
                            "\tH = (0,0,0)\n"
                            "\tLxWxH = (0,0,0)\n"
                            "\tInbound = 0\n"
                            "\tPackage = 0\n"
                            "\tSurface = 0\n"
                            "\tV-Shape = 0\n");
}

TEST(CloudPrint, MeasuredCloudPrintsLengthWidthHeightOrder) {
    Cloud c;
    c.getCloud()->push_back(pcl::PointXYZRGB(1.0f, 2.0f, 3.0f));
    c.getCloud()->push_back(pcl::PointXYZRGB(4.0f, 5.0f, 6.0f));
    for (int i = 0; i < 8; ++i) {
        CloudTestAccess::SetCorner(c, i, i + 0.5f, -i, i * 1000000.0f);
    }
    CloudTestAccess::SetSize(c, 1.5f, 2.25f, 0.125f);  // H, L, W
    CloudTestAccess::SetVolumes(c, 0.421875f, 1.0f / 3.0f, 0.2f, 0.1f);
    std::ostringstream os;
    os << c;
    EXPECT_EQ(os.str(), std::string(kFreshInfo) +
                            "Cloud:\n"
                            "\tN. Point: 2\n"
                            "\tA = (0.5,0,0)\n"
                            "\tB = (1.5,-1,1e+06)\n"
                            "\tC = (2.5,-2,2e+06)\n"
                            "\tD = (3.5,-3,3e+06)\n"
                            "\tE = (4.5,-4,4e+06)\n"
                            "\tF = (5.5,-5,5e+06)\n"
                            "\tG = (6.5,-6,6e+06)\n"
                            "\tH = (7.5,-7,7e+06)\n"
                            "\tLxWxH = (2.25,0.125,1.5)\n"
                            "\tInbound = 0.421875\n"
                            "\tPackage = 0.333333\n"
                            "\tSurface = 0.2\n"
                            "\tV-Shape = 0.1\n");
}
