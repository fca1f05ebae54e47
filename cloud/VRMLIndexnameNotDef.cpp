#include "cloud/VRMLIndexnameNotDef.h"

const VRMLIndexnameNotDef vrmlIndexnameNotDef;

const char* VRMLIndexnameNotDef::what() const noexcept { return "VRML Index not defined"; }
