#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "run/RunHarness.h"

// Whatever the development database holds, a test process sees only a
// database of its own, created from the schema with every table empty, and
// the runs it starts are pointed at that database.
TEST(OwnDatabase, EachProcessWorksInAnEmptyDatabaseOfItsOwn) {
    const std::string name = kelvo_test::RequireEnv("KELVO_TEST_DB_NAME");
    EXPECT_EQ(name, "kelvo_t_run_tests_" + std::to_string(getpid()));
    kelvo_test::TestDatabase db;
    EXPECT_EQ(db.Value("SELECT DATABASE()"), name);
    for (const char* table : {"decode", "session", "awbexport", "pallets"}) {
        EXPECT_EQ(db.Value(std::string("SELECT COUNT(*) FROM ") + table), "0") << table;
    }
    const std::string bootstrap = kelvo_test::ReadText(kelvo_test::RequireEnv("KELVO_TEST_CONFIG"));
    EXPECT_NE(bootstrap.find("\"database\": \"" + name + "\""), std::string::npos) << bootstrap;
}
