// What the calibration commands share in their output: the refusal, numbers
// formatted as printf does, and the SQL they print and write when asked.

#include "tools/calibrate/CommandOutput.h"

#include <cstdio>

#include "tools/calibrate/CalibrationStore.h"

namespace po = boost::program_options;

namespace calibrate {

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void PrintSql(const std::vector<std::string>& statements) {
    std::printf("\nSQL:\nSTART TRANSACTION;\n");
    for (const std::string& s : statements) {
        std::printf("%s;\n", s.c_str());
    }
    std::printf("COMMIT;\n");
}

void WriteIfAsked(const po::variables_map& vm, CalibrationStore& store,
                  const std::vector<std::string>& statements, const std::string& what) {
    if (!vm.count("write")) {
        std::printf("\nNot written (give --write to store it).\n");
        return;
    }
    try {
        store.Write(statements);
    } catch (const std::runtime_error& e) {
        throw Refused(std::string("Write failed, ") + e.what());
    }
    std::printf("\nWritten: %s, in one transaction.\n", what.c_str());
}

}  // namespace calibrate
