#pragma once

class Config;

/// The configuration that the measurements read their settings from.
class ConfigAccess {
public:
    /// The existing configuration instance; throws std::runtime_error when none was created.
    static const Config& Get();
};
