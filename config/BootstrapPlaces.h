// Where a run looks for its bootstrap file when the command line names none.
#pragma once

#include <string>
#include <vector>

namespace bootstrap {

/// The working folder's file: a station's own, or one kept beside test data.
extern const char* const kLocalFile;
/// The installed station's file (root and the kelvo group may read it).
extern const char* const kSystemFile;

/// The first of `places` that exists, in their order; a runtime error naming
/// every place when none does.
std::string FindFile(const std::vector<std::string>& places);

/// FindFile over the working folder's file, then the installed one.
std::string FindDefaultFile();

}  // namespace bootstrap
