#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

class Config;

namespace sql {
class Connection;
}  // namespace sql

/// The calibration's own connection to the tool's database (opened from the
/// same bootstrap data as the configuration's): reads a session's stored
/// floor plane and writes calibration results, all of them or none.
class CalibrationStore {
public:
    /// Connects with the configuration's server, port, schema and user.
    explicit CalibrationStore(const Config& config);
    ~CalibrationStore();
    CalibrationStore(const CalibrationStore&) = delete;
    CalibrationStore& operator=(const CalibrationStore&) = delete;

    /// The session's plane (a, b, c, d); false when there is no such session.
    bool SessionPlane(const std::string& sid, std::array<double, 4>& plane);
    /// Executes the statements in one transaction; on any failure nothing is
    /// kept and std::runtime_error carries the database's message.
    void Write(const std::vector<std::string>& statements);

    /// Statements that make value the one active decode row of the key: the
    /// active rows of the same class and key are switched off (kept for
    /// reference), and a new active "D" row is inserted.
    static std::vector<std::string> DecodeRow(const std::string& decClass, const std::string& key,
                                              const std::string& value);
    /// The statement that replaces a session's stored plane.
    static std::string SessionPlaneUpdate(const std::string& sid, const std::array<double, 4>& plane);
    /// A text as an SQL string literal.
    static std::string Quote(const std::string& text);

private:
    std::unique_ptr<sql::Connection> connection;
};
