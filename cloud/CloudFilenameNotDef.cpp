#include "cloud/CloudFilenameNotDef.h"

const CloudFilenameNotDef cloudFilenameNotDef;

const char* CloudFilenameNotDef::what() const noexcept { return "Filename not defined"; }
