// Every test process that talks to the database gets a database of its own:
// created on the server under a name no other process uses, loaded with the
// schema the tool runs against, named by a bootstrap file of its own, and
// dropped at the end. The suite then gives the same result whatever the
// development database holds, and test processes may run side by side.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "run/TestDatabase.h"

#ifndef KELVO_SCHEMA_SQL
#error "KELVO_SCHEMA_SQL must name scripts/schema.sql"
#endif

namespace kelvo_test {

namespace {

const char* const kNamePrefix = "kelvo_t_";

void Execute(sql::Connection& connection, const std::string& statement) {
    std::unique_ptr<sql::Statement>(connection.createStatement())->execute(statement);
}

/// kelvo_t_<program>_<pid>, with the program name reduced to what an unquoted name allows.
std::string DatabaseName() {
    std::string program;
    for (const char c : std::string(program_invocation_short_name)) {
        program += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return kNamePrefix + program + "_" + std::to_string(getpid());
}

/// Databases of test processes that ended without dropping theirs (killed by
/// a timeout, say); a live process's database is never touched.
void DropAbandoned(sql::Connection& connection) {
    std::unique_ptr<sql::Statement> statement(connection.createStatement());
    std::unique_ptr<sql::ResultSet> names(
        statement->executeQuery("SHOW DATABASES LIKE 'kelvo\\_t\\_%'"));
    while (names->next()) {
        const std::string name = names->getString(1);
        const long pid = std::strtol(name.substr(name.rfind('_') + 1).c_str(), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            Execute(connection, "DROP DATABASE IF EXISTS `" + name + "`");
        }
    }
}

/// The statements of the schema file: comment lines dropped, split at semicolons.
void LoadSchema(sql::Connection& connection) {
    std::ifstream in(KELVO_SCHEMA_SQL);
    if (!in) {
        throw std::runtime_error(std::string("cannot read ") + KELVO_SCHEMA_SQL);
    }
    std::string text, line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t") != std::string::npos &&
            line.compare(line.find_first_not_of(" \t"), 2, "--") != 0) {
            text += line + "\n";
        }
    }
    std::istringstream statements(text);
    std::string statement;
    while (std::getline(statements, statement, ';')) {
        if (statement.find_first_not_of(" \t\n") != std::string::npos) {
            Execute(connection, statement);
        }
    }
}

void WriteBootstrap(const boost::filesystem::path& file, const std::string& database) {
    std::ofstream out(file.string());
    out << "{\"config\": {\"database\": {\"server\": \"" << RequireEnv("KELVO_TEST_DB_HOST")
        << "\", \"port\": " << RequireEnv("KELVO_TEST_DB_PORT") << ", \"database\": \"" << database
        << "\", \"username\": \"" << RequireEnv("KELVO_TEST_DB_USER") << "\", \"password\": \""
        << RequireEnv("KELVO_TEST_DB_PASSWORD") << "\"}}}\n";
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

/// Creates the process's database before the first test and drops it after the last.
class OwnDatabase : public ::testing::Environment {
public:
    void SetUp() override {
        try {
            name = DatabaseName();
            std::unique_ptr<sql::Connection> connection = ConnectToTestServer();
            DropAbandoned(*connection);
            Execute(*connection, "DROP DATABASE IF EXISTS `" + name + "`");
            Execute(*connection, "CREATE DATABASE `" + name + "` CHARACTER SET utf8mb4");
            connection->setSchema(name);
            LoadSchema(*connection);
            bootstrap = boost::filesystem::temp_directory_path() / (name + ".json");
            WriteBootstrap(bootstrap, name);
        } catch (const sql::SQLException& e) {
            FAIL() << "cannot create the test database " << name << ": " << e.what()
                   << " (the test user needs CREATE and DROP on kelvo\\_t\\_%: run "
                      "scripts/db-start.sh again, it grants them)";
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        // Everything that reads the variables from now on (the tests, the
        // configuration, the runs' bootstrap files) names this database.
        setenv("KELVO_TEST_DB_NAME", name.c_str(), 1);
        setenv("KELVO_TEST_CONFIG", bootstrap.c_str(), 1);
    }

    void TearDown() override {
        boost::system::error_code ignored;
        boost::filesystem::remove(bootstrap, ignored);
        try {
            Execute(*ConnectToTestServer(), "DROP DATABASE IF EXISTS `" + name + "`");
        } catch (const sql::SQLException& e) {
            ADD_FAILURE() << "cannot drop the test database " << name << ": " << e.what();
        }
    }

private:
    std::string name;
    boost::filesystem::path bootstrap;
};

[[maybe_unused]] ::testing::Environment* const kOwnDatabase =
    ::testing::AddGlobalTestEnvironment(new OwnDatabase);

}  // namespace

}  // namespace kelvo_test
