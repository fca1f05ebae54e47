#include "measure/ConfigAccess.h"

#include <stdexcept>

#include "config/Config.h"

const Config& ConfigAccess::Get() {
    // The run creates the instance before any cloud is measured; an empty
    // path only hands out that instance.
    const Config* config = Config::GetInstance("");
    if (config == nullptr) {
        throw std::runtime_error("Configuration not available.");
    }
    return *config;
}
