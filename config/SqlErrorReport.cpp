// The report a configuration operation prints when the database fails it.
#include "config/SqlErrorReport.h"

#include <cppconn/exception.h>

#include <iostream>

void ReportSQLException(const sql::SQLException& e, const char* operation, int line) {
    std::cout << "# ERR: SQLException in " << std::endl;
    std::cout << "(" << operation << ") on line " << line << std::endl;
    std::cout << "# ERR: " << e.what() << " (MySQL error code: " << e.getErrorCode()
              << ", SQLState: " << e.getSQLState() << " )" << std::endl;
}
