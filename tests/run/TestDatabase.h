#pragma once

#include <cppconn/connection.h>
#include <cppconn/resultset.h>
#include <cppconn/resultset_metadata.h>
#include <cppconn/statement.h>
#include <mysql_driver.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvo_test {

/// Value of a variable that scripts/db-start.sh writes to .db/env.sh; throws
/// with a hint when the test database has not been set up.
inline std::string RequireEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string(name) +
                                 " is not set: start the test database with scripts/db-start.sh "
                                 "and source .db/env.sh before running the tests");
    }
    return value;
}

/// A connection to the test server as the test user, with no schema selected.
inline std::unique_ptr<sql::Connection> ConnectToTestServer() {
    return std::unique_ptr<sql::Connection>(sql::mysql::get_driver_instance()->connect(
        "tcp://" + RequireEnv("KELVO_TEST_DB_HOST") + ":" + RequireEnv("KELVO_TEST_DB_PORT"),
        RequireEnv("KELVO_TEST_DB_USER"), RequireEnv("KELVO_TEST_DB_PASSWORD")));
}

/// Direct connection to the test database for seeding rows and reading them
/// back, independent of the code under test.
class TestDatabase {
public:
    TestDatabase() : connection(ConnectToTestServer()) {
        connection->setSchema(RequireEnv("KELVO_TEST_DB_NAME"));
    }

    /// Runs a statement without a result set; returns the affected row count.
    int Exec(const std::string& sql) {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        return statement->executeUpdate(sql);
    }

    /// Every row of a query, each as column label -> text (NULL reads as "NULL").
    std::vector<std::map<std::string, std::string>> Rows(const std::string& sql) {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        std::unique_ptr<sql::ResultSet> result(statement->executeQuery(sql));
        sql::ResultSetMetaData* meta = result->getMetaData();
        std::vector<std::map<std::string, std::string>> rows;
        while (result->next()) {
            std::map<std::string, std::string>& row = rows.emplace_back();
            for (unsigned int column = 1; column <= meta->getColumnCount(); ++column) {
                row[meta->getColumnLabel(column)] =
                    result->isNull(column) ? "NULL" : std::string(result->getString(column));
            }
        }
        return rows;
    }

    /// First column of the first row, or nothing when the query has no row.
    std::optional<std::string> Value(const std::string& sql) {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        std::unique_ptr<sql::ResultSet> result(statement->executeQuery(sql));
        if (!result->next()) {
            return std::nullopt;
        }
        return result->isNull(1) ? std::string("NULL") : std::string(result->getString(1));
    }

    /// Quotes a text as an SQL string literal.
    static std::string Quote(const std::string& text) {
        std::string quoted = "'";
        for (const char c : text) {
            if (c == '\'' || c == '\\') {
                quoted += c;
            }
            quoted += c;
        }
        return quoted + "'";
    }

private:
    std::unique_ptr<sql::Connection> connection;
};

}  // namespace kelvo_test
