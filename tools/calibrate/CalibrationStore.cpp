#include "tools/calibrate/CalibrationStore.h"

#include <cppconn/connection.h>
#include <cppconn/exception.h>
#include <cppconn/resultset.h>
#include <cppconn/statement.h>
#include <mysql_driver.h>

#include <cstdio>
#include <stdexcept>

#include "config/Config.h"

CalibrationStore::CalibrationStore(const Config& config)
    : connection(sql::mysql::get_driver_instance()->connect(
          "tcp://" + config.GetServer() + ":" + std::to_string(config.GetPort()),
          config.GetUsername(), config.GetPassword())) {
    connection->setSchema(config.GetDatabase());
}

CalibrationStore::~CalibrationStore() = default;

bool CalibrationStore::SessionPlane(const std::string& sid, std::array<double, 4>& plane) {
    std::unique_ptr<sql::Statement> statement(connection->createStatement());
    std::unique_ptr<sql::ResultSet> row(statement->executeQuery(
        "SELECT coeff_a, coeff_b, coeff_c, coeff_d FROM session WHERE sid = " + Quote(sid)));
    if (!row->next()) {
        return false;
    }
    const char* const columns[4] = {"coeff_a", "coeff_b", "coeff_c", "coeff_d"};
    for (int i = 0; i < 4; ++i) {
        plane[i] = static_cast<double>(row->getDouble(columns[i]));
    }
    return true;
}

void CalibrationStore::Write(const std::vector<std::string>& statements) {
    connection->setAutoCommit(false);
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        for (const std::string& text : statements) {
            statement->execute(text);
        }
        connection->commit();
    } catch (const sql::SQLException& e) {
        try {
            connection->rollback();
        } catch (const sql::SQLException&) {
            // The server drops an open transaction with the connection anyway.
        }
        connection->setAutoCommit(true);
        throw std::runtime_error(std::string("nothing written: ") + e.what());
    }
    connection->setAutoCommit(true);
}

std::vector<std::string> CalibrationStore::DecodeRow(const std::string& decClass,
                                                     const std::string& key,
                                                     const std::string& value) {
    return {"UPDATE decode SET decactive = 0 WHERE decclass = " + Quote(decClass) +
                " AND deckey = " + Quote(key) + " AND decactive = 1",
            "INSERT INTO decode (decclass, deckey, decvalue, dectype, decactive) VALUES (" +
                Quote(decClass) + ", " + Quote(key) + ", " + Quote(value) + ", 'D', 1)"};
}

std::string CalibrationStore::SessionPlaneUpdate(const std::string& sid,
                                                 const std::array<double, 4>& plane) {
    char values[160];
    std::snprintf(values, sizeof values, "coeff_a = %.9f, coeff_b = %.9f, coeff_c = %.9f, coeff_d = %.9f",
                  plane[0], plane[1], plane[2], plane[3]);
    return std::string("UPDATE session SET ") + values + " WHERE sid = " + Quote(sid);
}

std::string CalibrationStore::Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') {
            quoted += c;
        }
        quoted += c;
    }
    return quoted + "'";
}
