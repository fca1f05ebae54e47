// What the calibration commands share in their output: the refusal, numbers
// formatted as printf does, and the SQL they print and write when asked.
#pragma once

#include <boost/program_options/variables_map.hpp>
#include <stdexcept>
#include <string>
#include <vector>

class CalibrationStore;

namespace calibrate {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;

/// A refusal: one line on standard output, exit status 1, nothing written.
class Refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One number formatted as printf formats it.
std::string Printf(const char* format, double value);

/// The SQL text of the statements, as one transaction.
void PrintSql(const std::vector<std::string>& statements);

/// Writes the statements in one transaction when --write is given, and says
/// what was written; otherwise says how to write it.
void WriteIfAsked(const boost::program_options::variables_map& vm, CalibrationStore& store,
                  const std::vector<std::string>& statements, const std::string& what);

}  // namespace calibrate
