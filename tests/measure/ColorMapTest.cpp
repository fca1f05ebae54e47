#include <array>
#include <limits>
#include <string>

#include "MeasureTest.h"

namespace {

using Rgb = std::array<int, 3>;

const std::string kInvalid = "Set value to 0. Invalid argument (pcl.color.map.type): ";

class ColorMapTest : public MeasureTest {
protected:
    /// Paints points at the given distances above the plane z = 0 (scaled by
    /// 2 to show that the normal is normalised) and returns their colours.
    std::vector<Rgb> Paint(const std::string& type, const std::vector<float>& heights,
                           float a = 0.0f, float b = 0.0f, float c = 2.0f, float d = 0.0f) {
        config().SetColorMapType(type);
        std::vector<pcl::PointXYZRGB> points;
        for (float z : heights) {
            points.push_back(Point(0.25f, -0.5f, z));
        }
        Cloud cloud(CloudInfo(1, 1, 0, 0, "sid", "S%d.pcd", "/tmp", a, b, c, d));
        cloud.setCloud(MakeCloud(points));
        ::testing::internal::CaptureStderr();
        cloud.ColorMap();
        errors = ::testing::internal::GetCapturedStderr();
        painted = cloud.IsColorMapped();
        std::vector<Rgb> colours;
        for (const auto& p : cloud.getCloud()->points) {
            colours.push_back({p.r, p.g, p.b});
            EXPECT_EQ(p.a, 255);
            EXPECT_EQ(p.x, 0.25f);
        }
        return colours;
    }

    // Distances giving the colour indices 0, 43, 128, 213 and 255 with min 500 and max 3500.
    const std::vector<float> heights = {0.2f, 1.0f, 2.0f, 3.0f, 4.0f};
    std::string errors;
    bool painted = false;  // what the cloud tells of its colours afterwards
};

TEST_F(ColorMapTest, EveryNumberedMapPaintsTheIndexOfTheDistance) {
    EXPECT_EQ(
        Paint("0", heights),
        (std::vector<Rgb>{{0, 0, 255}, {43, 0, 212}, {128, 0, 127}, {213, 0, 42}, {255, 0, 0}}));
    EXPECT_EQ(Paint("1", heights),
              (std::vector<Rgb>{
                  {0, 255, 0}, {43, 212, 43}, {128, 127, 128}, {213, 42, 213}, {255, 0, 255}}));
    EXPECT_EQ(Paint("2", heights),
              (std::vector<Rgb>{
                  {255, 255, 255}, {255, 212, 212}, {255, 127, 127}, {255, 42, 42}, {255, 0, 0}}));
    EXPECT_EQ(Paint("3", heights),
              (std::vector<Rgb>{
                  {128, 128, 128}, {128, 128, 128}, {128, 128, 128}, {255, 0, 0}, {255, 0, 0}}));
    const std::vector<Rgb> rainbow = {
        {0, 0, 255}, {0, 86, 169}, {0, 255, 0}, {170, 85, 0}, {254, 1, 0}};
    for (const char* type : {"4", "7", "-1"}) {
        EXPECT_EQ(Paint(type, heights), rainbow) << type;
    }
    EXPECT_EQ(errors, "");
}

TEST_F(ColorMapTest, IntegerTypesAreReadLikeTheLibraryReadsThem) {
    const std::vector<Rgb> whiteRed = Paint("2", {2.0f});
    EXPECT_EQ(Paint(" 2", {2.0f}), whiteRed);
    EXPECT_EQ(Paint("2xyz", {2.0f}), whiteRed);
    EXPECT_EQ(errors, "");
}

TEST_F(ColorMapTest, PlaneWithOffsetAndAnyNormalLength) {
    // |2z - 2| / 2 = |z - 1|: z = 3 lies 2 m from the plane, z = -1 too.
    EXPECT_EQ(Paint("0", {3.0f, -1.0f}, 0.0f, 0.0f, 2.0f, -2.0f),
              (std::vector<Rgb>{{128, 0, 127}, {128, 0, 127}}));
    // A tilted plane x = 0 as 3x + 0y + 0z = 0: the point's x of 0.25 m is below the minimum.
    EXPECT_EQ(Paint("0", {4.0f}, 3.0f, 0.0f, 0.0f, 0.0f), (std::vector<Rgb>{{0, 0, 255}}));
}

TEST_F(ColorMapTest, EqualMinimumAndMaximumGiveIndexZero) {
    config().SetMinColorMap(1000.0f);
    config().SetMaxColorMap(1000.0f);
    EXPECT_EQ(Paint("0", heights), std::vector<Rgb>(heights.size(), Rgb{0, 0, 255}));
}

TEST_F(ColorMapTest, CustomColours) {
    EXPECT_EQ(Paint("#00AFFFFF", heights), std::vector<Rgb>(heights.size(), Rgb{0, 175, 255}));
    EXPECT_EQ(Paint("#12345678", {1.0f}), (std::vector<Rgb>{{0x12, 0x34, 0x56}}));
    // Only the hex digits before the first other character count: 0xAF.
    EXPECT_EQ(Paint("#00AFZZFF", heights), std::vector<Rgb>(heights.size(), Rgb{0, 0, 0}));
    EXPECT_EQ(Paint("100", heights), std::vector<Rgb>(heights.size(), Rgb{0, 0, 0}));
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(painted);
}

TEST_F(ColorMapTest, TypesNamingNoMapLeaveTheColoursWithOneMessage) {
    const std::vector<Rgb> untouched(heights.size(), Rgb{1, 2, 3});
    EXPECT_EQ(Paint("", heights), untouched);
    EXPECT_EQ(errors, kInvalid + "\n");
    EXPECT_FALSE(painted);
    EXPECT_EQ(Paint("abc", heights), untouched);
    EXPECT_EQ(errors, kInvalid + "stoi\n");
    EXPECT_EQ(Paint("#00AFFF", heights), untouched);
    EXPECT_EQ(errors, kInvalid + "stoi\n");
    // Beyond the range of int: treated like text that is no number.
    EXPECT_EQ(Paint("99999999999", heights), untouched);
    EXPECT_EQ(errors, kInvalid + "stoi\n");
    EXPECT_FALSE(painted);
    // The picture then shades the points by height instead.
    Paint("4", heights);
    EXPECT_TRUE(painted);
}

TEST_F(ColorMapTest, EmptyCloudPrintsNothing) {
    EXPECT_TRUE(Paint("", {}).empty());
    EXPECT_EQ(errors, "");
}

TEST_F(ColorMapTest, PointsWithoutDistanceGetIndexZero) {
    // No plane known: every point takes the colour of index 0.
    EXPECT_EQ(Paint("0", heights, 0.0f, 0.0f, 0.0f, 1.0f),
              std::vector<Rgb>(heights.size(), Rgb{0, 0, 255}));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Paint("0", {nan, 2.0f}), (std::vector<Rgb>{{0, 0, 255}, {128, 0, 127}}));
}

}  // namespace
