#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <cstdlib>
#include <string>

#include "run/RunHarness.h"

TEST(ScanGen, HelpSucceedsAndMissingFoldersAreCreated) {
    const kelvo_test::RunDir dir(false);
    const std::string generator = KELVO_SCANGEN_BIN;
    const boost::filesystem::path help = dir.Path() / "help.txt";
    EXPECT_EQ(std::system((generator + " --help >" + help.string()).c_str()), 0);
    EXPECT_EQ(kelvo_test::ReadText(help).rfind("usage: kelvo_scangen SCENE OUT.pcd", 0), 0u);

    const boost::filesystem::path scan = dir.Path() / "new" / "session" / "S1.pcd";
    EXPECT_EQ(
        std::system((generator + " stacked " + scan.string() + " --points 500 >/dev/null").c_str()),
        0);
    EXPECT_TRUE(boost::filesystem::is_regular_file(scan));
}
