// The queries: the object by row or session, the pallet's row, statements without a result.
#include "config/Config.h"

#include <cppconn/connection.h>
#include <cppconn/exception.h>
#include <cppconn/prepared_statement.h>
#include <cppconn/resultset.h>
#include <cppconn/statement.h>

#include <memory>
#include <utility>

#include "config/SqlErrorReport.h"
#include "config/StringFormat.h"

namespace {

const char* const kCustomPalletName = "CUSTOM";

constexpr int kExecFailed = -1;

// Line numbers named in the database error reports; log readers key on them.
constexpr int kLineLookupBySession = 499;
constexpr int kLineLookupByIndex = 567;
constexpr int kLineSetPalletId = 710;
constexpr int kLineExecSQL = 742;

/// Identity of an object without a row.
CloudInfo NoRowIdentity() { return CloudInfo(-1, 0, 0, 0); }
/// Identity of an object whose lookup failed in the database.
CloudInfo DatabaseErrorIdentity() { return CloudInfo(-1, -1, 0, 0); }

const std::string kSessionLookup =
    "SELECT a.ID, a.sid, a.AWB, a.NrPackages, a.pallet_op, "
    "       s.coeff_a, s.coeff_b, s.coeff_c, s.coeff_d "
    "  FROM awbexport AS a "
    " INNER JOIN session AS s ON a.sid = s.sid "
    " WHERE a.sid = ? AND a.NrPackages = %d";

const std::string kIndexLookup =
    "SELECT a.ID, a.sid, a.AWB, a.NrPackages, a.pallet_op, "
    "       s.coeff_a AS coeff_a, s.coeff_b AS coeff_b, "
    "       s.coeff_c AS coeff_c, s.coeff_d AS coeff_d "
    "  FROM awbexport AS a "
    " INNER JOIN session AS s ON a.sid = s.sid "
    " WHERE a.ID = %d";

/// The identity of the row a lookup found, with its plane and air waybill.
CloudInfo IdentityOfRow(const Config& config, sql::ResultSet& row, int id, const std::string& sid,
                        int n) {
    CloudInfo info = config.GetCloudInfo(id, sid, n, row.getInt("pallet_op"),
                                         static_cast<float>(row.getDouble("coeff_a")),
                                         static_cast<float>(row.getDouble("coeff_b")),
                                         static_cast<float>(row.getDouble("coeff_c")),
                                         static_cast<float>(row.getDouble("coeff_d")));
    info.SetAwb(row.getString("AWB"));
    return info;
}

const std::string kPalletLookup = "SELECT id, product_name, h FROM pallets WHERE id = %d";

}  // namespace

CloudInfo Config::GetCloudInfo(int index) const {
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        std::unique_ptr<sql::ResultSet> row(
            statement->executeQuery(string_format(kIndexLookup, index)));
        if (!row->next()) {
            return NoRowIdentity();
        }
        const std::string sid = row->getString("sid");
        const int n = row->getInt("NrPackages");
        return IdentityOfRow(*this, *row, index, sid, n);
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "GetCloudInfo", kLineLookupByIndex);
        return DatabaseErrorIdentity();
    }
}

CloudInfo Config::GetCloudInfo(std::string sid, int n) const {
    try {
        // The session id comes from the command line: it is bound, never
        // pasted into the statement, so no text of it can run as SQL.
        std::unique_ptr<sql::PreparedStatement> statement(
            connection->prepareStatement(string_format(kSessionLookup, n)));
        statement->setString(1, sid);
        std::unique_ptr<sql::ResultSet> row(statement->executeQuery());
        if (!row->next()) {
            return NoRowIdentity();
        }
        const int id = row->getInt("ID");
        return IdentityOfRow(*this, *row, id, sid, n);
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "GetCloudInfo", kLineLookupBySession);
        return DatabaseErrorIdentity();
    }
}

CloudInfo Config::GetCloudInfo(int id, std::string sid, int n, int palletOp, float a, float b,
                               float c, float d) const {
    return CloudInfo(id, n, palletOp, 0, std::move(sid), fileModel, baseDataFolder, a, b, c, d);
}

void Config::SetPalletId(int id) {
    palletId = id;
    palletKnown = false;
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        std::unique_ptr<sql::ResultSet> row(
            statement->executeQuery(string_format(kPalletLookup, id)));
        if (row->next()) {
            palletName = row->getString("product_name");
            palletHeight = static_cast<float>(row->getDouble("h"));
            palletKnown = true;
        }
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "SetPalletId", kLineSetPalletId);
    }
}

void Config::SetPalletHeight(float height) {
    palletHeight = height;
    palletKnown = true;
    palletId = 0;
    palletName = kCustomPalletName;
}

int Config::ExecSQL(std::string sql) const {
    try {
        std::unique_ptr<sql::Statement> statement(connection->createStatement());
        // execute() takes statements with or without a result set; the
        // query call would report a successful UPDATE as a failure.
        if (statement->execute(sql)) {
            std::unique_ptr<sql::ResultSet> unread(statement->getResultSet());
        }
        return 0;
    } catch (const sql::SQLException& e) {
        ReportSQLException(e, "ExecSQL", kLineExecSQL);
        return kExecFailed;
    }
}
