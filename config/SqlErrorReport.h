// The report a configuration operation prints when the database fails it.
#pragma once

namespace sql {
class SQLException;
}  // namespace sql

/// Prints the three-line report of a database error caught by an operation;
/// the line is the number log readers key on for that operation.
void ReportSQLException(const sql::SQLException& e, const char* operation, int line);
