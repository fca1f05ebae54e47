#include "measure/split/CloudCollectionIndexnameNotDef.h"

const CloudCollectionIndexnameNotDef cloudCollectionIndexnameNotDef;

const char* CloudCollectionIndexnameNotDef::what() const noexcept {
    return "Cloud Collection Index not defined";
}
