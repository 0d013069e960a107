#pragma once
#include <cstdint>

#include "scan/catalogue.h"

ScanStatus ScanPeResources(FileHandle file, int32_t fileLength, int64_t coffPosition,
                           Catalogue* catalogue);
