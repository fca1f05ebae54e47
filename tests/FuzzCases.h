#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

/// The files of a folder of the source tree, by name, with their bytes: the inputs a fuzz
/// target once failed on, or its seeds.
inline std::vector<std::pair<std::string, std::vector<uint8_t>>> FuzzCases(const std::string& folder) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(KELVO_SOURCE_DIR) + "/" + folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        cases.emplace_back(entry.path().filename().string(),
                           std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}
