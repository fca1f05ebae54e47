#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cloud/CloudInfo.h"
#include "cloud/Utilities.h"

namespace {

std::string Printed(const CloudInfo& info) {
    std::ostringstream os;
    os << info;
    return os.str();
}

CloudInfo Row(int id, int n, int palletOp, int parentId) {
    return CloudInfo(id, n, palletOp, parentId, "sess", "S%d.pcd", "/data");
}

}  // namespace

TEST(CloudInfoPaths, DefaultIdentityHasBareNames) {
    const CloudInfo info;
    EXPECT_EQ(info.GetBasePath().string(), "");
    EXPECT_EQ(info.GetPath().string(), "S0.pcd");
    EXPECT_EQ(info.GetBasePathPallet().string(), "P");
    EXPECT_EQ(info.GetFilename().string(), "S0.pcd");
}

TEST(CloudInfoPaths, FolderFollowsParentAndPalletOperation) {
    EXPECT_EQ(Row(42, 7, 0, 0).GetBasePath().string(), "/data/sess");
    EXPECT_EQ(Row(42, 7, 1, 0).GetBasePath().string(), "/data/sess");
    EXPECT_EQ(Row(42, 7, 2, 0).GetBasePath().string(), "/data/sess");
    EXPECT_EQ(Row(42, 7, 3, 0).GetBasePath().string(), "/data/sess/P");
    EXPECT_EQ(Row(42, 7, 3, 0).GetPath().string(), "/data/sess/P/S7.pcd");
    EXPECT_EQ(Row(0, 2, 0, 42).GetBasePath().string(), "/data/sess/42");
    EXPECT_EQ(Row(0, 2, 3, 42).GetBasePath().string(), "/data/sess/42/P");
    EXPECT_EQ(Row(0, 2, 3, 42).GetBasePathPallet().string(), "/data/sess/P");
}

TEST(CloudInfoPaths, NegativeParentHasNoFolderButNamesTheFile) {
    const CloudInfo info = Row(5, 3, 0, -1);
    EXPECT_EQ(info.GetBasePath().string(), "/data/sess");
    EXPECT_EQ(info.GetPath().string(), "/data/sess/S3.pcd");
    EXPECT_EQ(info.GetFilename().string(), "S-1_3.pcd");
    EXPECT_EQ(Row(0, 3, 0, 9).GetFilename().string(), "S9_3.pcd");
}

TEST(CloudInfoPaths, SelfParentMovesFilesIntoTheIdFolder) {
    CloudInfo info = Row(42, 4, 0, 0);
    info.SelfParent();
    EXPECT_EQ(info.GetParentId(), 42);
    EXPECT_EQ(info.GetBasePath().string(), "/data/sess/42");
    EXPECT_EQ(info.GetBasePathPallet().string(), "/data/sess/P");

    CloudInfo pallet = Row(42, 4, 3, 0);
    pallet.SelfParent();
    EXPECT_EQ(pallet.GetBasePath().string(), "/data/sess/42/P");
    EXPECT_EQ(pallet.GetPath().string(), "/data/sess/42/P/S4.pcd");
}

TEST(CloudInfoPaths, EmptyPartsAddNoSeparator) {
    EXPECT_EQ(CloudInfo(1, 2, 0, 0, "sess", "", "").GetPath().string(), "sess/S2.pcd");
    EXPECT_EQ(CloudInfo(1, 2, 0, 0, "", "", "/b").GetPath().string(), "/b/S2.pcd");
}

TEST(CloudInfoPaths, OnlySingleFolderNamesAreSessionIds) {
    for (const char* sid :
         {"2026-12-08_0815", "q'uo\"te\\back`tick%_", " ", "...", ".hidden", "P", "-s"}) {
        EXPECT_TRUE(CloudInfo::IsValidSid(sid)) << sid;
    }
    for (const std::string& sid :
         {std::string(), std::string("."), std::string(".."), std::string("/"), std::string("a/b"),
          std::string("../x"), std::string("x/.."), std::string("/abs"), std::string("a\nb"),
          std::string("a\tb"), std::string("\x7f"), std::string("a\0b", 3)}) {
        EXPECT_FALSE(CloudInfo::IsValidSid(sid)) << sid;
    }
}

TEST(CloudInfoValues, ConstructorsFillInArgumentOrder) {
    const CloudInfo four(1, 2, 3, 4);
    EXPECT_EQ(four.GetId(), 1);
    EXPECT_EQ(four.GetN(), 2);
    EXPECT_EQ(four.GetPalletOp(), 3);
    EXPECT_EQ(four.GetParentId(), 4);
    EXPECT_EQ(four.GetSid(), "");
    EXPECT_EQ(four.GetCoeffC(), 0.0f);

    const CloudInfo full(1, 2, 3, 4, "s", "m", "b", 0.5f, -1.0f, 2.0f, -0.25f);
    EXPECT_EQ(full.GetSid(), "s");
    EXPECT_EQ(full.GetCoeffA(), 0.5f);
    EXPECT_EQ(full.GetCoeffB(), -1.0f);
    EXPECT_EQ(full.GetCoeffC(), 2.0f);
    EXPECT_EQ(full.GetCoeffD(), -0.25f);

    CloudInfo copy = full;
    copy.SelfParent();
    EXPECT_EQ(full.GetParentId(), 4);
    EXPECT_EQ(copy.GetParentId(), 1);
}

TEST(CloudInfoPrint, PrintsEveryFieldWithQuotedPaths) {
    const CloudInfo info(42, 3, 3, 0, "s1", "S%d.pcd", "/base", 0.0f, 0.0f, 1.0f, -0.5f);
    EXPECT_EQ(Printed(info),
              "Cloud info:\n"
              "\tID: 42\n"
              "\tPallet op: 3\n"
              "\tParent ID: 0\n"
              "\tSID: s1\n"
              "\tN: 3\n"
              "\tFile Model: S%d.pcd\n"
              "\tBase path: /base\n"
              "\tPath: \"/base/s1/P\"\n"
              "\tFilename: \"/base/s1/P/S3.pcd\"\n"
              "\tPlane: (0,0,1,-0.5)\n");
}

TEST(CloudInfoPrint, TheAirWaybillIsCarriedButNotPrinted) {
    const CloudInfo plain(42, 3, 3, 0, "s1", "S%d.pcd", "/base", 0.0f, 0.0f, 1.0f, -0.5f);
    CloudInfo info = plain;
    EXPECT_EQ(info.GetAwb(), "");
    info.SetAwb("AWB 123-4567\n");
    EXPECT_EQ(Printed(info), Printed(plain));
    EXPECT_EQ(info.Delivered().GetAwb(), "AWB 123-4567\n");
    info.SelfParent();
    EXPECT_EQ(info.GetAwb(), "AWB 123-4567\n");
    EXPECT_EQ(info.GetPathPallet().string(), "/base/s1/P/S3.pcd");
}

TEST(CloudInfoPrint, QuotesAndAmpersandsInPathsAreEscaped) {
    const std::string text = Printed(CloudInfo(1, 1, 0, 0, "a\"b&c", "", "/x"));
    EXPECT_NE(text.find("\tPath: \"/x/a&\"b&&c\"\n"), std::string::npos) << text;
}

TEST(CloudInfoPrint, NotFoundIdentity) {
    EXPECT_EQ(Printed(CloudInfo(-1, 0, 0, 0)),
              "Cloud info:\n\tID: -1\n\tPallet op: 0\n\tParent ID: 0\n\tSID: \n\tN: 0\n"
              "\tFile Model: \n\tBase path: \n\tPath: \"\"\n\tFilename: \"S0.pcd\"\n"
              "\tPlane: (0,0,0,0)\n");
}

TEST(StringFormatting, FormatsFileNames) {
    EXPECT_EQ(Utilities::StringFormat("S%d_%d.pcd", -1, 12), "S-1_12.pcd");
    EXPECT_EQ(Utilities::StringFormat("S%d.json", 7), "S7.json");
}
