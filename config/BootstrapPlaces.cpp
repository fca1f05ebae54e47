// The places a run looks for its bootstrap file, in order.
#include "config/BootstrapPlaces.h"

#include <boost/filesystem/operations.hpp>
#include <stdexcept>

namespace bootstrap {

const char* const kLocalFile = "./kelvo_tools.json";
const char* const kSystemFile = "/etc/kelvo-tools/kelvo_tools.json";

std::string FindFile(const std::vector<std::string>& places) {
    std::string named;
    for (const std::string& place : places) {
        boost::system::error_code error;
        if (boost::filesystem::exists(place, error)) {
            return place;
        }
        named += (named.empty() ? "'" : " or '") + place + "'";
    }
    throw std::runtime_error("File not found " + named);
}

std::string FindDefaultFile() { return FindFile({kLocalFile, kSystemFile}); }

}  // namespace bootstrap
