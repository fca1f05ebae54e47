#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/BootstrapPlaces.h"

namespace fs = boost::filesystem;

namespace {

TEST(BootstrapPlaces, FirstExistingPlaceWins) {
    const fs::path root = fs::temp_directory_path() / fs::unique_path("kelvo-places-%%%%%%%%");
    fs::create_directories(root / "etc");
    const std::string local = (root / "kelvo_tools.json").string();
    const std::string system = (root / "etc" / "kelvo_tools.json").string();
    struct Case {
        const char* name;
        bool hasLocal;
        bool hasSystem;
        std::string expected;  // empty: no file, the error names both places
    };
    const Case cases[] = {
        {"current folder and /etc", true, true, local},
        {"current folder only", true, false, local},
        {"/etc only", false, true, system},
        {"neither", false, false, ""},
    };
    for (const Case& c : cases) {
        fs::remove(local);
        fs::remove(system);
        if (c.hasLocal) {
            std::ofstream(local) << "{}";
        }
        if (c.hasSystem) {
            std::ofstream(system) << "{}";
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(bootstrap::FindFile({local, system}), c.expected) << c.name;
            continue;
        }
        try {
            bootstrap::FindFile({local, system});
            ADD_FAILURE() << c.name << ": no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "File not found '" + local + "' or '" + system + "'");
        }
    }
    fs::remove_all(root);
}

}  // namespace
