#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/Config.h"

namespace {

std::string Trimmed(const std::string& cell) {
    std::string text;
    for (const char c : cell) {
        if (c != '`') {
            text += c;
        }
    }
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

/// Class, key and type letter of every row of the reference's key tables.
std::set<std::array<std::string, 3>> DocumentedKeys(const std::string& file) {
    std::ifstream in(file);
    EXPECT_TRUE(in) << file;
    std::set<std::array<std::string, 3>> keys;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '|');) {
            cells.push_back(Trimmed(cell));
        }
        if (line.rfind('|', 0) == 0 && cells.size() > 3 &&
            (cells[1] == "CONFIG" || cells[1] == "FINE TUNE")) {
            keys.insert({cells[1], cells[2], cells[3]});
        }
    }
    return keys;
}

}  // namespace

// The settings reference lists exactly the decode keys the configuration reads.
TEST(SettingsReference, ListsEveryDecodeKeyAndNoOther) {
    const std::vector<std::array<std::string, 3>> table = Config::DecodeKeys();
    const std::set<std::array<std::string, 3>> code(table.begin(), table.end());
    const std::set<std::array<std::string, 3>> documented =
        DocumentedKeys(std::string(KELVO_DOCS_DIR) + "/settings.md");
    for (const auto& key : code) {
        EXPECT_EQ(documented.count(key), 1u)
            << "undocumented: " << key[0] << " " << key[1] << " " << key[2];
    }
    for (const auto& key : documented) {
        EXPECT_EQ(code.count(key), 1u)
            << "not read by the code: " << key[0] << " " << key[1] << " " << key[2];
    }
    EXPECT_EQ(code.size(), table.size());
}
